#pragma once
// The decoder's Y Cb Cr to R G B conversion: fixed-point constants scaled by
// 256 (1.402 -> 359, 0.344 -> 88, 0.714 -> 183, 1.772 -> 454), rounded by adding
// 128 before the shift, clipped to 0..255.

#include <algorithm>
#include <cstdint>

inline std::uint8_t kzoJpegClipSample(std::int32_t value)
{
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// Writes R, G, B to rgb[0..2].
inline void kzoJpegYCbCrToRgb(std::uint8_t luma, std::uint8_t blue, std::uint8_t red, std::uint8_t* rgb)
{
    const std::int32_t y = std::int32_t{luma} << 8;
    const std::int32_t cb = std::int32_t{blue} - 128;
    const std::int32_t cr = std::int32_t{red} - 128;
    rgb[0] = kzoJpegClipSample((y + 359 * cr + 128) >> 8);
    rgb[1] = kzoJpegClipSample((y - 88 * cb - 183 * cr + 128) >> 8);
    rgb[2] = kzoJpegClipSample((y + 454 * cb + 128) >> 8);
}
