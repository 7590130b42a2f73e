#include "pelto/base/Pixels.hpp"

#include <cstring>

// memcpy of 8 bytes is how C++ spells an unaligned 64-bit access without
// breaking aliasing rules; the compiler turns the loops into wide stores.

void FillPixels(std::uint32_t* dst, std::size_t count, std::uint32_t value)
{
    const std::uint64_t pair = (std::uint64_t{value} << 32) | value;
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2)
        std::memcpy(dst + i, &pair, sizeof pair);
    if (i < count)
        dst[i] = value;
}

void CopyPixels(const std::uint32_t* src, std::uint32_t* dst, std::size_t count)
{
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        std::uint64_t pair;
        std::memcpy(&pair, src + i, sizeof pair);
        std::memcpy(dst + i, &pair, sizeof pair);
    }
    if (i < count)
        dst[i] = src[i];
}
