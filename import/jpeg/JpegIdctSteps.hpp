#pragma once
// One pass of the decoder's inverse DCT (Chen-Wang form, constants scaled by
// 2048), written once for every lane type: std::uint32_t in the scalar
// reference, vectors of 32-bit lanes in the SIMD kernels. Every lane therefore
// does the same operations in the same order as the reference. Sums wrap as
// 32-bit two's complement; kzoJpegSar shifts right arithmetically.
//
// A lane type provides +, -, | (lane with lane), + and * with a std::uint32_t
// constant, << by a constant, and kzoJpegSar(lane, bits) found by argument-
// dependent lookup. This header includes nothing else, so that a kernel unit
// compiled for another instruction set shares no inline code with the rest.

#include <cstdint>

inline constexpr std::uint32_t kzoJpegW1 = 2841; // cos(k pi / 16) x 2048 x sqrt(2), rounded
inline constexpr std::uint32_t kzoJpegW2 = 2676;
inline constexpr std::uint32_t kzoJpegW3 = 2408;
inline constexpr std::uint32_t kzoJpegW5 = 1609;
inline constexpr std::uint32_t kzoJpegW6 = 1108;
inline constexpr std::uint32_t kzoJpegW7 = 565;

// Arithmetic shift right of the 32-bit pattern (C++20 defines >> on negative int32).
inline std::uint32_t kzoJpegSar(std::uint32_t value, int bits)
{
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(value) >> bits);
}

// What decides a pass's DC-only shortcut: zero exactly when every AC term is,
// coefficient 4 counted after the pass's shift of it (a value the shift wraps
// to zero counts as zero).
template <bool Column, class Lane>
inline __attribute__((always_inline)) Lane kzoJpegIdctAcTerms(const Lane* b)
{
    constexpr int scale = Column ? 8 : 11;
    return (b[4] << scale) | b[1] | b[2] | b[3] | b[5] | b[6] | b[7];
}

// Steps 2 to 5 of one pass over b[0..7], giving the eight sums of step 6
// before their final shift. The row pass scales the even part by 2^11; the
// column pass by 2^8 and keeps 3 more bits through the products (+4, >> 3).
template <bool Column, class Lane>
inline __attribute__((always_inline)) void kzoJpegIdctPass(const Lane* b, Lane* sums)
{
    constexpr int scale = Column ? 8 : 11;
    constexpr std::uint32_t bias = Column ? 8192 : 128;
    // The column pass rounds each product sum (+4) and drops 3 bits; the row pass keeps them.
    auto rounded = [](Lane sum) {
        if constexpr (Column)
            return sum + std::uint32_t{4};
        else
            return sum;
    };
    auto product = [](Lane sum) {
        if constexpr (Column)
            return kzoJpegSar(sum, 3);
        else
            return sum;
    };

    Lane x0 = (b[0] << scale) + bias;
    Lane x1 = b[4] << scale;
    Lane x2 = b[6];
    Lane x3 = b[2];
    Lane x4 = b[1];
    Lane x5 = b[7];
    Lane x6 = b[5];
    Lane x7 = b[3];

    Lane x8 = rounded(kzoJpegW7 * (x4 + x5));
    x4 = product(x8 + (kzoJpegW1 - kzoJpegW7) * x4);
    x5 = product(x8 - (kzoJpegW1 + kzoJpegW7) * x5);
    x8 = rounded(kzoJpegW3 * (x6 + x7));
    x6 = product(x8 - (kzoJpegW3 - kzoJpegW5) * x6);
    x7 = product(x8 - (kzoJpegW3 + kzoJpegW5) * x7);

    x8 = x0 + x1;
    x0 = x0 - x1;
    x1 = rounded(kzoJpegW6 * (x3 + x2));
    x2 = product(x1 - (kzoJpegW2 + kzoJpegW6) * x2);
    x3 = product(x1 + (kzoJpegW2 - kzoJpegW6) * x3);
    x1 = x4 + x6;
    x4 = x4 - x6;
    x6 = x5 + x7;
    x5 = x5 - x7;

    x7 = x8 + x3;
    x8 = x8 - x3;
    x3 = x0 + x2;
    x0 = x0 - x2;
    x2 = kzoJpegSar(std::uint32_t{181} * (x4 + x5) + std::uint32_t{128}, 8);
    x4 = kzoJpegSar(std::uint32_t{181} * (x4 - x5) + std::uint32_t{128}, 8);

    sums[0] = x7 + x1;
    sums[1] = x3 + x2;
    sums[2] = x0 + x4;
    sums[3] = x8 + x6;
    sums[4] = x8 - x6;
    sums[5] = x0 - x4;
    sums[6] = x3 - x2;
    sums[7] = x7 - x1;
}
