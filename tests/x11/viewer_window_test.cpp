// kzoView as a person uses it, under the private Xvfb of the ctest fixture:
// the bundled sample converted with kzoWrite shows exactly the frame kzoShot
// draws for it, held keys move it, a drag turns it and R brings it back, F
// fits a model too large to see, Escape, Q and the close button end the run
// with the frame-rate line, and bad files end it with their messages.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/ObjText.hpp"
#include "tests/support/Scratch.hpp"
#include "tests/x11/X11Harness.hpp"

namespace {

const std::string binaryDir = KZO_BINARY_DIR;
const std::string sourceDir = KZO_SOURCE_DIR;

void pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// A scratch folder holding the converted sample as ./test.kzo and kzoShot's
// frame of it as shot.png.
class SampleDir {
public:
    SampleDir()
    {
        const ProcessResult write = runProcess(binaryDir + "/kzoWrite",
                                               {sourceDir + "/assets/sample.obj", sourceDir + "/assets/sample.jpg"},
                                               inDirectory(dir_.path()));
        EXPECT_EQ(write.exitCode, 0) << write.out << write.err;
        const ProcessResult shot = runProcess(binaryDir + "/kzoShot", {"test.kzo", "shot.png"}, inDirectory(dir_.path()));
        EXPECT_EQ(shot.exitCode, 0) << shot.out << shot.err;
    }
    const std::string& path() const { return dir_.path(); }
    TestImage shot() const { return readPng(dir_.file("shot.png")); }

private:
    ScratchDir dir_;
};

// One viewer run in dir: started, its window found; the destructor ends it.
class ViewerRun {
public:
    ViewerRun(const std::string& dir, const std::vector<std::string>& args) : display_(fixtureDisplay())
    {
        child_ = startProcess(binaryDir + "/kzoView", args, onDisplay(dir, display_));
        window_ = waitForWindow(display_, peltoTitleRegex, 30);
        if (window_ == 0) {
            const ProcessResult r = waitProcess(child_, 0);
            ADD_FAILURE() << "no viewer window; exit " << r.exitCode << ", output:\n" << r.out << r.err;
        }
    }
    ~ViewerRun()
    {
        if (isRunning(child_))
            waitProcess(child_, 0);
    }
    const std::string& display() const { return display_; }
    unsigned long window() const { return window_; }
    // "" once the window shows expected (within 30 s), else where it differs.
    std::string differenceFrom(const TestImage& expected) const
    {
        return firstDifference(waitForPicture(display_, window_, expected, 30), expected);
    }
    ProcessResult finish() { return waitProcess(child_, 30); }

private:
    std::string display_;
    ChildProcess child_;
    unsigned long window_ = 0;
};

void expectOrderlyEnd(const ProcessResult& r)
{
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = splitLines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("ya get ", 0), 0u) << r.out;
    EXPECT_EQ(lines.back().substr(lines.back().size() - 5), " FPS!") << r.out;
}

TEST(Viewer, ShowsTheSampleExactlyAsKzoShotDrawsIt)
{
    const SampleDir sample;
    const TestImage expected = sample.shot();
    // One argument names the file; none reads ./test.kzo.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"test.kzo"}, std::vector<std::string>{}})
        EXPECT_EQ(showsPictureThenCloses(binaryDir + "/kzoView", args, sample.path(), fixtureDisplay(), expected), "")
            << args.size() << " arguments";
}

TEST(Viewer, HeldUpAndInsertMoveAndTurnTheModel)
{
    const SampleDir sample;
    const TestImage still = sample.shot();
    ViewerRun run(sample.path(), {"test.kzo"});
    ASSERT_NE(run.window(), 0u);
    ASSERT_EQ(run.differenceFrom(still), "");
    // Held for many frames: the viewer polls the key state once per frame.
    ASSERT_TRUE(xdotool(run.display(), {"keydown", "Up", "keydown", "Insert"}));
    pause(1500);
    ASSERT_TRUE(xdotool(run.display(), {"keyup", "Up", "keyup", "Insert"}));
    pause(300);
    const TestImage moved = captureWindow(run.display(), run.window());
    EXPECT_NE(firstDifference(moved, still), "") << "the picture did not change";
    pause(300);
    EXPECT_EQ(firstDifference(captureWindow(run.display(), run.window()), moved), "")
        << "the model kept moving after the keys were released";
    holdKey(run.display(), "Escape", 300);
    expectOrderlyEnd(run.finish());
}

