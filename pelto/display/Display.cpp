#include "pelto/display/Display.hpp"

#include <algorithm>

#include "pelto/base/Log.hpp"

peltoImage screen;
std::int32_t videoMode = 0;
bool fullScreen = false;
bool detachContext = false;
bool centerWindow = true;
std::int32_t windowX = 0;
std::int32_t windowY = 0;
std::int32_t fullScreenBits = 32;

namespace {

constexpr std::uint32_t largestWindowSide = 65535;

std::int32_t centred(std::uint32_t screenSide, std::uint32_t windowSide)
{
    const std::int64_t offset = std::int64_t{screenSide / 2} - std::int64_t{windowSide / 2};
    return static_cast<std::int32_t>(std::max<std::int64_t>(offset, 0));
}

// Connects, checks the sizes and creates the window where it belongs. Full
// screen switches no display mode: the screen must already be large enough.
void openWindow(peltoPlatform& platform, std::uint32_t width, std::uint32_t height)
{
    if (width == 0 || height == 0 || width > largestWindowSide || height > largestWindowSide)
        FatalError("WinCreate failed");
    const peltoScreenSize screenSize = platform.connect();
    if (fullScreen && (screenSize.width < width || screenSize.height < height))
        FatalError("VideMode not supported!");
    peltoWindowRequest request;
    request.width = width;
    request.height = height;
    if (!fullScreen) {
        request.x = centerWindow ? centred(screenSize.width, width) : windowX;
        request.y = centerWindow ? centred(screenSize.height, height) : windowY;
    }
    request.fullScreen = fullScreen;
    request.videoMode = videoMode;
    request.title = peltoWindowTitle;
    request.className = peltoWindowClass;
    platform.createWindow(request);
    peltoLoadKeymap();
}

} // namespace

void OpenDisplay(std::uint32_t width, std::uint32_t height, bool fullScreenMode, bool detach)
{
    fullScreen = fullScreenMode;
    detachContext = detach;
    if (videoMode == 0)
        videoMode = 1;
    if (videoMode < 1 || videoMode > 3)
        FatalError("Unsupported Device");
    AllocImage(screen, width, height);
    peltoPlatform& platform = peltoActivePlatform();
    openWindow(platform, width, height);
    platform.setUpPresentation({videoMode, fullScreen, fullScreenBits});
    ResetFpsMeter();
    platform.setTitle(peltoWindowTitle);
    if (videoMode == 3 && detachContext)
        platform.releaseContextFromThread();
    ResetFpsMeter();
    startupFrames = 0;
}

void ShowFrame()
{
    if (!quitRequested) {
        peltoActivePlatform().present(screen);
        UpdateFpsMeter();
    }
    peltoAfterPump();
}

void CloseDisplay()
{
    peltoPlatform& platform = peltoActivePlatform();
    // Full screen never changed the display mode, so there is nothing to restore.
    platform.destroyWindow();
    platform.releasePresentation();
    FreeImage(screen);
    platform.disconnect();
}
