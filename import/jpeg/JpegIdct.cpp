#include "import/jpeg/JpegIdct.hpp"

#include <algorithm>

#include "import/jpeg/JpegIdctSteps.hpp"

namespace {

// Unsigned arithmetic gives the 32-bit wrap without undefined behaviour.
using u32 = std::uint32_t;

std::uint8_t clip(std::int32_t value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

u32 at(const std::int32_t* b, std::ptrdiff_t i) { return static_cast<u32>(b[i]); }

// The column pass's DC-only value, ((dc + 32) >> 6) + 128 clipped.
std::uint8_t columnFlat(u32 dc) { return clip(static_cast<std::int32_t>(kzoJpegSar(dc + 32, 6)) + 128); }

} // namespace

void kzoJpegIdctRow(std::int32_t* b)
{
    u32 in[8], sums[8];
    for (int i = 0; i < 8; ++i)
        in[i] = at(b, i);
    if (kzoJpegIdctAcTerms<false>(in) == 0) {
        std::fill(b, b + 8, static_cast<std::int32_t>(in[0] << 3));
        return;
    }
    kzoJpegIdctPass<false>(in, sums);
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<std::int32_t>(kzoJpegSar(sums[i], 8));
}

void kzoJpegIdctColumn(const std::int32_t* block, int column, std::uint8_t* out, std::ptrdiff_t stride)
{
    u32 in[8], sums[8];
    for (int i = 0; i < 8; ++i)
        in[i] = at(block + column, 8 * i);
    if (kzoJpegIdctAcTerms<true>(in) == 0) {
        const std::uint8_t value = columnFlat(in[0]);
        for (int i = 0; i < 8; ++i)
            out[i * stride] = value;
        return;
    }
    kzoJpegIdctPass<true>(in, sums);
    for (int i = 0; i < 8; ++i)
        out[i * stride] = clip(static_cast<std::int32_t>(kzoJpegSar(sums[i], 14)) + 128);
}

void kzoJpegIdct(std::int32_t* block, std::uint8_t* out, std::ptrdiff_t stride)
{
    for (int row = 0; row < 8; ++row)
        kzoJpegIdctRow(block + 8 * row);
    for (int column = 0; column < 8; ++column)
        kzoJpegIdctColumn(block, column, out + column, stride);
}

std::uint8_t kzoJpegIdctFlat(std::int32_t dc)
{
    // Row 0 becomes dc x 8 (wrapped), the other rows stay 0, every column is DC-only.
    return columnFlat(static_cast<u32>(dc) << 3);
}
