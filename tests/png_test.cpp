// PNG textures: every colour type and bit depth, interlaced or not, against the
// pixels worked out from the random samples the file was written from; broken
// files refused with the file's name and where reading stopped, never a picture;
// the failures of image-file loading as values and as the programs' stops.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <zlib.h>

#include "import/image/ImageFile.hpp"
#include "import/png/Png.hpp"
#include "tests/support/FatalHook.hpp"
#include "tests/support/Process.hpp"
#include "tests/support/Scratch.hpp"
#include "tests/support/TestPng.hpp"

namespace {

using Colour = TestPngColour;

std::vector<std::uint32_t> pixelsOf(const peltoImage& image)
{
    return {image.pixels, image.pixels + std::size_t{image.width} * image.height};
}

TEST(PngTexture, EveryColourTypeAndDepthGivesItsSamplesAsArgb)
{
    const struct {
        Colour colour;
        std::vector<int> depths;
        bool transparency;
    } kinds[] = {
        {Colour::Grey, {1, 2, 4, 8, 16}, false},   {Colour::Grey, {1, 2, 4, 8, 16}, true},
        {Colour::GreyAlpha, {8, 16}, false},       {Colour::Rgb, {8, 16}, false},
        {Colour::Rgb, {8, 16}, true},              {Colour::Rgba, {8, 16}, false},
        {Colour::Palette, {1, 2, 4, 8}, false},    {Colour::Palette, {1, 2, 4, 8}, true},
    };
    const ThrowOnFatal hook;
    ScratchDir dir;
    std::mt19937 random(11);
    for (const auto& kind : kinds)
        for (const int depth : kind.depths)
            for (const bool interlaced : {false, true})
                for (int repeat = 0; repeat < 4; ++repeat) {
                    const TestPng png = randomTestPng(kind.colour, depth, interlaced, kind.transparency, random);
                    // The signature decides, not the name.
                    const std::string path = dir.file(repeat % 2 ? "texture.jpg" : "texture.png");
                    writeFile(path, encodeTestPng(png));
                    peltoImage image;
                    LoadImage(image, path);
                    const std::string what = "colour type " + std::to_string(static_cast<int>(kind.colour)) +
                                             ", " + std::to_string(depth) + " bits" +
                                             (interlaced ? ", interlaced" : "") +
                                             (kind.transparency ? ", tRNS" : "");
                    EXPECT_EQ(image.width, png.width) << what;
                    EXPECT_EQ(image.height, png.height) << what;
                    EXPECT_EQ(pixelsOf(image), expectedTestPngPixels(png)) << what;
                    FreeImage(image);
                }
}

// Offset of the first chunk of type name (its length field), or 0.
std::size_t chunkAt(const std::vector<std::uint8_t>& bytes, const char* name)
{
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        if (std::memcmp(&bytes[at + 4], name, 4) == 0)
            return at;
        const std::size_t length = std::size_t{bytes[at]} << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
        at += 12 + length;
    }
    return 0;
}

void putBigEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// The header states width x height; its CRC is made right again.
std::vector<std::uint8_t> withSize(std::vector<std::uint8_t> bytes, std::uint32_t width, std::uint32_t height)
{
    putBigEndian(bytes, 16, width);
    putBigEndian(bytes, 20, height);
    putBigEndian(bytes, 29, static_cast<std::uint32_t>(crc32(0, &bytes[12], 17)));
    return bytes;
}

std::vector<std::uint8_t> cut(const std::vector<std::uint8_t>& bytes, std::size_t size)
{
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)};
}

