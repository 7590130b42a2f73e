#include <algorithm>

#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegBlock.hpp"
#include "import/jpeg/JpegPaths.hpp"

// The progressive scans of kzoJpegDecoder (T.81 Annex G, Huffman coding): each
// scan adds a band of coefficients (spectral selection) or one more bit of
// them (successive approximation) to the blocks kept for the whole frame; the
// end-of-image marker sends the blocks through the inverse DCT.

namespace {

std::int32_t ceilDiv(std::int32_t a, std::int32_t b) { return (a + b - 1) / b; }

// Coefficients are kept in 16 bits as the stream defines them (an 8-bit file's
// never pass 11 bits); a hostile file's larger values wrap.
std::int16_t wrap16(std::uint32_t value) { return static_cast<std::int16_t>(value); }

} // namespace

// The symbol and bit reads of the scans, inline where they are used: through
// the 9-bit lookups and several bytes at a time on the fast path, the
// reference reads on the plain path or where fewer than 32 bits are at hand.
inline int kzoJpegDecoder::decodeSymbol(int slot, std::int32_t& value)
{
    if (path == kzoJpegPath::Plain)
        return decodeSymbolPlain(slot, value);
    if (bitCount < 32)
        refillBits();
    if (bitCount < 32)
        return decodeSymbolPlain(slot, value);
    const int symbol = kzoJpegFastSymbol(huffman[slot], bitBuffer, bitCount, value);
    if (symbol < 0)
        fail(kzoJpegSyntax, noCodeReason);
    return symbol;
}

inline std::uint32_t kzoJpegDecoder::readBits(int count)
{
    if (path == kzoJpegPath::Fast && bitCount < count)
        refillBits();
    if (path == kzoJpegPath::Plain || bitCount < count)
        return getBits(count);
    bitCount -= count;
    return static_cast<std::uint32_t>(bitBuffer >> bitCount) & ((1u << count) - 1);
}

void kzoJpegDecoder::decodeProgressiveScan()
{
    endOfBandRun = 0;
    for (kzoJpegComponent& c : components)
        c.dcPredictor = 0;
    std::int32_t countdown = restartInterval;
    std::int32_t expected = 0;
    if (scanComponentCount == 1) {
        // One component: not interleaved, each block of its own samples is an
        // MCU, row by row (T.81 A.2.2); the padding blocks of whole MCUs are not coded.
        kzoJpegComponent& c = components[scanComponents[0]];
        const std::int32_t columns = ceilDiv(c.width, 8), rows = ceilDiv(c.height, 8);
        for (std::int32_t row = 0; row < rows; ++row) {
            for (std::int32_t column = 0; column < columns; ++column) {
                decodeProgressiveBlock(c, c.coefficients + (std::int64_t{row} * c.blockColumns + column) * 64);
                if (!endProgressiveMcu(row == rows - 1 && column == columns - 1, countdown, expected))
                    return;
            }
        }
        return endProgressiveScan();
    }
    for (std::int32_t mcuRow = 0; mcuRow < mcuRows; ++mcuRow) {
        for (std::int32_t mcuColumn = 0; mcuColumn < mcuColumns; ++mcuColumn) {
            for (int i = 0; i < scanComponentCount; ++i) {
                kzoJpegComponent& c = components[scanComponents[i]];
                for (std::int32_t sby = 0; sby < c.verticalFactor; ++sby) {
                    for (std::int32_t sbx = 0; sbx < c.horizontalFactor; ++sbx) {
                        const std::int64_t blockRow = std::int64_t{mcuRow} * c.verticalFactor + sby;
                        const std::int64_t blockColumn = std::int64_t{mcuColumn} * c.horizontalFactor + sbx;
                        decodeProgressiveBlock(c, c.coefficients + (blockRow * c.blockColumns + blockColumn) * 64);
                    }
                }
            }
            if (!endProgressiveMcu(mcuRow == mcuRows - 1 && mcuColumn == mcuColumns - 1, countdown, expected))
                return;
        }
    }
    endProgressiveScan();
}

