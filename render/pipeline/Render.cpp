#include "render/pipeline/Render.hpp"
#include "render/pipeline/RenderPlain.hpp"

#include <algorithm>

#include "render/pipeline/MeshDraw.hpp"
#include "render/pipeline/PolyDraw.hpp"
#include "render/pipeline/Surface.hpp"

float kzoAnimationFrame = 0.0f;

namespace {

void advanceAnimationFrame()
{
    kzoAnimationFrame = static_cast<float>(static_cast<double>(kzoAnimationFrame) + 0.1);
    if (kzoAnimationFrame >= 139.0f)
        kzoAnimationFrame = 0.0f;
}

// The weighted sum of the vertex's joint matrices, applied to its position.
// The blend starts from the zero matrix, so one influence of weight 1 moves the
// vertex by its joint alone. Influences naming no joint are skipped; a vertex
// with none left is not skinned.
void skin(kzoVertex& v, const kzoObject& o)
{
    kzoMatrix blend{};
    bool any = false;
    const int count = std::min(v.influenceCount, kzoPolySlots);
    for (int k = 0; k < count; ++k) {
        const kzoInfluence& influence = v.influences[k];
        if (influence.jointIndex < 0 || static_cast<std::size_t>(influence.jointIndex) >= o.joints.size())
            continue;
        blend = kzoMatAdd(blend, kzoMatScale(o.joints[static_cast<std::size_t>(influence.jointIndex)].finalMatrix,
                                             influence.weight));
        any = true;
    }
    if (any)
        v.position = kzoTransform(blend, v.position);
}

enum class Route { plain, fast };

// The per-polygon route: each polygon read back as a whole record, every
// corner skinned (with joints) and transformed, the face and vertex normals
// turned by the object's rotation, the surface lit by its model-space face
// normal, then the draw step. The reference for the indexed route, and the
// route of skinned objects.
void drawPolygons(const kzoScene& scene, const kzoObject& o, std::size_t count, const kzoMatrix& modelView,
                  const kzoMatrix& mvp, const kzoMatrix& normalMatrix, const kzoViewPort& viewPort, Route route)
{
    const bool skinned = o.jointCount >= 1;
    kzoPoly p;
    for (std::size_t e = 0; e < count; ++e) {
        kzoMeshGetPoly(o.mesh, e, p);
        p.normal = kzoTransform(normalMatrix, p.normal);
        const int vertices = std::clamp(p.vertexCount, 0, kzoPolySlots);
        for (int i = 0; i < vertices; ++i) {
            kzoVertex& v = p.vertices[i];
            v.position.w = 1.0f;
            if (skinned)
                skin(v, o);
            v.position = kzoTransform(mvp, v.position);
            v.normal = kzoTransform(normalMatrix, v.normal);
        }
        const kzoSurface surface =
            kzoLitSurface(kzoSurfaceAt(scene, o.mesh.materials[e]), o.mesh.faceNormals[e], modelView);
        if (route == Route::plain)
            kzoDrawPolygonPlain(p, surface, viewPort);
        else
            kzoDrawPolygonFast(p, surface, viewPort);
    }
}

void renderObject(kzoScene& scene, std::int32_t index, const kzoViewPort& viewPort, Route route)
{
    // Scalar fields copied; depth buffer, side tables, frame pixels and scratch shared.
    const kzoViewPort work = viewPort;
    kzoObject& o = scene.objects[static_cast<std::size_t>(index)];
    const kzoMatrix objectMatrix = kzoMatMul(o.orientation, o.placement);
    const kzoMatrix modelView = kzoMatMul(objectMatrix, scene.view);
    const kzoMatrix mvp = kzoMatMul(modelView, work.projection);
    const kzoMatrix normalMatrix = kzoRotationPart(objectMatrix);

    advanceAnimationFrame();
    const bool skinned = o.jointCount >= 1;
    if (skinned)
        kzoPoseSkeleton(o, kzoRoundToInt(kzoAnimationFrame));

    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max(o.polyCount, 0)), kzoMeshPolyCount(o.mesh));
    if (route == Route::fast && !skinned && work.scratch)
        kzoDrawMesh(scene, o, count, modelView, mvp, work);
    else
        drawPolygons(scene, o, count, modelView, mvp, normalMatrix, work, route);
}

void renderScene(kzoScene& scene, Route route)
{
    kzoStartFrame(scene.viewPort);
    const auto count = static_cast<std::int32_t>(
        std::min(static_cast<std::size_t>(std::max(scene.objectCount, 0)), scene.objects.size()));
    for (std::int32_t index = 0; index < count; ++index)
        renderObject(scene, index, scene.viewPort, route);
}

} // namespace

void kzoRenderScene(kzoScene& scene, float /*time*/)
{
    renderScene(scene, Route::fast);
}

void kzoRenderScenePlain(kzoScene& scene, float /*time*/)
{
    renderScene(scene, Route::plain);
}

void kzoRenderObject(kzoScene& scene, std::int32_t index, const kzoViewPort& viewPort)
{
    if (index < 0 || static_cast<std::size_t>(index) >= scene.objects.size())
        return;
    renderObject(scene, index, viewPort, Route::fast);
}

void kzoDrawPoly(const kzoPoly& polygon, const kzoMaterial& material, const kzoViewPort& viewPort)
{
    kzoDrawPolygonFast(polygon, kzoSurfaceOf(material), viewPort);
}
