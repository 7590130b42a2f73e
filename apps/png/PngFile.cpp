#include "apps/png/PngFile.hpp"

#include <csetjmp>
#include <png.h>

#include "pelto/base/AtomicWrite.hpp"
#include "pelto/base/Log.hpp"

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + length);
}

void noFlush(png_structp) {}

} // namespace

std::vector<std::uint8_t> kzoEncodePng(const peltoImage& image)
{
    std::vector<std::uint8_t> bytes;
    std::vector<png_byte> row(std::size_t{image.width} * 3);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    // libpng reports errors by longjmp; everything it touches is plain data here.
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        FatalError("PNG encoding failed (out of memory)");
    }
    png_set_write_fn(png, &bytes, appendBytes, noFlush);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint32_t* pixels = image.pixels + std::size_t{y} * image.width;
        for (std::uint32_t x = 0; x < image.width; ++x) {
            row[3 * x] = static_cast<png_byte>(pixels[x] >> 16);
            row[3 * x + 1] = static_cast<png_byte>(pixels[x] >> 8);
            row[3 * x + 2] = static_cast<png_byte>(pixels[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

void kzoWritePngFile(const std::string& path, const peltoImage& image)
{
    peltoWriteFileAtomically(path, kzoEncodePng(image));
}
