#pragma once
// The plain rounding kzoRoundToInt (Math.hpp) must match: std::nearbyint and
// explicit saturation, readable and slow (a library call that saves and
// restores the floating-point state). kzoRoundToInt falls back on it for the
// values its one instruction cannot take; tests compare the two.

#include <cmath>
#include <cstdint>

// Round to nearest, ties to even; beyond the int32 range saturated, NaN 0.
inline std::int32_t kzoRoundToIntPlain(float v)
{
    const float r = std::nearbyint(v);
    if (r >= 2147483648.0f)
        return INT32_MAX;
    if (r < -2147483648.0f)
        return INT32_MIN;
    if (r != r)
        return 0;
    return static_cast<std::int32_t>(r);
}

inline std::int32_t kzoRoundToIntPlain(double v)
{
    const double r = std::nearbyint(v);
    if (r >= 2147483648.0)
        return INT32_MAX;
    if (r < -2147483648.0)
        return INT32_MIN;
    if (r != r)
        return 0;
    return static_cast<std::int32_t>(r);
}
