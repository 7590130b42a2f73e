#include "import/JpegHuffman.hpp"

void kzoJpegFillFastTables(kzoJpegHuffmanTable& table, bool ac)
{
    constexpr int bits = kzoJpegFastBits;
    for (std::uint32_t i = 0; i < (1u << bits); ++i) {
        // Every 16-bit index that starts with these 9 bits gives the same short code.
        const kzoJpegHuffmanEntry entry = table.lookup[i << (16 - bits)];
        const bool shortCode = entry.codeLength != 0 && entry.codeLength <= bits;
        table.fast[i] = shortCode ? entry : kzoJpegHuffmanEntry{0, 0};
        table.fastCoefficient[i] = 0;
        const int size = entry.value & 15;
        if (!shortCode || entry.codeLength + size > bits || (ac && size == 0 && entry.value != 0xF0 && entry.value != 0))
            continue;
        const int used = entry.codeLength + size;
        if (ac && entry.value == 0) {
            table.fastCoefficient[i] = kzoJpegFastEndOfBlock | used;
            continue;
        }
        const std::int32_t value =
            size == 0 ? 0 : kzoJpegExtend((i >> (bits - used)) & ((1u << size) - 1), size);
        table.fastCoefficient[i] = static_cast<std::int32_t>((static_cast<std::uint32_t>(value) << 16) |
                                                             (std::uint32_t{entry.value} >> 4 << 8) |
                                                             static_cast<std::uint32_t>(used));
    }
}
