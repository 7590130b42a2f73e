#pragma once
// The renderer's target: frame buffer, clip rectangle, near and far distances,
// screen centre, projection, depth buffer and the two per-row side tables.
// Copies of a viewport share its depth buffer and side tables (and the frame
// buffer's pixels), so every object of a scene is drawn against one depth buffer.
// They share the renderer's working memory too (RenderScratch.hpp): it belongs
// to the target the renderer draws into, not to the objects it draws.

#include <cstdint>
#include <memory>

#include "core/Core.hpp"
#include "core/SharedArray.hpp"
#include "pelto/base/Image.hpp"
#include "render/viewport/ScreenSide.hpp"

struct kzoRenderScratch; // RenderScratch.hpp

struct kzoViewPort {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t clipLeft = 0;
    std::uint32_t clipRight = 0;
    std::uint32_t clipTop = 0;
    std::uint32_t clipBottom = 0;
    float near = 0;
    float far = 0;
    float centerX = 0;
    float centerY = 0;
    kzoMatrix projection{};
    peltoImage frameImage; // shares the frame buffer's pixels
    std::int32_t depthClearLimit = 0;
    std::int32_t depthClearCounter = 0;
    // width x height entries, index row x width + column; larger is nearer.
    kzoSharedArray<float> depthBuffer;
    kzoSharedArray<kzoScreenSideType> leftSide;  // height entries
    kzoSharedArray<kzoScreenSideType> rightSide; // height entries
    // Transformed vertices and clip records, grown to the largest object drawn
    // and reused: a frame after the first allocates nothing.
    std::shared_ptr<kzoRenderScratch> scratch;
};

// A projected vertex: what culling and the rasterizer read of it.
struct kzoScreenVertex {
    float depth;          // z / -w
    float invW;           // 1 / -w
    float uOverW, vOverW; // the texture coordinate divided by -w
    std::int32_t screenX, screenY;
};
static_assert(sizeof(kzoScreenVertex) == 24);

// The projection of one clip-space point; x and y are the screen position
// before rounding, which the screen clippers test.
struct kzoProjectedPoint {
    float x, y;
    kzoScreenVertex vertex;
};

// A = 1 / -w; x' = x.cx.A + cx, y' = cy - y.cy.A, depth z.A, (u.A, v.A). The
// one order of operations for every route: projected once per mesh vertex or
// per clipped corner, a point gives the same bits.
inline kzoProjectedPoint kzoProjectPoint(const kzoVector& p, const kzoVector2& uv, float centerX, float centerY)
{
    const float a = 1.0f / -p.w;
    const float screenX = ((p.x * centerX) * a) + centerX;
    const float screenY = centerY - ((p.y * centerY) * a);
    return {screenX, screenY, {p.z * a, a, uv.x * a, uv.y * a, kzoRoundToInt(screenX), kzoRoundToInt(screenY)}};
}

// Builds a viewport for frame: near 0.1, far 1000, a 90-degree projection,
// a cleared depth buffer and zeroed side tables.
void kzoInitViewPort(kzoViewPort& viewPort, const peltoImage& frame);

// Projection for a field of view in degrees. Clip w is +2fn/(f - n) . z and
// clip z is -(f + n)/(f - n) . z + 1: visible points have z < 0 and negative w.
kzoMatrix kzoPerspective(float fieldOfView, float aspect, float near, float far);

// Once per frame before the first object: clears the depth buffer.
void kzoStartFrame(kzoViewPort& viewPort);

// Every depth entry := near.
void kzoClearDepth(kzoViewPort& viewPort);

// Clip space to screen: A = 1 / -w; x' = x.cx.A + cx, y' = cy - y.cy.A;
// position := (x', y', z.A, A), texCoord := (u.A, v.A), screenX/Y rounded.
kzoVertex kzoProjectVertex(const kzoVertex& source, float centerX, float centerY);
