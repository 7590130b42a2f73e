#include "render/pipeline/PolyDraw.hpp"

#include <algorithm>

#include "core/Fan.hpp"
#include "render/pipeline/Clip.hpp"
#include "render/viewport/RenderScratch.hpp"

namespace {

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

// The reference steps: a private copy of the polygon goes through every
// clipper, each writing a whole new record.
class PlainWork {
public:
    PlainWork(const kzoPoly& polygon, const kzoViewPort&) : p_(polygon) {}
    bool clip(const kzoClipPlanes& planes)
    {
        const bool fits = kzoClipPolygon(q_, p_, planes);
        p_ = q_;
        return fits;
    }
    kzoPoly& projectable() { return p_; }
    const kzoPoly& current() const { return p_; }
    static const kzoRowKernels& rows() { return kzoPlainRows(); }

private:
    kzoPoly p_, q_;
};

// The same steps without copies where nothing changes: a polygon entirely
// inside a clipper's planes comes out of it unchanged, so that clipper is
// skipped; only the used vertex slots are copied, and only once something
// must change. The records are the viewport's scratch ones when it has them.
class FastWork {
public:
    FastWork(const kzoPoly& polygon, const kzoViewPort& viewPort)
        : p_(&polygon), a_(viewPort.scratch ? viewPort.scratch->clipped[0] : own_[0]),
          b_(viewPort.scratch ? viewPort.scratch->clipped[1] : own_[1])
    {
    }
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
    static const kzoRowKernels& rows() { return kzoBestRows(); }

private:
    const kzoPoly* p_;
    kzoPoly own_[2]; // left unused (and uninitialised) when the viewport has scratch
    kzoPoly& a_;
    kzoPoly& b_;
};

enum class Clipped { kept, empty, overflow };

// Clips, projects, culls and fills. False when a clipper ran out of slots
// (nothing has been drawn then).
template <class Work>
bool drawSteps(const kzoPoly& polygon, const kzoSurface& surface, const kzoViewPort& viewPort)
{
    Work work(polygon, viewPort);
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
    kzoFillSurface(work.current(), surface, viewPort, Work::rows());
    return true;
}

// A triangle cannot outgrow the slots (a convex polygon gains at most one
// vertex per plane: 3 + 6 = 9); a larger polygon that does is drawn as a fan.
template <class Work>
void drawPolygon(const kzoPoly& polygon, const kzoSurface& surface, const kzoViewPort& viewPort)
{
    if (drawSteps<Work>(polygon, surface, viewPort) || polygon.vertexCount <= 3
        || polygon.vertexCount > kzoPolySlots)
        return;
    kzoPoly triangle;
    triangle.vertexCount = 3;
    triangle.normal = polygon.normal;
    triangle.materialIndex = polygon.materialIndex;
    kzoForEachFanTriangle(static_cast<std::size_t>(polygon.vertexCount),
                          [&](std::size_t first, std::size_t second, std::size_t third) {
                              triangle.vertices[0] = polygon.vertices[first];
                              triangle.vertices[1] = polygon.vertices[second];
                              triangle.vertices[2] = polygon.vertices[third];
                              drawSteps<Work>(triangle, surface, viewPort);
                          });
}

} // namespace

void kzoDrawPolygonPlain(const kzoPoly& polygon, const kzoSurface& surface, const kzoViewPort& viewPort)
{
    drawPolygon<PlainWork>(polygon, surface, viewPort);
}

void kzoDrawPolygonFast(const kzoPoly& polygon, const kzoSurface& surface, const kzoViewPort& viewPort)
{
    drawPolygon<FastWork>(polygon, surface, viewPort);
}
