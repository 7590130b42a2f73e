#include "core/Math.hpp"

kzoMatrix kzoRotationY(float a)
{
    const long double angle = a;
    const float s = static_cast<float>(std::sin(angle));
    const float c = static_cast<float>(std::cos(angle));
    kzoMatrix r = kzoIdentity();
    r.m[0][0] = c;
    r.m[0][2] = -s;
    r.m[2][0] = s;
    r.m[2][2] = c;
    return r;
}

kzoMatrix kzoRotationX(float a)
{
    const long double angle = a;
    const float s = static_cast<float>(std::sin(angle));
    const float c = static_cast<float>(std::cos(angle));
    kzoMatrix r = kzoIdentity();
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

std::int16_t kzoFloatToFixed(float f)
{
    const float scaled = std::nearbyint(f * 4096.0f);
    // Every float of magnitude 2^40 or more is a multiple of 2^17: its low 16
    // bits are zero, so only smaller values need the integer conversion.
    if (!(std::fabs(scaled) < 1099511627776.0f))
        return 0;
    const auto wide = static_cast<std::int64_t>(scaled);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(wide)));
}
