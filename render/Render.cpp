#include "render/Render.hpp"

#include <algorithm>

#include "render/Clip.hpp"
#include "render/Fill.hpp"

float kzoAnimationFrame = 0.0f;

namespace {

// What a polygon is filled with: the texture when it has pixels, else a colour.
struct Surface {
    const peltoImage* texture;
    std::uint32_t colour;
};

Surface surfaceOf(const kzoMaterial& material)
{
    if (kzoHasPixels(material.texture))
        return {&material.texture, 0};
    return {nullptr, material.colour | 0xFF000000u};
}

Surface surfaceAt(const kzoScene& scene, std::int32_t materialIndex)
{
    if (materialIndex < 0 || static_cast<std::size_t>(materialIndex) >= scene.materials.size())
        return {nullptr, kzoMissingMaterialColour};
    return surfaceOf(scene.materials[static_cast<std::size_t>(materialIndex)]);
}

void fillSurface(const kzoPoly& p, const Surface& surface, const kzoViewPort& viewPort)
{
    if (surface.texture)
        kzoFillPoly(p, *surface.texture, viewPort);
    else
        kzoFillPolyColour(p, surface.colour, viewPort);
}

bool facesAway(const kzoPoly& p)
{
    return p.vertexCount == 3 ? kzoTriangleFacesAway(p) : kzoPolyFacesAway(p);
}

void projectAll(kzoPoly& p, const kzoViewPort& viewPort)
{
    for (int i = 0; i < p.vertexCount; ++i)
        p.vertices[i] = kzoProjectVertex(p.vertices[i], viewPort.centerX, viewPort.centerY);
}

// The header and the used vertex slots: all that any later step reads.
void copyUsed(kzoPoly& to, const kzoPoly& from)
{
    to.vertexCount = from.vertexCount;
    to.normal = from.normal;
    to.materialIndex = from.materialIndex;
    std::copy_n(from.vertices, std::clamp(from.vertexCount, 0, kzoPolySlots), to.vertices);
}

// The draw step as written: a private copy of the polygon goes through every
// clipper, each writing a whole new record.
class PlainWork {
public:
    explicit PlainWork(const kzoPoly& polygon) : p_(polygon) {}
    bool clip(const kzoClipPlanes& planes)
    {
        const bool fits = kzoClipPolygon(q_, p_, planes);
        p_ = q_;
        return fits;
    }
    kzoPoly& projectable() { return p_; }
    const kzoPoly& current() const { return p_; }

private:
    kzoPoly p_, q_;
};

// The same steps without copies where nothing changes: a polygon entirely
// inside a clipper's planes comes out of it unchanged, so that clipper is
// skipped; only the used vertex slots are copied, and only once something
// must change.
class FastWork {
public:
    explicit FastWork(const kzoPoly& polygon) : p_(&polygon) {}
    bool clip(const kzoClipPlanes& planes)
    {
        if (kzoInsidePlanes(*p_, planes))
            return true;
        kzoPoly& out = p_ == &a_ ? b_ : a_;
        const bool fits = kzoClipPolygon(out, *p_, planes);
        p_ = &out;
        return fits;
    }
    kzoPoly& projectable()
    {
        if (p_ != &a_ && p_ != &b_) {
            copyUsed(a_, *p_);
            p_ = &a_;
        }
        return p_ == &a_ ? a_ : b_;
    }
    const kzoPoly& current() const { return *p_; }

private:
    const kzoPoly* p_;
    kzoPoly a_, b_;
};

enum class Clipped { kept, empty, overflow };

// Clips, projects, culls and fills. False when a clipper ran out of slots
// (nothing has been drawn then).
template <class Work>
bool drawSteps(const kzoPoly& polygon, const Surface& surface, const kzoViewPort& viewPort)
{
    Work work(polygon);
    const auto stage = [&](const kzoClipPlanes& planes) {
        if (!work.clip(planes))
            return Clipped::overflow;
        return work.current().vertexCount == 0 ? Clipped::empty : Clipped::kept;
    };
    Clipped clipped = stage(kzoDepthPlanes(viewPort));
    if (clipped == Clipped::kept)
        clipped = stage(kzoWPlanes(viewPort));
    if (clipped != Clipped::kept)
        return clipped == Clipped::empty;
    kzoPoly& projected = work.projectable();
    projectAll(projected, viewPort);
    if (facesAway(projected))
        return true;
    clipped = stage(kzoXPlanes(viewPort));
    if (clipped == Clipped::kept)
        clipped = stage(kzoYPlanes(viewPort));
    if (clipped != Clipped::kept)
        return clipped == Clipped::empty;
    fillSurface(work.current(), surface, viewPort);
    return true;
}

bool drawPlain(const kzoPoly& polygon, const Surface& surface, const kzoViewPort& viewPort)
{
    return drawSteps<PlainWork>(polygon, surface, viewPort);
}

bool drawFast(const kzoPoly& polygon, const Surface& surface, const kzoViewPort& viewPort)
{
    return drawSteps<FastWork>(polygon, surface, viewPort);
}

using DrawStep = bool (*)(const kzoPoly&, const Surface&, const kzoViewPort&);

// A triangle cannot outgrow the slots (a convex polygon gains at most one
// vertex per plane: 3 + 6 = 9); a larger polygon that does is drawn as a fan.
void drawPolygon(const kzoPoly& polygon, const Surface& surface, const kzoViewPort& viewPort, DrawStep draw)
{
    if (draw(polygon, surface, viewPort) || polygon.vertexCount <= 3 || polygon.vertexCount > kzoPolySlots)
        return;
    kzoPoly triangle;
    triangle.vertexCount = 3;
    triangle.normal = polygon.normal;
    triangle.materialIndex = polygon.materialIndex;
    triangle.vertices[0] = polygon.vertices[0];
    for (int i = 1; i + 1 < polygon.vertexCount; ++i) {
        triangle.vertices[1] = polygon.vertices[i];
        triangle.vertices[2] = polygon.vertices[i + 1];
        draw(triangle, surface, viewPort);
    }
}

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

void renderObject(kzoScene& scene, std::int32_t index, const kzoViewPort& viewPort, bool plain)
{
    // Scalar fields copied, depth buffer, side tables and frame pixels shared.
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
    const DrawStep draw = plain ? drawPlain : drawFast;
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
        drawPolygon(p, surfaceAt(scene, o.mesh.materials[e]), work, draw);
    }
}

void renderScene(kzoScene& scene, bool plain)
{
    kzoStartFrame(scene.viewPort);
    const auto count = static_cast<std::int32_t>(
        std::min(static_cast<std::size_t>(std::max(scene.objectCount, 0)), scene.objects.size()));
    for (std::int32_t index = 0; index < count; ++index)
        renderObject(scene, index, scene.viewPort, plain);
}

} // namespace

void kzoRenderScene(kzoScene& scene, float /*time*/)
{
    renderScene(scene, false);
}

void kzoRenderScenePlain(kzoScene& scene, float /*time*/)
{
    renderScene(scene, true);
}

void kzoRenderObject(kzoScene& scene, std::int32_t index, const kzoViewPort& viewPort)
{
    if (index < 0 || static_cast<std::size_t>(index) >= scene.objects.size())
        return;
    renderObject(scene, index, viewPort, false);
}

void kzoDrawPoly(const kzoPoly& polygon, const kzoMaterial& material, const kzoViewPort& viewPort)
{
    drawPolygon(polygon, surfaceOf(material), viewPort, drawFast);
}
