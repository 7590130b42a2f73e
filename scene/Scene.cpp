#include "scene/Scene.hpp"

#include "pelto/base/Support.hpp"

void kzoInitScene(kzoScene& scene, const std::string& name, const peltoImage& frame, bool makeViewPort)
{
    scene.name = peltoShortString(name);
    if (makeViewPort) {
        kzoViewPort viewPort;
        kzoInitViewPort(viewPort, frame);
        scene.viewPort = viewPort;
    }
    scene.materialCount = 0;
    scene.materials.clear();
    scene.objectCount = 0;
    scene.objects.clear();
    scene.lightCount = 0;
    scene.lights.clear();
    scene.cameraCount = 0;
    scene.cameras.clear();
    scene.activeCamera = -1;
    scene.view = kzoIdentity();
}

void kzoAddObject(kzoScene& scene, kzoObject obj)
{
    scene.objects.push_back(std::move(obj));
    scene.objectCount = static_cast<std::int32_t>(scene.objects.size());
}

void kzoAddMaterial(kzoScene& scene, const kzoMaterial& mat)
{
    scene.materials.push_back(mat);
    scene.materialCount = static_cast<std::int32_t>(scene.materials.size());
}

std::int32_t kzoAddCamera(kzoScene& scene, const kzoCamera& cam)
{
    scene.cameras.push_back(cam);
    scene.cameraCount = static_cast<std::int32_t>(scene.cameras.size());
    scene.activeCamera = scene.cameraCount - 1;
    return scene.activeCamera;
}

void kzoFreeScene(kzoScene& scene)
{
    if (scene.objectCount > 0) {
        for (kzoObject& obj : scene.objects)
            kzoClearObject(obj);
        scene.objectCount = 0;
        scene.objects = {};
    }
    if (scene.materialCount > 0) {
        for (kzoMaterial& mat : scene.materials)
            kzoFreeMaterial(mat);
        scene.materialCount = 0;
        scene.materials = {};
    }
    if (scene.lightCount > 0) {
        for (kzoLight& light : scene.lights)
            kzoFreeLight(light);
        scene.lightCount = 0;
        scene.lights = {};
    }
    if (scene.cameraCount > 0) {
        for (kzoCamera& cam : scene.cameras)
            kzoFreeCamera(cam);
        scene.cameraCount = 0;
        scene.cameras = {};
    }
}
