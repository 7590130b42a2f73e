#include "import/png/Png.hpp"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <png.h>

namespace {

// Why a decode stopped short of a picture.
enum class Stop : std::uint8_t { None, Libpng, EndedEarly, TooManyPixels, SideTooLong, NoMemory, RowLayout };

// Everything the libpng calls touch: plain data only, so that the longjmp out
// of libpng's error callback skips no destructor. The caller frees rows and,
// after a failure, the image.
struct PngRead {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t position; // bytes handed to libpng so far
    std::int64_t maxPixels;
    Stop stop;
    png_uint_32 ioState; // where libpng was reading when the bytes ran out
    png_uint_32 chunk;
    png_uint_32 width;
    png_uint_32 height;
    char libpngMessage[160];
    peltoImage image;
    png_bytep* rows;
};

void readBytes(png_structp png, png_bytep out, png_size_t count)
{
    PngRead& read = *static_cast<PngRead*>(png_get_io_ptr(png));
    if (count > read.size - read.position) {
        read.stop = Stop::EndedEarly;
        read.ioState = png_get_io_state(png) & PNG_IO_MASK_LOC;
        read.chunk = png_get_io_chunk_type(png);
        png_error(png, "the file ends early");
    }
    std::memcpy(out, read.bytes + read.position, count);
    read.position += count;
}

// libpng's errors come back here; the longjmp returns to readPng's setjmp.
// The first reason is kept: ours when one of our checks raised the error.
[[noreturn]] void keepErrorAndReturn(png_structp png, png_const_charp message)
{
    PngRead& read = *static_cast<PngRead*>(png_get_error_ptr(png));
    if (read.stop == Stop::None) {
        read.stop = Stop::Libpng;
        std::snprintf(read.libpngMessage, sizeof read.libpngMessage, "%s", message);
    }
    png_longjmp(png, 1);
}

// Warnings concern chunks that are skipped or repaired (a bad CRC in an
// ancillary chunk, extra compressed data); the picture is still exact.
void ignoreWarning(png_structp, png_const_charp) {}

[[noreturn]] void refuse(png_structp png, PngRead& read, Stop reason)
{
    read.stop = reason;
    png_error(png, "refused");
}

// Asks libpng for 8-bit R, G, B, A whatever the file stores. Only the image's
// own chunks are read: gamma, chromaticities, colour profiles, significant bits
// and text are skipped unread, so texels keep their stored values.
void requestRgba(png_structp png)
{
    png_set_strip_16(png);   // 16-bit samples keep their high byte
    png_set_expand(png);     // palette to RGB, 1/2/4-bit grey to 8 bits, tRNS to alpha
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER); // opaque where the file has no alpha
    png_set_interlace_handling(png);
}

// The one function that runs libpng under setjmp. No object with a destructor
// lives in it, and nothing set after setjmp is read after the jump except
// through read.
bool readPng(PngRead& read)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, keepErrorAndReturn, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        read.stop = Stop::NoMemory;
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &read, readBytes);
    // Our own bounds below give the messages; libpng's build-time ones must not come first.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, info);

    read.width = png_get_image_width(png, info);
    read.height = png_get_image_height(png, info);
    if (read.width > kzoPngMaxSide || read.height > kzoPngMaxSide)
        refuse(png, read, Stop::SideTooLong);
    if (static_cast<std::int64_t>(std::uint64_t{read.width} * read.height) > read.maxPixels)
        refuse(png, read, Stop::TooManyPixels);

    requestRgba(png);
    png_read_update_info(png, info);
    // The rows go straight into the pixel words: anything but 4 bytes a pixel
    // would write past them.
    if (png_get_bit_depth(png, info) != 8 || png_get_channels(png, info) != 4 ||
        png_get_rowbytes(png, info) != std::size_t{read.width} * 4)
        refuse(png, read, Stop::RowLayout);

    read.rows = static_cast<png_bytep*>(std::malloc(std::size_t{read.height} * sizeof(png_bytep)));
    if (!read.rows || !peltoTryAllocImage(read.image, read.width, read.height))
        refuse(png, read, Stop::NoMemory);
    for (std::size_t y = 0; y < read.height; ++y)
        read.rows[y] = reinterpret_cast<png_bytep>(read.image.pixels + y * read.width);
    png_read_image(png, read.rows);
    // To the end chunk: a file cut after its image data is still a cut file.
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

std::string chunkName(png_uint_32 chunk)
{
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((chunk >> shift) & 0xFF);
        name += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? c : '?';
    }
    return name;
}

std::string whereItEnded(const PngRead& read)
{
    switch (read.ioState) {
    case PNG_IO_SIGNATURE: return "in the signature";
    case PNG_IO_CHUNK_DATA: return "in the data of chunk " + chunkName(read.chunk);
    case PNG_IO_CHUNK_CRC: return "in the CRC of chunk " + chunkName(read.chunk);
    default: return "in a chunk header";
    }
}

std::string describe(const PngRead& read)
{
    const std::string size = std::to_string(read.width) + " x " + std::to_string(read.height) + " pixels";
    switch (read.stop) {
    case Stop::EndedEarly:
        return "the file ends early at byte " + std::to_string(read.size) + ", " + whereItEnded(read);
    case Stop::TooManyPixels:
        return "the picture is " + size + ", more than the " + std::to_string(read.maxPixels) + " that are read";
    case Stop::SideTooLong:
        return "the picture is " + size + "; sides longer than " + std::to_string(kzoPngMaxSide) + " are not read";
    case Stop::NoMemory:
        return "out of memory for a picture of " + size;
    case Stop::RowLayout:
        return "libpng gave an unexpected row layout";
    default:
        return "bad PNG data before byte " + std::to_string(read.position) + " (" + read.libpngMessage + ")";
    }
}

// libpng wrote R, G, B, A bytes into each pixel word; each becomes 0xAARRGGBB.
void bytesToPixelWords(peltoImage& image)
{
    const std::size_t count = std::size_t{image.width} * image.height;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.pixels);
    for (std::size_t i = 0; i < count; ++i, bytes += 4)
        image.pixels[i] = peltoRGBA(bytes[0], bytes[1], bytes[2], bytes[3]);
}

} // namespace

bool kzoIsPng(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}

kzoPngResult kzoDecodePng(std::span<const std::uint8_t> bytes, std::int64_t maxPixels)
{
    PngRead read{};
    read.bytes = bytes.data();
    read.size = bytes.size();
    read.maxPixels = std::min(maxPixels, kzoPngMaxPixels);
    const bool decoded = readPng(read);
    std::free(read.rows);
    kzoPngResult result;
    if (!decoded) {
        FreeImage(read.image);
        result.failure = describe(read);
        return result;
    }
    bytesToPixelWords(read.image);
    result.image = read.image;
    return result;
}
