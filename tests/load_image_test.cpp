// LoadImage: a JPEG file into 0xAARRGGBB pixels, grey as R = G = B, a PNG
// file by its signature whatever its name, and the stops for files that are
// missing or do not decode.

#include <gtest/gtest.h>

#include <png.h>
#include <stdexcept>

#include "import/image/ImageFile.hpp"
#include "pelto/base/Image.hpp"
#include "pelto/base/Log.hpp"
#include "tests/support/JpegCompare.hpp"
#include "tests/support/Process.hpp"
#include "tests/support/Scratch.hpp"

namespace {

// The message LoadImage stopped with, or "" when it returned.
std::string stopMessage(const std::string& path)
{
    peltoSetFatalErrorHook([](const std::string& message) { throw std::runtime_error(message); });
    std::string message;
    try {
        peltoImage image;
        LoadImage(image, path);
        FreeImage(image);
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    peltoSetFatalErrorHook(nullptr);
    return message;
}

// LoadImage gives exactly the decoder's picture: each pixel the decoder's
// R G B triple, or its grey sample as R = G = B, with alpha 255, rows from the
// top-left.
void expectTheDecodersPicture(const std::string& path, std::uint32_t width, std::uint32_t height, int components,
                              bool progressive)
{
    peltoImage image;
    LoadImage(image, path);
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    const KzoDecode decoded = kzoDecode(readFile(path));
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.image.components, components);
    EXPECT_EQ(decoded.progressive, progressive);
    ASSERT_EQ(std::size_t{image.width} * image.height, std::size_t{width} * height);
    for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
        const std::uint8_t* sample = &decoded.image.pixels[i * std::size_t(components)];
        const std::uint32_t expected = components == 1 ? peltoRGBA(sample[0], sample[0], sample[0], 0xFF)
                                                       : peltoRGBA(sample[0], sample[1], sample[2], 0xFF);
        ASSERT_EQ(image.pixels[i], expected) << path << " pixel " << i;
    }
    FreeImage(image);
}

TEST(LoadImage, ColourPicturePixelByPixelWithOpaqueAlpha)
{
    expectTheDecodersPicture(sharedPath("jpeg/photo_4x2_444_q90.jpg"), 4, 2, 3, false);
}

TEST(LoadImage, GreyPictureGivesEqualRedGreenAndBlue)
{
    expectTheDecodersPicture(sharedPath("jpeg/photo_17x9_grey_q90.jpg"), 17, 9, 1, false);
}

TEST(LoadImage, FilesThatDoNotDecodeStopNamingTheFileAndTheCause)
{
    const struct {
        const char* name;
        const char* message; // after "path: "
    } cases[] = {
        {"photo_160x120_420_arithmetic.jpg", "a kind of JPEG file that is not read (unsupported: marker 0xC9 "
                                             "(arithmetic-coded frame)"},
        {"photo_160x120_cmyk_q90.jpg", "a kind of JPEG file that is not read (unsupported: component count is 4: "
                                       "a CMYK picture"},
        {"photo_160x120_420_p12_edit.jpg", "a kind of JPEG file that is not read (unsupported: sample precision "
                                           "is 12 bits"},
        {"empty.jpg", "not a valid JPEG file (syntax error: no start-of-image marker"},
        {"photo_160x120_420_truncated_scan.jpg", "not a valid JPEG file (syntax error: bits that start no Huffman code"},
    };
    for (const auto& c : cases) {
        const std::string path = sharedPath(std::string("jpeg/") + c.name);
        const std::string message = stopMessage(path);
        EXPECT_EQ(message.rfind(path + ": " + c.message, 0), 0u) << message;
    }
}

TEST(LoadImage, ProgressivePictureIsTheDecodersPicture)
{
    expectTheDecodersPicture(sharedPath("jpeg/photo_160x120_420_progressive.jpg"), 160, 120, 3, true);
}

TEST(LoadImage, PngFileNamedLikeAJpegIsReadByItsSignature)
{
    // not_a_jpeg.jpg holds a 4 x 2 RGB PNG: the JPEG decoder refuses it, the
    // loader reads it as the PNG it is.
    const std::string path = sharedPath("jpeg/not_a_jpeg.jpg");
    peltoImage image;
    LoadImage(image, path);
    ASSERT_EQ(image.width, 4u);
    ASSERT_EQ(image.height, 2u);
    // What libpng's own simple reader gives for the same file, 8-bit RGBA.
    png_image reference{};
    reference.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&reference, path.c_str()));
    reference.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(reference));
    ASSERT_TRUE(png_image_finish_read(&reference, nullptr, rgba.data(), 0, nullptr));
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(image.pixels[i], peltoRGBA(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3])) << i;
    FreeImage(image);
}

TEST(LoadImage, MissingFileStopsWithErrorLoadingFile)
{
    ScratchDir dir;
    EXPECT_EQ(stopMessage(dir.file("no-such.jpg")), "Error loading file!");
    // The real stop: the message, the two log lines, exit code 1.
    const ProcessResult r = runInChild([]() -> int {
        peltoImage image;
        LoadImage(image, "missing.jpg");
        return 0;
    }, inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error loading file!\n");
    EXPECT_EQ(readText(dir.file("logger.log")), "MESSAGE: Error loading file!\r\nError loading file!\r\n");
}

} // namespace
