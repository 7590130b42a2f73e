// kzoView: shows one scene file in a 1280 x 720 window and lets six keys move
// and turn its first object (Up/Down/Left/Right, Insert/Delete) until Escape or
// the close button; then prints the measured frame rate.
//   kzoView [scene.kzo]      one argument is the scene file, otherwise ./test.kzo

#include <chrono>
#include <cstdint>
#include <iostream>
#include <string>

#include "fileio/FileImport.hpp"
#include "pelto/Display.hpp"
#include "pelto/Log.hpp"
#include "pelto/X11Platform.hpp"
#include "render/FrameStep.hpp"
#include "scene/Scene.hpp"

namespace {

// The calendar clock in whole milliseconds, rounded; only differences are used.
std::int64_t wallClockMilliseconds()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::round<std::chrono::milliseconds>(now).count();
}

bool loopEnds()
{
    return quitRequested || keys[peltoKeyEscape] != 0;
}

} // namespace

int main(int argc, char** argv)
{
    DeleteLog();
    peltoSetPlatform(peltoX11Platform());
    OpenDisplay(1280, 720, false, false);
    const std::string fileName = argc == 2 ? argv[1] : "./test.kzo";
    kzoScene scene;
    if (const kzoSceneLoad loaded = LoadScene(ShortString(fileName), scene, screen); !loaded) {
        if (loaded.fault != kzoSceneFault::Malformed)
            StopWith(*loaded.failure); // unreadable file or texture: as the loaders always stopped
        std::cout << "Cant read kzo file" << '\n';
        return 1;
    }
    kzoAddViewerCamera(scene);
    const std::int64_t startTime = wallClockMilliseconds();
    do {
        const double seconds = static_cast<double>(wallClockMilliseconds() - startTime) / 1000.0;
        kzoFrameStep(scene, keys, screen, static_cast<float>(seconds));
        ShowFrame();
    } while (!loopEnds());
    kzoFreeScene(scene);
    CloseDisplay();
    ReportFps();
    return 0;
}
