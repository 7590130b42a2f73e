// Progressive JPEG: hand-coded scans with known coefficients (successive
// approximation, runs of empty bands, refinement), the same pixels as the
// sequential file of the same coefficients on many generated pictures and scan
// scripts, and the refusals of broken progressions and files cut short.

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "import/jpeg/Jpeg.hpp"
#include "tests/support/JpegCompare.hpp"
#include "tests/support/JpegStreams.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A 16 x 8 grey progressive picture, steps of 1, hand-coded tables: two blocks.
JpegBuilder progressiveGrey(int width = 16, int height = 8)
{
    JpegBuilder b;
    b.quant(0, 1).frame(width, height, {{1, 0x11, 0}}, 8, 0xC2).tables();
    return b;
}

Bytes padded(BitWriter& w)
{
    w.pad();
    return w.bytes;
}

TEST(JpegProgressive, ScansOfBandsAndBitsGiveTheKnownCoefficients)
{
    JpegBuilder b = progressiveGrey();
    // DC, first bits at point transform 1: differences 5 and -2 (predictor 5, 3).
    BitWriter dc;
    putDc(dc, 5);
    putDc(dc, -2);
    b.scan({1}, 0, 0, 0, 1).raw(padded(dc));
    // AC band 1-5 at point transform 1: block 0 gets -1 at k = 1 and 2 at k = 3.
    BitWriter band;
    putAcSymbol(band, 0x01); // run 0, size 1
    putAmplitude(band, -1, 1);
    putAcSymbol(band, 0x12); // run 1, size 2
    putAmplitude(band, 2, 2);
    putAcSymbol(band, 0x00); // end of band
    putAcSymbol(band, 0x00); // block 1: empty band
    b.scan({1}, 1, 5, 0, 1).raw(padded(band));
    // AC band 6-63: one run of empty bands, 2 + bit 0 = 2 blocks.
    BitWriter empty;
    putAcSymbol(empty, 0x10);
    empty.put(0, 1);
    b.scan({1}, 6, 63, 0, 0).raw(padded(empty));
    // DC, last bit: 1 for block 0, 0 for block 1.
    BitWriter dcBit;
    dcBit.put(0b10, 2);
    b.scan({1}, 0, 0, 1, 0).raw(padded(dcBit));
    // AC band 1-5, last bit. Block 0: a new +1 at k = 2, after the correction
    // bit of k = 1 (1: -2 becomes -3); end of band, whose tail still owes k = 3
    // its correction bit (0: stays 4). Block 1: end of band.
    BitWriter refine;
    putAcSymbol(refine, 0x01);
    refine.put(1, 1); // sign: positive
    refine.put(1, 1); // correction of k = 1
    putAcSymbol(refine, 0x00);
    refine.put(0, 1); // correction of k = 3
    putAcSymbol(refine, 0x00);
    b.scan({1}, 1, 5, 1, 0).raw(padded(refine)).end();

    std::vector<Seen> seen;
    const KzoDecode result = decodeSeeing(b.bytes, seen);
    ASSERT_TRUE(result.ok) << result.failure;
    ASSERT_TRUE(result.progressive);
    ASSERT_EQ(seen.size(), 2u);
    std::array<std::int32_t, 64> first{}, second{};
    first[0] = 11;  // 5 << 1 | 1
    first[1] = -3;  // k = 1: -1 << 1, corrected away from zero
    first[8] = 1;   // k = 2
    first[16] = 4;  // k = 3: 2 << 1
    second[0] = 6;  // 3 << 1 | 0
    EXPECT_EQ(seen[0].block, first);
    EXPECT_EQ(seen[1].block, second);
    // The pixels are those of the same blocks in a sequential file.
    BitWriter sequential;
    putBlock(sequential, 11, {{1, -3}, {2, 1}, {3, 4}});
    putBlock(sequential, 6 - 11);
    JpegBuilder same;
    same.quant(0, 1).frame(16, 8, {{1, 0x11, 0}}).tables().scan({1}).raw(padded(sequential)).end();
    const KzoDecode baseline = kzoDecode(same.bytes);
    ASSERT_TRUE(baseline.ok) << baseline.failure;
    EXPECT_EQ(result.image.pixels, baseline.image.pixels);
}

