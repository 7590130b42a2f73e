#pragma once
// The 8-bit RGB PNG files kzoShot writes, read back with libpng for tests that
// look at the pixels of a frame.

#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // 3 bytes a pixel, rows top first

    // Pixel (x, y) as 0xRRGGBB.
    std::uint32_t at(std::uint32_t x, std::uint32_t y) const
    {
        const std::uint8_t* p = &rgb[(std::size_t{y} * width + x) * 3];
        return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    }

    int nonBlack() const
    {
        int n = 0;
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            n += (rgb[i] | rgb[i + 1] | rgb[i + 2]) != 0 ? 1 : 0;
        return n;
    }
};

// The picture of a PNG file as RGB; 0 x 0 when it cannot be read.
RgbImage readPng(const std::string& path);
