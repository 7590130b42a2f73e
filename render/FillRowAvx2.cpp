// Row kernels eight pixels at a time with AVX2, chosen at run time: the serial
// sums in scalar, then the depth test, the division 1/invW, the texel
// coordinates, a gather of the texels and masked stores in lanes. Only the
// functions marked with the target attribute use AVX2 instructions, so the
// program still runs on processors without it.

#include "render/FillRow.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define KZO_AVX2 __attribute__((target("avx2")))

namespace {

constexpr int lanes = 8;

struct Chains {
    alignas(32) float depth[lanes], invW[lanes], u[lanes], v[lanes];
};

// Pixels i .. i + 7, whose serial sums are in c. A lane whose texel falls
// outside the texture (or whose coordinate is out of range or NaN) takes the
// plain lookup, which wraps.
KZO_AVX2 void texturedLanes(const Chains& c, std::int32_t i, const kzoTexels& t, float* depthBuffer,
                            std::uint32_t* frame)
{
    const __m256 d = _mm256_load_ps(c.depth);
    const __m256 nearer = _mm256_cmp_ps(d, _mm256_loadu_ps(depthBuffer + i), _CMP_GT_OQ);
    const int drawn = _mm256_movemask_ps(nearer);
    if (drawn == 0)
        return;
    const __m256 w = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_load_ps(c.invW));
    const __m256 cf = _mm256_mul_ps(_mm256_set1_ps(t.columnScale), _mm256_mul_ps(_mm256_load_ps(c.u), w));
    const __m256 rf = _mm256_mul_ps(_mm256_set1_ps(t.rowScale), _mm256_mul_ps(_mm256_load_ps(c.v), w));
    // Rounds to nearest, ties to even, like kzoRoundToInt; out of range or NaN
    // gives INT32_MIN, which fails the size test.
    const __m256i column = _mm256_cvtps_epi32(cf), row = _mm256_cvtps_epi32(rf);
    const __m256i minusOne = _mm256_set1_epi32(-1);
    const __m256i width = _mm256_set1_epi32(static_cast<std::int32_t>(t.width));
    const __m256i height = _mm256_set1_epi32(static_cast<std::int32_t>(t.height));
    const __m256i inside = _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpgt_epi32(column, minusOne), _mm256_cmpgt_epi32(width, column)),
        _mm256_and_si256(_mm256_cmpgt_epi32(row, minusOne), _mm256_cmpgt_epi32(height, row)));
    const int direct = _mm256_movemask_ps(_mm256_castsi256_ps(inside));
    if ((direct & drawn) != drawn) {
        for (int k = 0; k < lanes; ++k)
            if (drawn >> k & 1) {
                frame[i + k] = kzoTexelAt(t, c.invW[k], c.u[k], c.v[k]);
                depthBuffer[i + k] = c.depth[k];
            }
        return;
    }
    const __m256i mask = _mm256_castps_si256(nearer);
    const __m256i index = _mm256_add_epi32(column, _mm256_mullo_epi32(row, width));
    const __m256i texels = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(),
                                                       reinterpret_cast<const int*>(t.pixels), index, mask, 4);
    _mm256_maskstore_epi32(reinterpret_cast<int*>(frame + i), mask, texels);
    _mm256_maskstore_ps(depthBuffer + i, mask, d);
}

KZO_AVX2 void texturedRowAvx2(const kzoScreenSideType& left, const kzoScreenSideType& right, const kzoTexels& t,
                              float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    if (!kzoLaneIndexable(t))
        return kzoPlainRows().textured(left, right, t, depthBuffer, frame);
    const kzoRowSteps step = kzoRowStepsOf(left, right, n);
    float depth = left.depth, invW = left.invW, u = left.uOverW, v = left.vOverW;
    std::int32_t i = left.offset;
    Chains c;
    for (; right.offset - i >= lanes; i += lanes) {
        for (int k = 0; k < lanes; ++k) {
            c.depth[k] = depth;
            c.invW[k] = invW;
            c.u[k] = u;
            c.v[k] = v;
            depth += step.depth;
            invW += step.invW;
            u += step.u;
            v += step.v;
        }
        texturedLanes(c, i, t, depthBuffer, frame);
    }
    for (; i < right.offset; ++i) {
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

KZO_AVX2 void colourRowAvx2(const kzoScreenSideType& left, const kzoScreenSideType& right, std::uint32_t colour,
                            float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    const float depthStep = (right.depth - left.depth) / static_cast<float>(n);
    float depth = left.depth;
    std::int32_t i = left.offset;
    alignas(32) float chain[lanes];
    const __m256i fill = _mm256_set1_epi32(static_cast<std::int32_t>(colour));
    for (; right.offset - i >= lanes; i += lanes) {
        for (float& d : chain) {
            d = depth;
            depth += depthStep;
        }
        const __m256 d = _mm256_load_ps(chain);
        const __m256 nearer = _mm256_cmp_ps(d, _mm256_loadu_ps(depthBuffer + i), _CMP_GT_OQ);
        if (_mm256_movemask_ps(nearer) == 0)
            continue;
        const __m256i mask = _mm256_castps_si256(nearer);
        _mm256_maskstore_epi32(reinterpret_cast<int*>(frame + i), mask, fill);
        _mm256_maskstore_ps(depthBuffer + i, mask, d);
    }
    for (; i < right.offset; ++i) {
        if (depth > depthBuffer[i]) {
            frame[i] = colour;
            depthBuffer[i] = depth;
        }
        depth += depthStep;
    }
}

} // namespace

const kzoRowKernels& kzoAvx2Rows()
{
    static const kzoRowKernels kernels = __builtin_cpu_supports("avx2")
                                             ? kzoRowKernels{texturedRowAvx2, colourRowAvx2}
                                             : kzoRowKernels{nullptr, nullptr};
    return kernels;
}

#else

const kzoRowKernels& kzoAvx2Rows()
{
    static constexpr kzoRowKernels none{nullptr, nullptr};
    return none;
}

#endif
