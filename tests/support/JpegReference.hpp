#pragma once
// The reference JPEG codec of the tests and benchmarks: the system's libjpeg
// (accurate integer IDCT, pixel-replication upsampling, as our decoder) to
// decode, read coefficients and encode test pictures in memory; and a
// photo-like picture generator. Test- and bench-only: the engine never links it.

#include <cstdint>
#include <string>
#include <vector>

struct ReferenceImage {
    int width = 0;
    int height = 0;
    int components = 0;           // 1 (grey) or 3 (R G B)
    std::vector<std::uint8_t> pixels; // rows packed, components interleaved
};

// What the reference hands back for a three-component file.
enum class ReferenceOutput {
    Rgb,              // converted as its markers say
    RgbFromYCbCr,     // converted from Y Cb Cr whatever its markers say
    YCbCr,            // the upsampled samples, not converted
};

// Decodes with JDCT_ISLOW and do_fancy_upsampling off. False (and error
// filled) when libjpeg stops with an error.
bool referenceDecode(const std::vector<std::uint8_t>& file, ReferenceImage& image, std::string& error,
                     ReferenceOutput output = ReferenceOutput::Rgb);

// Dequantised coefficients (natural order), per component, of every block
// libjpeg holds: rows x columns blocks, 64 values each.
struct ReferenceCoefficients {
    int rows = 0;            // blocks stored (the coded grid, rounded up to whole MCUs)
    int columns = 0;
    int codedRows = 0;       // height_in_blocks: blocks that hold picture
    int codedColumns = 0;    // width_in_blocks
    std::vector<std::int32_t> values; // (row x columns + column) x 64 + natural index
};
bool referenceCoefficients(const std::vector<std::uint8_t>& file, std::vector<ReferenceCoefficients>& components,
                           std::string& error);

struct EncodeOptions {
    int width = 16;
    int height = 16;
    int components = 3;          // 1 grey, 3 Y Cb Cr from RGB
    int horizontalFactor = 2;    // of the first component; the others stay 1 x 1
    int verticalFactor = 2;
    int quality = 90;
    unsigned restartInterval = 0; // MCUs
};

// Encodes pixels (width x height x components bytes; for 3 components R G B).
std::vector<std::uint8_t> referenceEncode(const EncodeOptions& options, const std::vector<std::uint8_t>& pixels);

// One scan of a progressive script, as cjpeg's -scans files write it:
// "components: first-last, Ah, Al".
struct ScanSpec {
    std::vector<int> components; // indices in frame order
    int first = 0, last = 63;    // spectral selection
    int high = 0, low = 0;       // successive approximation bits
};

struct TranscodeOptions {
    bool progressive = true;      // libjpeg's standard progression unless scans are given
    std::vector<ScanSpec> scans;  // a script of its own
    unsigned restartInterval = 0; // MCUs
    bool optimize = false;        // Huffman tables made for the file
};

// The file's coefficients written again, as jpegtran does: the same picture
// bit for bit, in another arrangement (progressive, restarts, tables).
std::vector<std::uint8_t> referenceTranscode(const std::vector<std::uint8_t>& file, const TranscodeOptions& options);

// A photo-like picture: sky gradient, a soft disc, noisy hills, a checkerboard,
// fine stripes and colour bars, deterministic for a seed.
std::vector<std::uint8_t> photoPixels(int width, int height, int components, std::uint32_t seed);

// Binary PPM (3 components) or PGM (1).
std::vector<std::uint8_t> portablePixmap(int width, int height, int components, const std::vector<std::uint8_t>& pixels);
