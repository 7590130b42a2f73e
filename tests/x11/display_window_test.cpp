// The display library under the private Xvfb of the ctest fixture, through the
// video-mode probe: each presentation path shows the frame bit for bit, the
// window is what a person sees (title, class, place), and Escape, the close
// button and a destroyed window end the program in order.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/Scratch.hpp"
#include "tests/x11/TestPattern.hpp"
#include "tests/x11/X11Harness.hpp"

namespace {

const std::string probe = std::string(KZO_BINARY_DIR) + "/tests/x11/kzo_videomode_probe";

TestImage expectedPattern()
{
    TestImage image{1280, 720, std::vector<std::uint32_t>(1280 * 720)};
    for (std::uint32_t y = 0; y < 720; ++y)
        for (std::uint32_t x = 0; x < 1280; ++x)
            image.pixels[y * 1280 + x] = testPatternPixel(x, y) & 0xFFFFFF;
    return image;
}

// One probe run: started, its window found; the destructor makes sure it ends.
class ProbeRun {
public:
    explicit ProbeRun(std::vector<std::string> args) : display_(fixtureDisplay())
    {
        child_ = startProcess(probe, args, onDisplay(dir_.path(), display_));
        window_ = waitForWindow(display_, peltoTitleRegex, 30);
        if (window_ == 0) {
            const ProcessResult r = waitProcess(child_, 0);
            ADD_FAILURE() << "no window titled " << peltoTitleRegex << "; the program ended with " << r.exitCode
                          << ", signal " << r.signal << ", output:\n" << r.out << r.err;
        }
    }
    ~ProbeRun()
    {
        if (isRunning(child_))
            waitProcess(child_, 0);
    }
    const std::string& display() const { return display_; }
    unsigned long window() const { return window_; }
    ProcessResult finish(int timeoutSeconds = 30) { return waitProcess(child_, timeoutSeconds); }
    std::string logText() const { return fileExists(dir_.file("logger.log")) ? readText(dir_.file("logger.log")) : ""; }

private:
    ScratchDir dir_;
    std::string display_;
    ChildProcess child_;
    unsigned long window_ = 0;
};

std::string query(const std::string& display, const std::string& program, const std::vector<std::string>& args)
{
    ScratchDir dir;
    return runProcess(findProgram(program), args, onDisplay(dir.path(), display)).out;
}

class EachVideoMode : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(EachVideoMode, ShowsTheFrameBitForBitAndEndsOnEscape)
{
    ProbeRun run(GetParam());
    ASSERT_NE(run.window(), 0u) << "no window titled " << peltoTitleRegex;
    const TestImage expected = expectedPattern();
    const TestImage capture = waitForPicture(run.display(), run.window(), expected, 30);
    EXPECT_EQ(firstDifference(capture, expected), "");
    // The meter reports once a 500 ms window has passed since OpenDisplay.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    holdKey(run.display(), "Escape", 400);
    const ProcessResult r = run.finish();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0], "drawn");
    EXPECT_EQ(lines[1].rfind("ya get ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[1].substr(lines[1].size() - 5), " FPS!");
    EXPECT_EQ(run.logText(), "");
}

INSTANTIATE_TEST_SUITE_P(Modes, EachVideoMode,
                         ::testing::Values(std::vector<std::string>{"1", "pattern"},
                                           std::vector<std::string>{"2", "pattern"},
                                           std::vector<std::string>{"3", "pattern"},
                                           std::vector<std::string>{"3", "pattern", "--detach"},
                                           std::vector<std::string>{"2", "pattern", "--full"}));

TEST(Window, CarriesTheTitleAndClassAndSitsCentred)
{
    ProbeRun run({"1", "pattern"});
    ASSERT_NE(run.window(), 0u);
    const std::string id = std::to_string(run.window());
    const std::string properties = query(run.display(), "xprop", {"-id", id, "WM_CLASS", "WM_NAME", "_NET_WM_NAME"});
    EXPECT_NE(properties.find("WM_CLASS(STRING) = \"pelto\", \"PELTO\""), std::string::npos) << properties;
    EXPECT_NE(properties.find("WM_NAME(STRING) = \"Pelto 4.0.6a output window\""), std::string::npos) << properties;
    EXPECT_NE(properties.find("_NET_WM_NAME(UTF8_STRING) = \"Pelto 4.0.6a output window\""), std::string::npos)
        << properties;
    // 1920 x 1080 screen: (960 - 640, 540 - 360).
    const std::string geometry = query(run.display(), "xdotool", {"getwindowgeometry", id});
    EXPECT_NE(geometry.find("Position: 320,180"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1280x720"), std::string::npos) << geometry;
    EXPECT_TRUE(sendDeleteWindow(run.display(), run.window()));
    EXPECT_EQ(run.finish().exitCode, 0);
}

TEST(Window, FullScreenIsAtTheOriginInTheFullScreenState)
{
    ProbeRun run({"1", "pattern", "--full"});
    ASSERT_NE(run.window(), 0u);
    const std::string id = std::to_string(run.window());
    const std::string state = query(run.display(), "xprop", {"-id", id, "_NET_WM_STATE"});
    EXPECT_NE(state.find("_NET_WM_STATE_FULLSCREEN"), std::string::npos) << state;
    const std::string geometry = query(run.display(), "xdotool", {"getwindowgeometry", id});
    EXPECT_NE(geometry.find("Position: 0,0"), std::string::npos) << geometry;
    EXPECT_TRUE(sendDeleteWindow(run.display(), run.window()));
    EXPECT_EQ(run.finish().exitCode, 0);
}

TEST(Window, CloseButtonEndsTheProgramInOrder)
{
    for (const char* mode : {"1", "2", "3"}) {
        ScratchDir dir;
        EXPECT_EQ(showsPictureThenCloses(probe, {mode, "pattern"}, dir.path(), fixtureDisplay(), expectedPattern()), "")
            << "mode " << mode;
        EXPECT_FALSE(fileExists(dir.file("logger.log"))) << "mode " << mode;
    }
}

TEST(Window, ADestroyedWindowEndsTheProgramInOrder)
{
    for (const char* mode : {"1", "2"}) {
        ProbeRun run({mode, "pattern"});
        ASSERT_NE(run.window(), 0u) << "mode " << mode;
        waitForPicture(run.display(), run.window(), expectedPattern(), 30);
        ASSERT_TRUE(xdotool(run.display(), {"windowclose", std::to_string(run.window())}));
        const ProcessResult r = run.finish();
        EXPECT_EQ(r.exitCode, 0) << "mode " << mode << ": " << r.err;
        EXPECT_EQ(r.err, "") << "mode " << mode;
    }
}

TEST(Window, FullScreenRequestsTheServerCannotMeetStopWithTheirMessage)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{"1", "pattern", "--full", "--size", "2000x1000"}, "VideMode not supported!"}, // screen is 1920 x 1080
        {{"2", "pattern", "--full", "--bits", "15"}, "mode not supported by ddraw"},   // no 15-bit pixmaps
    };
    const std::string display = fixtureDisplay();
    for (const Case& c : cases) {
        ScratchDir dir;
        const ProcessResult r = runProcess(probe, c.args, onDisplay(dir.path(), display));
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_EQ(r.err, std::string(c.message) + "\n");
        EXPECT_EQ(readText(dir.file("logger.log")), std::string("MESSAGE: ") + c.message + "\r\n" + c.message + "\r\n");
    }
}

} // namespace
