#pragma once
// The one picture record of the system: frame buffers and textures.
// Pixels are 32-bit words 0xAARRGGBB (bytes B, G, R, A in memory), row 0 at the
// top, rows packed with no gap. The record is a value: copying it shares the
// pixels; only FreeImage on the owning copy releases them.

#include <cstdint>

struct peltoImage {
    std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Sets the size and allocates width x height zeroed pixels ("Unable to
// AllocImage!" when memory runs out). Pixels the record held are not released.
// An image of no pixels holds none (pixels stays null).
void AllocImage(peltoImage& image, std::uint32_t width, std::uint32_t height);

// AllocImage for loaders that report failure as a value: when memory runs out
// it gives false and an empty record (size 0 x 0, no pixels) instead of a stop.
bool peltoTryAllocImage(peltoImage& image, std::uint32_t width, std::uint32_t height);

// Releases the pixels; width and height keep their values.
void FreeImage(peltoImage& image);

// Image files are read by import/image/ImageFile.hpp (LoadImage), above the decoders.

constexpr std::uint32_t peltoRGBA(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
{
    return (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

constexpr void peltoSplitRGBA(std::uint32_t colour, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b,
                              std::uint8_t& a)
{
    r = static_cast<std::uint8_t>(colour >> 16);
    g = static_cast<std::uint8_t>(colour >> 8);
    b = static_cast<std::uint8_t>(colour);
    a = static_cast<std::uint8_t>(colour >> 24);
}
