// Row kernels four pixels at a time with SSE2: the serial sums in scalar, then
// the depth test and the division 1/invW and texel coordinates in lanes. Texel
// loads and stores stay per pixel (SSE2 has no gather).

#include "render/FillRow.hpp"

#if defined(__SSE2__)
#include <xmmintrin.h>
#include <emmintrin.h>

namespace {

constexpr int lanes = 4;

// acc holds (depth, invW, u, v) of the next pixel; one add per pixel advances
// all four sums at once, each lane the scalar sum of its own attribute. The
// four states are transposed in registers into one vector per attribute
// (storing scalars and reloading them as a vector would stall on forwarding).
struct Chains {
    __m128 depth, invW, u, v;
};

Chains nextFour(__m128& acc, const __m128 step)
{
    Chains c{acc, _mm_add_ps(acc, step), {}, {}};
    c.u = _mm_add_ps(c.invW, step);
    c.v = _mm_add_ps(c.u, step);
    acc = _mm_add_ps(c.v, step);
    _MM_TRANSPOSE4_PS(c.depth, c.invW, c.u, c.v);
    return c;
}

void texturedLanes(const Chains& c, std::int32_t i, const kzoTexels& t, float* depthBuffer, std::uint32_t* frame)
{
    const int drawn = _mm_movemask_ps(_mm_cmpgt_ps(c.depth, _mm_loadu_ps(depthBuffer + i)));
    if (drawn == 0)
        return;
    const __m128 w = _mm_div_ps(_mm_set1_ps(1.0f), c.invW);
    const __m128 cf = _mm_mul_ps(_mm_set1_ps(t.columnScale), _mm_mul_ps(c.u, w));
    const __m128 rf = _mm_mul_ps(_mm_set1_ps(t.rowScale), _mm_mul_ps(c.v, w));
    // Rounds to nearest, ties to even, like kzoRoundToInt; out of range or NaN
    // gives INT32_MIN, which fails the size test below.
    alignas(16) std::int32_t column[lanes], row[lanes];
    alignas(16) float depth[lanes];
    _mm_store_si128(reinterpret_cast<__m128i*>(column), _mm_cvtps_epi32(cf));
    _mm_store_si128(reinterpret_cast<__m128i*>(row), _mm_cvtps_epi32(rf));
    _mm_store_ps(depth, c.depth);
    for (int k = 0; k < lanes; ++k) {
        if ((drawn >> k & 1) == 0)
            continue;
        const auto cu = static_cast<std::uint32_t>(column[k]), ru = static_cast<std::uint32_t>(row[k]);
        if (cu < t.width && ru < t.height) {
            frame[i + k] = t.pixels[cu + std::uint64_t{ru} * t.width];
        } else {
            alignas(16) float invW[lanes], u[lanes], v[lanes];
            _mm_store_ps(invW, c.invW);
            _mm_store_ps(u, c.u);
            _mm_store_ps(v, c.v);
            frame[i + k] = kzoTexelAt(t, invW[k], u[k], v[k]);
        }
        depthBuffer[i + k] = depth[k];
    }
}

void texturedRowSse2(const kzoScreenSideType& left, const kzoScreenSideType& right, const kzoTexels& t,
                     float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    if (!kzoLaneIndexable(t))
        return kzoPlainRows().textured(left, right, t, depthBuffer, frame);
    const kzoRowSteps step = kzoRowStepsOf(left, right, n);
    __m128 acc = _mm_setr_ps(left.depth, left.invW, left.uOverW, left.vOverW);
    const __m128 steps = _mm_setr_ps(step.depth, step.invW, step.u, step.v);
    std::int32_t i = left.offset;
    for (; right.offset - i >= lanes; i += lanes)
        texturedLanes(nextFour(acc, steps), i, t, depthBuffer, frame);
    alignas(16) float sums[4];
    _mm_store_ps(sums, acc);
    float depth = sums[0], invW = sums[1], u = sums[2], v = sums[3];
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
    const __m128i fill = _mm_set1_epi32(static_cast<std::int32_t>(colour));
    for (; right.offset - i >= lanes; i += lanes) {
        float d[lanes];
        for (float& value : d) {
            value = depth;
            depth += depthStep;
        }
        const __m128 sums = _mm_setr_ps(d[0], d[1], d[2], d[3]);
        const __m128 buffer = _mm_loadu_ps(depthBuffer + i);
        const __m128 nearer = _mm_cmpgt_ps(sums, buffer);
        if (_mm_movemask_ps(nearer) == 0)
            continue;
        // Lanes that fail keep what they held: the same bits are written back.
        const __m128i keep = _mm_castps_si128(nearer);
        auto* pixels = reinterpret_cast<__m128i*>(frame + i);
        const __m128i old = _mm_loadu_si128(pixels);
        _mm_storeu_si128(pixels, _mm_or_si128(_mm_and_si128(keep, fill), _mm_andnot_si128(keep, old)));
        _mm_storeu_ps(depthBuffer + i, _mm_or_ps(_mm_and_ps(nearer, sums), _mm_andnot_ps(nearer, buffer)));
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
