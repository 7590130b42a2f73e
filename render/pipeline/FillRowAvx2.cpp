// Row kernels eight pixels at a time with AVX2, chosen at run time: the serial
// sums in scalar, then the depth test, the division 1/invW, the texel
// coordinates, a gather of the texels and masked stores in lanes. Only the
// functions marked with the target attribute use AVX2 instructions, so the
// program still runs on processors without it.

#include "render/pipeline/FillRow.hpp"

#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#include "render/pipeline/FillRowLanes.hpp"
#include <immintrin.h>

#define KZO_AVX2 __attribute__((target("avx2")))

namespace {

constexpr int lanes = 8;

// The serial sums of eight pixels, lane k pixel k.
struct Chains {
    __m256 depth, invW, u, v;
};

// acc holds (depth, invW, u, v) of the next pixel; one add per pixel advances
// all four sums at once, each lane the scalar sum of its own attribute. The
// eight states are then transposed into one vector per attribute in
// registers: a scalar store per value and a vector load of them would stall
// on store forwarding.
KZO_AVX2 Chains nextEight(__m128& acc, const __m128 step)
{
    __m128 p[lanes];
    for (__m128& pixel : p) {
        pixel = acc;
        acc = _mm_add_ps(acc, step);
    }
    const __m256 r0 = _mm256_set_m128(p[4], p[0]), r1 = _mm256_set_m128(p[5], p[1]);
    const __m256 r2 = _mm256_set_m128(p[6], p[2]), r3 = _mm256_set_m128(p[7], p[3]);
    const __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
    const __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
    return {_mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0)), _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2)),
            _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0)), _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2))};
}

// The lanes that the vector lookup cannot serve, drawn by the plain lookup.
KZO_AVX2 void texturedLanesPlain(const Chains& c, int drawn, std::int32_t i, const kzoTexels& t, float* depthBuffer,
                                 std::uint32_t* frame)
{
    alignas(32) float depth[lanes], invW[lanes], u[lanes], v[lanes];
    _mm256_store_ps(depth, c.depth);
    _mm256_store_ps(invW, c.invW);
    _mm256_store_ps(u, c.u);
    _mm256_store_ps(v, c.v);
    for (int k = 0; k < lanes; ++k)
        if (drawn >> k & 1) {
            frame[i + k] = kzoTexelAt(t, invW[k], u[k], v[k]);
            depthBuffer[i + k] = depth[k];
        }
}

// Pixels i .. i + 7. A lane whose texel falls outside the texture (or whose
// coordinate is out of range or NaN) takes the plain lookup, which wraps.
KZO_AVX2 void texturedLanes(const Chains& c, std::int32_t i, const kzoTexels& t, float* depthBuffer,
                            std::uint32_t* frame)
{
    const __m256 nearer = _mm256_cmp_ps(c.depth, _mm256_loadu_ps(depthBuffer + i), _CMP_GT_OQ);
    const int drawn = _mm256_movemask_ps(nearer);
    if (drawn == 0)
        return;
    const __m256 w = _mm256_div_ps(_mm256_set1_ps(1.0f), c.invW);
    const __m256 cf = _mm256_mul_ps(_mm256_set1_ps(t.columnScale), _mm256_mul_ps(c.u, w));
    const __m256 rf = _mm256_mul_ps(_mm256_set1_ps(t.rowScale), _mm256_mul_ps(c.v, w));
    // Rounds to nearest, ties to even, like kzoRoundToInt; out of range or NaN
    // gives INT32_MIN, which fails the size test.
    const __m256i column = _mm256_cvtps_epi32(cf), row = _mm256_cvtps_epi32(rf);
    const __m256i minusOne = _mm256_set1_epi32(-1);
    const __m256i width = _mm256_set1_epi32(static_cast<std::int32_t>(t.width));
    const __m256i height = _mm256_set1_epi32(static_cast<std::int32_t>(t.height));
    const __m256i inside = _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpgt_epi32(column, minusOne), _mm256_cmpgt_epi32(width, column)),
        _mm256_and_si256(_mm256_cmpgt_epi32(row, minusOne), _mm256_cmpgt_epi32(height, row)));
    if ((_mm256_movemask_ps(_mm256_castsi256_ps(inside)) & drawn) != drawn)
        return texturedLanesPlain(c, drawn, i, t, depthBuffer, frame);
    const __m256i mask = _mm256_castps_si256(nearer);
    const __m256i index = _mm256_add_epi32(column, _mm256_mullo_epi32(row, width));
    const __m256i texels = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(),
                                                       reinterpret_cast<const int*>(t.pixels), index, mask, 4);
    _mm256_maskstore_epi32(reinterpret_cast<int*>(frame + i), mask, texels);
    _mm256_maskstore_ps(depthBuffer + i, mask, c.depth);
}

KZO_AVX2 void texturedRowAvx2(const kzoScreenSideType& left, const kzoScreenSideType& right, const kzoTexels& t,
                              float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    if (!kzoLaneIndexable(t))
        return kzoPlainRows().textured(left, right, t, depthBuffer, frame);
    const __m128 steps = kzoAttributeSteps(&left.depth, &right.depth, n);
    __m128 acc = kzoAttributes(&left.depth);
    std::int32_t i = left.offset;
    for (; right.offset - i >= lanes; i += lanes)
        texturedLanes(nextEight(acc, steps), i, t, depthBuffer, frame);
    kzoFinishTexturedRow(i, right.offset, acc, steps, t, depthBuffer, frame);
}

KZO_AVX2 void colourRowAvx2(const kzoScreenSideType& left, const kzoScreenSideType& right, std::uint32_t colour,
                            float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    const float depthStep = (right.depth - left.depth) / static_cast<float>(n);
    float depth = left.depth;
    std::int32_t i = left.offset;
    const __m256i fill = _mm256_set1_epi32(static_cast<std::int32_t>(colour));
    for (; right.offset - i >= lanes; i += lanes) {
        float d[lanes];
        kzoNextDepths(d, depth, depthStep);
        // Built in registers (a store and reload would stall on forwarding).
        const __m256 sums = _mm256_setr_ps(d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
        const __m256 nearer = _mm256_cmp_ps(sums, _mm256_loadu_ps(depthBuffer + i), _CMP_GT_OQ);
        if (_mm256_movemask_ps(nearer) == 0)
            continue;
        const __m256i mask = _mm256_castps_si256(nearer);
        _mm256_maskstore_epi32(reinterpret_cast<int*>(frame + i), mask, fill);
        _mm256_maskstore_ps(depthBuffer + i, mask, sums);
    }
    kzoColourPixels(i, right.offset, depth, depthStep, colour, depthBuffer, frame);
}

} // namespace

const kzoRowKernels& kzoAvx2Rows()
{
    // The edge walk has no use for eight lanes: the SSE2 one serves.
    static const kzoRowKernels kernels = __builtin_cpu_supports("avx2")
                                             ? kzoRowKernels{texturedRowAvx2, colourRowAvx2, kzoSse2Rows().edge}
                                             : kzoRowKernels{nullptr, nullptr, nullptr};
    return kernels;
}

#else

const kzoRowKernels& kzoAvx2Rows()
{
    static constexpr kzoRowKernels none{nullptr, nullptr, nullptr};
    return none;
}

#endif
