#include "import/Jpeg.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "import/JpegConvert.hpp"

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

} // namespace

kzoJpegDecoder::kzoJpegDecoder(std::int64_t maxPixels, kzoJpegPath path) : maxPixels(maxPixels), path(path) {}

kzoJpegDecoder::~kzoJpegDecoder()
{
    for (kzoJpegComponent& component : components)
        std::free(component.plane);
    std::free(rgb);
}

void kzoJpegDecoder::SetBlockHook(kzoJpegBlockHook hook, void* context)
{
    blockHook = hook;
    blockHookContext = context;
}

const std::uint8_t* kzoJpegDecoder::GetImage() const
{
    if (componentCount == 3)
        return rgb;
    if (componentCount == 1)
        return components[0].plane;
    return nullptr;
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
    char text[160];
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
    if (error != kzoJpegScanComplete)
        return false;
    convert();
    return error == kzoJpegScanComplete;
}

// --- Segments -----------------------------------------------------------------

void kzoJpegDecoder::readSegment()
{
    if (size < 2 || position[0] != 0xFF)
        return fail(kzoJpegSyntax, size < 2 ? "input ends before the scan" : "a marker (FF) was expected");
    const int code = position[1];
    const bool skipped = code == 0xFE || (code >= 0xE0 && code <= 0xEF); // comment, application data
    const bool read = code == 0xC0 || code == 0xC4 || code == 0xDB || code == 0xDD || code == 0xDA;
    if (!skipped && !read) {
        const bool frame = code >= 0xC1 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        return fail(kzoJpegUnsupported, frame ? "not a baseline frame" : "not read by a baseline decoder", code);
    }
    position += 2;
    size -= 2;
    switch (code) {
    case 0xC0: return readFrameHeader();
    case 0xC4: return readHuffmanTables();
    case 0xDB: return readQuantTables();
    case 0xDD: return readRestartInterval();
    case 0xDA: return readScanHeader();
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

void kzoJpegDecoder::readFrameHeader()
{
    if (!beginSegment())
        return;
    // Sequential JPEG has one frame; a second header would re-size planes the
    // tables and scan were checked against.
    if (frameRead)
        return fail(kzoJpegSyntax, "second frame header");
    frameRead = true;
    if (length < 9)
        return fail(kzoJpegSyntax, "frame header too short");
    if (position[0] != 8)
        return fail(kzoJpegUnsupported, "sample precision is not 8 bits");
    height = bigEndian16(position + 1);
    width = bigEndian16(position + 3);
    componentCount = position[5];
    skip(6);
    if (componentCount != 1 && componentCount != 3)
        return fail(kzoJpegUnsupported, "component count is not 1 or 3");
    if (length < 3 * componentCount)
        return fail(kzoJpegSyntax, "frame header too short for its components");
    // A height of 0 would be set later by a DNL marker, which baseline files do not carry.
    if (width == 0 || height == 0)
        return fail(kzoJpegSyntax, "width or height is 0");
    if (std::int64_t{width} * height > maxPixels)
        return fail(kzoJpegUnsupported, "picture larger than the decoder's pixel bound");
    if (readFrameComponents() && layOutPlanes() && allocatePlanes())
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
        c.stride = mcuColumns * 8 * c.horizontalFactor;
        if ((c.width < 3 && c.horizontalFactor != maxH) || (c.height < 3 && c.verticalFactor != maxV)) {
            fail(kzoJpegUnsupported, "subsampled plane narrower than 3 samples");
            return false;
        }
    }
    return true;
}

bool kzoJpegDecoder::allocatePlanes()
{
    for (int i = 0; i < componentCount; ++i) {
        kzoJpegComponent& c = components[i];
        const std::int64_t rows = std::int64_t{mcuRows} * 8 * c.verticalFactor;
        // Zeroed, so that the planes never hold stale memory, whatever the scan does.
        c.plane = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(rows * c.stride), 1));
        if (!c.plane) {
            fail(kzoJpegOutOfMemory, "no memory for a component plane");
            return false;
        }
    }
    if (componentCount == 3) {
        rgb = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(std::int64_t{width} * height * 3), 1));
        if (!rgb) {
            fail(kzoJpegOutOfMemory, "no memory for the RGB picture");
            return false;
        }
    }
    return true;
}

