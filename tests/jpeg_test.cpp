// The baseline JPEG decoder on pictures and streams built here: hand-computed
// inverse DCT and colour blocks, hand-coded entropy data (stuffing, restarts,
// markers), hostile headers, and a sweep of sizes and samplings against the
// reference decoder.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <sys/resource.h>

#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegColour.hpp"
#include "import/jpeg/JpegIdct.hpp"
#include "tests/support/JpegCompare.hpp"
#include "tests/support/JpegStreams.hpp"
#include "tests/support/Process.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define KZO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KZO_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

// --- Inverse DCT and colour conversion, computed by hand -------------------------

std::array<std::uint8_t, 64> idctOf(std::array<std::int32_t, 64> coefficients)
{
    std::array<std::uint8_t, 64> out{};
    kzoJpegIdct(coefficients.data(), out.data(), 8);
    return out;
}

TEST(JpegIdct, DcOnlyBlockIsFlatThroughBothShortcuts)
{
    // Row 0: 80 << 3 = 640 everywhere; columns: ((640 + 32) >> 6) + 128 = 138.
    std::array<std::int32_t, 64> block{};
    block[0] = 80;
    const auto out = idctOf(block);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(out[i], 138) << i;
    // -2000 << 3 = -16000: ((-16000 + 32) >> 6) + 128 = -250 + 128 -> clipped to 0.
    block[0] = -2000;
    EXPECT_EQ(idctOf(block)[27], 0);
}

TEST(JpegIdct, FirstFrequenciesRunTheGeneralPasses)
{
    // b[1] = 100 alone: the row pass gives 1110 941 629 221 -221 -629 -941 -1110
    // (worked by hand through steps 2 to 6), then every column takes the DC-only
    // shortcut, ((v + 32) >> 6) + 128. b[8] = 100 alone: row 1 becomes 800
    // everywhere, each column goes the general way, (sum >> 14) + 128, and gives
    // the same profile standing up.
    const std::array<std::uint8_t, 8> profile = {145, 143, 138, 131, 125, 118, 113, 111};
    const struct {
        int coefficient;
        bool alongRows;
    } cases[] = {{1, true}, {8, false}};
    for (const auto& c : cases) {
        std::array<std::int32_t, 64> block{};
        block[std::size_t(c.coefficient)] = 100;
        const auto out = idctOf(block);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(out[std::size_t(y * 8 + x)], profile[std::size_t(c.alongRows ? x : y)])
                    << "coefficient " << c.coefficient << " at " << x << ", " << y;
    }
}

TEST(JpegIdct, RowShortcutTestsCoefficientFourShiftedBy11)
{
    // b[4] = 2^21: b[4] << 11 wraps to 0, so the row counts as DC-only and the
    // whole row becomes b[0] << 3 = 0, and the block stays flat at 128.
    std::array<std::int32_t, 64> block{};
    block[4] = 1 << 21;
    const auto out = idctOf(block);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(out[i], 128) << i;
}

TEST(JpegColour, ConstantsAndRoundingAsWritten)
{
    const struct {
        std::uint8_t y, cb, cr;
        std::array<std::uint8_t, 3> rgb;
    } cases[] = {
        {128, 128, 128, {128, 128, 128}}, // (32768 + 128) >> 8
        {90, 110, 160, {135, 73, 58}},    // 34656 >> 8, 18896 >> 8, 14996 >> 8
        {100, 200, 50, {0, 131, 228}},    // R = -2274 >> 8 -> clipped
        {255, 128, 255, {255, 164, 255}}, // R = 111001 >> 8 -> clipped
        {0, 0, 0, {0, 136, 0}},           // G = (11264 + 23424 + 128) >> 8
        {190, 128, 174, {255, 157, 190}}, // R = 65282 >> 8, one above 190 + round(1.402 x 46)
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 3> rgb{};
        kzoJpegYCbCrToRgb(c.y, c.cb, c.cr, rgb.data());
        EXPECT_EQ(rgb, c.rgb) << int(c.y) << " " << int(c.cb) << " " << int(c.cr);
    }
}

// --- Hand-coded streams ------------------------------------------------------------

