#pragma once
// PNG decoding through libpng: every colour type and bit depth (grey, grey +
// alpha, RGB, RGBA, palette with or without transparency; 1 to 16 bits;
// interlaced or not) from memory into 0xAARRGGBB pixels with alpha kept.
// Texels keep their stored values: gamma and colour-profile chunks are ignored,
// 16-bit samples keep their high byte, 1/2/4-bit grey is scaled to 0..255.
// A file that does not decode gives a reason and no picture, never a partial one.

#include <cstdint>
#include <span>
#include <string>

#include "pelto/base/Image.hpp"

// The largest picture decoded: 8192 x 8192 pixels in any shape, the JPEG
// decoder's bound, so both formats take the same textures.
inline constexpr std::int64_t kzoPngMaxPixels = std::int64_t{8192} * 8192;
// The longest side decoded, the largest a JPEG can state. libpng keeps two rows
// of up to 8 bytes a pixel; this keeps them under a megabyte however the
// pixel count is shaped.
inline constexpr std::uint32_t kzoPngMaxSide = 65535;

// True when bytes start with the 8-byte PNG signature.
bool kzoIsPng(std::span<const std::uint8_t> bytes);

struct kzoPngResult {
    // On success the picture, owned by the caller (FreeImage); else no pixels
    // and size 0 x 0.
    peltoImage image;
    // Empty on success; else why not, with the byte offset where reading
    // stopped, e.g. "the file ends early at byte 1184, in the data of chunk IDAT".
    std::string failure;
};

// Decodes one PNG file held in memory. maxPixels lowers the size bound (tests
// and the fuzz target); it is never raised above kzoPngMaxPixels.
kzoPngResult kzoDecodePng(std::span<const std::uint8_t> bytes, std::int64_t maxPixels = kzoPngMaxPixels);
