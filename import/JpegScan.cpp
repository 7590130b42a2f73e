#include <algorithm>
#include <array>

#include "import/Jpeg.hpp"
#include "import/JpegIdct.hpp"

// The scan of kzoJpegDecoder: MCUs, restart markers, blocks and the entropy decoder.

namespace {

// Natural (row-major) position of the k-th coefficient in stored order (T.81 Figure A.6).
constexpr std::uint8_t zigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// rowsThrough[k]: how many rows of the block coefficients 0..k in stored order touch.
constexpr std::array<std::uint8_t, 64> rowsThrough = [] {
    std::array<std::uint8_t, 64> rows{};
    int deepest = 0;
    for (int k = 0; k < 64; ++k) {
        deepest = std::max(deepest, zigzag[k] / 8 + 1);
        rows[std::size_t(k)] = static_cast<std::uint8_t>(deepest);
    }
    return rows;
}();

// The 32-bit wrap of the written arithmetic, without undefined behaviour.
std::int32_t wrapAdd(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t wrapMul(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// T.81 F.2.2.1: a k-bit amplitude below 2^(k-1) stands for a negative value.
std::int32_t extend(std::uint32_t bits, int k)
{
    const std::int32_t v = static_cast<std::int32_t>(bits);
    return v < (1 << (k - 1)) ? v - (1 << k) + 1 : v;
}

} // namespace

// --- The scan -----------------------------------------------------------------

void kzoJpegDecoder::decodeScan()
{
    std::int32_t countdown = restartInterval;
    std::int32_t expected = 0;
    for (std::int32_t mcuRow = 0; mcuRow < mcuRows; ++mcuRow) {
        for (std::int32_t mcuColumn = 0; mcuColumn < mcuColumns; ++mcuColumn) {
            for (int i = 0; i < componentCount; ++i) {
                const kzoJpegComponent& c = components[i];
                for (std::int32_t sby = 0; sby < c.verticalFactor; ++sby) {
                    for (std::int32_t sbx = 0; sbx < c.horizontalFactor; ++sbx) {
                        decodeBlock(i, mcuRow * c.verticalFactor + sby, mcuColumn * c.horizontalFactor + sbx);
                        if (error != kzoJpegRunning)
                            return;
                    }
                }
            }
            const bool last = mcuRow == mcuRows - 1 && mcuColumn == mcuColumns - 1;
            if (!last && restartInterval != 0 && --countdown == 0) {
                readRestartMarker(expected);
                if (error != kzoJpegRunning)
                    return;
                expected = (expected + 1) & 7;
                countdown = restartInterval;
            }
        }
    }
    error = kzoJpegScanComplete;
}

void kzoJpegDecoder::readRestartMarker(std::int32_t expected)
{
    bitCount &= ~7;
    const std::uint32_t marker = getBits(16);
    if (error != kzoJpegRunning)
        return;
    if ((marker & 0xFFF8) != 0xFFD0 || static_cast<std::int32_t>(marker & 7) != expected)
        return fail(kzoJpegSyntax, "restart marker missing or out of sequence");
    for (kzoJpegComponent& c : components)
        c.dcPredictor = 0;
}

void kzoJpegDecoder::decodeBlock(int componentIndex, std::int32_t blockRow, std::int32_t blockColumn)
{
    kzoJpegComponent& c = components[componentIndex];
    const std::uint8_t* quant = quantTables[c.quantTable];
    std::fill(block, block + 64, 0);

    std::int32_t value = 0;
    decodeSymbol(c.dcSlot, value);
    if (error != kzoJpegRunning)
        return;
    c.dcPredictor = wrapAdd(c.dcPredictor, value);
    block[0] = wrapMul(c.dcPredictor, quant[0]);

    int k = 0;
    while (k < 63) {
        const int symbol = decodeSymbol(c.acSlot, value);
        if (error != kzoJpegRunning)
            return;
        if (symbol == 0)
            break;
        if ((symbol & 15) == 0 && symbol != 0xF0)
            return fail(kzoJpegSyntax, "AC symbol with a zero size that is not a run of 16");
        k += (symbol >> 4) + 1;
        if (k > 63)
            return fail(kzoJpegSyntax, "AC coefficients run past the block");
        block[zigzag[k]] = value * quant[k];
    }
    if (blockHook)
        blockHook(blockHookContext, componentIndex, blockRow, blockColumn, block);
    std::uint8_t* out = c.plane + (std::int64_t{blockRow} * c.stride + blockColumn) * 8;
    if (path == kzoJpegPath::Plain || blockHook) {
        // A hook may have set any coefficient.
        kzoJpegIdct(block, out, c.stride);
        return;
    }
    // Rows past the last coefficient are zero: most blocks of a photo end early.
    kzoJpegIdctSparse(block, rowsThrough[std::size_t(k)], out, c.stride);
}

// --- The entropy decoder, as written -----------------------------------------

std::uint32_t kzoJpegDecoder::peekBits(int count)
{
    while (bitCount < count) {
        if (size <= 0) {
            // Past the data the stream reads as 1 bits, the padding of T.81 F.1.2.3.
            bitBuffer = (bitBuffer << 8) | 0xFF;
            bitCount += 8;
            continue;
        }
        const std::uint8_t byte = *position++;
        --size;
        bitBuffer = (bitBuffer << 8) | byte;
        bitCount += 8;
        if (byte != 0xFF)
            continue;
        if (size <= 0) {
            fail(kzoJpegSyntax, "entropy-coded data ends in FF");
            return 0;
        }
        const std::uint8_t next = *position;
        if (next == 0x00) {
            ++position;
            --size;
        } else if (next == 0xD9) {
            size = 0;
        } else if (next >= 0xD0 && next <= 0xD7) {
            ++position;
            --size;
            bitBuffer = (bitBuffer << 8) | next;
            bitCount += 8;
        } else {
            fail(kzoJpegSyntax, "marker inside entropy-coded data", next);
            return 0;
        }
    }
    if (count == 0)
        return 0;
    return static_cast<std::uint32_t>(bitBuffer >> (bitCount - count)) & ((1u << count) - 1);
}

void kzoJpegDecoder::skipBits(int count)
{
    if (bitCount < count) {
        peekBits(count);
        if (error != kzoJpegRunning)
            return;
    }
    bitCount -= count;
}

std::uint32_t kzoJpegDecoder::getBits(int count)
{
    const std::uint32_t bits = peekBits(count);
    skipBits(count);
    return bits;
}

int kzoJpegDecoder::decodeSymbolPlain(int slot, std::int32_t& value)
{
    const kzoJpegHuffmanEntry entry = huffmanLookup[slot][peekBits(16)];
    if (error != kzoJpegRunning)
        return 0;
    if (entry.codeLength == 0) {
        fail(kzoJpegSyntax, "bits that start no Huffman code");
        return 0;
    }
    skipBits(entry.codeLength);
    const int k = entry.value & 15;
    value = k == 0 ? 0 : extend(getBits(k), k);
    return entry.value;
}

// --- The fast entropy decoder ---------------------------------------------------
//
// The same bytes go into the buffer in the same order as above, only earlier
// and several at a time, so that a whole symbol (16 code bits and at most 15
// amplitude bits) is decoded from the buffer without further checks. Bytes the
// reads above would stop on (FF before a byte that is no stuffing, restart or
// end marker, or FF as the last input byte) are left for them: with fewer than
// 32 bits buffered the symbol goes the plain way, which fails exactly where it
// would have failed anyway.

void kzoJpegDecoder::refillBits()
{
    // 40 + at most 16 bits for FF and a restart code: never past the 64 of the buffer.
    while (bitCount <= 40) {
        const std::uint8_t byte = size > 0 ? *position : 0xFF;
        if (size > 0 && byte == 0xFF) {
            if (size < 2)
                return;
            const std::uint8_t next = position[1];
            if (next == 0x00) {
                position += 2;
                size -= 2;
            } else if (next == 0xD9) {
                ++position;
                size = 0;
            } else if (next >= 0xD0 && next <= 0xD7) {
                position += 2;
                size -= 2;
                bitBuffer = (bitBuffer << 16) | 0xFF00u | next;
                bitCount += 16;
                continue;
            } else {
                return;
            }
        } else if (size > 0) {
            ++position;
            --size;
        }
        bitBuffer = (bitBuffer << 8) | byte;
        bitCount += 8;
    }
}

// Inline: the AC loop calls it once per coefficient.
inline int kzoJpegDecoder::decodeSymbol(int slot, std::int32_t& value)
{
    if (path == kzoJpegPath::Plain)
        return decodeSymbolPlain(slot, value);
    if (bitCount < 32)
        refillBits();
    if (bitCount < 32)
        return decodeSymbolPlain(slot, value);
    const kzoJpegHuffmanEntry entry = huffmanLookup[slot][(bitBuffer >> (bitCount - 16)) & 0xFFFF];
    if (entry.codeLength == 0) {
        fail(kzoJpegSyntax, "bits that start no Huffman code");
        return 0;
    }
    bitCount -= entry.codeLength;
    const int k = entry.value & 15;
    if (k == 0) {
        value = 0;
        return entry.value;
    }
    bitCount -= k;
    value = extend(static_cast<std::uint32_t>(bitBuffer >> bitCount) & ((1u << k) - 1), k);
    return entry.value;
}