// A grey picture with quantization steps of 1 and the hand-coded tables.
JpegBuilder greyHeader(int width, int height, int restart = 0)
{
    JpegBuilder b;
    b.quant(0, 1).frame(width, height, {{1, 0x11, 0}}).tables();
    if (restart)
        b.restartInterval(restart);
    return b;
}

Bytes greyFile(int width, int height, const Bytes& data, int restart = 0)
{
    return greyHeader(width, height, restart).scan({1}).raw(data).end().bytes;
}

TEST(JpegStream, StuffedZeroAfterFFIsDroppedAndCoefficientsLandInZigZagOrder)
{
    BitWriter w;
    putBlock(w, 32767);                                    // size 15, all ones: makes FF bytes
    putBlock(w, -5, {{1, 3}, {5, -2}, {40, 1}, {63, -1}}); // a run of 34 zeros needs two ZRLs
    w.pad();
    ASSERT_TRUE(contains(w.bytes, {0xFF, 0x00})) << "the stream must hold a stuffed byte";
    std::vector<Seen> seen;
    const KzoDecode result = decodeSeeing(greyFile(16, 8, w.bytes), seen);
    ASSERT_TRUE(result.ok) << result.failure;
    ASSERT_EQ(seen.size(), 2u);
    std::array<std::int32_t, 64> first{}, second{};
    first[0] = 32767;
    second[0] = 32762; // predictor 32767 - 5
    second[1] = 3;    // k = 1
    second[2] = -2;   // k = 5
    second[29] = 1;   // k = 40
    second[63] = -1;  // k = 63: no end-of-block follows
    EXPECT_EQ(seen[0].block, first);
    EXPECT_EQ(seen[1].block, second);
    EXPECT_EQ(seen[1].column, 1);
    // The pixels are the inverse DCT of those blocks, side by side.
    const auto left = idctOf(first), right = idctOf(second);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(result.image.pixels[y * 16 + x], left[y * 8 + x]);
            ASSERT_EQ(result.image.pixels[y * 16 + 8 + x], right[y * 8 + x]);
        }
}

TEST(JpegStream, DequantisesWithTheStoredOrderTable)
{
    // Steps 1..64 in stored order: coefficient k is multiplied by k + 1.
    BitWriter w;
    putBlock(w, 3, {{2, 5}, {9, -7}});
    w.pad();
    JpegBuilder b;
    Bytes quant{0};
    for (int k = 0; k < 64; ++k)
        quant.push_back(std::uint8_t(k + 1));
    b.segment(0xDB, quant).frame(8, 8, {{1, 0x11, 0}}).tables().scan({1}).raw(w.bytes).end();
    std::vector<Seen> seen;
    ASSERT_TRUE(decodeSeeing(b.bytes, seen).ok);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].block[0], 3);
    EXPECT_EQ(seen[0].block[8], 15);  // k = 2 -> natural 8, step 3
    EXPECT_EQ(seen[0].block[24], -70); // k = 9 -> natural 24, step 10
}

// Ten blocks with DC difference 10 each, a restart after every block, markers
// in the given order.
Bytes restartFile(const std::vector<std::uint8_t>& markers, int fillBytes = 0)
{
    BitWriter w;
    for (std::size_t i = 0; i < 10; ++i) {
        putBlock(w, 10);
        if (i < markers.size()) {
            w.pad();
            w.bytes.insert(w.bytes.end(), std::size_t(fillBytes), 0xFF);
            w.marker(markers[i]);
        }
    }
    w.pad();
    return greyFile(80, 8, w.bytes, 1);
}

TEST(JpegStream, RestartMarkersInSequenceWrapAfterSevenAndResetThePredictor)
{
    // Fill bytes FF may come before a restart marker too (T.81 B.1.1.2).
    for (const int fill : {0, 1, 4}) {
        std::vector<Seen> seen;
        const KzoDecode result =
            decodeSeeing(restartFile({0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0}, fill), seen);
        ASSERT_TRUE(result.ok) << fill << " fill bytes: " << result.failure;
        ASSERT_EQ(seen.size(), 10u);
        for (const Seen& s : seen)
            EXPECT_EQ(s.block[0], 10) << "block " << s.column << ": the predictor starts from 0 after each restart";
    }
}

