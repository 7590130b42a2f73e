#include "import/jpeg/JpegHuffman.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// The fastCoefficient entry of the 9 bits `bits` that start a code of length
// codeLength for symbol; 0 when code and amplitude do not fit.
std::int32_t fastCoefficientOf(std::uint32_t bits, int codeLength, std::uint8_t symbol, bool ac)
{
    constexpr int fastBits = kzoJpegFastBits;
    const int size = symbol & 15;
    const int used = codeLength + size;
    if (used > fastBits)
        return 0;
    if (ac && size == 0) {
        if (symbol == 0x00)
            return kzoJpegFastEndOfBlock | used;
        if (symbol != 0xF0)
            return 0;
    }
    const std::int32_t value = size == 0 ? 0 : kzoJpegExtend((bits >> (fastBits - used)) & ((1u << size) - 1), size);
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(value) << 16) | (std::uint32_t{symbol} >> 4 << 8) |
                                     static_cast<std::uint32_t>(used));
}

// count copies of value from entry on: one written, then doubled by copies (a
// loop per entry would cost the fuzzing build 65536 traced compares a table).
void fillEntries(kzoJpegHuffmanEntry* entry, std::int32_t count, kzoJpegHuffmanEntry value)
{
    if (count == 0)
        return;
    entry[0] = value;
    for (std::int32_t done = 1; done < count;) {
        const std::int32_t copied = std::min(done, count - done);
        std::memcpy(entry + done, entry, static_cast<std::size_t>(copied) * sizeof *entry);
        done += copied;
    }
}

} // namespace

// For each code length from 1 to 16 and each value of that length,
// 2^(16 - length) consecutive entries: the indices that start with its code.
// The entries left over start no code.
void kzoJpegFillLookup(kzoJpegHuffmanTable& table, const std::uint8_t* counts, const std::uint8_t* values)
{
    kzoJpegHuffmanEntry* entry = table.lookup;
    std::int32_t remain = 65536;
    std::int32_t spread = 65536;
    for (int codeLength = 1; codeLength <= 16; ++codeLength) {
        spread /= 2;
        for (std::int32_t i = 0; i < counts[codeLength - 1]; ++i) {
            fillEntries(entry, spread, {static_cast<std::uint8_t>(codeLength), *values++});
            entry += spread;
            remain -= spread;
        }
    }
    fillEntries(entry, remain, kzoJpegHuffmanEntry{0, 0});
}

void kzoJpegBuildFastTables(kzoJpegHuffmanTable& table, const std::uint8_t* counts, const std::uint8_t* values,
                            bool ac)
{
    constexpr int fastBits = kzoJpegFastBits;
    kzoJpegClearHuffmanTable(table, false);
    // Canonical codes (T.81 C.2): by length, counting up, one bit longer after each length.
    std::int32_t code = 0;
    std::int32_t index = 0;
    for (int length = 1; length <= 16; ++length) {
        const std::int32_t count = counts[length - 1];
        table.valueOffset[length] = index - code;
        for (std::int32_t i = 0; i < count; ++i, ++code, ++index) {
            const std::uint8_t symbol = values[index];
            table.values[index] = symbol;
            if (length > fastBits)
                continue;
            // Every 9-bit index that starts with this code.
            const std::uint32_t first = static_cast<std::uint32_t>(code) << (fastBits - length);
            for (std::uint32_t bits = first; bits < first + (1u << (fastBits - length)); ++bits) {
                table.fast[bits] = {static_cast<std::uint8_t>(length), symbol};
                table.fastCoefficient[bits] = fastCoefficientOf(bits, length, symbol, ac);
            }
        }
        table.maxCode[length] = count != 0 ? code - 1 : -1;
        code <<= 1;
    }
}

void kzoJpegClearHuffmanTable(kzoJpegHuffmanTable& table, bool lookupToo)
{
    if (lookupToo)
        std::memset(table.lookup, 0, sizeof table.lookup);
    std::memset(table.fast, 0, sizeof table.fast);
    std::memset(table.fastCoefficient, 0, sizeof table.fastCoefficient);
    std::fill(std::begin(table.maxCode), std::end(table.maxCode), -1);
}
