// The decoder's fast paths against the plain algorithm they replace, on many
// random inputs: every kernel set this machine runs (inverse DCT, colour
// conversion, grey rows, widening) against the scalar reference, the
// conversion of row bands against whole widened planes, and whole decodes
// (fast entropy reads included) of mutated sequential and progressive files.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "import/jpeg/JpegColour.hpp"
#include "import/jpeg/JpegConvert.hpp"
#include "import/jpeg/JpegHuffman.hpp"
#include "import/jpeg/JpegIdct.hpp"
#include "import/jpeg/JpegPaths.hpp"
#include "tests/support/JpegCompare.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

const char* nameOf(kzoJpegKernelSet set)
{
    switch (set) {
    case kzoJpegKernelSet::Scalar: return "scalar";
    case kzoJpegKernelSet::Sse2: return "SSE2";
    case kzoJpegKernelSet::Avx2: return "AVX2";
    }
    return "?";
}

// Every set this build and processor run; the test says which it skipped.
std::vector<kzoJpegKernelSet> runnableSets()
{
    std::vector<kzoJpegKernelSet> sets;
    for (const kzoJpegKernelSet set : {kzoJpegKernelSet::Scalar, kzoJpegKernelSet::Sse2, kzoJpegKernelSet::Avx2}) {
        if (kzoJpegKernelSetRuns(set))
            sets.push_back(set);
        else
            std::printf("kernel set %s does not run here\n", nameOf(set));
    }
    return sets;
}

TEST(JpegHuffmanLookups, FastLookupsAndCanonicalCodesGiveTheReferenceEntryForEveryIndex)
{
    // Random tables of every shape the checks let through: code lengths 1 to
    // 16, full or partly empty code spaces, repeated values.
    std::mt19937 random(17);
    auto table = std::make_unique<kzoJpegHuffmanTable>();
    for (int n = 0; n < 400; ++n) {
        std::uint8_t counts[16] = {};
        std::vector<std::uint8_t> values;
        std::int32_t remain = 65536;
        const int shortest = 1 + int(random() % 12);
        for (int length = shortest; length <= 16; ++length) {
            const std::int32_t room = remain >> (16 - length);
            const std::int32_t count = std::min<std::int32_t>({255, room, std::int32_t(random() % (n % 4 == 0 ? 256 : 9))});
            counts[length - 1] = std::uint8_t(count);
            remain -= count << (16 - length);
            for (std::int32_t i = 0; i < count; ++i)
                values.push_back(std::uint8_t(random()));
        }
        kzoJpegFillLookup(*table, counts, values.data());
        kzoJpegBuildFastTables(*table, counts, values.data(), n % 2 == 0);
        for (std::uint32_t next16 = 0; next16 < 65536; ++next16) {
            const kzoJpegHuffmanEntry expected = table->lookup[next16], got = kzoJpegLookUp(*table, next16);
            ASSERT_EQ(got.codeLength, expected.codeLength) << "table " << n << " bits " << next16;
            if (expected.codeLength != 0) {
                ASSERT_EQ(got.value, expected.value) << "table " << n << " bits " << next16;
            }
        }
    }
}

TEST(JpegKernels, InverseDctGivesTheReferenceBytesAndLeavesTheBlockZero)
{
    std::uniform_int_distribution<std::int32_t> small(-1024, 1024);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    for (const kzoJpegKernelSet set : runnableSets()) {
        const kzoJpegKernels& kernels = kzoJpegKernelsOf(set);
        std::mt19937 random(11);
        for (int n = 0; n < 400000; ++n) {
            // Coefficients in the first `rows` rows or columns (so that rows,
            // columns or the whole block take the DC-only shortcuts), a random
            // share of them set, small as in real files or anywhere in the 32-bit range.
            const int rows = 1 + static_cast<int>(random() % 8);
            const unsigned density = random() % 4;
            const bool huge = random() % 8 == 0;
            std::array<std::int32_t, 64> block{};
            for (int i = 0; i < rows * 8; ++i)
                if (random() % 4 <= density)
                    block[std::size_t(i)] = huge ? any(random) : small(random);
            if (random() % 2) { // in the first columns instead: whole rows DC-only
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < y; ++x)
                        std::swap(block[std::size_t(8 * y + x)], block[std::size_t(8 * x + y)]);
            }
            std::array<std::int32_t, 64> plainBlock = block, fastBlock = block;
            std::array<std::uint8_t, 8 * 11> plain{}, fast{}; // stride 11: rows apart, bytes between untouched
            kzoJpegIdct(plainBlock.data(), plain.data(), 11);
            kernels.idct(fastBlock.data(), fast.data(), 11);
            ASSERT_EQ(plain, fast) << nameOf(set) << " case " << n << ", rows " << rows;
            ASSERT_EQ(fastBlock, (std::array<std::int32_t, 64>{})) << nameOf(set) << " case " << n;
        }
    }
}