// --- The same pixels as the sequential file -----------------------------------------

// A valid progression for the frame: DC first (all components, point transform
// dcBits), each component's AC coefficients in random bands at random point
// transforms, then every refinement down to bit 0.
std::vector<ScanSpec> randomScript(int components, std::mt19937& random)
{
    std::vector<ScanSpec> first, refinements;
    const int dcBits = int(random() % 3);
    std::vector<int> all;
    for (int c = 0; c < components; ++c)
        all.push_back(c);
    const bool interleavedDc = random() % 2;
    for (int c = 0; c < components; ++c) {
        if (interleavedDc && c > 0)
            continue;
        first.push_back({interleavedDc ? all : std::vector<int>{c}, 0, 0, 0, dcBits});
    }
    for (int bit = dcBits; bit > 0; --bit)
        refinements.push_back({all, 0, 0, bit, bit - 1});
    for (int c = 0; c < components; ++c) {
        for (int start = 1; start <= 63;) {
            const int end = random() % 3 == 0 ? 63 : std::min(63, start + int(random() % 12));
            const int bits = int(random() % 4);
            first.push_back({{c}, start, end, 0, bits});
            for (int bit = bits; bit > 0; --bit)
                refinements.push_back({{c}, start, end, bit, bit - 1});
            start = end + 1;
        }
    }
    first.insert(first.end(), refinements.begin(), refinements.end());
    return first;
}

struct Layout {
    int components, h, v;
};

TEST(JpegProgressive, EveryScriptGivesThePixelsAndCoefficientsOfTheSequentialFile)
{
    const Layout layouts[] = {{1, 1, 1}, {3, 1, 1}, {3, 2, 1}, {3, 1, 2}, {3, 2, 2}, {3, 4, 1}};
    std::mt19937 random(2024);
    int compared = 0;
    for (int n = 0; n < 240; ++n) {
        const Layout& layout = layouts[n % std::size(layouts)];
        EncodeOptions options;
        options.components = layout.components;
        options.horizontalFactor = layout.h, options.verticalFactor = layout.v;
        // At least 3 chroma samples each way: narrower planes are refused either way.
        options.width = 4 * layout.h * 3 + int(random() % 70);
        options.height = 4 * layout.v * 3 + int(random() % 50);
        options.quality = 20 + int(random() % 81);
        options.restartInterval = random() % 3 == 0 ? 1 + unsigned(random() % 5) : 0;
        const Bytes baseline =
            referenceEncode(options, photoPixels(options.width, options.height, layout.components, std::uint32_t(n)));
        TranscodeOptions transcode;
        if (n % 3 != 0)
            transcode.scans = randomScript(layout.components, random);
        transcode.restartInterval = random() % 2 ? unsigned(random() % 4) : 0;
        transcode.optimize = random() % 2;
        const Bytes progressive = referenceTranscode(baseline, transcode);
        const KzoDecode expected = kzoDecode(baseline);
        const KzoDecode decoded = kzoDecode(progressive);
        const std::string what = "case " + std::to_string(n) + ", " + std::to_string(options.width) + " x " +
                                 std::to_string(options.height) + ", " + std::to_string(transcode.scans.size()) +
                                 " scans";
        ASSERT_TRUE(expected.ok && decoded.ok) << what << ": " << expected.failure << decoded.failure;
        ASSERT_TRUE(decoded.progressive) << what;
        ASSERT_EQ(decoded.image.pixels, expected.image.pixels) << what;
        ASSERT_EQ(coefficientMismatch(progressive), "") << what;
        ++compared;
    }
    EXPECT_EQ(compared, 240);
}

// --- Refusals -------------------------------------------------------------------------

