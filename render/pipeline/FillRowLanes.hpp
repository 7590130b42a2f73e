#pragma once
// What the SSE2 and AVX2 kernels share (x86 only): the four attributes of a
// vertex or side entry (depth, invW, u, v, consecutive floats) as one vector,
// their steps as one division, and the scalar finish of a row.

#include <emmintrin.h>
#include <xmmintrin.h>

#include "render/pipeline/FillRow.hpp"

inline __m128 kzoAttributes(const float* depth) { return _mm_loadu_ps(depth); }

// (to - from) / count for the four attributes, lane by lane as in the plain kernels.
inline __m128 kzoAttributeSteps(const float* from, const float* to, std::int32_t count)
{
    return _mm_div_ps(_mm_sub_ps(kzoAttributes(to), kzoAttributes(from)), _mm_set1_ps(static_cast<float>(count)));
}

// Pixels i .. end - 1 one at a time from the sums in acc.
inline void kzoFinishTexturedRow(std::int32_t i, std::int32_t end, __m128 acc, __m128 steps, const kzoTexels& t,
                                 float* depthBuffer, std::uint32_t* frame)
{
    alignas(16) float sums[4], step[4];
    _mm_store_ps(sums, acc);
    _mm_store_ps(step, steps);
    kzoTexturedPixels(i, end, sums[0], sums[1], sums[2], sums[3], {step[0], step[1], step[2], step[3]}, t,
                      depthBuffer, frame);
}

// The next count depths of a row's serial sum.
template <int count>
void kzoNextDepths(float (&d)[count], float& depth, float step)
{
    for (float& value : d) {
        value = depth;
        depth += step;
    }
}
