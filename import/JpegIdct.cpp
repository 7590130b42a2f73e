#include "import/JpegIdct.hpp"

#include <algorithm>
#include <array>

namespace {

// Unsigned arithmetic gives the 32-bit wrap without undefined behaviour; the
// shifts right go through int32, where C++20 defines them as arithmetic.
using u32 = std::uint32_t;

// cos(k pi / 16) x 2048 x sqrt(2), rounded.
constexpr u32 W1 = 2841;
constexpr u32 W2 = 2676;
constexpr u32 W3 = 2408;
constexpr u32 W5 = 1609;
constexpr u32 W6 = 1108;
constexpr u32 W7 = 565;

constexpr std::int32_t sar(u32 value, int bits) { return static_cast<std::int32_t>(value) >> bits; }

std::uint8_t clip(std::int32_t value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

u32 at(const std::int32_t* b, std::ptrdiff_t i) { return static_cast<u32>(b[i]); }

// Steps 2 to 5 of one pass over b0..b7, giving the eight sums of step 6 before
// their final shift. The row pass scales the even part by 2^11; the column pass
// by 2^8 and keeps 3 more bits through the products (+4, >> 3), as written.
template <bool Column>
std::array<u32, 8> transform(u32 b0, u32 b1, u32 b2, u32 b3, u32 b4, u32 b5, u32 b6, u32 b7)
{
    constexpr int scale = Column ? 8 : 11;
    constexpr u32 bias = Column ? 8192 : 128;
    constexpr u32 round = Column ? 4 : 0;
    constexpr int shift = Column ? 3 : 0;
    auto product = [](u32 sum) { return static_cast<u32>(sar(sum, shift)); };

    u32 x0 = (b0 << scale) + bias;
    u32 x1 = b4 << scale;
    u32 x2 = b6;
    u32 x3 = b2;
    u32 x4 = b1;
    u32 x5 = b7;
    u32 x6 = b5;
    u32 x7 = b3;

    u32 x8 = W7 * (x4 + x5) + round;
    x4 = product(x8 + (W1 - W7) * x4);
    x5 = product(x8 - (W1 + W7) * x5);
    x8 = W3 * (x6 + x7) + round;
    x6 = product(x8 - (W3 - W5) * x6);
    x7 = product(x8 - (W3 + W5) * x7);

    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2) + round;
    x2 = product(x1 - (W2 + W6) * x2);
    x3 = product(x1 + (W2 - W6) * x3);
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;

    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = static_cast<u32>(sar(181 * (x4 + x5) + 128, 8));
    x4 = static_cast<u32>(sar(181 * (x4 - x5) + 128, 8));

    return {x7 + x1, x3 + x2, x0 + x4, x8 + x6, x8 - x6, x0 - x4, x3 - x2, x7 - x1};
}

} // namespace

void kzoJpegIdctRow(std::int32_t* b)
{
    if (((at(b, 4) << 11) | at(b, 1) | at(b, 2) | at(b, 3) | at(b, 5) | at(b, 6) | at(b, 7)) == 0) {
        std::fill(b, b + 8, static_cast<std::int32_t>(at(b, 0) << 3));
        return;
    }
    const std::array<u32, 8> sums =
        transform<false>(at(b, 0), at(b, 1), at(b, 2), at(b, 3), at(b, 4), at(b, 5), at(b, 6), at(b, 7));
    for (int i = 0; i < 8; ++i)
        b[i] = sar(sums[std::size_t(i)], 8);
}

void kzoJpegIdctColumn(const std::int32_t* block, int column, std::uint8_t* out, std::ptrdiff_t stride)
{
    const std::int32_t* b = block + column;
    if (((at(b, 32) << 8) | at(b, 8) | at(b, 16) | at(b, 24) | at(b, 40) | at(b, 48) | at(b, 56)) == 0) {
        const std::uint8_t value = clip(sar(at(b, 0) + 32, 6) + 128);
        for (int i = 0; i < 8; ++i)
            out[i * stride] = value;
        return;
    }
    const std::array<u32, 8> sums =
        transform<true>(at(b, 0), at(b, 8), at(b, 16), at(b, 24), at(b, 32), at(b, 40), at(b, 48), at(b, 56));
    for (int i = 0; i < 8; ++i)
        out[i * stride] = clip(sar(sums[std::size_t(i)], 14) + 128);
}

void kzoJpegIdct(std::int32_t* block, std::uint8_t* out, std::ptrdiff_t stride)
{
    for (int row = 0; row < 8; ++row)
        kzoJpegIdctRow(block + 8 * row);
    for (int column = 0; column < 8; ++column)
        kzoJpegIdctColumn(block, column, out + column, stride);
}

void kzoJpegIdctSparse(std::int32_t* block, int rows, std::uint8_t* out, std::ptrdiff_t stride)
{
    for (int row = 0; row < rows; ++row)
        kzoJpegIdctRow(block + 8 * row);
    if (rows > 1) {
        for (int column = 0; column < 8; ++column)
            kzoJpegIdctColumn(block, column, out + column, stride);
        return;
    }
    std::uint8_t line[8];
    for (int column = 0; column < 8; ++column)
        line[column] = clip(sar(at(block, column) + 32, 6) + 128);
    for (int row = 0; row < 8; ++row)
        std::copy(line, line + 8, out + row * stride);
}