TEST(JpegKernels, FlatBlockValueIsTheReferenceOfADcOnlyBlock)
{
    std::mt19937 random(12);
    for (int n = 0; n < 200000; ++n) {
        const auto dc = static_cast<std::int32_t>(n % 2 ? random() : random() % 4096 - 2048);
        std::array<std::int32_t, 64> block{};
        block[0] = dc;
        std::array<std::uint8_t, 64> out{};
        kzoJpegIdct(block.data(), out.data(), 8);
        for (const std::uint8_t sample : out)
            ASSERT_EQ(sample, kzoJpegIdctFlat(dc)) << dc;
    }
}

TEST(JpegKernels, ColourConversionMatchesTheReferenceForEveryInput)
{
    std::array<std::uint8_t, 256> luma, blue, red;
    for (int i = 0; i < 256; ++i)
        luma[std::size_t(i)] = std::uint8_t(i);
    std::array<std::uint32_t, 256> out;
    for (const kzoJpegKernelSet set : runnableSets()) {
        const kzoJpegKernels& kernels = kzoJpegKernelsOf(set);
        // All 2^24 (Y, Cb, Cr): one row of every Y per (Cb, Cr).
        for (int cb = 0; cb < 256; ++cb) {
            for (int cr = 0; cr < 256; ++cr) {
                blue.fill(std::uint8_t(cb));
                red.fill(std::uint8_t(cr));
                kernels.convertRow(luma.data(), blue.data(), red.data(), 256, out.data());
                for (int y = 0; y < 256; ++y)
                    ASSERT_EQ(out[std::size_t(y)], kzoJpegPixel(std::uint8_t(y), std::uint8_t(cb), std::uint8_t(cr)))
                        << nameOf(set) << " Y " << y << " Cb " << cb << " Cr " << cr;
            }
        }
        // Every grey value.
        kernels.greyRow(luma.data(), 256, out.data());
        for (int y = 0; y < 256; ++y)
            ASSERT_EQ(out[std::size_t(y)], kzoJpegGreyPixel(std::uint8_t(y))) << nameOf(set);
    }
}

TEST(JpegKernels, RowKernelsOfEveryWidthWriteExactlyTheirPixels)
{
    // Widths around the vector lengths: the tails go their own way, and no
    // kernel writes a byte past its row.
    std::mt19937 random(13);
    for (const kzoJpegKernelSet set : runnableSets()) {
        const kzoJpegKernels& kernels = kzoJpegKernelsOf(set);
        for (std::int32_t width = 0; width <= 100; ++width) {
            Bytes luma(std::size_t(width) + 1), blue(luma.size()), red(luma.size());
            for (std::size_t i = 0; i < luma.size(); ++i)
                luma[i] = std::uint8_t(random()), blue[i] = std::uint8_t(random()), red[i] = std::uint8_t(random());
            std::vector<std::uint32_t> colour(std::size_t(width) + 1, 0x12345678), grey(colour);
            Bytes doubled(2 * std::size_t(width) + 1, 0x5A);
            kernels.convertRow(luma.data(), blue.data(), red.data(), width, colour.data());
            kernels.greyRow(luma.data(), width, grey.data());
            kernels.doubleRow(luma.data(), width, doubled.data());
            for (std::int32_t x = 0; x < width; ++x) {
                const auto i = std::size_t(x);
                ASSERT_EQ(colour[i], kzoJpegPixel(luma[i], blue[i], red[i])) << nameOf(set) << " width " << width;
                ASSERT_EQ(grey[i], kzoJpegGreyPixel(luma[i])) << nameOf(set) << " width " << width;
                ASSERT_EQ(doubled[2 * i], luma[i]);
                ASSERT_EQ(doubled[2 * i + 1], luma[i]);
            }
            ASSERT_EQ(colour.back(), 0x12345678u) << nameOf(set) << " width " << width;
            ASSERT_EQ(grey.back(), 0x12345678u) << nameOf(set) << " width " << width;
            ASSERT_EQ(doubled.back(), 0x5A) << nameOf(set) << " width " << width;
        }
    }
}

