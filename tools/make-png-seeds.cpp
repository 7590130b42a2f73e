// Writes the PNG fuzz target's seeds: one small file for each colour type and
// bit depth, some interlaced, some with tRNS, from the tests' PNG writer.
// Standalone on purpose: tools/make-png-seeds.sh builds and runs it by hand.
//
//   make-png-seeds OUT-FOLDER

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/TestPng.hpp"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "make-png-seeds OUT-FOLDER\n");
        return 2;
    }
    const struct {
        const char* name;
        TestPngColour colour;
        int bitDepth;
        bool interlaced, transparency;
    } seeds[] = {
        {"grey1", TestPngColour::Grey, 1, false, false},
        {"grey2_interlaced", TestPngColour::Grey, 2, true, false},
        {"grey4_trns", TestPngColour::Grey, 4, false, true},
        {"grey8", TestPngColour::Grey, 8, false, false},
        {"grey16_trns_interlaced", TestPngColour::Grey, 16, true, true},
        {"grey_alpha8_interlaced", TestPngColour::GreyAlpha, 8, true, false},
        {"grey_alpha16", TestPngColour::GreyAlpha, 16, false, false},
        {"rgb8_trns", TestPngColour::Rgb, 8, false, true},
        {"rgb16_interlaced", TestPngColour::Rgb, 16, true, false},
        {"rgba8_interlaced", TestPngColour::Rgba, 8, true, false},
        {"rgba16", TestPngColour::Rgba, 16, false, false},
        {"palette1", TestPngColour::Palette, 1, false, false},
        {"palette2_trns", TestPngColour::Palette, 2, false, true},
        {"palette4_interlaced", TestPngColour::Palette, 4, true, false},
        {"palette8_trns_interlaced", TestPngColour::Palette, 8, true, true},
    };
    std::mt19937 random(2024);
    for (const auto& seed : seeds) {
        const TestPng png = randomTestPng(seed.colour, seed.bitDepth, seed.interlaced, seed.transparency, random);
        const std::vector<std::uint8_t> bytes = encodeTestPng(png);
        std::ofstream out(std::string(argv[1]) + "/" + seed.name + ".png", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (bytes.empty() || !out) {
            std::fprintf(stderr, "make-png-seeds: cannot write %s\n", seed.name);
            return 1;
        }
    }
    return 0;
}
