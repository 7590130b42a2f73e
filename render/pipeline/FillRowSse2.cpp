// Kernels with SSE2. Rows four pixels at a time: the serial sums advanced for
// all four attributes by one add, then the depth test, the division 1/invW
// and the texel coordinates in lanes; texel loads and stores stay per pixel
// (SSE2 has no gather). Edges: depth, 1/w, u and v as one vector, their steps
// one division. The AVX2 kernels share the edge walk.

#include "render/pipeline/FillRow.hpp"

#if defined(__SSE2__)
#include "render/pipeline/FillRowLanes.hpp"

namespace {

constexpr int lanes = 4;

void walkEdgeSse2(kzoScreenSideType* side, const kzoScreenVertex& a, const kzoScreenVertex& b,
                  std::int64_t frameWidth)
{
    double offset, offsetStep;
    if (!kzoEdgeOffsets(side, a, b, frameWidth, offset, offsetStep))
        return;
    const __m128 steps = kzoAttributeSteps(&a.depth, &b.depth, b.screenY - a.screenY);
    __m128 sums = kzoAttributes(&a.depth);
    for (std::int32_t r = a.screenY; r < b.screenY; ++r) {
        side[r].offset = kzoRoundToInt(offset);
        _mm_storeu_ps(&side[r].depth, sums);
        offset += offsetStep;
        sums = _mm_add_ps(sums, steps);
    }
}

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
    const __m128 steps = kzoAttributeSteps(&left.depth, &right.depth, n);
    __m128 acc = kzoAttributes(&left.depth);
    std::int32_t i = left.offset;
    for (; right.offset - i >= lanes; i += lanes)
        texturedLanes(nextFour(acc, steps), i, t, depthBuffer, frame);
    kzoFinishTexturedRow(i, right.offset, acc, steps, t, depthBuffer, frame);
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
        kzoNextDepths(d, depth, depthStep);
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
    kzoColourPixels(i, right.offset, depth, depthStep, colour, depthBuffer, frame);
}

} // namespace

const kzoRowKernels& kzoSse2Rows()
{
    static constexpr kzoRowKernels sse2{texturedRowSse2, colourRowSse2, walkEdgeSse2};
    return sse2;
}

#else

const kzoRowKernels& kzoSse2Rows()
{
    static constexpr kzoRowKernels none{nullptr, nullptr, nullptr};
    return none;
}

#endif
