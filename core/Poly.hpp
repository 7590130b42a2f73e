#pragma once
// Vertices and polygons.
// Every polygon carries full copies of its vertices, and every vertex carries
// what any stage needs: model position, normal, texture coordinate, colour,
// skinning weights and, once projected, its pixel position.

#include <cstdint>
#include <span>

#include "core/Math.hpp"

// The most vertices kzoCreatePoly accepts; clipping may fill one slot more.
inline constexpr int kzoMaxVertex = 8;
inline constexpr int kzoPolySlots = 9;

struct kzoVertexColour {
    std::int32_t r, g, b, a;
};

struct kzoInfluence {
    std::int32_t jointIndex;
    float weight;
};

struct kzoVertex {
    // Model point; in the renderer's copy in turn the skinned point, the clip-space
    // point and, once projected, (screen x, screen y, depth, 1 / -clip w).
    kzoVector position;
    kzoVector normal;
    // (u, v): 0 and 1 address the first and last texel; after projection divided by -clip w.
    kzoVector2 texCoord;
    float spare[2];
    kzoVertexColour colour;
    // The projected position rounded to the nearest pixel.
    std::int32_t screenX, screenY;
    kzoInfluence influences[kzoPolySlots];
    std::int32_t influenceCount; // 0: not skinned
};

struct kzoPoly {
    kzoVertex vertices[kzoPolySlots];
    std::int32_t vertexCount;
    kzoVector normal; // unit face normal as built, (0, 0, 0, 1) without area
    std::int32_t materialIndex;
};

static_assert(sizeof(kzoVertex) == 148);
static_assert(sizeof(kzoPoly) == 9 * 148 + 4 + 16 + 4);

// The unit normal of a polygon with corners at these positions: twice the
// vector area, the sum of the cross products of neighbouring positions in order
// (the closing pair last) starting from (0, 0, 0), normalised when it has a
// length, as (x, y, z, 1); (0, 0, 0, 1) without corners. kzoCreatePoly and every
// builder that holds positions in tables of its own use these, one compiled
// instance each: where two NaNs meet, which one an addition passes on depends on
// the operand order the compiler picks, so even a normal of NaN positions is
// then the same bits everywhere. A polygon of 3 corners takes kzoTriangleNormal.
kzoVector kzoPolygonNormal(std::span<const kzoVector* const> corners);
kzoVector kzoTriangleNormal(const kzoVector& p0, const kzoVector& p1, const kzoVector& p2);

// Fills polygon from 1 to 8 vertices (more: "kzoCreatePoly: v > kzoMaxVertex")
// and computes its normal from the positions. Slots beyond the count are left
// as they were. No vertices give an empty polygon with normal (0, 0, 0, 1).
void kzoCreatePoly(kzoPoly& polygon, std::span<const kzoVertex> vertices, std::int32_t materialIndex);

// Sets position x, y, z (w is left alone), normal (nx, ny, nz, 1), the texture
// coordinate, the colour, and influenceCount 0. Nothing else is touched.
void kzoMakeVertex(kzoVertex& vertex, float x, float y, float z, float nx, float ny, float nz, float u, float v,
                   std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);

// Screen-space winding: true when the vertices run clockwise as seen (twice the
// signed area S >= 1, y growing downwards). A polygon without area is drawn.
// The sums are exact in 64 bits; an overflow stops the program.
bool kzoTriangleFacesAway(const kzoPoly& polygon);
bool kzoPolyFacesAway(const kzoPoly& polygon);

// The triangle test on three pixel positions, for projected vertices that are
// not in a polygon record (the renderer's indexed route culls per triangle).
bool kzoScreenTriangleFacesAwayChecked(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                                       std::int32_t x2, std::int32_t y2);

// With every coordinate below 2^30 in magnitude no product or sum can leave 64
// bits (3 x 2^30 x 2^31 < 2^63), so the sum is formed without overflow checks;
// other positions take the checked sum, which stops the program on overflow.
inline bool kzoScreenTriangleFacesAway(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                                       std::int32_t x2, std::int32_t y2)
{
    constexpr std::uint32_t limit = 1u << 30;
    const auto small = [](std::int32_t c) { return static_cast<std::uint32_t>(c) + limit < 2 * limit; };
    if (!(small(x0) && small(y0) && small(x1) && small(y1) && small(x2) && small(y2)))
        return kzoScreenTriangleFacesAwayChecked(x0, y0, x1, y1, x2, y2);
    const std::int64_t s = std::int64_t{x0} * (std::int64_t{y1} - y2) + std::int64_t{x1} * (std::int64_t{y2} - y0)
                           + std::int64_t{x2} * (std::int64_t{y0} - y1);
    return s >= 1;
}
