#pragma once
// Frame pixels in the layout another visual wants: a TrueColor pixel of 8, 16,
// 24 or 32 bits with its own channel masks and byte order. The usual 24-bit
// little-endian visual takes the frame's bytes as they are (peltoIsFrameLayout)
// and needs none of this; only other visuals pay a conversion per frame.

#include <cstddef>
#include <cstdint>

#include "pelto/base/Image.hpp"

struct peltoPixelLayout {
    std::uint32_t redMask = 0;
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
    std::uint32_t bitsPerPixel = 32; // 8, 16, 24 or 32
    bool msbFirst = false;           // bytes of a pixel most significant first
};

// True for B, G, R, x bytes in memory: the frame's own layout.
bool peltoIsFrameLayout(const peltoPixelLayout& layout);

// One frame pixel 0xAARRGGBB as a pixel value of the layout: each channel
// keeps its top bits (a wider channel repeats its top bits below them).
std::uint32_t peltoConvertPixel(std::uint32_t pixel, const peltoPixelLayout& layout);

// The whole frame, row by row into rows of dstStride bytes.
void peltoConvertFrame(const peltoImage& frame, const peltoPixelLayout& layout, std::uint8_t* dst,
                       std::size_t dstStride);
