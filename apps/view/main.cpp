// kzoView: shows one scene file in a 1280 x 720 window; keys and the mouse move
// and turn its first object until Escape, Q or the close button; then prints
// the measured frame rate.
//   kzoView [scene.kzo]      the scene file, ./test.kzo when none is given

#include <chrono>
#include <cstdint>
#include <iostream>
#include <string>

#include "apps/cli/CommandLine.hpp"
#include "apps/viewer/FrameStep.hpp"
#include "apps/viewer/SceneRefusal.hpp"
#include "pelto/base/Log.hpp"
#include "pelto/display/Display.hpp"
#include "pelto/x11/X11Platform.hpp"
#include "scene/Scene.hpp"

namespace {

constexpr kzoProgramSyntax program = {
    "kzoView",
    "usage: kzoView [scene.kzo]\n",
    "Shows a kzo scene file (./test.kzo when none is given) in a 1280 x 720 window\n"
    "and prints the frame rate at the end. Keys and the mouse act on the scene's\n"
    "first object:\n"
    "  Up / Down          move 0.1 along +z / -z each frame the key is held\n"
    "  Left / Right       move 0.1 along +x / -x\n"
    "  Insert / Delete    turn 0.1 radian about the vertical axis, either way\n"
    "  left-button drag   turn 0.01 radian per pixel about the view's axes\n"
    "  wheel              move 0.1 along z per notch (away from you: nearer)\n"
    "  F                  fit: the whole object fills 80 % of the window height\n"
    "  R or Home          back to where it was after loading\n"
    "  Escape, Q or the window's close button   end the program\n",
    {},
};

// The calendar clock in whole milliseconds, rounded; only differences are used.
std::int64_t wallClockMilliseconds()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::round<std::chrono::milliseconds>(now).count();
}

// What the last pump gathered, as one frame's input.
kzoViewerInput frameInput()
{
    kzoViewerInput input;
    input.keys = peltoFrameKeys();
    input.dragX = mouseDragX;
    input.dragY = mouseDragY;
    input.wheelNotches = mouseWheelNotches;
    return input;
}

bool loopEnds()
{
    const peltoKeyState acting = peltoFrameKeys();
    return quitRequested || acting[peltoKeyEscape] != 0 || acting[peltoKeyQ] != 0;
}

std::string sceneArgument(int argc, char** argv)
{
    const kzoCommandLine line = kzoParseCommandLine(program, argc, argv);
    if (line.arguments.size() > 1)
        kzoUsageError(program, std::to_string(line.arguments.size()) + " scene files given; it shows one");
    return line.arguments.empty() ? "./test.kzo" : line.arguments[0];
}

} // namespace

int main(int argc, char** argv)
{
    DeleteLog();
    const std::string fileName = sceneArgument(argc, argv);
    peltoSetPlatform(peltoX11Platform());
    OpenDisplay(1280, 720, false, false);
    kzoScene scene;
    std::string reason;
    if (!kzoLoadSceneOrReason(peltoShortString(fileName), scene, screen, reason)) {
        std::cout << "Cant read kzo file" << '\n';
        std::cout.flush();
        std::cerr << "kzoView: " << reason << '\n';
        return 1;
    }
    kzoAddViewerCamera(scene);
    const kzoViewerStart start = kzoRememberStart(scene);
    const std::int64_t startTime = wallClockMilliseconds();
    do {
        const double seconds = static_cast<double>(wallClockMilliseconds() - startTime) / 1000.0;
        kzoFrameStep(scene, frameInput(), start, screen, static_cast<float>(seconds));
        ShowFrame();
    } while (!loopEnds());
    kzoFreeScene(scene);
    CloseDisplay();
    ReportFps();
    return 0;
}