// Components as a frame header makes them: planes padded to whole MCUs, filled
// with random samples.
struct Planes {
    kzoJpegComponent components[3] = {};
    ~Planes()
    {
        for (kzoJpegComponent& c : components)
            std::free(c.plane);
    }
};

int makePlanes(Planes& planes, std::int32_t width, std::int32_t height, const int (&factors)[3][2], int count,
               std::mt19937& random)
{
    int maxH = 1, maxV = 1;
    for (int i = 0; i < count; ++i)
        maxH = std::max(maxH, factors[i][0]), maxV = std::max(maxV, factors[i][1]);
    const std::int32_t mcuColumns = (width + 8 * maxH - 1) / (8 * maxH);
    const std::int32_t mcuRows = (height + 8 * maxV - 1) / (8 * maxV);
    for (int i = 0; i < count; ++i) {
        kzoJpegComponent& c = planes.components[i];
        c.horizontalFactor = factors[i][0];
        c.verticalFactor = factors[i][1];
        c.width = (width * c.horizontalFactor + maxH - 1) / maxH;
        c.height = (height * c.verticalFactor + maxV - 1) / maxV;
        c.stride = mcuColumns * 8 * c.horizontalFactor;
        const std::size_t bytes = std::size_t(c.stride) * mcuRows * 8 * c.verticalFactor;
        c.plane = static_cast<std::uint8_t*>(std::malloc(bytes));
        for (std::size_t b = 0; b < bytes; ++b)
            c.plane[b] = static_cast<std::uint8_t>(random());
    }
    return 8 * maxV; // MCU height
}

TEST(JpegFastPaths, RowBandsGiveTheBytesOfWidenedPlanes)
{
    const int samplings[][3][2] = {
        {{1, 1}, {1, 1}, {1, 1}}, {{2, 2}, {1, 1}, {1, 1}}, {{2, 1}, {1, 1}, {1, 1}}, {{1, 2}, {1, 1}, {1, 1}},
        {{4, 1}, {1, 1}, {1, 1}}, {{4, 4}, {1, 1}, {2, 2}}, {{1, 1}, {2, 2}, {1, 1}}, {{8, 2}, {2, 1}, {1, 2}},
    };
    std::mt19937 random(5);
    int converted = 0;
    for (const kzoJpegKernelSet set : runnableSets()) {
        const kzoJpegKernels& kernels = kzoJpegKernelsOf(set);
        for (const auto& factors : samplings) {
            for (const int count : {1, 3}) {
                for (int n = 0; n < 60; ++n) {
                    const std::int32_t width = 1 + std::int32_t(random() % 90);
                    const std::int32_t height = 1 + std::int32_t(random() % 40);
                    Planes planes;
                    const int bandHeight = makePlanes(planes, width, height, factors, count, random);
                    std::vector<std::uint32_t> plain(std::size_t(width) * height), fast(plain.size());
                    // The fast path: band by band (one MCU row), each plane seen from
                    // the band's first sample row, as the decoder's one-row buffers.
                    Bytes rowBuffer(std::size_t(kzoJpegRowBufferSize(width)));
                    for (std::int32_t top = 0; top < height; top += bandHeight) {
                        kzoJpegComponent band[3];
                        for (int i = 0; i < count; ++i) {
                            band[i] = planes.components[i];
                            const int shift = kzoJpegReplicationShift(band[i].height, height);
                            band[i].plane += std::int64_t(top >> shift) * band[i].stride;
                        }
                        kzoJpegConvertRows(band, count, width, height, top, std::min(height, top + bandHeight), kernels,
                                           rowBuffer.data(), fast.data() + std::size_t(top) * width);
                    }
                    // The reference: whole planes widened, then converted.
                    if (count == 1) {
                        kzoJpegConvertGreyPlane(planes.components[0], width, height, plain.data());
                    } else {
                        for (kzoJpegComponent& c : planes.components)
                            if (c.width < width || c.height < height) {
                                ASSERT_TRUE(kzoJpegWidenPlane(c, width, height));
                            }
                        kzoJpegConvertFullPlanes(planes.components, width, height, plain.data());
                    }
                    ASSERT_EQ(plain, fast) << nameOf(set) << " " << width << " x " << height << " factors "
                                           << factors[0][0] << "x" << factors[0][1] << ", " << count << " components";
                    ++converted;
                }
            }
        }
    }
    EXPECT_EQ(converted, int(runnableSets().size()) * 8 * 2 * 60);
}

