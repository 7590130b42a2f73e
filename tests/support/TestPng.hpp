#pragma once
// PNG files of every colour type and bit depth, written with libpng from plain
// samples, and the 0xAARRGGBB pixels a reader must give for them, worked out
// from the samples alone: 16-bit samples keep their high byte, 1/2/4-bit grey
// scales to 0..255, tRNS makes its colour (all 16 bits of it) transparent.
// Every file carries gAMA 1.0 and a small sBIT, which a reader must ignore.

#include <cstdint>
#include <random>
#include <vector>

// The file's colour type codes.
enum class TestPngColour : std::uint8_t { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

struct TestPng {
    TestPngColour colour = TestPngColour::Rgb;
    int bitDepth = 8;
    bool interlaced = false;
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint16_t> samples;     // width x height x channels, rows top first
    std::vector<std::uint32_t> palette;     // 0xRRGGBB entries
    std::vector<std::uint8_t> paletteAlpha; // tRNS of a palette: alpha of its first entries
    std::vector<std::uint16_t> transparent; // tRNS of grey (one sample) or RGB (three)
};

int testPngChannels(TestPngColour colour);

// Random samples in a random small shape (1 to 23 x 1 to 11). With
// transparency a palette gets a tRNS shorter than or as long as itself; grey
// and RGB get a transparent colour that a quarter of the pixels have, and at
// 16 bits a pixel that differs from it only in the low byte (it stays opaque).
TestPng randomTestPng(TestPngColour colour, int bitDepth, bool interlaced, bool transparency, std::mt19937& random);

// The file's bytes; empty if libpng refused the description.
std::vector<std::uint8_t> encodeTestPng(const TestPng& png);

std::vector<std::uint32_t> expectedTestPngPixels(const TestPng& png);
