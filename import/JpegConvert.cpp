#include "import/JpegConvert.hpp"

#include <cstdlib>
#include <cstring>

#include "import/JpegColour.hpp"

int kzoJpegReplicationShift(std::int32_t size, std::int32_t target)
{
    int shift = 0;
    for (std::int64_t widened = size; widened < target; widened *= 2)
        ++shift;
    return shift;
}

bool kzoJpegWidenPlane(kzoJpegComponent& c, std::int32_t width, std::int32_t height)
{
    const int horizontalShift = kzoJpegReplicationShift(c.width, width);
    const int verticalShift = kzoJpegReplicationShift(c.height, height);
    const std::int64_t newWidth = std::int64_t{c.width} << horizontalShift;
    const std::int64_t newHeight = std::int64_t{c.height} << verticalShift;
    auto* plane = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(newWidth * newHeight)));
    if (!plane)
        return false;
    for (std::int64_t y = 0; y < newHeight; ++y) {
        const std::uint8_t* source = c.plane + (y >> verticalShift) * c.stride;
        std::uint8_t* target = plane + y * newWidth;
        for (std::int64_t x = 0; x < newWidth; ++x)
            target[x] = source[x >> horizontalShift];
    }
    std::free(c.plane);
    c.plane = plane;
    c.width = static_cast<std::int32_t>(newWidth);
    c.height = static_cast<std::int32_t>(newHeight);
    c.stride = c.width;
    return true;
}

void kzoJpegConvertFullPlanes(const kzoJpegComponent* components, std::int32_t width, std::int32_t height,
                              std::uint8_t* rgb)
{
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* luma = components[0].plane + y * components[0].stride;
        const std::uint8_t* blue = components[1].plane + y * components[1].stride;
        const std::uint8_t* red = components[2].plane + y * components[2].stride;
        std::uint8_t* out = rgb + y * width * 3;
        for (std::int32_t x = 0; x < width; ++x, out += 3)
            kzoJpegYCbCrToRgb(luma[x], blue[x], red[x], out);
    }
}

// One slot per component, 8 bytes of slack for the pairwise widening.
std::int64_t kzoJpegConvertBufferSize(std::int32_t width) { return 3 * (std::int64_t{width} + 8); }

namespace {

// Row `row` of a component widened to width samples: the plane row itself when
// there is no horizontal shift, else a copy widened into buffer.
void widenRow(const std::uint8_t* source, int shift, std::int32_t width, std::uint8_t* buffer)
{
    if (shift == 1) {
        // 4:2:x chroma: each sample twice (the last pair may reach width + 1).
        for (std::int32_t i = 0, n = (width + 1) / 2; i < n; ++i)
            buffer[2 * i] = buffer[2 * i + 1] = source[i];
        return;
    }
    for (std::int32_t x = 0; x < width; ++x)
        buffer[x] = source[x >> shift];
}

// 16 pixels at a time through local copies: fixed-length loops without
// aliasing, which the compiler turns into vector code; the tail one by one.
void convertRow(const std::uint8_t* const* rows, std::int32_t width, std::uint8_t* out)
{
    constexpr int n = 16;
    std::int32_t x = 0;
    for (; x + n <= width; x += n, out += 3 * n) {
        std::uint8_t luma[n], blue[n], red[n], r[n], g[n], b[n];
        std::memcpy(luma, rows[0] + x, n);
        std::memcpy(blue, rows[1] + x, n);
        std::memcpy(red, rows[2] + x, n);
        for (int i = 0; i < n; ++i) {
            r[i] = kzoJpegRed(luma[i], red[i]);
            g[i] = kzoJpegGreen(luma[i], blue[i], red[i]);
            b[i] = kzoJpegBlue(luma[i], blue[i]);
        }
        for (int i = 0; i < n; ++i) {
            out[3 * i] = r[i];
            out[3 * i + 1] = g[i];
            out[3 * i + 2] = b[i];
        }
    }
    for (; x < width; ++x, out += 3)
        kzoJpegYCbCrToRgb(rows[0][x], rows[1][x], rows[2][x], out);
}

} // namespace

void kzoJpegConvertSubsampled(const kzoJpegComponent* components, std::int32_t width, std::int32_t height,
                              std::uint8_t* rgb, std::uint8_t* rowBuffer)
{
    int horizontalShift[3];
    int verticalShift[3];
    const std::uint8_t* rows[3];
    std::int64_t widenedRow[3];
    for (int i = 0; i < 3; ++i) {
        horizontalShift[i] = kzoJpegReplicationShift(components[i].width, width);
        verticalShift[i] = kzoJpegReplicationShift(components[i].height, height);
        widenedRow[i] = -1;
    }
    for (std::int64_t y = 0; y < height; ++y) {
        for (int i = 0; i < 3; ++i) {
            const kzoJpegComponent& c = components[i];
            const std::int64_t sourceRow = y >> verticalShift[i];
            const std::uint8_t* source = c.plane + sourceRow * c.stride;
            if (horizontalShift[i] == 0) {
                rows[i] = source;
                continue;
            }
            std::uint8_t* buffer = rowBuffer + i * (std::int64_t{width} + 8);
            if (widenedRow[i] != sourceRow) {
                widenRow(source, horizontalShift[i], width, buffer);
                widenedRow[i] = sourceRow;
            }
            rows[i] = buffer;
        }
        convertRow(rows, width, rgb + y * width * 3);
    }
}

void kzoJpegPackRows(kzoJpegComponent& c, std::int32_t width, std::int32_t height)
{
    for (std::int64_t y = 1; y < height; ++y)
        std::memmove(c.plane + y * width, c.plane + y * c.stride, static_cast<std::size_t>(width));
    c.stride = width;
}
