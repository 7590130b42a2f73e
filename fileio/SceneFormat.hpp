#pragma once
// The scene file's fixed vocabulary, shared by the writer and the reader: magic,
// version, the two encodings stored as one ordinal byte each, the fixed-point
// scale, the string padding rule and texture-coordinate quantisation.

#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/Math.hpp"

inline constexpr char kzoSceneMagic[3] = {'K', 'Z', 'O'};
inline constexpr std::uint8_t kzoSceneVersion = 1;
// The number-format field: 0 is Single, this scale is 16-bit 4.12 fixed point.
inline constexpr std::int32_t kzoFixedPointScale = 4096;
inline constexpr std::size_t kzoSceneHeaderSize = 12;

enum kzoIndexSize : std::uint8_t {
    kzoIndexSize4Byte = 0,
    kzoIndexSize2byte = 1,
};

enum kzoTextureMode : std::uint8_t {
    kzoTextureModeFloat = 0,
    kzoTextureMode8Bit = 1,
    kzoTextureMode16Bit = 2,
};

// The names the writer prints; an ordinal outside the enumeration gives "".
std::string_view kzoIndexSizeName(kzoIndexSize size);
std::string_view kzoTextureModeName(kzoTextureMode mode);

// Zero bytes after a string's own zero byte: (L + 1) mod 4 with L counted up to
// 255. This is not the distance to a multiple of 4: "abcd" takes 4 + 1 + 1 bytes.
inline std::size_t kzoStringPadding(std::size_t length)
{
    return ((length < 255 ? length : 255) + 1) % 4;
}

// Zero bytes of an alignment step at a file position: the position's remainder
// mod 4 (1 byte at 21, 2 at 22), not the distance to the next multiple of 4.
inline std::size_t kzoAlignmentPadding(std::size_t position) { return position % 4; }

// u x (size - 1), formed in single precision: the float u times the float value
// of size - 1 (-1 for a texture of no pixels). The quantised coordinate is this
// product rounded to nearest, ties to even.
inline float kzoUVProduct(float u, std::uint32_t size)
{
    return u * static_cast<float>(static_cast<std::int64_t>(size) - 1);
}

// The stored quantised coordinate before its low 8 or 16 bits are kept.
inline std::int32_t kzoQuantiseUV(float u, std::uint32_t size) { return kzoRoundToInt(kzoUVProduct(u, size)); }

// True when the quantised coordinate lies in 0..largest; a NaN product fits nothing.
inline bool kzoQuantisedUVFits(float u, std::uint32_t size, float largest)
{
    const float rounded = std::nearbyint(kzoUVProduct(u, size));
    return rounded >= 0.0f && rounded <= largest;
}

// True when f x 4096 (in float, rounded ties to even) lies in -32768..32767, so
// kzoFloatToFixed stores it without wrapping; NaN and infinities do not fit.
inline bool kzoFitsFixedPoint(float f)
{
    const float rounded = std::nearbyint(f * 4096.0f);
    return rounded >= -32768.0f && rounded <= 32767.0f;
}
