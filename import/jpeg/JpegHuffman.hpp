#pragma once
// The decoder's Huffman code tables. The reference reads one 65536-entry lookup
// on the next 16 bits of the stream: one read per symbol, 128 KiB per table,
// which misses the first-level cache on every other symbol. The fast path
// reads two 512-entry lookups on the next 9 bits instead (3 KiB, they stay in
// that cache; nearly every code of a photo is that short): the symbol of a
// short code, and where a code and its amplitude bits fit in 9 bits together,
// the whole coefficient at once. Longer codes are found by the canonical
// decoding of T.81 F.2.2.3 behind them: the largest code of each length.

#include <cstdint>

// One entry of a lookup indexed by the next bits of the stream: the length of
// the code those bits start with (0: none within the lookup's bits) and the
// symbol it stands for.
struct kzoJpegHuffmanEntry {
    std::uint8_t codeLength;
    std::uint8_t value;
};
static_assert(sizeof(kzoJpegHuffmanEntry) == 2);

inline constexpr int kzoJpegFastBits = 9;
inline constexpr std::int32_t kzoJpegFastEndOfBlock = 0x80;

struct kzoJpegHuffmanTable {
    // The reference's lookup; filled only for the plain path.
    kzoJpegHuffmanEntry lookup[65536];
    kzoJpegHuffmanEntry fast[1 << kzoJpegFastBits];
    // Code and amplitude in kzoJpegFastBits bits: value << 16 | run << 8 |
    // bits used; 0 where they do not fit. The run is the symbol's high nibble
    // (AC zero run; DC tables carry it unused). In AC tables the end of block
    // is bits used | kzoJpegFastEndOfBlock, a run of 16 zeros run 15, value 0.
    std::int32_t fastCoefficient[1 << kzoJpegFastBits];
    // Canonical codes by length (index 1 to 16): the largest (-1: none), and
    // what turns a code of that length into its index in values.
    std::int32_t maxCode[17];
    std::int32_t valueOffset[17];
    std::uint8_t values[16 * 255];
};

// T.81 F.2.2.1: a size-bit amplitude below 2^(size - 1) stands for a negative value.
inline std::int32_t kzoJpegExtend(std::uint32_t bits, int size)
{
    const std::int32_t v = static_cast<std::int32_t>(bits);
    return v < (1 << (size - 1)) ? v - (1 << size) + 1 : v;
}

// The code the next 16 bits start with, through the fast lookup and the
// canonical codes: the entry the 65536-entry lookup holds at that index.
inline kzoJpegHuffmanEntry kzoJpegLookUp(const kzoJpegHuffmanTable& table, std::uint32_t next16)
{
    const kzoJpegHuffmanEntry entry = table.fast[next16 >> (16 - kzoJpegFastBits)];
    if (entry.codeLength != 0)
        return entry;
    for (int length = kzoJpegFastBits + 1; length <= 16; ++length) {
        const std::int32_t code = static_cast<std::int32_t>(next16 >> (16 - length));
        if (code <= table.maxCode[length])
            return {static_cast<std::uint8_t>(length), table.values[code + table.valueOffset[length]]};
    }
    return {0, 0};
}

// The symbol the top of the bit buffer starts with, for a reader that holds at
// least 32 bits (a code of up to 16, an amplitude of up to 15). Takes the code
// and the amplitude bits from count and gives the amplitude's value; -1 when
// the bits start no code.
inline int kzoJpegFastSymbol(const kzoJpegHuffmanTable& table, std::uint64_t buffer, std::int32_t& count,
                             std::int32_t& value)
{
    const kzoJpegHuffmanEntry entry = kzoJpegLookUp(table, static_cast<std::uint32_t>(buffer >> (count - 16)) & 0xFFFF);
    if (entry.codeLength == 0)
        return -1;
    count -= entry.codeLength;
    const int size = entry.value & 15;
    value = 0;
    if (size != 0) {
        count -= size;
        value = kzoJpegExtend(static_cast<std::uint32_t>(buffer >> count) & ((1u << size) - 1), size);
    }
    return entry.value;
}

// The reference lookup from a table's 16 code counts (lengths 1 to 16) and
// its values, which the caller has checked: they fit the code space.
void kzoJpegFillLookup(kzoJpegHuffmanTable& table, const std::uint8_t* counts, const std::uint8_t* values);

// Builds the fast lookups and the canonical codes from the same. AC tables leave the invalid symbols of amplitude size 0
// (all but end of block and run of 16) to the general path; DC tables take
// every symbol (size 0 is the difference 0).
void kzoJpegBuildFastTables(kzoJpegHuffmanTable& table, const std::uint8_t* counts, const std::uint8_t* values,
                            bool ac);

// A table of no codes: every lookup fails (the reference's too, if lookupToo).
void kzoJpegClearHuffmanTable(kzoJpegHuffmanTable& table, bool lookupToo);