void kzoJpegDecoder::readQuantTables()
{
    if (!beginSegment())
        return;
    while (error == kzoJpegRunning && length > 64) {
        // The high nibble is the precision: 16-bit tables (1) fail here too.
        const int table = position[0];
        if (table > 3)
            return fail(kzoJpegSyntax, "quantization table number above 3 or not 8-bit");
        std::memcpy(quantTables[table], position + 1, 64);
        skip(65);
    }
    if (error == kzoJpegRunning && length != 0)
        fail(kzoJpegSyntax, "quantization segment has bytes left over");
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
        fillHuffmanLookup(slot, counts);
    }
    if (error == kzoJpegRunning && length != 0)
        fail(kzoJpegSyntax, "Huffman segment has bytes left over");
}

void kzoJpegDecoder::fillHuffmanLookup(int slot, const std::uint8_t* counts)
{
    kzoJpegHuffmanEntry* entry = huffmanLookup[slot];
    std::int32_t remain = 65536;
    std::int32_t spread = 65536;
    for (int codeLength = 1; codeLength <= 16; ++codeLength) {
        spread /= 2;
        const std::int32_t count = counts[codeLength - 1];
        if (count == 0)
            continue;
        if (count > length)
            return fail(kzoJpegSyntax, "Huffman code values run past the segment");
        remain -= count << (16 - codeLength);
        if (remain < 0)
            return fail(kzoJpegSyntax, "more Huffman codes than the code space holds");
        for (std::int32_t i = 0; i < count; ++i) {
            const kzoJpegHuffmanEntry value{static_cast<std::uint8_t>(codeLength), position[i]};
            std::fill(entry, entry + spread, value);
            entry += spread;
        }
        skip(count);
    }
    std::fill(entry, entry + remain, kzoJpegHuffmanEntry{0, 0});
}

void kzoJpegDecoder::readScanHeader()
{
    if (!beginSegment())
        return;
    // Without a frame there is nothing to decode into: an empty scan would
    // otherwise "complete" a picture of no pixels.
    if (!frameRead)
        return fail(kzoJpegSyntax, "scan before the frame header");
    if (length < 4 + 2 * componentCount)
        return fail(kzoJpegSyntax, "scan header too short");
    if (position[0] != componentCount)
        return fail(kzoJpegUnsupported, "scan does not carry every component (not one interleaved scan)");
    skip(1);
    for (int i = 0; i < componentCount; ++i) {
        kzoJpegComponent& c = components[i];
        if (position[0] != c.id)
            return fail(kzoJpegSyntax, "scan component differs from the frame's");
        const int tables = position[1];
        if (tables & 0xEE)
            return fail(kzoJpegSyntax, "scan names a Huffman table above 1");
        c.dcSlot = tables >> 4;
        c.acSlot = (tables & 1) | 2;
        skip(2);
    }
    if (position[0] != 0 || position[1] != 63 || position[2] != 0)
        return fail(kzoJpegUnsupported, "scan does not cover coefficients 0 to 63 at full precision");
    skip(length);
    decodeScan();
}

// --- After the scan -----------------------------------------------------------

void kzoJpegDecoder::convert()
{
    if (path == kzoJpegPath::Plain && componentCount == 3) {
        for (kzoJpegComponent& c : components)
            if ((c.width < width || c.height < height) && !kzoJpegWidenPlane(c, width, height))
                return fail(kzoJpegOutOfMemory, "no memory to widen a plane");
        for (const kzoJpegComponent& c : components)
            if (c.width < width || c.height < height)
                return fail(kzoJpegInternal, "plane still smaller than the picture after widening");
        kzoJpegConvertFullPlanes(components, width, height, rgb);
        return;
    }
    if (componentCount == 1) {
        if (components[0].width != components[0].stride)
            kzoJpegPackRows(components[0], width, height);
        return;
    }
    // Widening on the way, row by row, gives the bytes of widened planes
    // without allocating them.
    auto* rowBuffer = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(kzoJpegConvertBufferSize(width))));
    if (!rowBuffer)
        return fail(kzoJpegOutOfMemory, "no memory for the colour conversion");
    kzoJpegConvertSubsampled(components, width, height, rgb, rowBuffer);
    std::free(rowBuffer);
}
