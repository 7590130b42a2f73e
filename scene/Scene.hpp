#pragma once
// A scene: everything one frame is drawn from. It owns copies of what is added
// to it; each list holds exactly as many entries as its count.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Math.hpp"
#include "pelto/base/Image.hpp"
#include "render/viewport/ViewPort.hpp"
#include "scene/Camera.hpp"
#include "scene/Light.hpp"
#include "scene/Material.hpp"
#include "scene/Obj.hpp"

struct kzoScene {
    std::string name;
    std::vector<kzoObject> objects; // drawn in index order
    std::int32_t objectCount = 0;
    std::vector<kzoMaterial> materials;
    std::int32_t materialCount = 0;
    std::vector<kzoLight> lights;
    std::int32_t lightCount = 0;
    std::vector<kzoCamera> cameras;
    std::int32_t cameraCount = 0;
    std::int32_t activeCamera = -1;
    kzoViewPort viewPort;
    kzoMatrix view{}; // applied after each object's own transform
};

// name, empty lists, no active camera, identity view; with makeViewPort a new
// viewport for frame, otherwise the viewport keeps what it held.
void kzoInitScene(kzoScene& scene, const std::string& name, const peltoImage& frame, bool makeViewPort);

// The scene takes obj; pass an rvalue (std::move) to hand over its polygons
// without copying them.
void kzoAddObject(kzoScene& scene, kzoObject obj);

// A copy that refers to the same texture pixels: the scene's copy owns them.
void kzoAddMaterial(kzoScene& scene, const kzoMaterial& mat);

// Appends cam and makes it the active camera; returns its index.
std::int32_t kzoAddCamera(kzoScene& scene, const kzoCamera& cam);

// Releases objects, materials (their textures once each), lights and cameras.
// Name, active camera, viewport and view stay.
void kzoFreeScene(kzoScene& scene);
