#pragma once
// Baseline JPEG decoding: one interleaved Huffman scan, 8-bit samples, 1 or 3 components,
// from memory into 8-bit RGB (or grey). Progressive, arithmetic-coded, 12-bit and
// 4-component files are refused (Decode gives false), never half-decoded.
// Depends on nothing else of ours: the image loader sits on top of it.

#include <cstdint>
#include <string>

// One entry of a 65536-entry Huffman lookup: indexed by the next 16 bits of the
// stream, it gives the length of the code those bits start with (0: no such code)
// and the symbol it stands for.
struct kzoJpegHuffmanEntry {
    std::uint8_t codeLength;
    std::uint8_t value;
};
static_assert(sizeof(kzoJpegHuffmanEntry) == 2);

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
    std::uint8_t* plane;
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

// The largest picture Decode accepts: 8192 x 8192 pixels in any shape. Its worst
// case (three full-size planes padded to 64 x 64 MCUs, the RGB buffer and one
// plane being widened) stays near 490 MB, so a hostile header cannot make the
// decoder ask for gigabytes.
inline constexpr std::int64_t kzoJpegMaxPixels = std::int64_t{8192} * 8192;

// Sees each dequantised block (natural order) just before its inverse DCT and
// may change it. blockRow and blockColumn count 8 x 8 blocks in the plane.
// Tests compare coefficients with a reference reader through it.
using kzoJpegBlockHook = void (*)(void* context, int component, int blockRow, int blockColumn,
                                  std::int32_t* block);

// Fast: the entropy decoder reads several bytes at a time, the inverse DCT skips
// rows that are zero, the colour conversion widens subsampled rows on the way.
// Plain: every step exactly as written. Both give the same bytes and the same
// result; tests compare them on many inputs.
enum class kzoJpegPath { Fast, Plain };

// Decodes one image once: construct, Decode, read the getters, destroy.
class kzoJpegDecoder {
public:
    explicit kzoJpegDecoder(std::int64_t maxPixels = kzoJpegMaxPixels, kzoJpegPath path = kzoJpegPath::Fast);
    ~kzoJpegDecoder();
    kzoJpegDecoder(const kzoJpegDecoder&) = delete;
    kzoJpegDecoder& operator=(const kzoJpegDecoder&) = delete;

    // True when one complete scan was decoded and converted. The size is taken
    // with its top bit cleared. The input is read during the call only. A second
    // call on the same decoder is refused (false) and changes nothing.
    bool Decode(const std::uint8_t* data, std::int32_t size);

    // The frame header's size (0 before one was read).
    std::int32_t GetWidth() const { return width; }
    std::int32_t GetHeight() const { return height; }
    // 1 or 3 once a frame header was read, else 0.
    std::int32_t GetComponentCount() const { return componentCount; }
    // Three components: width x height x 3 bytes R, G, B, rows packed, top row
    // first. One component: width x height grey bytes. Null before a frame
    // header. Owned by the decoder. After a failed Decode it holds no picture.
    const std::uint8_t* GetImage() const;

    // Why Decode gave false: the state code, and a text such as
    // "unsupported: marker 0xC2 (not a baseline frame) at byte 158".
    kzoJpegError GetError() const { return error; }
    std::string GetFailure() const;

    void SetBlockHook(kzoJpegBlockHook hook, void* context);

private:
    // Segments of the marker loop.
    void readSegment();
    bool beginSegment();
    void skip(std::int64_t count);
    void readFrameHeader();
    bool readFrameComponents();
    bool layOutPlanes();
    bool allocatePlanes();
    void readQuantTables();
    void readRestartInterval();
    void readHuffmanTables();
    void fillHuffmanLookup(int slot, const std::uint8_t* counts);
    void readScanHeader();
    // The scan.
    void decodeScan();
    void decodeBlock(int componentIndex, std::int32_t blockRow, std::int32_t blockColumn);
    void readRestartMarker(std::int32_t expected);
    // The entropy decoder.
    std::uint32_t peekBits(int count);
    void skipBits(int count);
    std::uint32_t getBits(int count);
    int decodeSymbolPlain(int slot, std::int32_t& value);
    void refillBits();
    int decodeSymbol(int slot, std::int32_t& value);
    // After the scan.
    void convert();

    void fail(kzoJpegError code, const char* reason, int marker = -1);

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
    std::uint8_t quantTables[4][64] = {};
    kzoJpegHuffmanEntry huffmanLookup[4][65536] = {};
    std::uint64_t bitBuffer = 0; // 64 bits: the fast reads keep up to 56 buffered
    std::int32_t bitCount = 0;
    std::int32_t block[64] = {};
    std::int32_t restartInterval = 0;
    std::uint8_t* rgb = nullptr;

    // Beyond the decoding state: the safety bound, the one-call rule, the
    // failure report and the test hook.
    std::int64_t maxPixels;
    kzoJpegPath path;
    const std::uint8_t* start = nullptr;
    bool decodeCalled = false;
    bool frameRead = false;
    const char* failureReason = nullptr;
    std::int64_t failureOffset = 0;
    int failureMarker = -1;
    kzoJpegBlockHook blockHook = nullptr;
    void* blockHookContext = nullptr;
};
