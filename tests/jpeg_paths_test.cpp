// The decoder's fast paths against the plain algorithm they replace, on many
// random inputs: the sparse inverse DCT, the row-by-row colour conversion, and
// whole decodes (fast entropy reads included) of mutated real files.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <random>

#include "import/JpegConvert.hpp"
#include "import/JpegIdct.hpp"
#include "tests/support/JpegCompare.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(JpegFastPaths, SparseIdctGivesThePlainBytes)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> small(-1024, 1024);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    for (int n = 0; n < 400000; ++n) {
        // Rows from `rows` on are zero; inside them a random share of coefficients
        // is set, small as in real files or anywhere in the 32-bit range.
        const int rows = 1 + static_cast<int>(random() % 8);
        const unsigned density = random() % 4;
        const bool huge = random() % 8 == 0;
        std::array<std::int32_t, 64> block{};
        for (int i = 0; i < rows * 8; ++i)
            if (random() % 4 <= density)
                block[std::size_t(i)] = huge ? any(random) : small(random);
        std::array<std::int32_t, 64> plainBlock = block, fastBlock = block;
        std::array<std::uint8_t, 8 * 11> plain{}, fast{}; // stride 11: rows apart, bytes between untouched
        kzoJpegIdct(plainBlock.data(), plain.data(), 11);
        kzoJpegIdctSparse(fastBlock.data(), rows, fast.data(), 11);
        ASSERT_EQ(plain, fast) << "case " << n << ", rows " << rows;
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

void makePlanes(Planes& planes, std::int32_t width, std::int32_t height, const int (&factors)[3][2],
                std::mt19937& random)
{
    int maxH = 1, maxV = 1;
    for (const auto& f : factors)
        maxH = std::max(maxH, f[0]), maxV = std::max(maxV, f[1]);
    const std::int32_t mcuColumns = (width + 8 * maxH - 1) / (8 * maxH);
    const std::int32_t mcuRows = (height + 8 * maxV - 1) / (8 * maxV);
    for (int i = 0; i < 3; ++i) {
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
}

TEST(JpegFastPaths, RowByRowConversionGivesTheBytesOfWidenedPlanes)
{
    const int samplings[][3][2] = {
        {{1, 1}, {1, 1}, {1, 1}}, {{2, 2}, {1, 1}, {1, 1}}, {{2, 1}, {1, 1}, {1, 1}}, {{1, 2}, {1, 1}, {1, 1}},
        {{4, 1}, {1, 1}, {1, 1}}, {{4, 4}, {1, 1}, {2, 2}}, {{1, 1}, {2, 2}, {1, 1}}, {{8, 2}, {2, 1}, {1, 2}},
    };
    std::mt19937 random(5);
    int converted = 0;
    for (const auto& factors : samplings) {
        for (int n = 0; n < 300; ++n) {
            const std::int32_t width = 1 + std::int32_t(random() % 90);
            const std::int32_t height = 1 + std::int32_t(random() % 40);
            Planes plain, fast;
            std::mt19937 same = random;
            makePlanes(plain, width, height, factors, random);
            makePlanes(fast, width, height, factors, same);
            std::vector<std::uint8_t> plainRgb(std::size_t(width) * height * 3), fastRgb(plainRgb.size());
            for (kzoJpegComponent& c : plain.components) {
                if (c.width < width || c.height < height) {
                    ASSERT_TRUE(kzoJpegWidenPlane(c, width, height));
                }
            }
            kzoJpegConvertFullPlanes(plain.components, width, height, plainRgb.data());
            std::vector<std::uint8_t> rowBuffer(std::size_t(kzoJpegConvertBufferSize(width)));
            kzoJpegConvertSubsampled(fast.components, width, height, fastRgb.data(), rowBuffer.data());
            ASSERT_EQ(plainRgb, fastRgb) << width << " x " << height << " factors " << factors[0][0] << "x"
                                         << factors[0][1];
            ++converted;
        }
    }
    EXPECT_EQ(converted, 2400);
}

struct PathResult {
    bool ok;
    kzoJpegError error;
    std::int32_t width, height, components;
    Bytes pixels;
};

PathResult decodeBy(const Bytes& file, kzoJpegPath path)
{
    const auto decoder = std::make_unique<kzoJpegDecoder>(std::int64_t{1} << 20, path);
    PathResult r{};
    r.ok = decoder->Decode(file.data(), std::int32_t(file.size()));
    r.error = decoder->GetError();
    r.width = decoder->GetWidth();
    r.height = decoder->GetHeight();
    r.components = decoder->GetComponentCount();
    if (r.ok)
        r.pixels.assign(decoder->GetImage(), decoder->GetImage() + std::size_t(r.width) * r.height * r.components);
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

void expectSameResult(const Bytes& file, const std::string& what, int& decoded, int& refused)
{
    const PathResult plain = decodeBy(file, kzoJpegPath::Plain);
    const PathResult fast = decodeBy(file, kzoJpegPath::Fast);
    ASSERT_EQ(plain.ok, fast.ok) << what;
    ASSERT_EQ(plain.error, fast.error) << what;
    ASSERT_EQ(plain.width, fast.width) << what;
    ASSERT_EQ(plain.height, fast.height) << what;
    ASSERT_EQ(plain.components, fast.components) << what;
    ASSERT_EQ(plain.pixels, fast.pixels) << what;
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
    std::mt19937 random(3);
    int decoded = 0, refused = 0;
    for (const char* source : sources) {
        const Bytes original = sharedFile(source);
        const Bytes sos{0xFF, 0xDA};
        const auto scan = std::search(original.begin(), original.end(), sos.begin(), sos.end());
        ASSERT_NE(scan, original.end());
        const std::size_t scanStart = std::size_t(scan - original.begin()) + 2;
        for (int n = 0; n < 400; ++n) {
            // Mostly the entropy-coded data; now and then the headers too.
            const Bytes file = mutate(original, random, n % 10 == 0 ? 2 : scanStart);
            expectSameResult(file, std::string(source) + " mutation " + std::to_string(n), decoded, refused);
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
                expectSameResult(file, std::string(source) + " marker after " + std::to_string(fill), decoded,
                                 refused);
                file.resize(std::size_t(end) + fill + 1);
                expectSameResult(file, std::string(source) + " FF after " + std::to_string(fill), decoded, refused);
            }
        }
    }
    // Both outcomes are exercised, each many times.
    EXPECT_GT(decoded, 400);
    EXPECT_GT(refused, 400);
}

} // namespace