// After each MCU: stop on an error or on data that ran out, then the restart
// marker where one is due (it also ends a run of empty bands).
bool kzoJpegDecoder::endProgressiveMcu(bool last, std::int32_t& countdown, std::int32_t& expected)
{
    // Padding is the last thing loaded: bits used from it mean the data ended early.
    if (paddingBits > bitCount && (error == kzoJpegRunning || error == kzoJpegSyntax))
        fail(kzoJpegSyntax, "entropy-coded data ends before the scan does (file cut short)");
    if (error == kzoJpegRunning && !last && restartInterval != 0 && --countdown == 0) {
        readRestartMarker(expected);
        expected = (expected + 1) & 7;
        countdown = restartInterval;
        endOfBandRun = 0;
    }
    // So is a code looked up in 16 bits that reach into the padding.
    if (error == kzoJpegSyntax && failureReason == noCodeReason && paddingBits > bitCount - 16)
        failureReason = "entropy-coded data ends before the scan does (file cut short)";
    return error == kzoJpegRunning;
}

// The next scan or table starts at the marker that ended the data. Bytes the
// reads did not need before it (there are none in a well-made file) are passed over.
void kzoJpegDecoder::endProgressiveScan()
{
    if (sizeAfterData >= 0)
        size = sizeAfterData;
    sizeAfterData = -1;
    bitCount = 0;
    paddingBits = 0;
    while (size >= 2 && !(position[0] == 0xFF && position[1] != 0x00 && (position[1] < 0xD0 || position[1] > 0xD7))) {
        ++position;
        --size;
    }
    reportInputDone();
}

void kzoJpegDecoder::decodeProgressiveBlock(kzoJpegComponent& c, std::int16_t* coefficients)
{
    // The rest of an MCU whose block failed is left alone.
    if (error != kzoJpegRunning)
        return;
    if (spectralStart == 0) {
        if (approximationHigh == 0)
            return decodeDcFirst(c, coefficients);
        // DC refinement: one more bit of the DC term, uncoded.
        if (readBits(1))
            coefficients[0] = wrap16(static_cast<std::uint16_t>(coefficients[0]) | (1u << approximationLow));
        return;
    }
    if (approximationHigh == 0)
        return decodeAcFirst(c, coefficients);
    decodeAcRefinement(c, coefficients);
}

void kzoJpegDecoder::decodeDcFirst(kzoJpegComponent& c, std::int16_t* coefficients)
{
    std::int32_t value = 0;
    if (decodeSymbol(c.dcSlot, value) < 0)
        return;
    c.dcPredictor = kzoJpegWrapAdd(c.dcPredictor, value);
    coefficients[0] = wrap16(static_cast<std::uint32_t>(c.dcPredictor) << approximationLow);
}

// The first bits of a band: as a sequential block's AC terms, except that an
// end-of-band symbol may stand for a run of 2^r + r extra bits blocks (G.1.2.2).
void kzoJpegDecoder::decodeAcFirst(kzoJpegComponent& c, std::int16_t* coefficients)
{
    if (endOfBandRun > 0) {
        --endOfBandRun;
        return;
    }
    for (int k = spectralStart; k <= spectralEnd;) {
        std::int32_t value = 0;
        const int symbol = decodeSymbol(c.acSlot, value);
        if (symbol < 0)
            return;
        const int run = symbol >> 4;
        if ((symbol & 15) != 0) {
            k += run;
            if (k > spectralEnd)
                return fail(kzoJpegSyntax, "AC coefficients run past the band");
            coefficients[kzoJpegZigzag[k++]] = wrap16(static_cast<std::uint32_t>(value) << approximationLow);
        } else if (run == 15) {
            k += 16;
            if (k > spectralEnd + 1)
                return fail(kzoJpegSyntax, "AC coefficients run past the band");
        } else {
            endOfBandRun = (1 << run) - 1;
            if (run != 0)
                endOfBandRun += static_cast<std::int32_t>(readBits(run));
            return;
        }
    }
}

