#pragma once
// The indexed route's per-vertex step: each mesh vertex transformed to clip
// space (position with w := 1, times the model-view-projection matrix),
// projected to the screen and marked with the clip planes it lies outside of.
// The operations and their order are those of the per-corner route (kzoTransform,
// kzoProjectPoint), so a vertex gives the same bits on both. The plain loop is
// the reference; the SSE2 one does four vertices at a time, lane for lane the
// same operations.

#include <cstddef>
#include <cstdint>

#include "core/Math.hpp"
#include "render/pipeline/Clip.hpp"
#include "render/viewport/ViewPort.hpp"

// Two bits per clipper, in pipeline order (depth, w, x, y): F, the vertex
// fails the plane the clipper cuts first (NaN fails every plane); S, it passes
// that one and fails the second.
inline constexpr int kzoDepthShift = 0, kzoWShift = 2, kzoXShift = 4, kzoYShift = 6;
inline constexpr std::uint8_t kzoClipSpaceBits = 0x0F, kzoScreenBits = 0xF0;

// The clippers' own comparisons (>= low, <= high), in their order.
inline std::uint8_t kzoOutsideBits(float c, const kzoClipPlanes& planes, int shift)
{
    const bool first = planes.highFirst ? c <= planes.high : c >= planes.low;
    const bool second = planes.highFirst ? c >= planes.low : c <= planes.high;
    const int bits = !first ? 1 : !second ? 2 : 0;
    return static_cast<std::uint8_t>(bits << shift);
}

// What the per-vertex step needs of the viewport.
struct kzoVertexTarget {
    kzoClipPlanes depth, w, x, y;
    float centerX, centerY;
};

inline kzoVertexTarget kzoVertexTargetOf(const kzoViewPort& viewPort)
{
    return {kzoDepthPlanes(viewPort), kzoWPlanes(viewPort), kzoXPlanes(viewPort), kzoYPlanes(viewPort),
            viewPort.centerX, viewPort.centerY};
}

// Vertices 0 .. count - 1 into screen[] and outside[].
using kzoProjectVertices = void (*)(const kzoVector* positions, const kzoVector2* texCoords, std::size_t count,
                                    const kzoMatrix& mvp, const kzoVertexTarget& target, kzoScreenVertex* screen,
                                    std::uint8_t* outside);

void kzoProjectVerticesPlain(const kzoVector* positions, const kzoVector2* texCoords, std::size_t count,
                             const kzoMatrix& mvp, const kzoVertexTarget& target, kzoScreenVertex* screen,
                             std::uint8_t* outside);

// Null on processors without SSE2.
kzoProjectVertices kzoProjectVerticesSse2();

// The fastest this processor runs.
kzoProjectVertices kzoProjectVerticesBest();
