#pragma once
// The renderer's target: frame buffer, clip rectangle, near and far distances,
// screen centre, projection, depth buffer and the two per-row side tables.
// Copies of a viewport share its depth buffer and side tables (and the frame
// buffer's pixels), so every object of a scene is drawn against one depth buffer.

#include <cstdint>

#include "core/Core.hpp"
#include "core/SharedArray.hpp"
#include "pelto/Image.hpp"

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
};

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