TEST(JpegProgressive, FilesCutShortAreRefusedAndKeepNoPicture)
{
    EncodeOptions options;
    options.width = 61, options.height = 37;
    const Bytes baseline = referenceEncode(options, photoPixels(61, 37, 3, 9));
    for (const bool restarts : {false, true}) {
        TranscodeOptions transcode;
        transcode.restartInterval = restarts ? 2 : 0;
        const Bytes file = referenceTranscode(baseline, transcode);
        ASSERT_TRUE(kzoDecode(file).ok);
        // Every length up to the one that drops only the end-of-image marker.
        for (std::size_t cut = 2; cut + 2 <= file.size(); ++cut) {
            const KzoDecode result = kzoDecode(Bytes(file.begin(), file.begin() + std::ptrdiff_t(cut)));
            ASSERT_FALSE(result.ok) << "cut at " << cut << " of " << file.size();
            ASSERT_EQ(result.failure.find("picture was kept"), std::string::npos) << result.failure;
        }
        // Cut inside the scans or between them, the message says so.
        for (const std::size_t cut : {file.size() / 2, file.size() - 2}) {
            const KzoDecode result = kzoDecode(Bytes(file.begin(), file.begin() + std::ptrdiff_t(cut)));
            EXPECT_NE(result.failure.find("cut short"), std::string::npos) << cut << ": " << result.failure;
        }
    }
}

// Single-block scans that every progression allows, in order: for each
// component and each coefficient alone, its first bits at point transform 13,
// then its 13 refinements. Each scan's data is one byte: DC difference 0, one
// refinement bit 0, or an end of band.
Bytes manyScans(int count)
{
    JpegBuilder b;
    b.quant(0, 1).frame(8, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}}, 8, 0xC2).tables();
    int made = 0;
    for (std::uint8_t id = 1; id <= 3; ++id) {
        for (int k = 0; k <= 63; ++k) {
            for (int step = 0; step <= 13; ++step) {
                if (made++ == count)
                    return b.end().bytes;
                BitWriter w;
                if (k == 0 && step == 0)
                    putDc(w, 0);
                else if (k == 0)
                    w.put(0, 1);
                else
                    putAcSymbol(w, 0x00);
                b.scan({id}, k, k, step == 0 ? 0 : 14 - step, 13 - step).raw(padded(w));
            }
        }
    }
    return b.end().bytes;
}

TEST(JpegProgressive, AThousandScansAreReadAndOneMoreIsRefused)
{
    const KzoDecode thousand = kzoDecode(manyScans(1000));
    EXPECT_TRUE(thousand.ok) << thousand.failure;
    const KzoDecode more = kzoDecode(manyScans(1001));
    EXPECT_FALSE(more.ok);
    EXPECT_NE(more.failure.find("more than 1000 scans"), std::string::npos) << more.failure;
}

