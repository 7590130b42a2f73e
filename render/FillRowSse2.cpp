// Row kernels four pixels at a time with SSE2: the serial sums in scalar, then
// the depth test and the division 1/invW and texel coordinates in lanes. Texel
// loads and stores stay per pixel (SSE2 has no gather).

#include "render/FillRow.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

constexpr int lanes = 4;

// The row's next four values of each serial sum.
struct Chains {
    alignas(16) float depth[lanes], invW[lanes], u[lanes], v[lanes];
};

void texturedRowSse2(const kzoScreenSideType& left, const kzoScreenSideType& right, const kzoTexels& t,
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
    alignas(16) std::int32_t column[lanes], row[lanes];
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
        const __m128 d = _mm_load_ps(c.depth);
        const int nearer = _mm_movemask_ps(_mm_cmpgt_ps(d, _mm_loadu_ps(depthBuffer + i)));
        if (nearer == 0)
            continue;
        const __m128 w = _mm_div_ps(_mm_set1_ps(1.0f), _mm_load_ps(c.invW));
        const __m128 cf = _mm_mul_ps(_mm_set1_ps(t.columnScale), _mm_mul_ps(_mm_load_ps(c.u), w));
        const __m128 rf = _mm_mul_ps(_mm_set1_ps(t.rowScale), _mm_mul_ps(_mm_load_ps(c.v), w));
        // Rounds to nearest, ties to even, like kzoRoundToInt; out of range or
        // NaN gives INT32_MIN, which fails the size test below.
        _mm_store_si128(reinterpret_cast<__m128i*>(column), _mm_cvtps_epi32(cf));
        _mm_store_si128(reinterpret_cast<__m128i*>(row), _mm_cvtps_epi32(rf));
        for (int k = 0; k < lanes; ++k) {
            if ((nearer >> k & 1) == 0)
                continue;
            const auto cu = static_cast<std::uint32_t>(column[k]), ru = static_cast<std::uint32_t>(row[k]);
            frame[i + k] = cu < t.width && ru < t.height ? t.pixels[cu + std::uint64_t{ru} * t.width]
                                                         : kzoTexelAt(t, c.invW[k], c.u[k], c.v[k]);
            depthBuffer[i + k] = c.depth[k];
        }
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

void colourRowSse2(const kzoScreenSideType& left, const kzoScreenSideType& right, std::uint32_t colour,
                   float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    const float depthStep = (right.depth - left.depth) / static_cast<float>(n);
    float depth = left.depth;
    std::int32_t i = left.offset;
    alignas(16) float chain[lanes];
    const __m128i fill = _mm_set1_epi32(static_cast<std::int32_t>(colour));
    for (; right.offset - i >= lanes; i += lanes) {
        for (float& d : chain) {
            d = depth;
            depth += depthStep;
        }
        const __m128 d = _mm_load_ps(chain);
        const __m128 buffer = _mm_loadu_ps(depthBuffer + i);
        const __m128 nearer = _mm_cmpgt_ps(d, buffer);
        if (_mm_movemask_ps(nearer) == 0)
            continue;
        // Lanes that fail keep what they held: the same bits are written back.
        const __m128i keep = _mm_castps_si128(nearer);
        auto* pixels = reinterpret_cast<__m128i*>(frame + i);
        const __m128i old = _mm_loadu_si128(pixels);
        _mm_storeu_si128(pixels, _mm_or_si128(_mm_and_si128(keep, fill), _mm_andnot_si128(keep, old)));
        _mm_storeu_ps(depthBuffer + i, _mm_or_ps(_mm_and_ps(nearer, d), _mm_andnot_ps(nearer, buffer)));
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

const kzoRowKernels& kzoSse2Rows()
{
    static constexpr kzoRowKernels sse2{texturedRowSse2, colourRowSse2};
    return sse2;
}

#else

const kzoRowKernels& kzoSse2Rows()
{
    static constexpr kzoRowKernels none{nullptr, nullptr};
    return none;
}

#endif
