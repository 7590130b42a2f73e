#include "apps/shot/PngFile.hpp"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// libpng reports errors by longjmp; everything it touches is plain data here.
bool encode(std::FILE* file, const peltoImage& image, std::string& reason)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        reason = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(std::size_t{image.width} * 3);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        reason = "PNG encoding failed";
        return false;
    }
    png_init_io(png, file);
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
    return true;
}

} // namespace

bool WritePngFile(const std::string& path, const peltoImage& image, std::string& error)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        close(fd);
        std::remove(temporary.c_str());
        return false;
    }
    std::string reason;
    bool ok = encode(file, image, reason);
    if (ok && (std::fflush(file) != 0 || fsync(fileno(file)) != 0)) {
        reason = std::strerror(errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        reason = std::strerror(errno);
        ok = false;
    }
    // mkstemp makes the file private (0600); give it the mode a plain create would.
    const mode_t mask = umask(0);
    umask(mask);
    if (ok && chmod(temporary.c_str(), 0666 & ~mask) != 0) {
        reason = std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        reason = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        std::remove(temporary.c_str());
        error = path + ": " + reason;
    }
    return ok;
}