TEST(JpegStream, RestartMarkersOutOfSequenceOrMissingAreRefused)
{
    const std::vector<std::vector<std::uint8_t>> broken = {
        {0xD0, 0xD2, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0}, // RST2 where RST1 belongs
        {0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0, 0xD1}, // starts at RST1
        {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8}, // RST8 does not exist: D8 is SOI
        {0xD0, 0xD1, 0xD2, 0xD3},                               // markers stop
    };
    for (const auto& markers : broken) {
        const KzoDecode result = kzoDecode(restartFile(markers));
        EXPECT_FALSE(result.ok);
    }
    EXPECT_NE(kzoDecode(restartFile(broken[0])).failure.find("restart marker"), std::string::npos);
}

TEST(JpegStream, MarkersInsideEntropyDataOtherThanRestartAndEndAreRefused)
{
    BitWriter w;
    putBlock(w, 1);
    putBlock(w, 1);
    w.pad();
    const Bytes good = greyFile(16, 8, w.bytes);
    ASSERT_TRUE(kzoDecode(good).ok);
    for (const Bytes& bad : {Bytes{0xFF, 0xFF}, Bytes{0xFF, 0xC4}, Bytes{0xFF, 0x01}}) {
        Bytes data = w.bytes;
        data.insert(data.begin() + 1, bad.begin(), bad.end());
        EXPECT_FALSE(kzoDecode(greyFile(16, 8, data)).ok) << int(bad[1]);
    }
    // FF as the very last byte of the input.
    Bytes cut = greyHeader(16, 8).scan({1}).raw({w.bytes[0], 0xFF}).bytes;
    const KzoDecode result = kzoDecode(cut);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.failure.find("ends in FF"), std::string::npos) << result.failure;
}

TEST(JpegStream, NothingIsReadAfterTheEndOfImageMarker)
{
    // The last code's 16-bit lookahead reaches FF D9; bytes after it would be a
    // syntax error (FF FF) if they were read.
    BitWriter w;
    putBlock(w, 7);
    w.pad();
    const Bytes file = greyHeader(8, 8).scan({1}).raw(w.bytes).end().raw({0xFF, 0xFF, 0xFF, 0x12}).bytes;
    EXPECT_TRUE(kzoDecode(file).ok);
}

TEST(JpegStream, DcPredictorAndDequantisationWrapAt32Bits)
{
    // 300 blocks of +32767 with step 255: the predictor reaches 9.8 million and
    // predictor x 255 passes 2^31; the decoder wraps in 32 bits on purpose, and the
    // sanitizer build shows it is no undefined behaviour.
    BitWriter w;
    for (int i = 0; i < 300; ++i)
        putBlock(w, 32767);
    w.pad();
    JpegBuilder b;
    b.quant(0, 255).frame(8 * 300, 8, {{1, 0x11, 0}}).tables().scan({1}).raw(w.bytes).end();
    std::vector<Seen> seen;
    const KzoDecode result = decodeSeeing(b.bytes, seen);
    ASSERT_TRUE(result.ok) << result.failure;
    ASSERT_EQ(seen.size(), 300u);
    for (int i = 0; i < 300; ++i) {
        const std::int64_t predictor = std::int64_t{32767} * (i + 1);
        const auto coefficient = static_cast<std::int32_t>(static_cast<std::uint32_t>(predictor * 255));
        ASSERT_EQ(seen[std::size_t(i)].block[0], coefficient) << i;
        // DC-only: clip((((c << 3) wrapped + 32) >> 6) + 128).
        const auto shifted = static_cast<std::int32_t>(static_cast<std::uint32_t>(coefficient) << 3);
        const auto sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(shifted) + 32u);
        const int expected = std::clamp((sum >> 6) + 128, 0, 255);
        ASSERT_EQ(result.image.pixels[std::size_t(i) * 8], expected) << i;
    }
}

// --- Headers and segments the decoder must refuse ------------------------------

struct RefusedCase {
    const char* what;
    Bytes file;
    const char* reason; // a piece of the failure text
};

Bytes oneBlock()
{
    BitWriter w;
    putBlock(w, 1);
    w.pad();
    return w.bytes;
}

