#include "import/JpegIdct.hpp"

#include <algorithm>

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

std::int32_t sar(u32 value, int bits) { return static_cast<std::int32_t>(value) >> bits; }

std::uint8_t clip(std::int32_t value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

u32 at(const std::int32_t* b, std::ptrdiff_t i) { return static_cast<u32>(b[i]); }

} // namespace

void kzoJpegIdctRow(std::int32_t* b)
{
    if (((at(b, 4) << 11) | at(b, 1) | at(b, 2) | at(b, 3) | at(b, 5) | at(b, 6) | at(b, 7)) == 0) {
        std::fill(b, b + 8, static_cast<std::int32_t>(at(b, 0) << 3));
        return;
    }
    u32 x0 = (at(b, 0) << 11) + 128;
    u32 x1 = at(b, 4) << 11;
    u32 x2 = at(b, 6);
    u32 x3 = at(b, 2);
    u32 x4 = at(b, 1);
    u32 x5 = at(b, 7);
    u32 x6 = at(b, 5);
    u32 x7 = at(b, 3);

    u32 x8 = W7 * (x4 + x5);
    x4 = x8 + (W1 - W7) * x4;
    x5 = x8 - (W1 + W7) * x5;
    x8 = W3 * (x6 + x7);
    x6 = x8 - (W3 - W5) * x6;
    x7 = x8 - (W3 + W5) * x7;

    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2);
    x2 = x1 - (W2 + W6) * x2;
    x3 = x1 + (W2 - W6) * x3;
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

    b[0] = sar(x7 + x1, 8);
    b[1] = sar(x3 + x2, 8);
    b[2] = sar(x0 + x4, 8);
    b[3] = sar(x8 + x6, 8);
    b[4] = sar(x8 - x6, 8);
    b[5] = sar(x0 - x4, 8);
    b[6] = sar(x3 - x2, 8);
    b[7] = sar(x7 - x1, 8);
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
    u32 x0 = (at(b, 0) << 8) + 8192;
    u32 x1 = at(b, 32) << 8;
    u32 x2 = at(b, 48);
    u32 x3 = at(b, 16);
    u32 x4 = at(b, 8);
    u32 x5 = at(b, 56);
    u32 x6 = at(b, 40);
    u32 x7 = at(b, 24);

    u32 x8 = W7 * (x4 + x5) + 4;
    x4 = static_cast<u32>(sar(x8 + (W1 - W7) * x4, 3));
    x5 = static_cast<u32>(sar(x8 - (W1 + W7) * x5, 3));
    x8 = W3 * (x6 + x7) + 4;
    x6 = static_cast<u32>(sar(x8 - (W3 - W5) * x6, 3));
    x7 = static_cast<u32>(sar(x8 - (W3 + W5) * x7, 3));

    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2) + 4;
    x2 = static_cast<u32>(sar(x1 - (W2 + W6) * x2, 3));
    x3 = static_cast<u32>(sar(x1 + (W2 - W6) * x3, 3));
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

    out[0 * stride] = clip(sar(x7 + x1, 14) + 128);
    out[1 * stride] = clip(sar(x3 + x2, 14) + 128);
    out[2 * stride] = clip(sar(x0 + x4, 14) + 128);
    out[3 * stride] = clip(sar(x8 + x6, 14) + 128);
    out[4 * stride] = clip(sar(x8 - x6, 14) + 128);
    out[5 * stride] = clip(sar(x0 - x4, 14) + 128);
    out[6 * stride] = clip(sar(x3 - x2, 14) + 128);
    out[7 * stride] = clip(sar(x7 - x1, 14) + 128);
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
