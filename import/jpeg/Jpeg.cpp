#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegPaths.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "import/jpeg/JpegConvert.hpp"

namespace {

std::int32_t bigEndian16(const std::uint8_t* p) { return (std::int32_t{p[0]} << 8) | p[1]; }

bool isPowerOfTwo(std::int32_t v) { return v > 0 && (v & (v - 1)) == 0; }

std::int32_t ceilDiv(std::int64_t a, std::int64_t b) { return static_cast<std::int32_t>((a + b - 1) / b); }

const char* codeName(kzoJpegError code)
{
    switch (code) {
    case kzoJpegRunning: return "no error";
    case kzoJpegUnsupported: return "unsupported";
    case kzoJpegOutOfMemory: return "out of memory";
    case kzoJpegInternal: return "internal error";
    case kzoJpegSyntax: return "syntax error";
    case kzoJpegScanComplete: return "decoded";
    }
    return "unknown error";
}

// What a marker the decoder does not read stands for (T.81 Table B.1), so that
// a refusal says which kind of file it met.
const char* unreadMarkerKind(int code)
{
    switch (code) {
    case 0xC3: return "lossless frame";
    case 0xC5: return "hierarchical frame, differential sequential";
    case 0xC6: return "hierarchical frame, differential progressive";
    case 0xC7: return "hierarchical frame, differential lossless";
    case 0xC9: return "arithmetic-coded frame";
    case 0xCA: return "arithmetic-coded frame, progressive";
    case 0xCB: return "arithmetic-coded frame, lossless";
    case 0xCC: return "arithmetic-coding conditioning, an arithmetic-coded file";
    case 0xCD: return "arithmetic-coded hierarchical frame, differential sequential";
    case 0xCE: return "arithmetic-coded hierarchical frame, differential progressive";
    case 0xCF: return "arithmetic-coded hierarchical frame, differential lossless";
    case 0xDC: return "number of lines defined after the scan";
    case 0xDE: return "hierarchical progression";
    case 0xDF: return "hierarchical expansion";
    case 0xD9: return "end of image before any scan";
    default: return "not a marker this decoder reads";
    }
}

} // namespace

kzoJpegDecoder::kzoJpegDecoder(std::int64_t maxPixels)
    : kzoJpegDecoder(maxPixels, kzoJpegPath::Fast, kzoJpegBestKernelSet())
{
}

kzoJpegDecoder::kzoJpegDecoder(std::int64_t maxPixels, kzoJpegPath path, kzoJpegKernelSet kernelSet)
    : maxPixels(maxPixels), path(path), kernels(kzoJpegKernelsOf(kernelSet))
{
}

kzoJpegDecoder::~kzoJpegDecoder()
{
    releaseBuffers();
    std::free(pixels);
}

void kzoJpegDecoder::releaseBuffers()
{
    for (kzoJpegComponent& component : components) {
        std::free(component.plane);
        std::free(component.coefficients);
        component.plane = nullptr;
        component.coefficients = nullptr;
    }
    std::free(rowBuffer);
    rowBuffer = nullptr;
}

void kzoJpegDecoder::SetBlockHook(kzoJpegBlockHook hook, void* context)
{
    blockHook = hook;
    blockHookContext = context;
}

void kzoJpegDecoder::SetInputHook(kzoJpegInputHook hook, void* context)
{
    inputHook = hook;
    inputHookContext = context;
}

// Every read moves position forward (the fast reads copy bytes into the bit
// buffer as they pass them), so nothing before it is read again.
void kzoJpegDecoder::reportInputDone() const
{
    if (inputHook)
        inputHook(inputHookContext, position - start);
}

std::uint32_t* kzoJpegDecoder::TakePixels()
{
    std::uint32_t* picture = pixels;
    pixels = nullptr;
    return picture;
}

void kzoJpegDecoder::fail(kzoJpegError code, const char* reason, int marker)
{
    error = code;
    failureReason = reason;
    failureMarker = marker;
    failureOffset = start ? position - start : 0;
}

std::string kzoJpegDecoder::GetFailure() const
{
    if (!failureReason)
        return codeName(error);
    char text[200];
    if (failureMarker >= 0)
        std::snprintf(text, sizeof text, "%s: marker 0x%02X (%s) at byte %lld", codeName(error), failureMarker,
                      failureReason, static_cast<long long>(failureOffset));
    else
        std::snprintf(text, sizeof text, "%s: %s at byte %lld", codeName(error), failureReason,
                      static_cast<long long>(failureOffset));
    return text;
}

