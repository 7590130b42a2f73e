// kzoView as a person uses it, under the private Xvfb of the ctest fixture:
// the bundled sample converted with kzoWrite shows exactly the frame kzoShot
// draws for it, held keys move it, Escape and the close button end the run
// with the frame-rate line, and bad files end it with their messages.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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
    // One argument names the file; none or two read ./test.kzo.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"test.kzo"}, std::vector<std::string>{}, std::vector<std::string>{"x", "y"}})
        EXPECT_EQ(showsPictureThenCloses(binaryDir + "/kzoView", args, sample.path(), fixtureDisplay(), expected), "")
            << args.size() << " arguments";
}

TEST(Viewer, HeldUpAndInsertMoveAndTurnTheModel)
{
    const SampleDir sample;
    const TestImage still = sample.shot();
    ViewerRun run(sample.path(), {"test.kzo"});
    ASSERT_NE(run.window(), 0u);
    ASSERT_EQ(firstDifference(waitForPicture(run.display(), run.window(), still, 30), still), "");
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