// A correction bit of 1 adds the bit of this scan to a coefficient that does not
// have it yet, away from zero.
inline void kzoJpegDecoder::refine(std::int16_t& coefficient)
{
    if (!readBits(1))
        return;
    const std::int32_t bit = 1 << approximationLow;
    if ((coefficient & bit) == 0)
        coefficient = wrap16(static_cast<std::uint32_t>(coefficient + (coefficient >= 0 ? bit : -bit)));
}

// One more bit of a band (G.1.2.3): coefficients already non-zero get a
// correction bit each; a newly non-zero one (size 1, its sign bit) lands after
// r zero coefficients. An end-of-band run still owes the correction bits of
// the rest of this block and of every block it covers.
void kzoJpegDecoder::decodeAcRefinement(kzoJpegComponent& c, std::int16_t* coefficients)
{
    int k = spectralStart;
    if (endOfBandRun == 0) {
        for (; k <= spectralEnd; ++k) {
            std::int32_t value = 0;
            const int symbol = decodeSymbol(c.acSlot, value);
            if (symbol < 0)
                return;
            int run = symbol >> 4;
            const int size = symbol & 15;
            if (size > 1)
                return fail(kzoJpegSyntax, "refinement coefficient of a size other than 1");
            if (size == 0 && run != 15) {
                endOfBandRun = 1 << run;
                if (run != 0)
                    endOfBandRun += static_cast<std::int32_t>(readBits(run));
                break;
            }
            // Pass the coefficients that already have bits (correcting each) and
            // `run` zero ones; stop on the zero one after them.
            for (; k <= spectralEnd; ++k) {
                std::int16_t& coefficient = coefficients[kzoJpegZigzag[k]];
                if (coefficient != 0) {
                    refine(coefficient);
                } else {
                    if (run == 0)
                        break;
                    --run;
                }
                if (error != kzoJpegRunning)
                    return;
            }
            if (k > spectralEnd)
                return fail(kzoJpegSyntax, "AC coefficients run past the band");
            if (size == 1)
                coefficients[kzoJpegZigzag[k]] = wrap16(static_cast<std::uint32_t>(value) << approximationLow);
        }
    }
    if (endOfBandRun > 0) {
        for (; k <= spectralEnd; ++k)
            if (coefficients[kzoJpegZigzag[k]] != 0)
                refine(coefficients[kzoJpegZigzag[k]]);
        --endOfBandRun;
    }
}

// Every scan is in: the blocks, dequantised with the tables each component
// started with, go through the inverse DCT and the colour conversion one MCU
// row at a time (or into whole planes, plain path).
void kzoJpegDecoder::transformCoefficients()
{
    for (std::int32_t mcuRow = 0; mcuRow < mcuRows; ++mcuRow) {
        for (int i = 0; i < componentCount; ++i) {
            const kzoJpegComponent& c = components[i];
            std::int32_t quant[64];
            for (int k = 0; k < 64; ++k)
                quant[kzoJpegZigzag[k]] = c.quant[k];
            for (std::int32_t sby = 0; sby < c.verticalFactor; ++sby) {
                const std::int32_t blockRow = mcuRow * c.verticalFactor + sby;
                const std::int16_t* coefficients = c.coefficients + std::int64_t{blockRow} * c.blockColumns * 64;
                for (std::int32_t blockColumn = 0; blockColumn < c.blockColumns; ++blockColumn, coefficients += 64) {
                    std::int32_t ac = 0;
                    for (int n = 1; n < 64; ++n)
                        ac |= coefficients[n];
                    for (int n = 0; n < 64; ++n)
                        block[n] = coefficients[n] * quant[n];
                    transformBlock(i, blockRow, blockColumn, ac == 0);
                }
            }
        }
        if (path == kzoJpegPath::Fast)
            convertMcuRow(mcuRow);
    }
    error = kzoJpegScanComplete;
}