bool kzoJpegDecoder::Decode(const std::uint8_t* data, std::int32_t dataSize)
{
    // One decoder, one picture: a second call leaves the first result alone.
    if (decodeCalled)
        return false;
    decodeCalled = true;
    start = data;
    position = data;
    size = dataSize & 0x7FFFFFFF;
    if (!data || size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
        fail(kzoJpegSyntax, "no start-of-image marker (FF D8)");
        return false;
    }
    position += 2;
    size -= 2;
    while (error == kzoJpegRunning)
        readSegment();
    if (error == kzoJpegScanComplete && path == kzoJpegPath::Plain)
        convertPlanes();
    releaseBuffers();
    if (error == kzoJpegScanComplete)
        return true;
    // Rows decoded before the failure are no picture: nothing is handed out.
    std::free(pixels);
    pixels = nullptr;
    return false;
}

// --- The marker loop ------------------------------------------------------------

void kzoJpegDecoder::readSegment()
{
    // Any number of FF fill bytes may come before a marker (T.81 B.1.1.2).
    while (size >= 2 && position[0] == 0xFF && position[1] == 0xFF) {
        ++position;
        --size;
    }
    if (size < 2 || position[0] != 0xFF) {
        if (size >= 2)
            return fail(kzoJpegSyntax, "a marker (FF) was expected");
        return fail(kzoJpegSyntax, scanCount > 0 ? "input ends before the end-of-image marker (file cut short)"
                                                 : "input ends before the scan");
    }
    readMarker(position[1]);
}

void kzoJpegDecoder::readMarker(int code)
{
    const bool skipped = code == 0xFE || (code >= 0xE0 && code <= 0xEF && code != 0xEE); // comment, application data
    const bool read = code == 0xC0 || code == 0xC1 || code == 0xC2 || code == 0xC4 || code == 0xDB ||
                      code == 0xDD || code == 0xDA || code == 0xEE || (code == 0xD9 && progressive && scanCount > 0);
    if (!skipped && !read) {
        const bool syntax = code == 0xD9; // an image that ends before it began
        return fail(syntax ? kzoJpegSyntax : kzoJpegUnsupported, unreadMarkerKind(code), code);
    }
    position += 2;
    size -= 2;
    switch (code) {
    case 0xC0:
    case 0xC1:
    case 0xC2: return readFrameHeader(code);
    case 0xC4: return readHuffmanTables();
    case 0xDB: return readQuantTables();
    case 0xDD: return readRestartInterval();
    case 0xDA: return readScanHeader();
    case 0xEE: return readAdobeSegment();
    case 0xD9: return readEndOfImage();
    default:
        if (beginSegment())
            skip(length);
    }
}

// --- Segments -----------------------------------------------------------------

bool kzoJpegDecoder::beginSegment()
{
    if (size < 2) {
        fail(kzoJpegSyntax, "segment length missing");
        return false;
    }
    const std::int32_t total = bigEndian16(position);
    // A length below 2 cannot count its own two bytes; skipping "the rest"
    // would step backwards into the segment.
    if (total < 2 || total > size) {
        fail(kzoJpegSyntax, total < 2 ? "segment length below 2" : "segment longer than the input");
        return false;
    }
    length = total;
    skip(2);
    return true;
}

void kzoJpegDecoder::skip(std::int64_t count)
{
    if (count > size) {
        fail(kzoJpegSyntax, "segment runs past the input");
        return;
    }
    position += count;
    size -= static_cast<std::int32_t>(count);
    length -= static_cast<std::int32_t>(count);
}

void kzoJpegDecoder::readFrameHeader(int code)
{
    if (!beginSegment())
        return;
    // One frame per file; a second header would re-size planes the tables and
    // scans were checked against.
    if (frameRead)
        return fail(kzoJpegSyntax, "second frame header");
    frameRead = true;
    // Extended sequential (C1) decodes as baseline (C0) when its samples are 8-bit.
    progressive = code == 0xC2;
    if (length < 9)
        return fail(kzoJpegSyntax, "frame header too short");
    if (position[0] != 8)
        return fail(kzoJpegUnsupported, position[0] == 12 ? "sample precision is 12 bits, only 8-bit samples are read"
                                                          : "sample precision is not 8 bits");
    height = bigEndian16(position + 1);
    width = bigEndian16(position + 3);
    componentCount = position[5];
    skip(6);
    if (componentCount == 4)
        return fail(kzoJpegUnsupported, adobeTransform == 2 ? "component count is 4: a YCCK picture (Adobe transform 2)"
                                                            : "component count is 4: a CMYK picture");
    if (componentCount != 1 && componentCount != 3)
        return fail(kzoJpegUnsupported, "component count is not 1 or 3");
    if (length < 3 * componentCount)
        return fail(kzoJpegSyntax, "frame header too short for its components");
    // A height of 0 would be set later by a DNL marker, which is not read.
    if (width == 0 || height == 0)
        return fail(kzoJpegSyntax, "width or height is 0");
    if (std::int64_t{width} * height > maxPixels)
        return fail(kzoJpegUnsupported, "picture larger than the decoder's pixel bound");
    if (readFrameComponents() && layOutPlanes() && allocate())
        skip(length);
}

