#include "tests/support/RgbPng.hpp"

#include <png.h>

RgbImage readPng(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    RgbImage out;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return out;
    image.format = PNG_FORMAT_RGB;
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr))
        return {};
    out.width = image.width;
    out.height = image.height;
    return out;
}
