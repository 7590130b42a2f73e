#include "core/Poly.hpp"

#include "pelto/base/Log.hpp"

namespace {

[[noreturn]] void windingOverflow()
{
    FatalError("Integer overflow in the winding test");
}

std::int64_t mul(std::int64_t a, std::int64_t b)
{
    std::int64_t r;
    if (__builtin_mul_overflow(a, b, &r))
        windingOverflow();
    return r;
}

std::int64_t add(std::int64_t a, std::int64_t b)
{
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r))
        windingOverflow();
    return r;
}

std::int64_t sub(std::int64_t a, std::int64_t b)
{
    std::int64_t r;
    if (__builtin_sub_overflow(a, b, &r))
        windingOverflow();
    return r;
}

} // namespace

kzoVector kzoPolygonNormal(std::span<const kzoVector* const> corners)
{
    const std::size_t n = corners.size();
    if (n == 3)
        return kzoTriangleNormal(*corners[0], *corners[1], *corners[2]);
    kzoVector s = kzoMakeVector(0, 0, 0);
    if (n > 0) {
        for (std::size_t i = 0; i + 1 < n; ++i)
            s = kzoAddVector(s, kzoCross(*corners[i], *corners[i + 1]));
        s = kzoAddVector(s, kzoCross(*corners[n - 1], *corners[0]));
    }
    if (kzoLength3(s) > 0)
        s = kzoNormalize3(s);
    return kzoMakeVector(s.x, s.y, s.z);
}

kzoVector kzoTriangleNormal(const kzoVector& p0, const kzoVector& p1, const kzoVector& p2)
{
    kzoVector s = kzoAddVector(kzoMakeVector(0, 0, 0), kzoCross(p0, p1));
    s = kzoAddVector(s, kzoCross(p1, p2));
    s = kzoAddVector(s, kzoCross(p2, p0));
    if (kzoLength3(s) > 0)
        s = kzoNormalize3(s);
    return kzoMakeVector(s.x, s.y, s.z);
}

void kzoCreatePoly(kzoPoly& polygon, std::span<const kzoVertex> vertices, std::int32_t materialIndex)
{
    const std::size_t n = vertices.size();
    if (n > kzoMaxVertex)
        FatalError("kzoCreatePoly: v > kzoMaxVertex");

    polygon.vertexCount = static_cast<std::int32_t>(n);
    for (std::size_t i = 0; i < n; ++i)
        polygon.vertices[i] = vertices[i];
    polygon.materialIndex = materialIndex;

    const kzoVector* corners[kzoMaxVertex];
    for (std::size_t i = 0; i < n; ++i)
        corners[i] = &vertices[i].position;
    polygon.normal = kzoPolygonNormal({corners, n});
}

void kzoMakeVertex(kzoVertex& vertex, float x, float y, float z, float nx, float ny, float nz, float u, float v,
                   std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
{
    vertex.position.x = x;
    vertex.position.y = y;
    vertex.position.z = z;
    vertex.normal = kzoMakeVector(nx, ny, nz);
    vertex.texCoord = {u, v};
    vertex.colour = {r, g, b, a};
    vertex.influenceCount = 0;
}

bool kzoTriangleFacesAway(const kzoPoly& polygon)
{
    const kzoVertex* v = polygon.vertices;
    return kzoScreenTriangleFacesAwayChecked(v[0].screenX, v[0].screenY, v[1].screenX, v[1].screenY, v[2].screenX,
                                             v[2].screenY);
}

bool kzoScreenTriangleFacesAwayChecked(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                                       std::int32_t x2, std::int32_t y2)
{
    // Differences of two int32 values always fit; the products may not.
    const std::int64_t s = add(add(mul(x0, std::int64_t{y1} - y2), mul(x1, std::int64_t{y2} - y0)),
                               mul(x2, std::int64_t{y0} - y1));
    return s >= 1;
}

bool kzoPolyFacesAway(const kzoPoly& polygon)
{
    const int n = polygon.vertexCount;
    if (n <= 0)
        return false;
    const kzoVertex* v = polygon.vertices;
    std::int64_t s = 0;
    for (int i = 0; i + 1 < n; ++i)
        s = add(s, sub(mul(v[i].screenX, v[i + 1].screenY), mul(v[i + 1].screenX, v[i].screenY)));
    s = add(s, sub(mul(v[n - 1].screenX, v[0].screenY), mul(v[n - 1].screenY, v[0].screenX)));
    return s >= 1;
}
