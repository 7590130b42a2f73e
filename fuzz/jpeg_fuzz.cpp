// libFuzzer target: any bytes into kzoJpegDecoder::Decode. The pixel bound is
// lowered to 512 x 512 so that one input decodes in well under a millisecond;
// the checks that matter (no read past the input, no write past a plane, no
// undefined arithmetic) are the sanitizers'.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "import/Jpeg.hpp"

namespace {
constexpr std::int64_t fuzzMaxPixels = 512 * 512;
}

// Keeps the reads of the picture from being optimised away.
volatile unsigned kzoJpegFuzzSink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0x7FFFFFFF)
        return 0;
    const auto decoder = std::make_unique<kzoJpegDecoder>(fuzzMaxPixels);
    const bool decoded = decoder->Decode(data, static_cast<std::int32_t>(size));
    if (decoded) {
        // Every byte the getters promise must be readable and initialised.
        const std::size_t bytes = std::size_t(decoder->GetWidth()) * std::size_t(decoder->GetHeight()) *
                                  std::size_t(decoder->GetComponentCount());
        const std::uint8_t* pixels = decoder->GetImage();
        unsigned sum = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            sum += pixels[i];
        kzoJpegFuzzSink = sum;
    } else {
        (void)decoder->GetFailure();
    }
    return 0;
}