std::vector<RefusedCase> refusedCases()
{
    const Bytes data = oneBlock();
    auto grey = [&](int width, int height, std::uint8_t factors = 0x11, std::uint8_t table = 0) {
        JpegBuilder b;
        return b.quant(0, 1).frame(width, height, {{1, factors, table}}).tables().scan({1}).raw(data).end().bytes;
    };
    auto withSegment = [&](std::uint8_t marker, const Bytes& body) {
        JpegBuilder b;
        b.segment(marker, body);
        return b.quant(0, 1).frame(8, 8, {{1, 0x11, 0}}).tables().scan({1}).raw(data).end().bytes;
    };
    auto withScan = [&](const Bytes& body) {
        JpegBuilder b;
        return b.quant(0, 1).frame(8, 8, {{1, 0x11, 0}}).tables().segment(0xDA, body).raw(data).end().bytes;
    };
    // A DHT body: class and number, 16 counts (code lengths 1..16), values.
    auto huffman = [](std::uint8_t classAndNumber, int codeLength, std::uint8_t count, const Bytes& values) {
        Bytes body(17, 0);
        body[0] = classAndNumber;
        body[std::size_t(codeLength)] = count;
        body.insert(body.end(), values.begin(), values.end());
        return body;
    };
    const Bytes huffmanOverfull = huffman(0x00, 1, 3, {1, 2, 3});
    const Bytes huffmanShort = huffman(0x00, 3, 5, {1, 2});
    const Bytes huffmanLeftOver = huffman(0x00, 1, 1, {1, 9});
    Bytes quantLeftOver(66, 1);
    quantLeftOver[0] = 0;

    std::vector<RefusedCase> cases = {
        {"width 0", grey(0, 8), "width or height is 0"},
        {"height 0", grey(8, 0), "width or height is 0"},
        {"one pixel over 8192 x 8192", grey(8193, 8192), "pixel bound"},
        {"65535 x 65535", grey(65535, 65535), "pixel bound"},
        {"horizontal factor 0", grey(8, 8, 0x01), "sampling factor 0"},
        {"vertical factor 3", grey(8, 8, 0x13), "power of two"},
        {"frame quantization table 4", grey(8, 8, 0x11, 4), "table number above 3"},
        {"12-bit samples", JpegBuilder{}.frame(8, 8, {{1, 0x11, 0}}, 12).bytes, "precision"},
        {"two components", JpegBuilder{}.frame(8, 8, {{1, 0x11, 0}, {2, 0x11, 0}}).bytes, "component count"},
        {"four components",
         JpegBuilder{}.frame(8, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}, {4, 0x11, 0}}).bytes,
         "component count"},
        {"frame header cut short", JpegBuilder{}.segment(0xC0, {8, 0, 8, 0, 8, 1, 1, 0x11}).bytes, "too short"},
        {"frame without its component bytes", JpegBuilder{}.segment(0xC0, {8, 0, 8, 0, 8, 3, 1, 0x11, 0}).bytes,
         "too short for its components"},
        {"second frame header", JpegBuilder{}.frame(8, 8, {{1, 0x11, 0}}).frame(8, 8, {{1, 0x11, 0}}).bytes,
         "second frame"},
        {"scan before any frame", JpegBuilder{}.tables().segment(0xDA, {0, 0, 63, 0}).end().bytes,
         "scan before the frame"},
        {"segment length 0", Bytes{0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x00, 0xFF, 0xD9}, "length below 2"},
        {"segment length 1", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 0xFF, 0xD9}, "length below 2"},
        {"segment longer than the file", Bytes{0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x09, 1, 2}, "longer than the input"},
        {"restart interval segment of 1 byte", withSegment(0xDD, {4}), "restart interval"},
        {"quantization table number 4", withSegment(0xDB, [] { Bytes q(65, 1); q[0] = 4; return q; }()),
         "quantization table number"},
        {"quantization precision 2", withSegment(0xDB, [] { Bytes q(129, 1); q[0] = 0x20; return q; }()),
         "precision above 16 bits"},
        {"quantization segment with a byte left over", withSegment(0xDB, quantLeftOver), "left over"},
        {"Huffman class 2", withSegment(0xC4, huffman(0x20, 1, 1, {1})), "class above 1"},
        {"Huffman table number 4", withSegment(0xC4, huffman(0x04, 1, 1, {1})), "number above 3"},
        {"Huffman table number 2", withSegment(0xC4, huffman(0x02, 1, 1, {1})), "number 2 or 3"},
        {"more codes than the code space", withSegment(0xC4, huffmanOverfull), "code space"},
        {"code values past the segment", withSegment(0xC4, huffmanShort), "past the segment"},
        {"Huffman segment with a byte left over", withSegment(0xC4, huffmanLeftOver), "left over"},
        {"scan with another component count", withScan({2, 1, 0, 2, 0, 0, 63, 0}), "every component"},
        {"scan naming another component", withScan({1, 7, 0x00, 0, 63, 0}), "differs from the frame"},
        {"scan naming DC table 2", withScan({1, 1, 0x20, 0, 63, 0}), "table above 1"},
        {"coefficient selection 1..63", withScan({1, 1, 0x00, 1, 63, 0}), "coefficients 0 to 63"},
        {"successive approximation", withScan({1, 1, 0x00, 0, 63, 0x10}), "full precision"},
        {"scan header cut short", withScan({1, 1, 0x00, 0}), "scan header too short"},
        {"end of image before any scan", Bytes{0xFF, 0xD8, 0xFF, 0xD9}, "0xD9"},
        {"four components with Adobe transform 2",
         JpegBuilder{}.segment(0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 2})
             .frame(8, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}, {4, 0x11, 0}}).bytes,
         "a YCCK picture"},
        {"a byte that starts no marker", Bytes{0xFF, 0xD8, 0x00, 0xFF, 0xFE}, "marker (FF) was expected"},
        {"input ends after the headers", JpegBuilder{}.quant(0, 1).bytes, "ends before the scan"},
        {"no SOI", Bytes{0xFF, 0xD9, 0xFF, 0xD8}, "start-of-image"},
        {"one byte", Bytes{0xFF}, "start-of-image"},
        {"nothing", Bytes{}, "start-of-image"},
    };

    // Kinds of file that stay unread say which kind they are.
    const struct {
        std::uint8_t marker;
        const char* kind;
    } kinds[] = {
        {0xC3, "lossless frame"},         {0xC5, "hierarchical frame"}, {0xC6, "hierarchical frame"},
        {0xC7, "hierarchical frame, differential lossless"}, {0xC9, "arithmetic-coded frame"},
        {0xCA, "arithmetic-coded frame, progressive"}, {0xCB, "arithmetic-coded frame, lossless"},
        {0xCC, "arithmetic-coding conditioning"}, {0xCD, "arithmetic-coded hierarchical frame"},
        {0xCE, "arithmetic-coded hierarchical frame"}, {0xCF, "arithmetic-coded hierarchical frame"},
        {0xDE, "hierarchical progression"}, {0xDF, "hierarchical expansion"},
    };
    for (const auto& k : kinds)
        cases.push_back({k.kind, JpegBuilder{}.segment(k.marker, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}).bytes, k.kind});

    // Entropy data that is not a valid block.
    BitWriter invalidSymbol, pastTheBlock, noCode;
    invalidSymbol.put(0, 4);
    putAcSymbol(invalidSymbol, 0x10); // run 1, size 0: neither EOB nor ZRL
    invalidSymbol.pad();
    pastTheBlock.put(0, 4);
    putAcSymbol(pastTheBlock, 0xF0);
    putAcSymbol(pastTheBlock, 0xF0);
    putAcSymbol(pastTheBlock, 0xF0);
    putAcSymbol(pastTheBlock, 0xF0); // k = 64
    pastTheBlock.pad();
    noCode.put(0, 4);
    noCode.put(0xFE, 8); // past the last AC code
    noCode.pad();
    cases.push_back({"AC symbol 0x10", greyFile(8, 8, invalidSymbol.bytes), "zero size"});
    cases.push_back({"AC run past coefficient 63", greyFile(8, 8, pastTheBlock.bytes), "past the block"});
    cases.push_back({"bits that are no AC code", greyFile(8, 8, noCode.bytes), "no Huffman code"});
    cases.push_back({"scan without Huffman tables",
                     JpegBuilder{}.quant(0, 1).frame(8, 8, {{1, 0x11, 0}}).scan({1}).raw(data).end().bytes,
                     "no Huffman code"});
    return cases;
}

