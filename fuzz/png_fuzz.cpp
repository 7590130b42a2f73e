// libFuzzer target for the PNG decoder (our wrapper around libpng): any bytes
// give either a picture within the pixel bound whose every pixel is readable,
// or a reason and no picture, never both. Each input is decoded twice: as
// given, and with the signature and every whole chunk's CRC made right, so that
// mutations get past the CRC checks into the header checks, the colour
// transformations and the image data.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>
#include <zlib.h>

#include "import/png/Png.hpp"

namespace {

// 256 x 256 pixels: one input decodes in well under a millisecond.
constexpr std::int64_t fuzzMaxPixels = 256 * 256;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void decodeAndCheck(std::span<const std::uint8_t> bytes)
{
    kzoPngResult result = kzoDecodePng(bytes, fuzzMaxPixels);
    const peltoImage& image = result.image;
    if (!result.failure.empty()) {
        check(!image.pixels && image.width == 0 && image.height == 0);
        return;
    }
    const std::uint64_t count = std::uint64_t{image.width} * image.height;
    check(image.pixels && count > 0 && count <= fuzzMaxPixels);
    volatile std::uint32_t sink = 0;
    for (std::uint64_t i = 0; i < count; ++i)
        sink = sink + image.pixels[i];
    FreeImage(result.image);
}

std::uint32_t bigEndian(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

void mendSignatureAndCrcs(std::vector<std::uint8_t>& bytes)
{
    static constexpr std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (std::size_t i = 0; i < 8 && i < bytes.size(); ++i)
        bytes[i] = signature[i];
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint64_t length = bigEndian(&bytes[at]);
        if (length > bytes.size() - at - 12)
            break;
        const std::size_t crcAt = at + 8 + static_cast<std::size_t>(length);
        const auto crc = static_cast<std::uint32_t>(crc32(0, &bytes[at + 4], static_cast<uInt>(length + 4)));
        for (int i = 0; i < 4; ++i)
            bytes[crcAt + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at = crcAt + 4;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    decodeAndCheck({data, size});
    std::vector<std::uint8_t> mended(data, data + size);
    mendSignatureAndCrcs(mended);
    decodeAndCheck(mended);
    return 0;
}