TEST(JpegProgressive, BrokenProgressionsAreRefusedWithTheRuleNamed)
{
    BitWriter dcData;
    putDc(dcData, 1);
    putDc(dcData, 1);
    const Bytes dc = padded(dcData);
    BitWriter eobData;
    putAcSymbol(eobData, 0x00);
    putAcSymbol(eobData, 0x00);
    const Bytes eob = padded(eobData);
    BitWriter sizeTwo;
    putAcSymbol(sizeTwo, 0x02);
    sizeTwo.put(3, 2);
    BitWriter pastBand;
    putAcSymbol(pastBand, 0x51); // run 5, size 1: k = 6 in a band 1-5
    pastBand.put(1, 1);
    const struct {
        const char* what;
        Bytes file;
        const char* reason;
    } cases[] = {
        {"AC before DC", progressiveGrey().scan({1}, 1, 63).raw(eob).end().bytes, "before the component's DC scan"},
        {"DC scan with AC terms", progressiveGrey().scan({1}, 0, 5).raw(dc).end().bytes, "also covers AC"},
        {"band 9-8", progressiveGrey().scan({1}, 0, 0).raw(dc).scan({1}, 9, 8).raw(eob).end().bytes,
         "spectral selection"},
        {"band up to 64", progressiveGrey().scan({1}, 0, 0).raw(dc).scan({1}, 1, 64).raw(eob).end().bytes,
         "spectral selection"},
        {"point transform 14", progressiveGrey().scan({1}, 0, 0, 0, 14).raw(dc).end().bytes, "above 13"},
        {"refinement by two bits", progressiveGrey().scan({1}, 0, 0, 0, 2).raw(dc).scan({1}, 0, 0, 2, 0).end().bytes,
         "other than one bit"},
        {"refinement of a band never sent",
         progressiveGrey().scan({1}, 0, 0, 0, 1).raw(dc).scan({1}, 1, 5, 1, 0).raw(eob).end().bytes,
         "not sent before"},
        {"band sent twice", progressiveGrey().scan({1}, 0, 0).raw(dc).scan({1}, 0, 0).raw(dc).end().bytes,
         "second time"},
        {"refinement symbol of size 2",
         progressiveGrey().scan({1}, 0, 0).raw(dc).scan({1}, 1, 5, 0, 1).raw(eob).scan({1}, 1, 5, 1, 0)
             .raw(padded(sizeTwo)).end().bytes,
         "size other than 1"},
        {"coefficient past the band",
         progressiveGrey().scan({1}, 0, 0).raw(dc).scan({1}, 1, 5).raw(padded(pastBand)).end().bytes, "past the band"},
        {"scan of no component", progressiveGrey().segment(0xDA, {0, 0, 0, 0}).end().bytes, "count is 0"},
        {"no end-of-image marker", progressiveGrey().scan({1}, 0, 0).raw(dc).bytes, "end-of-image marker"},
    };
    for (const auto& c : cases) {
        const KzoDecode result = kzoDecode(c.file);
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_NE(result.failure.find(c.reason), std::string::npos) << c.what << ": " << result.failure;
    }
    // The base of those cases decodes.
    EXPECT_TRUE(kzoDecode(progressiveGrey().scan({1}, 0, 0).raw(dc).scan({1}, 1, 63).raw(eob).end().bytes).ok);
}

TEST(JpegProgressive, CoefficientsCountInTheMemoryBound)
{
    // 1 x 65535 with every factor 8: MCUs of 64 x 64, so each component keeps
    // 8 x 8192 blocks (25 MB of coefficients for 256 KB of picture). Within the
    // pixel bound of 65535 the picture fits the memory bound, its coefficients do not.
    const std::vector<std::array<std::uint8_t, 3>> padded = {{1, 0x88, 0}, {2, 0x88, 0}, {3, 0x88, 0}};
    // 8192 x 8192 4:4:4 at the default bounds: 4 + 6 bytes a pixel, accepted.
    const std::vector<std::array<std::uint8_t, 3>> full = {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}};
    const struct {
        int width, height;
        const std::vector<std::array<std::uint8_t, 3>>& components;
        std::int64_t maxPixels;
        bool progressiveFits;
    } cases[] = {{1, 65535, padded, 65535, false}, {8192, 8192, full, kzoJpegMaxPixels, true}};
    for (const auto& c : cases) {
        for (const std::uint8_t marker : {std::uint8_t(0xC0), std::uint8_t(0xC2)}) {
            const Bytes file = JpegBuilder{}.frame(c.width, c.height, c.components, 8, marker).bytes;
            const auto decoder = std::make_unique<kzoJpegDecoder>(c.maxPixels);
            EXPECT_FALSE(decoder->Decode(file.data(), std::int32_t(file.size())));
            // Headers only: a frame that fits fails later, at the missing scan.
            const bool fits = marker == 0xC0 || c.progressiveFits;
            const char* expected = fits ? "ends before the scan" : "more memory than the decoder's bound";
            EXPECT_NE(decoder->GetFailure().find(expected), std::string::npos)
                << c.width << " x " << c.height << " marker " << int(marker) << ": " << decoder->GetFailure();
        }
    }
}

} // namespace