TEST(JpegRefuses, HostileAndUnsupportedInputWithTheReasonNamed)
{
    for (const RefusedCase& c : refusedCases()) {
        const KzoDecode result = kzoDecode(c.file);
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_NE(result.failure.find(c.reason), std::string::npos) << c.what << ": " << result.failure;
    }
}

TEST(JpegRefuses, TheHandCodedBaseOfTheRefusedCasesDecodes)
{
    // So each refusal above comes from its one change, not from the builder.
    EXPECT_TRUE(kzoDecode(greyFile(8, 8, oneBlock())).ok);
    JpegBuilder b;
    b.segment(0xFE, {'h', 'i'}).segment(0xE1, {}).segment(0xEF, {1, 2, 3}).restartInterval(0);
    b.quant(0, 1).frame(8, 8, {{1, 0x11, 0}}).tables().scan({1}).raw(oneBlock()).end();
    EXPECT_TRUE(kzoDecode(b.bytes).ok) << "comment, application segments and DRI 0 are skipped";
}

TEST(JpegDecoder, FillBytesBeforeMarkersChangeNothing)
{
    // T.81 B.1.1.2: any number of FF bytes may come before a marker.
    EncodeOptions options;
    options.width = 45, options.height = 29, options.restartInterval = 3;
    const Bytes baseline = referenceEncode(options, photoPixels(45, 29, 3, 5));
    const KzoDecode plain = kzoDecode(baseline);
    ASSERT_TRUE(plain.ok) << plain.failure;
    for (const bool progressive : {false, true}) {
        const Bytes file = progressive ? referenceTranscode(baseline, {}) : baseline;
        for (const int count : {1, 2, 9}) {
            const Bytes filled = withFillBytes(file, count);
            ASSERT_GE(filled.size(), file.size() + 6u * std::size_t(count));
            const KzoDecode decoded = kzoDecode(filled);
            ASSERT_TRUE(decoded.ok) << count << " fill bytes, progressive " << progressive << ": " << decoded.failure;
            EXPECT_EQ(decoded.image.pixels, plain.image.pixels) << count << " fill bytes";
        }
    }
}

