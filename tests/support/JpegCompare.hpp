#pragma once
// Our decoder's result in the reference's picture record, and the per-channel
// difference of two pictures, for the JPEG tests.

#include <cstdint>
#include <string>
#include <vector>

#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegPaths.hpp"
#include "tests/support/JpegReference.hpp"

struct KzoDecode {
    bool ok = false;
    bool progressive = false;
    std::string failure; // the decoder's reason when !ok
    ReferenceImage image; // filled when ok: R G B (or grey) bytes of the 0xAARRGGBB picture
};

// Decodes with a fresh kzoJpegDecoder (on the heap: 512 KiB of lookups). Fails
// as well when a failed decode keeps a picture or a pixel is not opaque (or,
// for a grey file, not grey).
KzoDecode kzoDecode(const std::vector<std::uint8_t>& file, std::int64_t maxPixels = kzoJpegMaxPixels,
                    kzoJpegBlockHook hook = nullptr, void* hookContext = nullptr,
                    kzoJpegPath path = kzoJpegPath::Fast, kzoJpegKernelSet kernels = kzoJpegBestKernelSet());

struct ChannelDifference {
    int maximum = 0;
    double mean = 0;
};

// Per channel of two pictures of the same size and component count; empty when
// they differ in shape.
std::vector<ChannelDifference> pictureDifference(const ReferenceImage& a, const ReferenceImage& b);

// The bounds fixed for our decoder against the reference (JDCT_ISLOW, pixel
// replication): they differ only in IDCT rounding and colour constants.
inline constexpr int kzoMaxChannelDifference = 4;
inline constexpr double kzoMeanChannelDifference = 0.5;
bool withinBounds(const std::vector<ChannelDifference>& difference);
std::string describe(const std::vector<ChannelDifference>& difference);

// A file of the shared test data, by its path below the shared folder.
std::vector<std::uint8_t> sharedFile(const std::string& relativePath);
std::string sharedPath(const std::string& relativePath);

// Decodes with our decoder and with the reference's coefficient reader and
// compares the dequantised coefficients of every block: empty when all agree
// (every block the reference holds picture in was seen, every block we decoded
// matches), else the first difference.
std::string coefficientMismatch(const std::vector<std::uint8_t>& file);

// The reference's upsampled Y Cb Cr samples put through our colour conversion:
// against our pictures this leaves the inverse DCT as the only difference.
bool referenceWithOurColour(const std::vector<std::uint8_t>& file, ReferenceImage& image, std::string& error);