struct PathResult {
    bool ok;
    kzoJpegError error;
    std::int32_t width, height, components;
    std::vector<std::uint32_t> pixels;
    bool keptPicture;
    std::int64_t inputDone;  // the last count the input hook was told
    bool inputDoneInOrder;   // never smaller than before, never past the end
};

// The input hook's promise, held to account: the bytes it reports done are
// overwritten at once, so a decoder that read them again would decode garbage.
struct PoisonedInput {
    Bytes& bytes;
    std::int64_t done;
    bool inOrder;
};

void poisonDoneInput(void* context, std::int64_t doneBytes)
{
    auto& input = *static_cast<PoisonedInput*>(context);
    input.inOrder = input.inOrder && doneBytes >= input.done && doneBytes <= std::int64_t(input.bytes.size());
    if (!input.inOrder)
        return;
    std::fill(input.bytes.begin() + input.done, input.bytes.begin() + doneBytes, std::uint8_t{0xA5});
    input.done = doneBytes;
}

// The fast path decodes a copy of the file whose bytes are poisoned as the
// decoder reports them done; the plain path reads the file as it is.
PathResult decodeBy(const Bytes& file, kzoJpegPath path, kzoJpegKernelSet kernels = kzoJpegBestKernelSet())
{
    const auto decoder = std::make_unique<kzoJpegDecoder>(std::int64_t{1} << 20, path, kernels);
    Bytes copy = file;
    PoisonedInput poisoned{copy, 0, true};
    if (path == kzoJpegPath::Fast)
        decoder->SetInputHook(poisonDoneInput, &poisoned);
    PathResult r{};
    r.ok = decoder->Decode(copy.data(), std::int32_t(copy.size()));
    r.inputDone = poisoned.done;
    r.inputDoneInOrder = poisoned.inOrder;
    r.error = decoder->GetError();
    r.width = decoder->GetWidth();
    r.height = decoder->GetHeight();
    r.components = decoder->GetComponentCount();
    r.keptPicture = decoder->GetPixels() != nullptr;
    if (r.ok)
        r.pixels.assign(decoder->GetPixels(), decoder->GetPixels() + std::size_t(r.width) * r.height);
    return r;
}

const std::uint8_t markerFollowers[] = {0x00, 0xD0, 0xD1, 0xD7, 0xD9, 0xFF, 0xC4, 0x01};

// Byte edits that reach the entropy decoder's corners: flipped bits, FF with
// every kind of follower, restart markers, cut ends.
Bytes mutate(Bytes file, std::mt19937& random, std::size_t scanStart)
{
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && file.size() > scanStart + 2; ++e) {
        const std::size_t at = scanStart + random() % (file.size() - scanStart);
        switch (random() % 6) {
        case 0: file[at] ^= std::uint8_t(1u << (random() % 8)); break;
        case 1: file[at] = 0xFF; break;
        case 2: file.insert(file.begin() + std::ptrdiff_t(at), {0xFF, markerFollowers[random() % 8]}); break;
        case 3: file.resize(at); break;
        case 4: file.erase(file.begin() + std::ptrdiff_t(at)); break;
        default: file.insert(file.begin() + std::ptrdiff_t(at), std::uint8_t(random())); break;
        }
    }
    return file;
}

