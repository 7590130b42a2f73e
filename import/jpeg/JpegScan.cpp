#include <algorithm>

#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegBlock.hpp"
#include "import/jpeg/JpegPaths.hpp"

// Scan headers and the sequential scan of kzoJpegDecoder: MCUs, restart
// markers and blocks.

// --- The scan header ------------------------------------------------------------

void kzoJpegDecoder::readScanHeader()
{
    if (!beginSegment())
        return;
    // Without a frame there is nothing to decode into: an empty scan would
    // otherwise "complete" a picture of no pixels.
    if (!frameRead)
        return fail(kzoJpegSyntax, "scan before the frame header");
    if (progressive && ++scanCount > kzoJpegMaxScans)
        return fail(kzoJpegUnsupported, "more than 1000 scans");
    scanComponentCount = position[0];
    if (length < 4 + 2 * scanComponentCount)
        return fail(kzoJpegSyntax, "scan header too short");
    if (!progressive && scanComponentCount != componentCount)
        return fail(kzoJpegUnsupported, "scan does not carry every component (not one interleaved scan)");
    if (scanComponentCount < 1 || scanComponentCount > componentCount)
        return fail(kzoJpegSyntax, "scan component count is 0 or above the frame's");
    skip(1);
    if (!readScanComponents())
        return;
    spectralStart = position[0];
    spectralEnd = position[1];
    approximationHigh = position[2] >> 4;
    approximationLow = position[2] & 15;
    if (!progressive && (spectralStart != 0 || spectralEnd != 63 || position[2] != 0))
        return fail(kzoJpegUnsupported, "scan does not cover coefficients 0 to 63 at full precision");
    if (progressive && !checkProgression())
        return;
    skip(length);
    for (int i = 0; i < scanComponentCount; ++i) {
        kzoJpegComponent& c = components[scanComponents[i]];
        if (!c.quantTaken)
            std::copy(quantTables[c.quantTable], quantTables[c.quantTable] + 64, c.quant);
        c.quantTaken = true;
    }
    if (progressive)
        return decodeProgressiveScan();
    decodeSequentialScan();
}

bool kzoJpegDecoder::readScanComponents()
{
    // Components come in frame order (T.81 B.2.3), each at most once.
    int next = 0;
    for (int i = 0; i < scanComponentCount; ++i) {
        while (next < componentCount && components[next].id != position[0])
            ++next;
        if (next == componentCount || (!progressive && next != i)) {
            fail(kzoJpegSyntax, "scan component differs from the frame's");
            return false;
        }
        kzoJpegComponent& c = components[next];
        const int tables = position[1];
        if (tables & 0xEE) {
            fail(kzoJpegSyntax, "scan names a Huffman table above 1");
            return false;
        }
        c.dcSlot = tables >> 4;
        c.acSlot = (tables & 1) | 2;
        clearUndefinedTable(c.dcSlot);
        clearUndefinedTable(c.acSlot);
        scanComponents[i] = next++;
        skip(2);
    }
    return true;
}

// A table no segment defined holds no codes: its first symbol fails.
void kzoJpegDecoder::clearUndefinedTable(int slot)
{
    if (!huffmanDefined[slot])
        kzoJpegClearHuffmanTable(huffman[slot], path == kzoJpegPath::Plain);
    huffmanDefined[slot] = true;
}

// The rules of a progressive scan's band and point transform (T.81 G.1.1.1),
// checked against what earlier scans sent of each coefficient.
bool kzoJpegDecoder::checkProgression()
{
    const int ss = spectralStart, se = spectralEnd, ah = approximationHigh, al = approximationLow;
    const char* broken = nullptr;
    if (se > 63 || ss > se)
        broken = "spectral selection outside 0 to 63";
    else if (ss == 0 && se != 0)
        broken = "DC scan that also covers AC coefficients";
    else if (ss > 0 && scanComponentCount != 1)
        broken = "AC scan of more than one component";
    else if (al > 13)
        broken = "point transform above 13";
    else if (ah != 0 && al != ah - 1)
        broken = "refinement by other than one bit";
    for (int i = 0; !broken && i < scanComponentCount; ++i) {
        std::int8_t* sent = components[scanComponents[i]].approximation;
        if (ss > 0 && sent[0] < 0)
            broken = "AC scan before the component's DC scan";
        for (int k = ss; !broken && k <= se; ++k)
            if ((ah == 0 && sent[k] >= 0) || (ah != 0 && sent[k] != ah))
                broken = ah == 0 ? "coefficients sent a second time" : "refinement of bits not sent before";
        for (int k = ss; !broken && k <= se; ++k)
            sent[k] = static_cast<std::int8_t>(al);
    }
    if (broken)
        fail(kzoJpegSyntax, broken);
    return !broken;
}

// --- The sequential scan ----------------------------------------------------------

