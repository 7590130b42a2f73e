#include "render/pipeline/ProjectVertices.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace {

void projectOne(const kzoVector& position, const kzoVector2& texCoord, const kzoMatrix& mvp,
                const kzoVertexTarget& t, kzoScreenVertex& screen, std::uint8_t& outside)
{
    const kzoVector clip = kzoTransform(mvp, {position.x, position.y, position.z, 1.0f});
    const kzoProjectedPoint p = kzoProjectPoint(clip, texCoord, t.centerX, t.centerY);
    screen = p.vertex;
    outside = static_cast<std::uint8_t>(kzoOutsideBits(clip.z, t.depth, kzoDepthShift)
                                        | kzoOutsideBits(clip.w, t.w, kzoWShift)
                                        | kzoOutsideBits(p.x, t.x, kzoXShift) | kzoOutsideBits(p.y, t.y, kzoYShift));
}

#if defined(__SSE2__)

// ((x m0c + y m1c) + z m2c) + 1 m3c, lane by lane: kzoTransform with w = 1.
struct Column {
    __m128 m0, m1, m2, m3;
    Column(const kzoMatrix& m, int c)
        : m0(_mm_set1_ps(m[0][c])), m1(_mm_set1_ps(m[1][c])), m2(_mm_set1_ps(m[2][c])), m3(_mm_set1_ps(m[3][c]))
    {
    }
    __m128 operator()(__m128 x, __m128 y, __m128 z) const
    {
        const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, m0), _mm_mul_ps(y, m1)), _mm_mul_ps(z, m2));
        return _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(1.0f), m3));
    }
};

// F and S bits of four values (kzoOutsideBits lane by lane).
__m128i outsideLanes(__m128 c, const kzoClipPlanes& planes, int shift)
{
    const __m128 low = _mm_set1_ps(planes.low), high = _mm_set1_ps(planes.high);
    const __m128 first = planes.highFirst ? _mm_cmple_ps(c, high) : _mm_cmpge_ps(c, low);
    const __m128 second = planes.highFirst ? _mm_cmpge_ps(c, low) : _mm_cmple_ps(c, high);
    const __m128i failsFirst = _mm_andnot_si128(_mm_castps_si128(first), _mm_set1_epi32(1 << shift));
    const __m128i failsSecond =
        _mm_and_si128(_mm_castps_si128(_mm_andnot_ps(second, first)), _mm_set1_epi32(2 << shift));
    return _mm_or_si128(failsFirst, failsSecond);
}

// kzoRoundToInt lane by lane: the conversion rounds like it for magnitudes
// below 2^31; other lanes (and NaN) take the plain rounding.
__m128i roundLanes(__m128 v)
{
    const __m128i rounded = _mm_cvtps_epi32(v);
    const __m128 magnitude = _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
    if (_mm_movemask_ps(_mm_cmplt_ps(magnitude, _mm_set1_ps(2147483648.0f))) == 0xF)
        return rounded;
    alignas(16) float values[4];
    alignas(16) std::int32_t result[4];
    _mm_store_ps(values, v);
    for (int k = 0; k < 4; ++k)
        result[k] = kzoRoundToInt(values[k]);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(result));
}

void projectVerticesSse2(const kzoVector* positions, const kzoVector2* texCoords, std::size_t count,
                         const kzoMatrix& mvp, const kzoVertexTarget& t, kzoScreenVertex* screen,
                         std::uint8_t* outside)
{
    const Column toX(mvp, 0), toY(mvp, 1), toZ(mvp, 2), toW(mvp, 3);
    const __m128 centerX = _mm_set1_ps(t.centerX), centerY = _mm_set1_ps(t.centerY);
    const __m128 one = _mm_set1_ps(1.0f), sign = _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN));
    std::size_t v = 0;
    for (; v + 4 <= count; v += 4) {
        __m128 x = _mm_loadu_ps(&positions[v].x), y = _mm_loadu_ps(&positions[v + 1].x);
        __m128 z = _mm_loadu_ps(&positions[v + 2].x), w = _mm_loadu_ps(&positions[v + 3].x);
        _MM_TRANSPOSE4_PS(x, y, z, w);
        const __m128 clipX = toX(x, y, z), clipY = toY(x, y, z), clipZ = toZ(x, y, z), clipW = toW(x, y, z);
        // kzoProjectPoint: a = 1 / -w, then the screen position, depth and (u, v) times a.
        const __m128 a = _mm_div_ps(one, _mm_xor_ps(clipW, sign));
        const __m128 screenX = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(clipX, centerX), a), centerX);
        const __m128 screenY = _mm_sub_ps(centerY, _mm_mul_ps(_mm_mul_ps(clipY, centerY), a));
        const __m128 uv01 = _mm_loadu_ps(&texCoords[v].x), uv23 = _mm_loadu_ps(&texCoords[v + 2].x);
        __m128 depth = _mm_mul_ps(clipZ, a);
        __m128 invW = a;
        __m128 u = _mm_mul_ps(_mm_shuffle_ps(uv01, uv23, _MM_SHUFFLE(2, 0, 2, 0)), a);
        __m128 vv = _mm_mul_ps(_mm_shuffle_ps(uv01, uv23, _MM_SHUFFLE(3, 1, 3, 1)), a);
        const __m128i pixelX = roundLanes(screenX), pixelY = roundLanes(screenY);

        const __m128i bits = _mm_or_si128(
            _mm_or_si128(outsideLanes(clipZ, t.depth, kzoDepthShift), outsideLanes(clipW, t.w, kzoWShift)),
            _mm_or_si128(outsideLanes(screenX, t.x, kzoXShift), outsideLanes(screenY, t.y, kzoYShift)));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(bits, bits), _mm_setzero_si128());
        const std::int32_t packed = _mm_cvtsi128_si32(bytes);
        __builtin_memcpy(outside + v, &packed, 4);

        _MM_TRANSPOSE4_PS(depth, invW, u, vv);
        _mm_storeu_ps(&screen[v].depth, depth);
        _mm_storeu_ps(&screen[v + 1].depth, invW);
        _mm_storeu_ps(&screen[v + 2].depth, u);
        _mm_storeu_ps(&screen[v + 3].depth, vv);
        const __m128i xy01 = _mm_unpacklo_epi32(pixelX, pixelY), xy23 = _mm_unpackhi_epi32(pixelX, pixelY);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&screen[v].screenX), xy01);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&screen[v + 1].screenX), _mm_unpackhi_epi64(xy01, xy01));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&screen[v + 2].screenX), xy23);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&screen[v + 3].screenX), _mm_unpackhi_epi64(xy23, xy23));
    }
    for (; v < count; ++v)
        projectOne(positions[v], texCoords[v], mvp, t, screen[v], outside[v]);
}

#endif

} // namespace

void kzoProjectVerticesPlain(const kzoVector* positions, const kzoVector2* texCoords, std::size_t count,
                             const kzoMatrix& mvp, const kzoVertexTarget& target, kzoScreenVertex* screen,
                             std::uint8_t* outside)
{
    for (std::size_t v = 0; v < count; ++v)
        projectOne(positions[v], texCoords[v], mvp, target, screen[v], outside[v]);
}

kzoProjectVertices kzoProjectVerticesSse2()
{
#if defined(__SSE2__)
    return projectVerticesSse2;
#else
    return nullptr;
#endif
}

kzoProjectVertices kzoProjectVerticesBest()
{
    const kzoProjectVertices sse2 = kzoProjectVerticesSse2();
    return sse2 ? sse2 : kzoProjectVerticesPlain;
}
