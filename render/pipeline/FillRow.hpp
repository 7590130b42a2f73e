#pragma once
// Kernels of the span rasterizer: the walk of one polygon edge into a side
// table, and the pixels [left.offset, right.offset) of one row, each drawn
// when its depth is strictly greater than the buffer's, with its texel or a
// flat colour.
//
// The plain kernels are the reference. The SSE2 and AVX2 kernels keep the
// per-pixel depth, 1/w and u, v as the same serial sums in scalar (one add per
// pixel, the rounding of every step kept), then divide, look up, test and
// store four or eight pixels at a time; each lane does the plain kernel's
// operations in its order, so every kernel gives the same bits.

#include <cstdint>

#include "core/Poly.hpp"
#include "pelto/base/Image.hpp"
#include "render/viewport/ViewPort.hpp"

// The texture a row samples, with its lookup scales (width - 1, height - 1).
struct kzoTexels {
    const std::uint32_t* pixels;
    std::uint32_t width, height;
    float columnScale, rowScale;
};

inline kzoTexels kzoTexelsOf(const peltoImage& texture)
{
    return {texture.pixels, texture.width, texture.height, static_cast<float>(texture.width - 1),
            static_cast<float>(texture.height - 1)};
}

// column wrapped into 0 .. size - 1 (repeat), never negative. Coordinates
// inside 0..1 need no division (a 64-bit one costs tens of cycles per pixel).
inline std::uint32_t kzoWrapTexel(std::int32_t column, std::uint32_t size)
{
    if (static_cast<std::uint32_t>(column) < size)
        return static_cast<std::uint32_t>(column);
    const std::int64_t r = static_cast<std::int64_t>(column) % static_cast<std::int64_t>(size);
    return static_cast<std::uint32_t>(r < 0 ? r + size : r);
}

// The nearest texel of the perspective-corrected (u, v): w = 1 / invW, texel
// (round(columnScale x (uOverW x w)), round(rowScale x (vOverW x w))), wrapped.
inline std::uint32_t kzoTexelAt(const kzoTexels& t, float invW, float uOverW, float vOverW)
{
    const float w = 1.0f / invW;
    const std::int32_t column = kzoRoundToInt(t.columnScale * (uOverW * w));
    const std::int32_t row = kzoRoundToInt(t.rowScale * (vOverW * w));
    return t.pixels[kzoWrapTexel(column, t.width) + std::uint64_t{kzoWrapTexel(row, t.height)} * t.width];
}

// Per-pixel steps of a row of n pixels: (right - left) / n, n converted to float.
struct kzoRowSteps {
    float depth, invW, u, v;
};

inline kzoRowSteps kzoRowStepsOf(const kzoScreenSideType& left, const kzoScreenSideType& right, std::int32_t n)
{
    const auto pixels = static_cast<float>(n);
    return {(right.depth - left.depth) / pixels, (right.invW - left.invW) / pixels,
            (right.uOverW - left.uOverW) / pixels, (right.vOverW - left.vOverW) / pixels};
}

// Texture sizes whose texel indices the lane kernels form in 32 bits; larger
// ones take the plain kernel.
inline bool kzoLaneIndexable(const kzoTexels& t)
{
    return std::uint64_t{t.width} * t.height <= 0x7FFFFFFFu;
}

// Pixels i .. end - 1 one at a time, from the serial sums' values at pixel i:
// the plain kernels' loop, with which the lane kernels finish their rows.
inline void kzoTexturedPixels(std::int32_t i, std::int32_t end, float depth, float invW, float u, float v,
                              const kzoRowSteps& step, const kzoTexels& t, float* depthBuffer, std::uint32_t* frame)
{
    for (; i < end; ++i) {
        if (depth > depthBuffer[i]) {
            frame[i] = kzoTexelAt(t, invW, u, v);
            depthBuffer[i] = depth;
        }
        depth += step.depth;
        invW += step.invW;
        u += step.u;
        v += step.v;
    }
}

// The same for a flat colour: only the depth is summed.
inline void kzoColourPixels(std::int32_t i, std::int32_t end, float depth, float depthStep, std::uint32_t colour,
                            float* depthBuffer, std::uint32_t* frame)
{
    for (; i < end; ++i) {
        if (depth > depthBuffer[i]) {
            frame[i] = colour;
            depthBuffer[i] = depth;
        }
        depth += depthStep;
    }
}

using kzoTexturedRow = void (*)(const kzoScreenSideType& left, const kzoScreenSideType& right, const kzoTexels& texels,
                                float* depthBuffer, std::uint32_t* frame);
using kzoColourRow = void (*)(const kzoScreenSideType& left, const kzoScreenSideType& right, std::uint32_t colour,
                              float* depthBuffer, std::uint32_t* frame);

// Walks the edge from a to b into side, one entry per row from a's row to the
// row above b's; an edge that does not descend writes only the offset of a's
// row. The linear pixel index is interpolated directly (in double), so x and
// the row advance together; the row part stays exact because the frame width
// is an integer. Depth, 1/w, u and v step by (b - a) / rows in float.
// The start of every edge walk: an edge that does not descend writes only the
// offset of a's row (false); otherwise offset and offsetStep are the linear
// pixel index at a and its step per row, in double.
inline bool kzoEdgeOffsets(kzoScreenSideType* side, const kzoScreenVertex& a, const kzoScreenVertex& b,
                           std::int64_t frameWidth, double& offset, double& offsetStep)
{
    const std::int32_t dy = b.screenY - a.screenY;
    const std::int64_t startOffset = a.screenY * frameWidth + a.screenX;
    if (dy < 1) {
        side[a.screenY].offset = static_cast<std::int32_t>(startOffset);
        return false;
    }
    offset = static_cast<double>(startOffset);
    offsetStep = (static_cast<double>(b.screenY * frameWidth + b.screenX) - offset) / dy;
    return true;
}

using kzoEdgeWalk = void (*)(kzoScreenSideType* side, const kzoScreenVertex& a, const kzoScreenVertex& b,
                             std::int64_t frameWidth);

struct kzoRowKernels {
    kzoTexturedRow textured;
    kzoColourRow colour;
    kzoEdgeWalk edge;
};

// The reference kernels, which the plain pipeline uses.
const kzoRowKernels& kzoPlainRows();

// SSE2 kernels (null members on processors without SSE2) and AVX2 kernels
// (null unless the processor has AVX2, checked at run time).
const kzoRowKernels& kzoSse2Rows();
const kzoRowKernels& kzoAvx2Rows();

// The fastest kernels this processor runs.
const kzoRowKernels& kzoBestRows();