void kzoJpegDecoder::decodeSequentialScan()
{
    std::int32_t countdown = restartInterval;
    std::int32_t expected = 0;
    for (std::int32_t mcuRow = 0; mcuRow < mcuRows; ++mcuRow) {
        for (std::int32_t mcuColumn = 0; mcuColumn < mcuColumns; ++mcuColumn) {
            for (int i = 0; i < componentCount; ++i) {
                const kzoJpegComponent& c = components[i];
                for (std::int32_t sby = 0; sby < c.verticalFactor; ++sby) {
                    for (std::int32_t sbx = 0; sbx < c.horizontalFactor; ++sbx) {
                        const std::int32_t blockRow = mcuRow * c.verticalFactor + sby;
                        const std::int32_t blockColumn = mcuColumn * c.horizontalFactor + sbx;
                        if (path == kzoJpegPath::Plain)
                            decodeBlockPlain(i, blockRow, blockColumn);
                        else
                            decodeBlockFast(i, blockRow, blockColumn);
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
        if (path == kzoJpegPath::Fast)
            convertMcuRow(mcuRow);
        reportInputDone();
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

// The reference block: clear, DC, AC until end of block, dequantised as read.
void kzoJpegDecoder::decodeBlockPlain(int componentIndex, std::int32_t blockRow, std::int32_t blockColumn)
{
    kzoJpegComponent& c = components[componentIndex];
    std::fill(block, block + 64, 0);

    std::int32_t value = 0;
    if (decodeSymbolPlain(c.dcSlot, value) < 0)
        return;
    c.dcPredictor = kzoJpegWrapAdd(c.dcPredictor, value);
    block[0] = kzoJpegWrapMul(c.dcPredictor, c.quant[0]);

    int k = 0;
    while (k < 63) {
        const int symbol = decodeSymbolPlain(c.acSlot, value);
        if (symbol < 0)
            return;
        if (symbol == 0)
            break;
        if ((symbol & 15) == 0 && symbol != 0xF0)
            return fail(kzoJpegSyntax, "AC symbol with a zero size that is not a run of 16");
        k += (symbol >> 4) + 1;
        if (k > 63)
            return fail(kzoJpegSyntax, "AC coefficients run past the block");
        block[kzoJpegZigzag[k]] = value * c.quant[k];
    }
    transformBlock(componentIndex, blockRow, blockColumn, false);
}

// The same block through the 9-bit lookups: a coefficient whose code and
// amplitude fit in 9 bits, a run of 16 zeros or the end of block is one table
// read; longer codes take the 16-bit lookup. The bit buffer lives in locals
// for the block (the coefficient stores would otherwise force it through
// memory); the checks and the arithmetic are the reference's, in its order.
void kzoJpegDecoder::decodeBlockFast(int componentIndex, std::int32_t blockRow, std::int32_t blockColumn)
{
    kzoJpegComponent& c = components[componentIndex];
    const kzoJpegHuffmanTable& dcTable = huffman[c.dcSlot];
    const kzoJpegHuffmanTable& acTable = huffman[c.acSlot];
    const std::uint16_t* quant = c.quant;
    std::int32_t* coefficients = block;
    constexpr std::uint32_t fastMask = (1u << kzoJpegFastBits) - 1;

    std::uint64_t buffer = bitBuffer;
    std::int32_t count = bitCount;
    // Fewer than 32 bits after a refill: the next symbol goes the reference way.
    auto haveSymbolBits = [&] {
        if (count >= 32)
            return true;
        bitBuffer = buffer;
        bitCount = count;
        refillBits();
        buffer = bitBuffer;
        count = bitCount;
        return count >= 32;
    };
    auto symbol = [&](int slot, const kzoJpegHuffmanTable& table, std::int32_t& value) {
        if (haveSymbolBits()) {
            const int decoded = kzoJpegFastSymbol(table, buffer, count, value);
            if (decoded < 0)
                fail(kzoJpegSyntax, noCodeReason);
            return decoded;
        }
        const int decoded = decodeSymbolPlain(slot, value);
        buffer = bitBuffer;
        count = bitCount;
        return decoded;
    };
    auto leave = [&] {
        bitBuffer = buffer;
        bitCount = count;
    };

    std::int32_t value = 0;
    const std::int32_t dc = haveSymbolBits() ? dcTable.fastCoefficient[(buffer >> (count - kzoJpegFastBits)) & fastMask] : 0;
    if (dc != 0) {
        count -= dc & 0x7F;
        value = dc >> 16;
    } else if (symbol(c.dcSlot, dcTable, value) < 0) {
        return leave();
    }
    c.dcPredictor = kzoJpegWrapAdd(c.dcPredictor, value);
    coefficients[0] = kzoJpegWrapMul(c.dcPredictor, quant[0]);

    int k = 0;
    while (k < 63) {
        if (haveSymbolBits()) {
            const std::int32_t entry = acTable.fastCoefficient[(buffer >> (count - kzoJpegFastBits)) & fastMask];
            if (entry != 0) {
                count -= entry & 0x7F;
                if (entry & kzoJpegFastEndOfBlock)
                    break;
                k += ((entry >> 8) & 0xFF) + 1;
                if (k > 63) {
                    leave();
                    return fail(kzoJpegSyntax, "AC coefficients run past the block");
                }
                coefficients[kzoJpegZigzag[k]] = (entry >> 16) * quant[k];
                continue;
            }
        }
        const int decoded = symbol(c.acSlot, acTable, value);
        if (decoded < 0)
            return leave();
        if (decoded == 0)
            break;
        if ((decoded & 15) == 0 && decoded != 0xF0) {
            leave();
            return fail(kzoJpegSyntax, "AC symbol with a zero size that is not a run of 16");
        }
        k += (decoded >> 4) + 1;
        if (k > 63) {
            leave();
            return fail(kzoJpegSyntax, "AC coefficients run past the block");
        }
        coefficients[kzoJpegZigzag[k]] = value * quant[k];
    }
    leave();
    // k = 0: end of block right after the DC term, every AC coefficient zero.
    transformBlock(componentIndex, blockRow, blockColumn, k == 0);
}
