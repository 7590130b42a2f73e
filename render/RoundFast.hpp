#pragma once
// Round to nearest, ties to even, as one instruction where the processor has
// it: the same integer as kzoRoundToInt for every float (NaN 0, saturation
// beyond the int32 range), for the rasterizer's per-pixel texel lookup.

#include <cmath>
#include <cstdint>

#include "core/Math.hpp"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

inline std::int32_t kzoRoundFast(float v)
{
#if defined(__SSE2__)
    // cvtss2si rounds by the current mode, nearest-even unless a program
    // changes it (none here), exactly like nearbyint. It is exact for every
    // float below 2^31 in magnitude; the rest (and NaN) take the plain path.
    if (std::fabs(v) < 2147483648.0f)
        return _mm_cvtss_si32(_mm_set_ss(v));
#endif
    return kzoRoundToInt(v);
}