TEST(JpegDecoder, PixelBoundAcceptsEvery8192By8192ShapeAndCanBeLowered)
{
    // Headers only: the frame is accepted (its size is read), the scan is missing.
    for (const auto& [w, h] : {std::pair{8192, 8192}, std::pair{65535, 1024}, std::pair{1024, 65535}}) {
        const Bytes file = JpegBuilder{}.frame(w, h, {{1, 0x11, 0}}).bytes;
        const auto decoder = std::make_unique<kzoJpegDecoder>();
        EXPECT_FALSE(decoder->Decode(file.data(), std::int32_t(file.size())));
        EXPECT_EQ(decoder->GetWidth(), w);
        EXPECT_NE(decoder->GetFailure().find("ends before the scan"), std::string::npos) << decoder->GetFailure();
    }
    const Bytes file = greyFile(16, 8, [] {
        BitWriter w;
        putBlock(w, 1);
        putBlock(w, 1);
        w.pad();
        return w.bytes;
    }());
    EXPECT_TRUE(kzoDecode(file, 128).ok);
    EXPECT_FALSE(kzoDecode(file, 127).ok);
    // No bound at all: the memory bound derived from it must not overflow.
    EXPECT_TRUE(kzoDecode(file, INT64_MAX).ok);
}

TEST(JpegDecoder, SecondDecodeIsRefusedAndKeepsTheFirstPicture)
{
    const Bytes file = greyFile(8, 8, oneBlock());
    const auto decoder = std::make_unique<kzoJpegDecoder>();
    ASSERT_TRUE(decoder->Decode(file.data(), std::int32_t(file.size())));
    const std::vector<std::uint32_t> first(decoder->GetPixels(), decoder->GetPixels() + 64);
    EXPECT_FALSE(decoder->Decode(file.data(), std::int32_t(file.size())));
    EXPECT_EQ(decoder->GetError(), kzoJpegScanComplete);
    EXPECT_EQ(decoder->GetWidth(), 8);
    EXPECT_EQ(std::vector<std::uint32_t>(decoder->GetPixels(), decoder->GetPixels() + 64), first);
}

TEST(JpegDecoder, SizeIsTakenWithItsTopBitCleared)
{
    const Bytes file = greyFile(8, 8, oneBlock());
    const auto decoder = std::make_unique<kzoJpegDecoder>();
    EXPECT_TRUE(decoder->Decode(file.data(), std::int32_t(std::uint32_t(file.size()) | 0x80000000u)));
}

