#include "render/pipeline/Clip.hpp"

#include <cmath>

namespace {

float component(const kzoVector& v, int axis)
{
    switch (axis) {
    case 0: return v.x;
    case 1: return v.y;
    case 2: return v.z;
    default: return v.w;
    }
}

float& component(kzoVector& v, int axis)
{
    switch (axis) {
    case 0: return v.x;
    case 1: return v.y;
    case 2: return v.z;
    default: return v.w;
    }
}

// cur + t x (prev - cur), in single precision.
float lerp(float cur, float prev, float t) { return cur + t * (prev - cur); }

// Ceil taken in double; a NaN (an edge with a NaN end) gives 0 instead of an
// undefined conversion.
std::int32_t ceilToInt(float v) { return kzoRoundToInt(std::ceil(static_cast<double>(v))); }

std::int32_t lerpColour(std::int32_t cur, std::int32_t prev, float t)
{
    return cur + ceilToInt(static_cast<float>(prev - cur) * t);
}

// The vertex where the edge (prev, cur) meets the plane c = bound: c is bound
// exactly, everything else is interpolated from cur towards prev.
void intersect(kzoVertex& out, const kzoVertex& prev, const kzoVertex& cur, int axis, float bound)
{
    const float t = (bound - component(cur.position, axis)) / (component(prev.position, axis) - component(cur.position, axis));
    out.position = {lerp(cur.position.x, prev.position.x, t), lerp(cur.position.y, prev.position.y, t),
                    lerp(cur.position.z, prev.position.z, t), lerp(cur.position.w, prev.position.w, t)};
    component(out.position, axis) = bound;
    // The normal's w, the influences and their count are not read after
    // clipping; they are given plain values so no slot keeps stale data.
    out.normal = {lerp(cur.normal.x, prev.normal.x, t), lerp(cur.normal.y, prev.normal.y, t),
                  lerp(cur.normal.z, prev.normal.z, t), 1.0f};
    out.texCoord = {lerp(cur.texCoord.x, prev.texCoord.x, t), lerp(cur.texCoord.y, prev.texCoord.y, t)};
    out.spare[0] = lerp(cur.spare[0], prev.spare[0], t);
    out.spare[1] = lerp(cur.spare[1], prev.spare[1], t);
    out.colour = {lerpColour(cur.colour.r, prev.colour.r, t), lerpColour(cur.colour.g, prev.colour.g, t),
                  lerpColour(cur.colour.b, prev.colour.b, t), lerpColour(cur.colour.a, prev.colour.a, t)};
    out.screenX = kzoRoundToInt(out.position.x);
    out.screenY = kzoRoundToInt(out.position.y);
    out.influenceCount = 0;
}

bool inside(const kzoVertex& v, int axis, float bound, bool keepAbove)
{
    const float c = component(v.position, axis);
    return keepAbove ? c >= bound : c <= bound;
}

// How many vertices one pass emits: each kept vertex, plus one for every edge
// that crosses the plane.
int passCount(const kzoPoly& source, int axis, float bound, bool keepAbove)
{
    const int n = source.vertexCount;
    int count = 0;
    bool prevIn = inside(source.vertices[n - 1], axis, bound, keepAbove);
    for (int i = 0; i < n; ++i) {
        const bool curIn = inside(source.vertices[i], axis, bound, keepAbove);
        count += (curIn ? 1 : 0) + (curIn != prevIn ? 1 : 0);
        prevIn = curIn;
    }
    return count;
}

// One Sutherland-Hodgman pass against c = bound; false when the result would
// not fit the polygon's slots (result then empty).
bool clipPass(kzoPoly& result, const kzoPoly& source, int axis, float bound, bool keepAbove)
{
    result.normal = source.normal;
    result.materialIndex = source.materialIndex;
    result.vertexCount = 0;
    const int n = source.vertexCount;
    if (n <= 0 || n > kzoPolySlots)
        return n <= 0;
    if (passCount(source, axis, bound, keepAbove) > kzoPolySlots)
        return false;

    int out = 0;
    const kzoVertex* prev = &source.vertices[n - 1];
    bool prevIn = inside(*prev, axis, bound, keepAbove);
    for (int i = 0; i < n; ++i) {
        const kzoVertex& cur = source.vertices[i];
        const bool curIn = inside(cur, axis, bound, keepAbove);
        if (prevIn != curIn)
            intersect(result.vertices[out++], *prev, cur, axis, bound);
        if (curIn)
            result.vertices[out++] = cur;
        prev = &cur;
        prevIn = curIn;
    }
    result.vertexCount = out;
    return true;
}

} // namespace

kzoClipPlanes kzoDepthPlanes(const kzoViewPort& viewPort) { return {2, viewPort.near, viewPort.far, false}; }
kzoClipPlanes kzoWPlanes(const kzoViewPort& viewPort) { return {3, -viewPort.far, -viewPort.near, true}; }

kzoClipPlanes kzoXPlanes(const kzoViewPort& viewPort)
{
    return {0, static_cast<float>(viewPort.clipLeft), static_cast<float>(viewPort.clipRight), false};
}

kzoClipPlanes kzoYPlanes(const kzoViewPort& viewPort)
{
    return {1, static_cast<float>(viewPort.clipTop), static_cast<float>(viewPort.clipBottom), false};
}

bool kzoInsidePlanes(const kzoPoly& polygon, const kzoClipPlanes& planes)
{
    for (int i = 0; i < polygon.vertexCount; ++i) {
        const float c = component(polygon.vertices[i].position, planes.axis);
        if (!(c >= planes.low && c <= planes.high))
            return false;
    }
    return true;
}

bool kzoClipPolygon(kzoPoly& result, const kzoPoly& source, const kzoClipPlanes& planes)
{
    kzoPoly between;
    const float first = planes.highFirst ? planes.high : planes.low;
    const float second = planes.highFirst ? planes.low : planes.high;
    if (!clipPass(between, source, planes.axis, first, !planes.highFirst)) {
        result.vertexCount = 0;
        return false;
    }
    if (between.vertexCount == 0) {
        result.normal = source.normal;
        result.materialIndex = source.materialIndex;
        result.vertexCount = 0;
        return true;
    }
    return clipPass(result, between, planes.axis, second, planes.highFirst);
}

bool kzoClipDepth(kzoPoly& result, const kzoPoly& source, const kzoViewPort& viewPort)
{
    return kzoClipPolygon(result, source, kzoDepthPlanes(viewPort));
}

bool kzoClipW(kzoPoly& result, const kzoPoly& source, const kzoViewPort& viewPort)
{
    return kzoClipPolygon(result, source, kzoWPlanes(viewPort));
}

bool kzoClipX(kzoPoly& result, const kzoPoly& source, const kzoViewPort& viewPort)
{
    return kzoClipPolygon(result, source, kzoXPlanes(viewPort));
}

bool kzoClipY(kzoPoly& result, const kzoPoly& source, const kzoViewPort& viewPort)
{
    return kzoClipPolygon(result, source, kzoYPlanes(viewPort));
}
