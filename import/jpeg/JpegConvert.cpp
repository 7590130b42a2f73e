#include "import/jpeg/JpegConvert.hpp"

#include <cstdlib>

#include "import/jpeg/JpegColour.hpp"

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
                              std::uint32_t* pixels)
{
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* luma = components[0].plane + y * components[0].stride;
        const std::uint8_t* blue = components[1].plane + y * components[1].stride;
        const std::uint8_t* red = components[2].plane + y * components[2].stride;
        std::uint32_t* out = pixels + y * width;
        for (std::int32_t x = 0; x < width; ++x)
            out[x] = kzoJpegPixel(luma[x], blue[x], red[x]);
    }
}

void kzoJpegConvertGreyPlane(const kzoJpegComponent& c, std::int32_t width, std::int32_t height, std::uint32_t* pixels)
{
    for (std::int64_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            pixels[y * width + x] = kzoJpegGreyPixel(c.plane[y * c.stride + x]);
}

// One slot per component; a doubled row may reach one sample past the width.
std::int64_t kzoJpegRowBufferSize(std::int32_t width) { return 3 * (std::int64_t{width} + 8); }

namespace {

// Row `source` widened by replication to width samples into buffer.
void widenRow(const std::uint8_t* source, int shift, std::int32_t width, const kzoJpegKernels& kernels,
              std::uint8_t* buffer)
{
    if (shift == 1)
        return kernels.doubleRow(source, (width + 1) / 2, buffer);
    for (std::int32_t x = 0; x < width; ++x)
        buffer[x] = source[x >> shift];
}

} // namespace

void kzoJpegConvertRows(const kzoJpegComponent* components, int componentCount, std::int32_t width,
                        std::int32_t height, std::int32_t top, std::int32_t bottom, const kzoJpegKernels& kernels,
                        std::uint8_t* rowBuffer, std::uint32_t* pixels)
{
    if (componentCount == 1) {
        const kzoJpegComponent& c = components[0];
        for (std::int32_t y = top; y < bottom; ++y)
            kernels.greyRow(c.plane + std::int64_t{y - top} * c.stride, width, pixels + std::int64_t{y - top} * width);
        return;
    }
    int horizontalShift[3], verticalShift[3];
    std::int64_t widenedRow[3];
    const std::uint8_t* rows[3];
    for (int i = 0; i < 3; ++i) {
        horizontalShift[i] = kzoJpegReplicationShift(components[i].width, width);
        verticalShift[i] = kzoJpegReplicationShift(components[i].height, height);
        widenedRow[i] = -1;
    }
    for (std::int32_t y = top; y < bottom; ++y) {
        for (int i = 0; i < 3; ++i) {
            const kzoJpegComponent& c = components[i];
            const std::int64_t sourceRow = (y >> verticalShift[i]) - (top >> verticalShift[i]);
            const std::uint8_t* source = c.plane + sourceRow * c.stride;
            if (horizontalShift[i] == 0) {
                rows[i] = source;
                continue;
            }
            std::uint8_t* buffer = rowBuffer + i * (std::int64_t{width} + 8);
            if (widenedRow[i] != sourceRow) {
                widenRow(source, horizontalShift[i], width, kernels, buffer);
                widenedRow[i] = sourceRow;
            }
            rows[i] = buffer;
        }
        kernels.convertRow(rows[0], rows[1], rows[2], width, pixels + std::int64_t{y - top} * width);
    }
}