TEST(Viewer, DragTurnsTheModelAndRBringsItBackThenATapOfQEnds)
{
    const SampleDir sample;
    const TestImage still = sample.shot();
    ViewerRun run(sample.path(), {"test.kzo"});
    ASSERT_NE(run.window(), 0u);
    ASSERT_EQ(run.differenceFrom(still), "");
    const std::string window = std::to_string(run.window());
    ASSERT_TRUE(xdotool(run.display(), {"mousemove", "--window", window, "640", "360"}));
    ASSERT_TRUE(xdotool(run.display(), {"mousedown", "1"}));
    for (int step = 0; step < 6; ++step) {
        pause(100); // motion spread over several frames
        ASSERT_TRUE(xdotool(run.display(), {"mousemove_relative", "--", "25", "-5"}));
    }
    pause(200);
    ASSERT_TRUE(xdotool(run.display(), {"mouseup", "1"}));
    pause(300);
    const TestImage turned = captureWindow(run.display(), run.window());
    EXPECT_NE(firstDifference(turned, still), "") << "the drag did not turn the model";
    // 150 pixels right is 1.5 radian: the left side (yellow) faces the eye;
    // the 30 pixels up tip its front, and the label band, up.
    int yellow = 0;
    for (std::uint32_t y = 310; y < 360; ++y)
        for (std::uint32_t x = 600; x < 680; ++x) {
            const std::uint32_t p = turned.pixels[y * turned.width + x];
            const int r = static_cast<int>(p >> 16 & 0xFF), g = static_cast<int>(p >> 8 & 0xFF), b = static_cast<int>(p & 0xFF);
            yellow += r > b + 60 && g > b + 60 ? 1 : 0;
        }
    EXPECT_GT(yellow, 2000) << "of 4000 pixels about the middle";

    holdKey(run.display(), "r", 300);
    EXPECT_EQ(run.differenceFrom(still), "") << "R did not bring the model back to where it was loaded";
    ASSERT_TRUE(xdotool(run.display(), {"key", "--delay", "0", "q"})); // pressed and released within a millisecond
    expectOrderlyEnd(run.finish());
}

// A hundred times the sample: the eye is inside it and the window stays black
// until F, which shows exactly kzoShot's --fit frame; a tap of Escape then ends.
TEST(Viewer, FBringsAModelTooLargeToSeeIntoTheFrame)
{
    ScratchDir dir;
    writeText(dir.file("big.obj"), scaledObjText(sourceDir + "/assets/sample.obj", 100));
    const std::string jpg = sourceDir + "/assets/sample.jpg";
    ASSERT_EQ(runProcess(binaryDir + "/kzoWrite", {"-o", "big.kzo", "big.obj", jpg}, inDirectory(dir.path())).exitCode, 0);
    ASSERT_EQ(runProcess(binaryDir + "/kzoShot", {"big.kzo", "start.png"}, inDirectory(dir.path())).exitCode, 0);
    ASSERT_EQ(runProcess(binaryDir + "/kzoShot", {"--fit", "big.kzo", "fit.png"}, inDirectory(dir.path())).exitCode, 0);
    const TestImage start = readPng(dir.file("start.png")), fitted = readPng(dir.file("fit.png"));
    ASSERT_NE(firstDifference(start, fitted), "");

    ViewerRun run(dir.path(), {"big.kzo"});
    ASSERT_NE(run.window(), 0u);
    ASSERT_EQ(run.differenceFrom(start), "");
    holdKey(run.display(), "f", 300);
    EXPECT_EQ(run.differenceFrom(fitted), "");
    ASSERT_TRUE(xdotool(run.display(), {"key", "--delay", "0", "Escape"}));
    expectOrderlyEnd(run.finish());
}

TEST(Viewer, EscapeAndTheCloseButtonEndTheRunWithTheFrameRate)
{
    const SampleDir sample;
    for (const bool closeButton : {false, true}) {
        ViewerRun run(sample.path(), {"test.kzo"});
        ASSERT_NE(run.window(), 0u);
        pause(800); // a frame-rate window of 500 ms has passed
        if (closeButton)
            ASSERT_TRUE(sendDeleteWindow(run.display(), run.window()));
        else
            holdKey(run.display(), "Escape", 300);
        expectOrderlyEnd(run.finish());
        EXPECT_FALSE(fileExists(sample.path() + "/logger.log"));
    }
}

TEST(Viewer, BadFilesEndTheRunWithTheirMessageAndExitOne)
{
    ScratchDir dir;
    writeText(dir.file("text.kzo"), "not a scene file at all\n");
    const std::string display = fixtureDisplay();
    const ProcessResult notScene = runProcess(binaryDir + "/kzoView", {"text.kzo"}, onDisplay(dir.path(), display));
    EXPECT_EQ(notScene.exitCode, 1);
    const std::vector<std::string> lines = splitLines(notScene.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Cant read kzo file") << notScene.out;

    const ProcessResult missing = runProcess(binaryDir + "/kzoView", {"nowhere.kzo"}, onDisplay(dir.path(), display));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("nowhere.kzo"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.out.find("Cant read kzo file"), std::string::npos) << missing.out;
}

// The video-mode probe runs the same frame step: every path shows kzoShot's frame.
TEST(Viewer, EachVideoModeShowsTheSampleAsKzoShotDrawsIt)
{
    const SampleDir sample;
    const TestImage expected = sample.shot();
    const std::string display = fixtureDisplay();
    for (const char* mode : {"1", "2", "3"})
        EXPECT_EQ(showsPictureThenCloses(binaryDir + "/tests/x11/kzo_videomode_probe", {mode, "test.kzo"},
                                         sample.path(), display, expected),
                  "")
            << "mode " << mode;
}

} // namespace