void expectSameResult(const Bytes& file, const std::string& what, kzoJpegKernelSet kernels, int& decoded,
                      int& refused)
{
    const PathResult plain = decodeBy(file, kzoJpegPath::Plain);
    const PathResult fast = decodeBy(file, kzoJpegPath::Fast, kernels);
    ASSERT_EQ(plain.ok, fast.ok) << what;
    ASSERT_EQ(plain.error, fast.error) << what;
    ASSERT_EQ(plain.width, fast.width) << what;
    ASSERT_EQ(plain.height, fast.height) << what;
    ASSERT_EQ(plain.components, fast.components) << what;
    ASSERT_EQ(plain.pixels, fast.pixels) << what;
    // Bytes reported done are never read again (the pixels above are equal),
    // and a whole decode reports some.
    ASSERT_TRUE(fast.inputDoneInOrder) << what;
    ASSERT_TRUE(!fast.ok || fast.inputDone > 0) << what;
    // A failed decode keeps no picture on either path.
    ASSERT_EQ(fast.keptPicture, fast.ok) << what;
    ASSERT_EQ(plain.keptPicture, plain.ok) << what;
    (plain.ok ? decoded : refused) += 1;
}

TEST(JpegFastPaths, WholeDecodesOfMutatedFilesAgreeWithThePlainPath)
{
    const char* sources[] = {
        "jpeg/photo_160x120_420_q90.jpg",     "jpeg/photo_160x120_420_restart5B.jpg",
        "jpeg/photo_160x120_444_restart1B.jpg", "jpeg/photo_160x120_grey_restart3B.jpg",
        "jpeg/photo_101x75_420_q90.jpg",      "jpeg/photo_160x120_411_q90.jpg",
        "jpeg/photo_160x120_444_q100.jpg",    "jpeg/photo_17x9_420_q90.jpg",
        "jpeg/photo_101x75_grey_h2v2.jpg",    "jpeg/photo_160x120_420_optimize.jpg",
    };
    std::vector<std::pair<std::string, Bytes>> files;
    for (const char* source : sources)
        files.emplace_back(source, sharedFile(source));
    // Progressive ones: the standard script, restarts, and one file made so.
    TranscodeOptions restarts;
    restarts.restartInterval = 3;
    files.emplace_back("progressive 4:2:0", referenceTranscode(files[0].second, {}));
    files.emplace_back("progressive 4:4:4 with restarts", referenceTranscode(files[2].second, restarts));
    files.emplace_back("progressive grey", referenceTranscode(files[3].second, {}));
    files.emplace_back("jpeg/photo_160x120_420_progressive.jpg", sharedFile("jpeg/photo_160x120_420_progressive.jpg"));
    const std::vector<kzoJpegKernelSet> sets = runnableSets();
    std::mt19937 random(3);
    int decoded = 0, refused = 0;
    for (const auto& [name, original] : files) {
        const Bytes sos{0xFF, 0xDA};
        const auto scan = std::search(original.begin(), original.end(), sos.begin(), sos.end());
        ASSERT_NE(scan, original.end());
        const std::size_t scanStart = std::size_t(scan - original.begin()) + 2;
        for (int n = 0; n < 400; ++n) {
            // Mostly the entropy-coded data; now and then the headers too. Every
            // kernel set in turn.
            const Bytes file = mutate(original, random, n % 10 == 0 ? 2 : scanStart);
            expectSameResult(file, name + " mutation " + std::to_string(n), sets[std::size_t(n) % sets.size()],
                             decoded, refused);
        }
        // The fast reads look up to 7 bytes further ahead than the plain ones:
        // a marker a few filler bytes after the last coded byte, or the input
        // ending in FF there, must change nothing the plain path would not see.
        const auto end = std::ptrdiff_t(original.size() - 2); // before FF D9
        for (std::size_t fill = 0; fill < 10; ++fill) {
            for (const std::uint8_t follower : markerFollowers) {
                Bytes file = original;
                Bytes tail(fill, 0x5A);
                tail.insert(tail.end(), {0xFF, follower});
                file.insert(file.begin() + end, tail.begin(), tail.end());
                const kzoJpegKernelSet set = sets[fill % sets.size()];
                expectSameResult(file, name + " marker after " + std::to_string(fill), set, decoded, refused);
                file.resize(std::size_t(end) + fill + 1);
                expectSameResult(file, name + " FF after " + std::to_string(fill), set, decoded, refused);
            }
        }
    }
    // Both outcomes are exercised, each many times.
    EXPECT_GT(decoded, 500);
    EXPECT_GT(refused, 500);
}

} // namespace
