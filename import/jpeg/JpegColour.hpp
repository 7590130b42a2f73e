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

// One channel each, from the samples as stored (Cb and Cr centred on 128).
inline std::uint8_t kzoJpegRed(std::uint8_t luma, std::uint8_t red)
{
    return kzoJpegClipSample(((std::int32_t{luma} << 8) + 359 * (std::int32_t{red} - 128) + 128) >> 8);
}

inline std::uint8_t kzoJpegGreen(std::uint8_t luma, std::uint8_t blue, std::uint8_t red)
{
    return kzoJpegClipSample(
        ((std::int32_t{luma} << 8) - 88 * (std::int32_t{blue} - 128) - 183 * (std::int32_t{red} - 128) + 128) >> 8);
}

inline std::uint8_t kzoJpegBlue(std::uint8_t luma, std::uint8_t blue)
{
    return kzoJpegClipSample(((std::int32_t{luma} << 8) + 454 * (std::int32_t{blue} - 128) + 128) >> 8);
}

// Writes R, G, B to rgb[0..2].
inline void kzoJpegYCbCrToRgb(std::uint8_t luma, std::uint8_t blue, std::uint8_t red, std::uint8_t* rgb)
{
    rgb[0] = kzoJpegRed(luma, red);
    rgb[1] = kzoJpegGreen(luma, blue, red);
    rgb[2] = kzoJpegBlue(luma, blue);
}

// The decoder's output word: 0xAARRGGBB with alpha 0xFF (bytes B, G, R, A in memory).
inline std::uint32_t kzoJpegPixel(std::uint8_t luma, std::uint8_t blue, std::uint8_t red)
{
    return 0xFF000000u | (std::uint32_t{kzoJpegRed(luma, red)} << 16) |
           (std::uint32_t{kzoJpegGreen(luma, blue, red)} << 8) | kzoJpegBlue(luma, blue);
}

// A grey sample as R = G = B.
inline std::uint32_t kzoJpegGreyPixel(std::uint8_t grey) { return 0xFF000000u | (std::uint32_t{grey} * 0x010101u); }
