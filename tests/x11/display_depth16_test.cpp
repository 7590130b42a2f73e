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
        ChildProcess child = startProcess(probe, {mode, "pattern"}, onDisplay(dir.path(), display));
        const unsigned long window = waitForWindow(display, peltoTitleRegex, 30);
        ASSERT_NE(window, 0u) << "mode " << mode;
        const TestImage capture = waitForPicture(display, window, expected, 30);
        EXPECT_EQ(firstDifference(capture, expected), "") << "mode " << mode;
        ASSERT_TRUE(sendDeleteWindow(display, window));
        const ProcessResult r = waitProcess(child, 30);
        EXPECT_EQ(r.exitCode, 0) << "mode " << mode << ": " << r.err;
    }
}

} // namespace
