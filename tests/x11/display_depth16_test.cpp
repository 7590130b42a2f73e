// A 16-bit server: the frame's bytes do not fit its visual, so modes 1 and 2
// convert each frame into a 5-6-5 image made once; the window must show the
// frame reduced to those bits, pixel for pixel.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/Scratch.hpp"
#include "tests/x11/TestPattern.hpp"
#include "tests/x11/X11Harness.hpp"

namespace {

const std::string probe = std::string(KZO_BINARY_DIR) + "/tests/x11/kzo_videomode_probe";

// A channel cut to its top bits, then widened again as xwd's reader does.
std::uint32_t reduced(std::uint32_t value, int bits)
{
    const std::uint32_t top = value >> (8 - bits);
    return ((top << (8 - bits)) | (top >> (2 * bits - 8))) & 0xFF;
}

TestImage expectedAt565()
{
    TestImage image{1280, 720, std::vector<std::uint32_t>(1280 * 720)};
    for (std::uint32_t y = 0; y < 720; ++y)
        for (std::uint32_t x = 0; x < 1280; ++x) {
            const std::uint32_t p = testPatternPixel(x, y);
            image.pixels[y * 1280 + x] =
                (reduced((p >> 16) & 0xFF, 5) << 16) | (reduced((p >> 8) & 0xFF, 6) << 8) | reduced(p & 0xFF, 5);
        }
    return image;
}

TEST(Depth16, ModesOneAndTwoShowTheFrameReducedTo565)
{
    const std::string display = fixtureDisplay("xvfb16");
    const TestImage expected = expectedAt565();
    for (const char* mode : {"1", "2"}) {
        ScratchDir dir;
        EXPECT_EQ(showsPictureThenCloses(probe, {mode, "pattern"}, dir.path(), display, expected), "") << "mode " << mode;
    }
}

} // namespace
