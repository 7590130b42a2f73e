#pragma once
// A frame every pixel of which differs from its neighbours, with a red top-left
// pixel: presented by the video-mode probe, recomputed by the tests.

#include <cstdint>

inline std::uint32_t testPatternPixel(std::uint32_t x, std::uint32_t y)
{
    if (x == 0 && y == 0)
        return 0xFFFF0000u;
    const std::uint32_t r = (x * 7 + y) & 0xFF;
    const std::uint32_t g = (x ^ y) & 0xFF;
    const std::uint32_t b = (y * 3 + (x >> 8)) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}
