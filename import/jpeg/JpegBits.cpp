#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegPaths.hpp"

// The entropy decoder of kzoJpegDecoder: the bit reader and Huffman symbols.
// The reference reads one byte at a time and looks codes up in the 16-bit
// tables; the fast reads below take the same bytes in the same order, only
// earlier and several at a time.

namespace {

bool isRestart(std::uint8_t code) { return code >= 0xD0 && code <= 0xD7; }

} // namespace

// --- The reference -----------------------------------------------------------

std::uint32_t kzoJpegDecoder::peekBits(int count)
{
    while (bitCount < count) {
        if (size <= 0) {
            // Past the data the stream reads as 1 bits, the padding of T.81 F.1.2.3.
            bitBuffer = (bitBuffer << 8) | 0xFF;
            bitCount += 8;
            paddingBits += 8;
            continue;
        }
        if (*position != 0xFF) {
            bitBuffer = (bitBuffer << 8) | *position++;
            bitCount += 8;
            --size;
            continue;
        }
        // FF: a stuffed data byte (FF 00) or a marker, which any number of
        // fill bytes FF may precede (T.81 B.1.1.2).
        std::int32_t fill = 1;
        while (fill < size && position[fill] == 0xFF)
            ++fill;
        const int next = fill < size ? position[fill] : -1;
        const bool stuffed = next == 0x00 && fill == 1;
        const bool restart = next >= 0 && isRestart(static_cast<std::uint8_t>(next));
        // In a progressive file a marker other than a restart ends the scan's
        // data: it is left for the marker loop and the reads go on in padding.
        if (progressive && !stuffed && !restart) {
            sizeAfterData = size;
            size = 0;
            continue;
        }
        bitBuffer = (bitBuffer << 8) | 0xFF;
        bitCount += 8;
        if (stuffed) {
            position += 2;
            size -= 2;
        } else if (restart) {
            // Shifted in as 8 more bits after the FF; the restart check reads both.
            position += fill + 1;
            size -= fill + 1;
            bitBuffer = (bitBuffer << 8) | static_cast<std::uint32_t>(next);
            bitCount += 8;
        } else if (next == 0xD9) {
            ++position;
            size = 0;
        } else {
            ++position;
            --size;
            if (next < 0)
                fail(kzoJpegSyntax, "entropy-coded data ends in FF");
            else
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
    const std::uint32_t next16 = peekBits(16);
    if (error != kzoJpegRunning)
        return -1;
    // The fast path builds no 65536-entry lookup: the same entry through its own.
    const kzoJpegHuffmanEntry entry =
        path == kzoJpegPath::Plain ? huffman[slot].lookup[next16] : kzoJpegLookUp(huffman[slot], next16);
    if (entry.codeLength == 0) {
        fail(kzoJpegSyntax, noCodeReason);
        return -1;
    }
    skipBits(entry.codeLength);
    const int k = entry.value & 15;
    value = k == 0 ? 0 : kzoJpegExtend(getBits(k), k);
    return error == kzoJpegRunning ? entry.value : -1;
}

// --- The fast reads --------------------------------------------------------------
//
// Bytes the reads above would stop on (FF before a byte that is no stuffing or
// restart, FF D9 in a progressive file, FF as the last input byte) are left
// for them: with fewer than 32 bits buffered a symbol goes the reference way,
// which fails (or, progressive, ends the data) exactly where it would have
// anyway. 32 bits hold any symbol: a code of up to 16 bits, an amplitude of up to 15.

void kzoJpegDecoder::refillBits()
{
    // Eight bytes without FF: take as many whole bytes as fit under 64 bits at once.
    if (size >= 8) {
        std::uint64_t word;
        __builtin_memcpy(&word, position, 8);
        word = __builtin_bswap64(word);
        const std::uint64_t inverted = ~word;
        const bool noFF = ((inverted - 0x0101010101010101u) & word & 0x8080808080808080u) == 0;
        if (noFF) {
            const int bytes = (63 - bitCount) >> 3; // 4 to 7 below 32 buffered bits
            bitBuffer = (bitBuffer << (8 * bytes)) | (word >> (64 - 8 * bytes));
            bitCount += 8 * bytes;
            position += bytes;
            size -= bytes;
            return;
        }
    }
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
            } else if (next == 0xD9 && !progressive) {
                ++position;
                size = 0;
            } else if (isRestart(next)) {
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
        } else {
            paddingBits += 8;
        }
        bitBuffer = (bitBuffer << 8) | byte;
        bitCount += 8;
    }
}
