#include "pelto/display/PixelLayout.hpp"

#include <algorithm>
#include <bit>

namespace {

std::uint32_t channel(std::uint32_t value8, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::min(std::popcount(mask), 16);
    const std::uint32_t value = bits <= 8 ? value8 >> (8 - bits)
                                          : (value8 << (bits - 8)) | (value8 >> (16 - bits));
    return (value << shift) & mask;
}

} // namespace

bool peltoIsFrameLayout(const peltoPixelLayout& layout)
{
    return layout.redMask == 0xFF0000 && layout.greenMask == 0xFF00 && layout.blueMask == 0xFF
           && layout.bitsPerPixel == 32 && !layout.msbFirst;
}

std::uint32_t peltoConvertPixel(std::uint32_t pixel, const peltoPixelLayout& layout)
{
    return channel((pixel >> 16) & 0xFF, layout.redMask) | channel((pixel >> 8) & 0xFF, layout.greenMask)
           | channel(pixel & 0xFF, layout.blueMask);
}

void peltoConvertFrame(const peltoImage& frame, const peltoPixelLayout& layout, std::uint8_t* dst,
                       std::size_t dstStride)
{
    const std::uint32_t bytes = layout.bitsPerPixel / 8;
    for (std::uint32_t y = 0; y < frame.height; ++y) {
        const std::uint32_t* row = frame.pixels + std::size_t{y} * frame.width;
        std::uint8_t* out = dst + y * dstStride;
        for (std::uint32_t x = 0; x < frame.width; ++x) {
            const std::uint32_t value = peltoConvertPixel(row[x], layout);
            for (std::uint32_t b = 0; b < bytes; ++b) {
                const std::uint32_t shift = 8 * (layout.msbFirst ? bytes - 1 - b : b);
                *out++ = static_cast<std::uint8_t>(value >> shift);
            }
        }
    }
}
