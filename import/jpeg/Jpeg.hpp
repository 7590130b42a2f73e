#pragma once
// JPEG decoding from memory into 0xAARRGGBB pixels (alpha 0xFF; a grey picture
// gives R = G = B): sequential files of one interleaved scan and progressive
// files, Huffman-coded, 8-bit samples, 1 or 3 components. Arithmetic-coded,
// lossless, hierarchical, 12-bit and 4-component (CMYK, YCCK) files are refused
// with their kind named, never half-decoded. Depends on nothing else of ours:
// the image loader sits on top of it.

#include <cstdint>
#include <string>

#include "import/jpeg/JpegHuffman.hpp"
#include "import/jpeg/JpegKernels.hpp"

// One colour component of the frame, in frame-header order.
struct kzoJpegComponent {
    std::int32_t id;
    std::int32_t horizontalFactor;
    std::int32_t verticalFactor;
    std::int32_t width;  // samples
    std::int32_t height; // samples
    std::int32_t stride; // bytes per row of the plane
    std::int32_t quantTable;
    std::int32_t acSlot; // 2 or 3
    std::int32_t dcSlot; // 0 or 1
    std::int32_t dcPredictor;
    // The plain path's whole plane, or the fast path's one MCU row of it.
    std::uint8_t* plane;
    // The quantization table (stored zig-zag order) as it was when the
    // component's first scan began: later tables do not change its blocks.
    std::uint16_t quant[64];
    bool quantTaken;
    // Blocks across and down, whole MCUs.
    std::int32_t blockColumns;
    std::int32_t blockRows;
    // Progressive frames: every block's quantised coefficients (64 a block,
    // natural order, rows of blocks top to bottom) until the last scan, and for
    // each coefficient the point transform it was last sent with (-1: not yet).
    std::int16_t* coefficients;
    std::int8_t approximation[64];
};

// The decoder's state codes; decoding goes on only while the code is kzoJpegRunning.
enum kzoJpegError : std::uint8_t {
    kzoJpegRunning = 0,
    kzoJpegUnsupported = 2,
    kzoJpegOutOfMemory = 3,
    kzoJpegInternal = 4,
    kzoJpegSyntax = 5,
    kzoJpegScanComplete = 6, // the success state
};

// The largest picture Decode accepts: 8192 x 8192 pixels in any shape.
inline constexpr std::int64_t kzoJpegMaxPixels = std::int64_t{8192} * 8192;

// The picture (4 bytes a pixel) and a progressive frame's coefficients (2
// bytes a sample of every component, whole MCUs) may take at most this many
// bytes per pixel of the pixel bound: 704 MiB at the default, enough for an
// 8192 x 8192 progressive 4:4:4 file (10 bytes a pixel), so that a hostile
// header cannot make the decoder ask for gigabytes. The plain path's whole
// planes (test-only) come on top.
inline constexpr std::int64_t kzoJpegBytesPerBoundPixel = 11;

// A progressive file may carry at most this many scans (each one walks every
// block of its components, so the count bounds the work of a hostile file).
inline constexpr int kzoJpegMaxScans = 1000;

// Sees each dequantised block (natural order) just before its inverse DCT and
// may change it. blockRow and blockColumn count 8 x 8 blocks in the plane.
// Tests compare coefficients with a reference reader through it.
using kzoJpegBlockHook = void (*)(void* context, int component, int blockRow, int blockColumn,
                                  std::int32_t* block);

// Told, as decoding goes on, that the first doneBytes bytes of the input will
// not be read again: after each row of MCUs of a sequential scan and after each
// progressive scan. A caller holding a large file may give those pages back to
// the system, so that at the end of a decode the file is not resident beside
// the picture (3.4 MB beside 64 MB for a 4096 x 4096 texture).
using kzoJpegInputHook = void (*)(void* context, std::int64_t doneBytes);

// The decoding path: JpegPaths.hpp, for the tests and the fuzz target that
// hold the fast path to the plain one.
enum class kzoJpegPath : std::uint8_t;

// Decodes one image once: construct, Decode, read the getters, destroy.
class kzoJpegDecoder {
public:
    // The fast path with the fastest kernels this processor runs.
    explicit kzoJpegDecoder(std::int64_t maxPixels = kzoJpegMaxPixels);
    // A path and kernel set of the caller's choice (JpegPaths.hpp).
    kzoJpegDecoder(std::int64_t maxPixels, kzoJpegPath path, kzoJpegKernelSet kernels);
    ~kzoJpegDecoder();
    kzoJpegDecoder(const kzoJpegDecoder&) = delete;
    kzoJpegDecoder& operator=(const kzoJpegDecoder&) = delete;

    // True when the picture was decoded completely. The size is taken with its
    // top bit cleared. The input is read during the call only. A second call on
    // the same decoder is refused (false) and changes nothing.
    bool Decode(const std::uint8_t* data, std::int32_t size);

    // The frame header's size (0 before one was read).
    std::int32_t GetWidth() const { return width; }
    std::int32_t GetHeight() const { return height; }
    // 1 or 3 once a frame header was read, else 0.
    std::int32_t GetComponentCount() const { return componentCount; }
    bool IsProgressive() const { return progressive; }

    // After a successful Decode: width x height words 0xAARRGGBB, rows packed,
    // top row first. Null otherwise: a failed decode keeps no picture.
    const std::uint32_t* GetPixels() const { return pixels; }
    // Hands the picture over: allocated with std::malloc, released with
    // std::free by the caller. Null when there is none; the decoder keeps nothing.
    std::uint32_t* TakePixels();