TEST(PngTexture, BrokenFilesAreRefusedNamingTheFileAndWhereReadingStopped)
{
    std::mt19937 random(5);
    const TestPng source = randomTestPng(Colour::Rgba, 8, false, false, random);
    const std::vector<std::uint8_t> good = encodeTestPng(source);
    const std::size_t idat = chunkAt(good, "IDAT"), iend = chunkAt(good, "IEND");
    ASSERT_GT(idat, 0u);
    ASSERT_EQ(iend, good.size() - 12);
    const std::size_t idatEnd = iend; // IDAT is the last chunk before IEND
    std::vector<std::uint8_t> badCrc = good;
    badCrc[idatEnd - 1] ^= 0x40;
    std::vector<std::uint8_t> badColourType = good;
    badColourType[25] = 5;
    putBigEndian(badColourType, 29, static_cast<std::uint32_t>(crc32(0, &badColourType[12], 17)));

    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::string message; // after "path: "; a trailing '*' allows any rest
    } cases[] = {
        {"cut in the header", cut(good, 20), "the file ends early at byte 20, in the data of chunk IHDR"},
        {"cut in the image data", cut(good, idat + 13),
         "the file ends early at byte " + std::to_string(idat + 13) + ", in the data of chunk IDAT"},
        {"cut in a CRC", cut(good, idatEnd - 2),
         "the file ends early at byte " + std::to_string(idatEnd - 2) + ", in the CRC of chunk IDAT"},
        {"no end chunk", cut(good, iend),
         "the file ends early at byte " + std::to_string(iend) + ", in a chunk header"},
        {"CRC changed", badCrc, "bad PNG data before byte " + std::to_string(idatEnd) + " (IDAT: CRC error)"},
        {"unknown colour type", badColourType, "bad PNG data before byte 33 (*"},
        {"too many pixels", withSize(good, 8193, 8192),
         "the picture is 8193 x 8192 pixels, more than the 67108864 that are read"},
        {"too wide", withSize(good, 65536, 1),
         "the picture is 65536 x 1 pixels; sides longer than 65535 are not read"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.file("broken.png");
        writeFile(path, c.bytes);
        const kzoImageFile file = kzoReadImageFile(path);
        EXPECT_EQ(file.status, kzoImageFileStatus::Refused) << c.what;
        EXPECT_EQ(file.image.pixels, nullptr) << c.what;
        EXPECT_EQ(file.image.width * file.image.height, 0u) << c.what;
        const std::string expected = path + ": " + c.message;
        if (expected.back() == '*')
            EXPECT_EQ(file.message.substr(0, expected.size() - 1), expected.substr(0, expected.size() - 1)) << c.what;
        else
            EXPECT_EQ(file.message, expected) << c.what;
    }

    // The programs' loader stops with the same message.
    const ThrowOnFatal hook;
    const std::string path = dir.file("cut.png");
    writeFile(path, cut(good, 20));
    peltoImage image;
    try {
        LoadImage(image, path);
        ADD_FAILURE() << "a cut file loaded";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), path + ": the file ends early at byte 20, in the data of chunk IHDR");
    }
}

TEST(PngTexture, PixelBoundIsTheDecodersArgument)
{
    std::mt19937 random(9);
    const TestPng png = randomTestPng(Colour::Palette, 4, true, true, random);
    const std::vector<std::uint8_t> bytes = encodeTestPng(png);
    const std::int64_t pixels = std::int64_t{png.width} * png.height;
    kzoPngResult atBound = kzoDecodePng(bytes, pixels);
    EXPECT_EQ(atBound.failure, "");
    EXPECT_EQ(pixelsOf(atBound.image), expectedTestPngPixels(png));
    FreeImage(atBound.image);
    const kzoPngResult over = kzoDecodePng(bytes, pixels - 1);
    EXPECT_EQ(over.image.pixels, nullptr);
    EXPECT_EQ(over.failure, "the picture is " + std::to_string(png.width) + " x " + std::to_string(png.height) +
                                " pixels, more than the " + std::to_string(pixels - 1) + " that are read");
}

TEST(ImageFile, FilesThatCannotBeReadAreValuesForTheLibraryAndStopsForPrograms)
{
    ScratchDir dir;
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
    const struct {
        std::string path;
        kzoImageFileStatus status;
        int errorNumber;
        std::string message;
    } cases[] = {
        {dir.file("missing.png"), kzoImageFileStatus::Unreadable, 0, dir.file("missing.png") + ": no such file"},
        {dir.file("folder"), kzoImageFileStatus::InputOutput, EISDIR, dir.file("folder") + ": Is a directory"},
    };
    for (const auto& c : cases) {
        const kzoImageFile file = kzoReadImageFile(c.path);
        EXPECT_EQ(file.status, c.status) << c.path;
        EXPECT_EQ(file.errorNumber, c.errorNumber) << c.path;
        EXPECT_EQ(file.message, c.message);
        EXPECT_EQ(file.image.pixels, nullptr);
    }
    // A folder in the texture's place is an input/output error, as any read error.
    const std::string folder = dir.file("folder");
    const ProcessResult r = runInChild([&] {
        peltoImage image;
        LoadImage(image, folder);
        return 0;
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, folder + ": Is a directory\n");
}

} // namespace
