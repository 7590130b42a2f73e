#include <algorithm>
#include <cstring>

#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegConvert.hpp"
#include "import/jpeg/JpegIdct.hpp"
#include "import/jpeg/JpegPaths.hpp"

// From dequantised blocks to pixels: the inverse DCT of each block into its
// component's samples, and the samples into the picture.

void kzoJpegDecoder::transformBlock(int componentIndex, std::int32_t blockRow, std::int32_t blockColumn, bool dcOnly)
{
    if (blockHook) {
        blockHook(blockHookContext, componentIndex, blockRow, blockColumn, block);
        dcOnly = false; // the hook may have set any coefficient
    }
    const kzoJpegComponent& c = components[componentIndex];
    if (path == kzoJpegPath::Plain) {
        kzoJpegIdct(block, c.plane + (std::int64_t{blockRow} * c.stride + blockColumn) * 8, c.stride);
        std::fill(block, block + 64, 0);
        return;
    }
    // The fast path keeps one MCU row: block rows 0 to verticalFactor - 1 of it
    // (factors are powers of two).
    std::uint8_t* out = c.plane + (std::int64_t{blockRow & (c.verticalFactor - 1)} * c.stride + blockColumn) * 8;
    if (dcOnly) {
        // Both passes of the inverse DCT take their DC-only shortcuts: one value.
        const std::uint8_t value = kzoJpegIdctFlat(block[0]);
        block[0] = 0;
        for (int row = 0; row < 8; ++row)
            std::memset(out + row * c.stride, value, 8);
        return;
    }
    kernels.idct(block, out, c.stride);
}

void kzoJpegDecoder::convertMcuRow(std::int32_t mcuRow)
{
    const std::int32_t top = mcuRow * mcuHeight;
    const std::int32_t bottom = std::min(height, top + mcuHeight);
    kzoJpegConvertRows(components, componentCount, width, height, top, bottom, kernels, rowBuffer,
                       pixels + std::int64_t{top} * width);
}

// The reference conversion after the last block: subsampled planes widened to
// the picture's size by replication, then converted pixel by pixel.
void kzoJpegDecoder::convertPlanes()
{
    if (componentCount == 1)
        return kzoJpegConvertGreyPlane(components[0], width, height, pixels);
    for (kzoJpegComponent& c : components)
        if ((c.width < width || c.height < height) && !kzoJpegWidenPlane(c, width, height))
            return fail(kzoJpegOutOfMemory, "no memory to widen a plane");
    for (const kzoJpegComponent& c : components)
        if (c.width < width || c.height < height)
            return fail(kzoJpegInternal, "plane still smaller than the picture after widening");
    kzoJpegConvertFullPlanes(components, width, height, pixels);
}