    // Why Decode gave false: the state code, and a text such as
    // "unsupported: marker 0xC9 (arithmetic-coded frame) at byte 158".
    kzoJpegError GetError() const { return error; }
    std::string GetFailure() const;

    void SetBlockHook(kzoJpegBlockHook hook, void* context);
    void SetInputHook(kzoJpegInputHook hook, void* context);

private:
    // The marker loop and its segments (Jpeg.cpp).
    void readSegment();
    void readMarker(int code);
    bool beginSegment();
    void skip(std::int64_t count);
    void readFrameHeader(int code);
    bool readFrameComponents();
    bool layOutPlanes();
    bool allocate();
    void readQuantTables();
    void readRestartInterval();
    void readHuffmanTables();
    std::int32_t checkHuffmanCounts(const std::uint8_t* counts);
    void readAdobeSegment();
    void readEndOfImage();
    // Scan headers and sequential scans (JpegScan.cpp).
    void readScanHeader();
    bool readScanComponents();
    void clearUndefinedTable(int slot);
    bool checkProgression();
    void decodeSequentialScan();
    void decodeBlockPlain(int componentIndex, std::int32_t blockRow, std::int32_t blockColumn);
    void decodeBlockFast(int componentIndex, std::int32_t blockRow, std::int32_t blockColumn);
    void readRestartMarker(std::int32_t expected);
    // Progressive scans (JpegProgressive.cpp).
    void decodeProgressiveScan();
    void decodeProgressiveBlock(kzoJpegComponent& component, std::int16_t* coefficients);
    void decodeDcFirst(kzoJpegComponent& component, std::int16_t* coefficients);
    void decodeAcFirst(kzoJpegComponent& component, std::int16_t* coefficients);
    void decodeAcRefinement(kzoJpegComponent& component, std::int16_t* coefficients);
    void refine(std::int16_t& coefficient);
    bool endProgressiveMcu(bool last, std::int32_t& countdown, std::int32_t& expected);
    void endProgressiveScan();
    void transformCoefficients();
    // From coefficients to pixels (JpegOutput.cpp).
    void transformBlock(int componentIndex, std::int32_t blockRow, std::int32_t blockColumn, bool dcOnly);
    void convertMcuRow(std::int32_t mcuRow);
    void convertPlanes();
    void releaseBuffers();
    // The entropy decoder (JpegBits.cpp): the reference reads, and the fast ones beside them.
    std::uint32_t peekBits(int count);
    void skipBits(int count);
    std::uint32_t getBits(int count);
    int decodeSymbolPlain(int slot, std::int32_t& value);
    void refillBits();
    int decodeSymbol(int slot, std::int32_t& value);
    std::uint32_t readBits(int count);

    void fail(kzoJpegError code, const char* reason, int marker = -1);
    void reportInputDone() const;
    static constexpr const char* noCodeReason = "bits that start no Huffman code";

    kzoJpegError error = kzoJpegRunning;
    const std::uint8_t* position = nullptr;
    std::int32_t size = 0;
    std::int32_t length = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t mcuColumns = 0;
    std::int32_t mcuRows = 0;
    std::int32_t mcuWidth = 0;
    std::int32_t mcuHeight = 0;
    std::int32_t componentCount = 0;
    kzoJpegComponent components[3] = {};
    std::uint16_t quantTables[4][64] = {};
    // Slots 0, 1: DC tables 0, 1; slots 2, 3: AC tables 0, 1. Not cleared when
    // the decoder is made (half a megabyte): a slot is written when a segment
    // defines it, or cleared (no codes) when a scan names it undefined.
    kzoJpegHuffmanTable huffman[4];
    bool huffmanDefined[4] = {};
    std::uint64_t bitBuffer = 0;         // 64 bits: the fast reads keep up to 63 buffered
    std::int32_t bitCount = 0;
    std::int32_t block[64] = {};         // all zero between blocks
    std::int32_t restartInterval = 0;
    std::uint32_t* pixels = nullptr;

    // The frame and the scan being decoded.
    bool progressive = false;
    int scanCount = 0;
    int scanComponents[3] = {};
    int scanComponentCount = 0;
    int spectralStart = 0;
    int spectralEnd = 63;
    int approximationHigh = 0;
    int approximationLow = 0;
    std::int32_t endOfBandRun = 0;
    // Past the entropy-coded data the reads see 1 bits; counted, so that a
    // progressive scan that uses them is known to be cut short.
    std::int64_t paddingBits = 0;
    // A progressive scan's data ends at the first marker that is not a restart:
    // the bytes left from there wait here while the scan reads padding.
    std::int32_t sizeAfterData = -1;
    int adobeTransform = -1; // from an Adobe APP14 segment; 2 marks YCCK

    // Beyond the decoding state: the safety bound, the path, the one-call rule,
    // the failure report and the hooks.
    std::int64_t maxPixels;
    kzoJpegPath path;
    const kzoJpegKernels& kernels;
    std::uint8_t* rowBuffer = nullptr; // the fast path's widened rows
    const std::uint8_t* start = nullptr;
    bool decodeCalled = false;
    bool frameRead = false;
    const char* failureReason = nullptr;
    std::int64_t failureOffset = 0;
    int failureMarker = -1;
    kzoJpegBlockHook blockHook = nullptr;
    void* blockHookContext = nullptr;
    kzoJpegInputHook inputHook = nullptr;
    void* inputHookContext = nullptr;
};