bool kzoJpegDecoder::readFrameComponents()
{
    for (int i = 0; i < componentCount; ++i) {
        kzoJpegComponent& c = components[i];
        c.id = position[0];
        c.horizontalFactor = position[1] >> 4;
        c.verticalFactor = position[1] & 15;
        c.quantTable = position[2];
        if (c.horizontalFactor == 0 || c.verticalFactor == 0) {
            fail(kzoJpegSyntax, "sampling factor 0");
            return false;
        }
        if (!isPowerOfTwo(c.horizontalFactor) || !isPowerOfTwo(c.verticalFactor)) {
            fail(kzoJpegUnsupported, "sampling factor not a power of two");
            return false;
        }
        if (c.quantTable > 3) {
            fail(kzoJpegSyntax, "quantization table number above 3");
            return false;
        }
        std::fill(std::begin(c.approximation), std::end(c.approximation), std::int8_t{-1});
        skip(3);
    }
    // A one-component scan is not interleaved (T.81 A.2.2): one block per MCU
    // whatever the factors say.
    if (componentCount == 1)
        components[0].horizontalFactor = components[0].verticalFactor = 1;
    return true;
}

bool kzoJpegDecoder::layOutPlanes()
{
    std::int32_t maxH = 1;
    std::int32_t maxV = 1;
    for (int i = 0; i < componentCount; ++i) {
        maxH = std::max(maxH, components[i].horizontalFactor);
        maxV = std::max(maxV, components[i].verticalFactor);
    }
    mcuWidth = 8 * maxH;
    mcuHeight = 8 * maxV;
    mcuColumns = ceilDiv(width, mcuWidth);
    mcuRows = ceilDiv(height, mcuHeight);
    for (int i = 0; i < componentCount; ++i) {
        kzoJpegComponent& c = components[i];
        c.width = ceilDiv(std::int64_t{width} * c.horizontalFactor, maxH);
        c.height = ceilDiv(std::int64_t{height} * c.verticalFactor, maxV);
        c.blockColumns = mcuColumns * c.horizontalFactor;
        c.blockRows = mcuRows * c.verticalFactor;
        c.stride = c.blockColumns * 8;
        if ((c.width < 3 && c.horizontalFactor != maxH) || (c.height < 3 && c.verticalFactor != maxV)) {
            fail(kzoJpegUnsupported, "subsampled plane narrower than 3 samples");
            return false;
        }
    }
    return true;
}

bool kzoJpegDecoder::allocate()
{
    // 64-bit sizes throughout: 65535 x 65535 headers must not wrap.
    const std::int64_t pictureBytes = std::int64_t{width} * height * 4;
    std::int64_t coefficientBytes = 0;
    if (progressive)
        for (int i = 0; i < componentCount; ++i)
            coefficientBytes += std::int64_t{components[i].blockColumns} * components[i].blockRows * 64 * 2;
    // A caller's bound near the top of int64 (no bound at all) must not wrap.
    const std::int64_t byteBound = maxPixels > INT64_MAX / kzoJpegBytesPerBoundPixel
                                       ? INT64_MAX
                                       : maxPixels * kzoJpegBytesPerBoundPixel;
    if (pictureBytes + coefficientBytes > byteBound) {
        fail(kzoJpegUnsupported, "picture and coefficients need more memory than the decoder's bound");
        return false;
    }
    // Every pixel is written before a successful Decode returns: no need to clear.
    pixels = static_cast<std::uint32_t*>(std::malloc(static_cast<std::size_t>(pictureBytes)));
    if (!pixels) {
        fail(kzoJpegOutOfMemory, "no memory for the picture");
        return false;
    }
    for (int i = 0; i < componentCount; ++i) {
        kzoJpegComponent& c = components[i];
        // The plain path keeps the whole plane, the fast path one MCU row of it.
        const std::int64_t rows = 8 * std::int64_t{path == kzoJpegPath::Plain ? c.blockRows : c.verticalFactor};
        // Zeroed, so that no buffer ever holds stale memory, whatever the file does.
        c.plane = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(rows * c.stride), 1));
        if (progressive)
            c.coefficients = static_cast<std::int16_t*>(
                std::calloc(static_cast<std::size_t>(std::int64_t{c.blockColumns} * c.blockRows * 64), 2));
        if (!c.plane || (progressive && !c.coefficients)) {
            fail(kzoJpegOutOfMemory, "no memory for a component's samples or coefficients");
            return false;
        }
    }
    if (path == kzoJpegPath::Fast) {
        rowBuffer = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(kzoJpegRowBufferSize(width))));
        if (!rowBuffer) {
            fail(kzoJpegOutOfMemory, "no memory for the colour conversion");
            return false;
        }
    }
    return true;
}

