#include "tests/support/TestPng.hpp"

#include <algorithm>
#include <csetjmp>
#include <png.h>

namespace {

std::uint32_t maxSample(int bitDepth)
{
    return (1u << bitDepth) - 1;
}

std::uint8_t to8Bits(std::uint16_t sample, int bitDepth)
{
    if (bitDepth == 16)
        return static_cast<std::uint8_t>(sample >> 8);
    return static_cast<std::uint8_t>(sample * 255u / maxSample(bitDepth));
}

std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

// One row in the file's packing: samples below 8 bits fill bytes from the top
// bit down, 16-bit samples are big-endian.
std::vector<png_byte> packRow(const TestPng& png, std::uint32_t y)
{
    const std::size_t count = std::size_t{png.width} * testPngChannels(png.colour);
    const std::uint16_t* samples = &png.samples[y * count];
    std::vector<png_byte> row((count * png.bitDepth + 7) / 8, 0);
    for (std::size_t i = 0; i < count; ++i) {
        if (png.bitDepth == 16) {
            row[2 * i] = static_cast<png_byte>(samples[i] >> 8);
            row[2 * i + 1] = static_cast<png_byte>(samples[i]);
        } else {
            const std::size_t bit = i * png.bitDepth;
            row[bit / 8] |= static_cast<png_byte>(samples[i] << (8 - png.bitDepth - bit % 8));
        }
    }
    return row;
}

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + length);
}

void noFlush(png_structp) {}

// The libpng calls under setjmp: nothing with a destructor is created here.
bool writePng(const TestPng& t, png_bytepp rows, const png_color* palette, const png_byte* paletteAlpha,
              std::vector<std::uint8_t>* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendBytes, noFlush);
    png_set_IHDR(png, info, t.width, t.height, t.bitDepth, static_cast<int>(t.colour),
                 t.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_gAMA(png, info, 1.0);
    const png_byte significant = static_cast<png_byte>(t.colour == TestPngColour::Palette ? 4 : (t.bitDepth + 1) / 2);
    png_color_8 sigBit{significant, significant, significant, significant, significant};
    png_set_sBIT(png, info, &sigBit);
    if (t.colour == TestPngColour::Palette)
        png_set_PLTE(png, info, palette, static_cast<int>(t.palette.size()));
    png_color_16 transparent{};
    if (!t.paletteAlpha.empty())
        png_set_tRNS(png, info, paletteAlpha, static_cast<int>(t.paletteAlpha.size()), nullptr);
    if (t.transparent.size() == 1)
        transparent.gray = t.transparent[0];
    if (t.transparent.size() == 3) {
        transparent.red = t.transparent[0];
        transparent.green = t.transparent[1];
        transparent.blue = t.transparent[2];
    }
    if (!t.transparent.empty())
        png_set_tRNS(png, info, nullptr, 0, &transparent);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

int testPngChannels(TestPngColour colour)
{
    switch (colour) {
    case TestPngColour::Rgb: return 3;
    case TestPngColour::GreyAlpha: return 2;
    case TestPngColour::Rgba: return 4;
    default: return 1;
    }
}

TestPng randomTestPng(TestPngColour colour, int bitDepth, bool interlaced, bool transparency, std::mt19937& random)
{
    TestPng t;
    t.colour = colour;
    t.bitDepth = bitDepth;
    t.interlaced = interlaced;
    t.width = 1 + random() % 23;
    t.height = 1 + random() % 11;
    const std::size_t channels = static_cast<std::size_t>(testPngChannels(colour));
    const std::size_t pixels = std::size_t{t.width} * t.height;
    std::uint32_t limit = maxSample(bitDepth) + 1;
    if (colour == TestPngColour::Palette) {
        t.palette.resize(1 + random() % limit);
        for (std::uint32_t& entry : t.palette)
            entry = random() & 0xFFFFFF;
        limit = static_cast<std::uint32_t>(t.palette.size());
        if (transparency)
            for (std::size_t i = 1 + random() % t.palette.size(); i > 0; --i)
                t.paletteAlpha.push_back(static_cast<std::uint8_t>(random()));
    }
    t.samples.resize(pixels * channels);
    for (std::uint16_t& sample : t.samples)
        sample = static_cast<std::uint16_t>(random() % limit);
    if (transparency && (colour == TestPngColour::Grey || colour == TestPngColour::Rgb)) {
        t.transparent.assign(t.samples.begin(), t.samples.begin() + static_cast<std::ptrdiff_t>(channels));
        for (std::size_t p = 1; p < pixels; ++p)
            if (random() % 4 == 0)
                std::copy(t.transparent.begin(), t.transparent.end(), t.samples.begin() + static_cast<std::ptrdiff_t>(p * channels));
        if (bitDepth == 16 && pixels > 1) {
            std::copy(t.transparent.begin(), t.transparent.end(), t.samples.end() - static_cast<std::ptrdiff_t>(channels));
            t.samples[t.samples.size() - 1] ^= 1;
        }
    }
    return t;
}

std::vector<std::uint8_t> encodeTestPng(const TestPng& t)
{
    std::vector<std::vector<png_byte>> packed;
    std::vector<png_bytep> rows;
    for (std::uint32_t y = 0; y < t.height; ++y)
        packed.push_back(packRow(t, y));
    for (auto& row : packed)
        rows.push_back(row.data());
    std::vector<png_color> palette;
    for (const std::uint32_t entry : t.palette)
        palette.push_back({static_cast<png_byte>(entry >> 16), static_cast<png_byte>(entry >> 8),
                           static_cast<png_byte>(entry)});
    std::vector<std::uint8_t> bytes;
    if (!writePng(t, rows.data(), palette.data(), t.paletteAlpha.data(), &bytes))
        return {};
    return bytes;
}

std::vector<std::uint32_t> expectedTestPngPixels(const TestPng& t)
{
    const std::size_t channels = static_cast<std::size_t>(testPngChannels(t.colour));
    std::vector<std::uint32_t> pixels;
    for (std::size_t i = 0; i < t.samples.size(); i += channels) {
        const std::uint16_t* s = &t.samples[i];
        const bool keyed = !t.transparent.empty() && std::equal(t.transparent.begin(), t.transparent.end(), s);
        const std::uint32_t keyAlpha = keyed ? 0 : 255;
        const auto v = [&](std::size_t c) -> std::uint32_t { return to8Bits(s[c], t.bitDepth); };
        switch (t.colour) {
        case TestPngColour::Grey: pixels.push_back(argb(keyAlpha, v(0), v(0), v(0))); break;
        case TestPngColour::GreyAlpha: pixels.push_back(argb(v(1), v(0), v(0), v(0))); break;
        case TestPngColour::Rgb: pixels.push_back(argb(keyAlpha, v(0), v(1), v(2))); break;
        case TestPngColour::Rgba: pixels.push_back(argb(v(3), v(0), v(1), v(2))); break;
        case TestPngColour::Palette: {
            const std::uint32_t alpha = s[0] < t.paletteAlpha.size() ? t.paletteAlpha[s[0]] : 255;
            pixels.push_back(alpha << 24 | t.palette[s[0]]);
            break;
        }
        }
    }
    return pixels;
}
