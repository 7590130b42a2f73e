#include "core/TriangleNormals.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

// Lane t of x, y, z: corner k of triangle t.
struct Lanes {
    __m128 x, y, z;
};

Lanes corner(const kzoVector* const (&corners)[4][3], int k)
{
    __m128 a = _mm_loadu_ps(&corners[0][k]->x), b = _mm_loadu_ps(&corners[1][k]->x);
    __m128 c = _mm_loadu_ps(&corners[2][k]->x), d = _mm_loadu_ps(&corners[3][k]->x);
    _MM_TRANSPOSE4_PS(a, b, c, d);
    return {a, b, c};
}

// kzoCross's three components, lane by lane.
Lanes cross(const Lanes& a, const Lanes& b)
{
    return {_mm_sub_ps(_mm_mul_ps(a.y, b.z), _mm_mul_ps(a.z, b.y)),
            _mm_sub_ps(_mm_mul_ps(a.z, b.x), _mm_mul_ps(a.x, b.z)),
            _mm_sub_ps(_mm_mul_ps(a.x, b.y), _mm_mul_ps(a.y, b.x))};
}

Lanes add(const Lanes& a, const Lanes& b)
{
    return {_mm_add_ps(a.x, b.x), _mm_add_ps(a.y, b.y), _mm_add_ps(a.z, b.z)};
}

__m128 select(__m128 mask, __m128 yes, __m128 no) { return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no)); }

bool anyNaN(const Lanes& a)
{
    return _mm_movemask_ps(_mm_or_ps(_mm_or_ps(_mm_cmpunord_ps(a.x, a.x), _mm_cmpunord_ps(a.y, a.y)),
                                     _mm_cmpunord_ps(a.z, a.z))) != 0;
}

} // namespace

void kzoTriangleNormals4(const kzoVector* const (&corners)[4][3], kzoVector (&normals)[4])
{
    const Lanes p0 = corner(corners, 0), p1 = corner(corners, 1), p2 = corner(corners, 2);
    if (anyNaN(p0) || anyNaN(p1) || anyNaN(p2)) {
        for (int t = 0; t < 4; ++t)
            normals[t] = kzoTriangleNormal(*corners[t][0], *corners[t][1], *corners[t][2]);
        return;
    }
    const __m128 zero = _mm_setzero_ps();
    // ((0 + p0 x p1) + p1 x p2) + p2 x p0, as kzoTriangleNormal adds them.
    Lanes s = add({zero, zero, zero}, cross(p0, p1));
    s = add(s, cross(p1, p2));
    s = add(s, cross(p2, p0));
    const __m128 length =
        _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(s.x, s.x), _mm_mul_ps(s.y, s.y)), _mm_mul_ps(s.z, s.z)));
    // Normalised only where the length is above 0 (a NaN length is not).
    const __m128 normalise = _mm_cmpgt_ps(length, zero);
    __m128 x = select(normalise, _mm_div_ps(s.x, length), s.x);
    __m128 y = select(normalise, _mm_div_ps(s.y, length), s.y);
    __m128 z = select(normalise, _mm_div_ps(s.z, length), s.z);
    __m128 w = _mm_set1_ps(1.0f);
    _MM_TRANSPOSE4_PS(x, y, z, w);
    _mm_storeu_ps(&normals[0].x, x);
    _mm_storeu_ps(&normals[1].x, y);
    _mm_storeu_ps(&normals[2].x, z);
    _mm_storeu_ps(&normals[3].x, w);
}

#else

void kzoTriangleNormals4(const kzoVector* const (&corners)[4][3], kzoVector (&normals)[4])
{
    for (int t = 0; t < 4; ++t)
        normals[t] = kzoTriangleNormal(*corners[t][0], *corners[t][1], *corners[t][2]);
}

#endif