void kzoJpegDecoder::readQuantTables()
{
    if (!beginSegment())
        return;
    while (error == kzoJpegRunning && length > 0) {
        // High nibble: precision, 0 for 8-bit and 1 for 16-bit steps (big-endian).
        const int precision = position[0] >> 4;
        const int table = position[0] & 15;
        if (precision > 1 || table > 3)
            return fail(kzoJpegSyntax, "quantization table number above 3 or precision above 16 bits");
        const std::int32_t bytes = 1 + 64 * (precision + 1);
        if (length < bytes)
            return fail(kzoJpegSyntax, "quantization segment has bytes left over");
        for (int k = 0; k < 64; ++k)
            quantTables[table][k] = static_cast<std::uint16_t>(precision ? bigEndian16(position + 1 + 2 * k) : position[1 + k]);
        skip(bytes);
    }
}

void kzoJpegDecoder::readRestartInterval()
{
    if (!beginSegment())
        return;
    if (length < 2)
        return fail(kzoJpegSyntax, "restart interval segment too short");
    restartInterval = bigEndian16(position);
    skip(length);
}

void kzoJpegDecoder::readHuffmanTables()
{
    if (!beginSegment())
        return;
    while (error == kzoJpegRunning && length > 16) {
        const int classAndNumber = position[0];
        if (classAndNumber & 0xEC)
            return fail(kzoJpegSyntax, "Huffman table class above 1 or number above 3");
        if (classAndNumber & 0x02)
            return fail(kzoJpegUnsupported, "Huffman table number 2 or 3");
        const int slot = (classAndNumber | (classAndNumber >> 3)) & 3;
        std::uint8_t counts[16];
        std::memcpy(counts, position + 1, 16);
        skip(17);
        const std::int32_t valueCount = checkHuffmanCounts(counts);
        if (valueCount < 0)
            return;
        kzoJpegHuffmanTable& table = huffman[slot];
        // The plain path reads the reference's 65536 entries, the fast path the
        // lookups built beside them (the large table is not even touched).
        if (path == kzoJpegPath::Plain)
            kzoJpegFillLookup(table, counts, position);
        kzoJpegBuildFastTables(table, counts, position, slot >= 2);
        huffmanDefined[slot] = true;
        skip(valueCount);
    }
    if (error == kzoJpegRunning && length != 0)
        fail(kzoJpegSyntax, "Huffman segment has bytes left over");
}

// The values a table's counts announce, or -1 (failed) when they run past the
// segment or there are more codes than 16 bits hold.
std::int32_t kzoJpegDecoder::checkHuffmanCounts(const std::uint8_t* counts)
{
    std::int32_t remain = 65536;
    std::int32_t values = 0;
    for (int codeLength = 1; codeLength <= 16; ++codeLength) {
        const std::int32_t count = counts[codeLength - 1];
        if (count == 0)
            continue;
        if (count > length - values) {
            fail(kzoJpegSyntax, "Huffman code values run past the segment");
            return -1;
        }
        remain -= count << (16 - codeLength);
        if (remain < 0) {
            fail(kzoJpegSyntax, "more Huffman codes than the code space holds");
            return -1;
        }
        values += count;
    }
    return values;
}

void kzoJpegDecoder::readAdobeSegment()
{
    if (!beginSegment())
        return;
    // "Adobe", version, two flag words, then the colour transform: kept only to
    // name a four-component picture's kind.
    static constexpr std::uint8_t signature[5] = {'A', 'd', 'o', 'b', 'e'};
    if (length >= 12 && std::equal(signature, signature + 5, position))
        adobeTransform = position[11];
    skip(length);
}

void kzoJpegDecoder::readEndOfImage()
{
    // Every scan of the progressive file is in: its coefficients become the picture.
    transformCoefficients();
}