TEST(JpegDecoder, NothingBeforeAFrameHeader)
{
    const auto decoder = std::make_unique<kzoJpegDecoder>();
    EXPECT_EQ(decoder->GetWidth(), 0);
    EXPECT_EQ(decoder->GetHeight(), 0);
    EXPECT_EQ(decoder->GetPixels(), nullptr);
    EXPECT_FALSE(decoder->Decode(nullptr, 100));
    EXPECT_EQ(decoder->GetPixels(), nullptr);
}

TEST(JpegDecoder, AllocationFailureIsOutOfMemoryNotACrash)
{
#if KZO_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
    // 30000 x 30000, three full-size planes of 900 MB each, in a process held to
    // 1.5 GB of address space.
    const Bytes file = JpegBuilder{}.frame(30000, 30000, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}}).bytes;
    const ProcessResult r = runInChild([&] {
        const rlimit limit{1536u << 20, 1536u << 20};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            return 10;
        const auto decoder = std::make_unique<kzoJpegDecoder>(INT64_MAX);
        if (decoder->Decode(file.data(), std::int32_t(file.size())))
            return 11;
        return decoder->GetError() == kzoJpegOutOfMemory ? 0 : 12;
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

// --- A sweep of sizes and samplings against the reference ------------------------

struct Sampling {
    const char* name;
    int components, h, v;
};

TEST(JpegSweep, SmallSizesInEverySamplingMatchTheReference)
{
    const Sampling samplings[] = {
        {"grey", 1, 1, 1}, {"grey 2x2", 1, 2, 2}, {"4:4:4", 3, 1, 1}, {"4:2:2", 3, 2, 1},
        {"4:4:0", 3, 1, 2}, {"4:2:0", 3, 2, 2},   {"4:1:1", 3, 4, 1},
    };
    const int sizes[] = {1, 2, 3, 4, 5, 7, 8, 9, 12, 15, 16, 17, 24, 31, 33, 40};
    int decoded = 0;
    for (const Sampling& s : samplings) {
        for (const int w : sizes) {
            for (const int h : sizes) {
                EncodeOptions options;
                options.width = w, options.height = h, options.components = s.components;
                options.horizontalFactor = s.h, options.verticalFactor = s.v;
                const Bytes file = referenceEncode(options, photoPixels(w, h, s.components, std::uint32_t(w * 97 + h)));
                // Subsampled planes narrower than 3 samples are refused.
                const bool narrow = s.components == 3 && ((s.h > 1 && (w + s.h - 1) / s.h < 3) ||
                                                           (s.v > 1 && (h + s.v - 1) / s.v < 3));
                const KzoDecode ours = kzoDecode(file);
                ASSERT_EQ(ours.ok, !narrow) << s.name << " " << w << " x " << h << ": " << ours.failure;
                if (narrow)
                    continue;
                ReferenceImage reference;
                std::string error;
                ASSERT_TRUE(referenceDecode(file, reference, error)) << error;
                // Pictures of a few pixels make a mean meaningless: the maximum
                // bounds the pixels here, the coefficients are compared exactly.
                const auto difference = pictureDifference(ours.image, reference);
                ASSERT_FALSE(difference.empty());
                for (const ChannelDifference& d : difference)
                    ASSERT_LE(d.maximum, kzoMaxChannelDifference) << s.name << " " << w << " x " << h;
                ASSERT_EQ(coefficientMismatch(file), "") << s.name << " " << w << " x " << h;
                ++decoded;
            }
        }
    }
    EXPECT_GT(decoded, 1400);
}

TEST(JpegSweep, RestartIntervalsOfEveryLengthMatchTheReference)
{
    for (const unsigned interval : {1u, 2u, 3u, 7u, 8u, 9u, 64u}) {
        for (const int components : {1, 3}) {
            EncodeOptions options;
            options.width = 75, options.height = 43, options.components = components;
            options.restartInterval = interval;
            const Bytes file = referenceEncode(options, photoPixels(75, 43, components, interval));
            ASSERT_TRUE(contains(file, {0xFF, 0xDD}));
            EXPECT_EQ(coefficientMismatch(file), "") << interval << " MCUs, " << components << " components";
        }
    }
}

} // namespace
