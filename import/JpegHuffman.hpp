#pragma once
// The decoder's Huffman code tables. The reference reads one 65536-entry lookup
// on the next 16 bits of the stream: one read per symbol, 128 KiB per table,
// which misses the first-level cache on every other symbol. The fast path
// first reads two 512-entry lookups on the next 9 bits (3 KiB, they stay in
// that cache; nearly every code of a photo is that short): the symbol of a
// short code, and, where a code and its amplitude bits fit in 9 bits together,
// the whole coefficient at once. Longer codes fall back to the 65536 entries.

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

struct kzoJpegHuffmanTable {
    kzoJpegHuffmanEntry lookup[65536];
    kzoJpegHuffmanEntry fast[1 << kzoJpegFastBits];
    // Code and amplitude in kzoJpegFastBits bits: value << 16 | run << 8 |
    // bits used; 0 where they do not fit. The run is the symbol's high nibble
    // (AC zero run; DC tables carry it unused). In AC tables the end of block
    // is bits used | kzoJpegFastEndOfBlock, a run of 16 zeros run 15, value 0.
    std::int32_t fastCoefficient[1 << kzoJpegFastBits];
};

inline constexpr std::int32_t kzoJpegFastEndOfBlock = 0x80;

// T.81 F.2.2.1: a size-bit amplitude below 2^(size - 1) stands for a negative value.
inline std::int32_t kzoJpegExtend(std::uint32_t bits, int size)
{
    const std::int32_t v = static_cast<std::int32_t>(bits);
    return v < (1 << (size - 1)) ? v - (1 << size) + 1 : v;
}

// The symbol the top of the bit buffer starts with, for a reader that holds at
// least 32 bits (a code of up to 16, an amplitude of up to 15): the 9-bit
// lookup, the 16-bit one behind it. Takes the code and the amplitude bits from
// count and gives the amplitude's value; -1 when the bits start no code.
inline int kzoJpegFastSymbol(const kzoJpegHuffmanTable& table, std::uint64_t buffer, std::int32_t& count,
                             std::int32_t& value)
{
    kzoJpegHuffmanEntry entry = table.fast[(buffer >> (count - kzoJpegFastBits)) & ((1u << kzoJpegFastBits) - 1)];
    if (entry.codeLength == 0) {
        entry = table.lookup[(buffer >> (count - 16)) & 0xFFFF];
        if (entry.codeLength == 0)
            return -1;
    }
    count -= entry.codeLength;
    const int size = entry.value & 15;
    value = 0;
    if (size != 0) {
        count -= size;
        value = kzoJpegExtend(static_cast<std::uint32_t>(buffer >> count) & ((1u << size) - 1), size);
    }
    return entry.value;
}

// Derives fast and fastCoefficient from lookup. AC tables leave the invalid
// symbols of amplitude size 0 (all but end of block and run of 16) to the
// general path; DC tables take every symbol (size 0 is the difference 0).
void kzoJpegFillFastTables(kzoJpegHuffmanTable& table, bool ac);
