#pragma once
// The four polygon clippers: each cuts a polygon against one pair of parallel
// planes (clip-space depth, clip-space w, then screen x and screen y), keeping
// what lies on or between them. Slots are never written past the polygon's nine.

#include "core/Poly.hpp"
#include "render/viewport/ViewPort.hpp"

// The part of source on or between the clipper's two planes; vertexCount 0 when
// nothing is left. The result keeps source's normal and material index. result
// and source must be different records. A convex polygon gains at most one
// vertex per plane, so a triangle always fits; when a pass would need more than
// the nine slots the clipper gives up: it returns false with vertexCount 0.
//
//   kzoClipDepth: near <= z <= far (clip space), low plane first
//   kzoClipW:     -far <= w <= -near (clip space), high plane first
//   kzoClipX:     clipLeft <= x <= clipRight (screen), low plane first
//   kzoClipY:     clipTop <= y <= clipBottom (screen), low plane first
bool kzoClipDepth(kzoPoly& result, const kzoPoly& source, const kzoViewPort& viewPort);
bool kzoClipW(kzoPoly& result, const kzoPoly& source, const kzoViewPort& viewPort);
bool kzoClipX(kzoPoly& result, const kzoPoly& source, const kzoViewPort& viewPort);
bool kzoClipY(kzoPoly& result, const kzoPoly& source, const kzoViewPort& viewPort);

// Which position component a clipper tests, and its two bounds.
struct kzoClipPlanes {
    int axis;     // 0 x, 1 y, 2 z, 3 w of position
    float low;    // kept when >= low
    float high;   // kept when <= high
    bool highFirst;
};

kzoClipPlanes kzoDepthPlanes(const kzoViewPort& viewPort);
kzoClipPlanes kzoWPlanes(const kzoViewPort& viewPort);
kzoClipPlanes kzoXPlanes(const kzoViewPort& viewPort);
kzoClipPlanes kzoYPlanes(const kzoViewPort& viewPort);

// True when every vertex of polygon lies on or between the planes: the clipper
// would then return the polygon unchanged (same vertices, same order).
bool kzoInsidePlanes(const kzoPoly& polygon, const kzoClipPlanes& planes);

// The clipper for any pair of planes; the four above call it.
bool kzoClipPolygon(kzoPoly& result, const kzoPoly& source, const kzoClipPlanes& planes);
