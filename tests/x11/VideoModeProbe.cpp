// The video-mode test program: presents through the mode given, the way a
// program that sets videoMode before OpenDisplay would.
//   kzo_videomode_probe MODE pattern|SCENE.kzo [--frames N] [--hold SECONDS] [--full]
//                       [--detach] [--bits N] [--size WxH]
// Draws N frames (default 3) of the test pattern, or of the scene through the
// frame step the viewer and kzoShot share (no keys held), then keeps presenting
// the last frame until Escape, the close button or SECONDS (default 30) end it,
// closes the display and prints the "ya get " line. --hold 0 makes it a
// benchmark: N frames drawn and presented, nothing else.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "apps/viewer/FrameStep.hpp"
#include "fileio/FileImport.hpp"
#include "pelto/base/Log.hpp"
#include "pelto/base/Pixels.hpp"
#include "pelto/display/Display.hpp"
#include "pelto/x11/X11Platform.hpp"
#include "tests/x11/TestPattern.hpp"

namespace {

struct Options {
    int mode = 1;
    std::string source;
    int frames = 3;
    double holdSeconds = 30;
    bool full = false;
    bool detach = false;
    int bits = 32;
    std::uint32_t width = 1280;
    std::uint32_t height = 720;
};

Options parse(int argc, char** argv)
{
    Options options;
    if (argc < 3) {
        std::cerr << "usage: kzo_videomode_probe MODE pattern [--frames N] [--hold SECONDS] [--full] [--detach]"
                     " [--bits N] [--size WxH]\n";
        std::exit(2);
    }
    options.mode = std::atoi(argv[1]);
    options.source = argv[2];
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc)
            options.frames = std::atoi(argv[++i]);
        else if (arg == "--hold" && i + 1 < argc)
            options.holdSeconds = std::atof(argv[++i]);
        else if (arg == "--full")
            options.full = true;
        else if (arg == "--detach")
            options.detach = true;
        else if (arg == "--bits" && i + 1 < argc)
            options.bits = std::atoi(argv[++i]);
        else if (arg == "--size" && i + 1 < argc && std::sscanf(argv[++i], "%ux%u", &options.width, &options.height) != 2)
            std::exit(2);
    }
    return options;
}

void drawPattern()
{
    FillPixels(screen.pixels, std::size_t{screen.width} * screen.height, 0);
    for (std::uint32_t y = 0; y < screen.height; ++y)
        for (std::uint32_t x = 0; x < screen.width; ++x)
            screen.pixels[std::size_t{y} * screen.width + x] = testPatternPixel(x, y);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool ended()
{
    return quitRequested || keys[peltoKeyEscape] != 0;
}

} // namespace

int main(int argc, char** argv)
{
    DeleteLog();
    const Options options = parse(argc, argv);
    peltoSetPlatform(peltoX11Platform());
    videoMode = options.mode;
    fullScreenBits = options.bits;
    OpenDisplay(options.width, options.height, options.full, options.detach);
    const bool pattern = options.source == "pattern";
    kzoScene scene;
    if (!pattern) {
        if (const kzoSceneLoad loaded = LoadScene(peltoShortString(options.source), scene, screen); !loaded) {
            if (loaded.fault != kzoSceneFault::Malformed)
                peltoStopWith(*loaded.failure);
            std::cout << "Cant read kzo file" << std::endl;
            return 1;
        }
        kzoAddViewerCamera(scene);
    }
    const auto start = std::chrono::steady_clock::now();
    const peltoKeyState noKeys{};
    for (int frame = 0; frame < options.frames && !ended(); ++frame) {
        if (pattern)
            drawPattern();
        else
            kzoFrameStep(scene, noKeys, screen, static_cast<float>(secondsSince(start)));
        ShowFrame();
    }
    std::cout << "drawn" << std::endl;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.holdSeconds);
    while (!ended() && std::chrono::steady_clock::now() < end) {
        // Nothing changes any more: a few frames a second keep the window
        // current without taking the machine's cores from the other tests.
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        ShowFrame();
    }
    if (!pattern)
        kzoFreeScene(scene);
    CloseDisplay();
    ReportFps();
    return 0;
}
