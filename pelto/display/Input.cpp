#include "pelto/display/Input.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "pelto/base/Support.hpp"

peltoKeyState keys{};
bool quitRequested = false;
std::int32_t mouseX = -1;
std::int32_t mouseY = -1;
float mouseScaleX = 1.0f;
float mouseScaleY = 1.0f;
bool mouseLeft = false;
bool mouseMiddle = false;
bool mouseRight = false;
std::int32_t mouseWheel = 0;
std::int32_t mouseWheelNotches = 0;
std::int32_t mouseDragX = 0;
std::int32_t mouseDragY = 0;
peltoKeyState keysPressed{};
std::int32_t startupFrames = 0;
float fps = 0.0f;

namespace {

std::array<std::uint8_t, 256> virtualKeyOfKeycode{};
std::uint32_t frameCount = 0;
std::uint64_t lastTick = 0;
// Where the pointer was at the last press or motion of a drag (after scaling).
std::int32_t dragFromX = 0;
std::int32_t dragFromY = 0;

// A 16-bit position times a float factor, rounded ties-to-even; factors that
// leave the 32-bit range stop at its ends, a NaN factor gives 0.
std::int32_t scaled(std::int32_t position, float factor)
{
    const float product = static_cast<float>(position) * factor;
    if (product != product)
        return 0;
    if (product >= 2147483648.0f)
        return INT32_MAX;
    if (product < -2147483648.0f)
        return INT32_MIN;
    return static_cast<std::int32_t>(std::nearbyint(product));
}

// The sum stops at the ends of the 32-bit range instead of wrapping.
std::int32_t addClamped(std::int32_t sum, std::int64_t step)
{
    const std::int64_t total = std::int64_t{sum} + step;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(total, INT32_MIN, INT32_MAX));
}

// A position is taken as an unsigned 16-bit value (a window side is at most
// 65535) and scaled when a factor other than exactly 1.0 is set.
std::int32_t pointerCoordinate(std::int32_t raw, float factor)
{
    const std::int32_t position = static_cast<std::uint16_t>(raw);
    return factor != 1.0f ? scaled(position, factor) : position;
}

void setButton(std::int32_t button, bool down)
{
    if (button == 1)
        mouseLeft = down;
    else if (button == 2)
        mouseMiddle = down;
    else if (button == 3)
        mouseRight = down;
}

} // namespace

void peltoLoadKeymap()
{
    peltoKeyboardMap map{};
    peltoActivePlatform().readKeyboardMap(map);
    virtualKeyOfKeycode = peltoBuildKeycodeTable(map);
}

void peltoScanKeyboard()
{
    peltoKeycodeBits bits{};
    peltoActivePlatform().queryKeyboard(bits);
    std::array<std::uint8_t, 256> virtualDown{};
    for (std::size_t keycode = 0; keycode < 256; ++keycode)
        if ((bits[keycode / 8] >> (keycode % 8)) & 1)
            virtualDown[virtualKeyOfKeycode[keycode]] = 1;
    // Virtual key 0 is no key: an unlisted keycode that is down must not count.
    virtualDown[0] = 0;
    for (std::size_t v = 0; v < 256; ++v)
        keys[MapKey(static_cast<std::uint8_t>(v))] = virtualDown[v];
}

void peltoScanEvent(const peltoEvent& event)
{
    switch (event.kind) {
    case peltoEventKind::motion:
        mouseX = pointerCoordinate(event.x, mouseScaleX);
        mouseY = pointerCoordinate(event.y, mouseScaleY);
        if (mouseLeft) {
            mouseDragX = addClamped(mouseDragX, std::int64_t{mouseX} - dragFromX);
            mouseDragY = addClamped(mouseDragY, std::int64_t{mouseY} - dragFromY);
            dragFromX = mouseX;
            dragFromY = mouseY;
        }
        break;
    case peltoEventKind::buttonDown:
        // Button 4 is the wheel turned away from the user: -1; button 5 towards: +1.
        if (event.button == 4 || event.button == 5) {
            mouseWheel = event.button == 4 ? -1 : 1;
            mouseWheelNotches = addClamped(mouseWheelNotches, mouseWheel);
            break;
        }
        setButton(event.button, true);
        // A drag is measured from where the button went down.
        if (event.button == 1) {
            dragFromX = pointerCoordinate(event.x, mouseScaleX);
            dragFromY = pointerCoordinate(event.y, mouseScaleY);
        }
        break;
    case peltoEventKind::keyDown:
        // Code 0 carries no meaning: a key without a code of its own marks nothing.
        if (const std::uint8_t code = MapKey(virtualKeyOfKeycode[static_cast<std::uint8_t>(event.keycode)]))
            keysPressed[code] = 1;
        break;
    case peltoEventKind::buttonUp:
        setButton(event.button, false);
        break;
    default:
        break;
    }
}

void PumpMessages()
{
    peltoPlatform& platform = peltoActivePlatform();
    mouseWheel = 0;
    mouseWheelNotches = 0;
    mouseDragX = 0;
    mouseDragY = 0;
    keysPressed.fill(0);
    bool scanned = false;
    peltoEvent event;
    while (platform.nextEvent(event)) {
        if (event.kind == peltoEventKind::closeRequest || event.kind == peltoEventKind::destroyed) {
            quitRequested = true;
            continue;
        }
        if (event.kind == peltoEventKind::keymapChanged)
            peltoLoadKeymap();
        peltoScanEvent(event);
        scanned = true;
    }
    if (scanned)
        peltoScanKeyboard();
}

void peltoAfterPump()
{
    PumpMessages();
    // Once per frame, not a loop: the presses of the first two frames are dropped.
    if (startupFrames < 2) {
        mouseLeft = false;
        mouseRight = false;
        mouseMiddle = false;
        mouseDragX = 0;
        mouseDragY = 0;
        ++startupFrames;
    }
}

peltoKeyState peltoFrameKeys()
{
    peltoKeyState acting;
    for (std::size_t code = 0; code < acting.size(); ++code)
        acting[code] = keys[code] | keysPressed[code];
    return acting;
}

void ResetFpsMeter()
{
    frameCount = 0;
    lastTick = peltoActivePlatform().tickMilliseconds();
}

void UpdateFpsMeter()
{
    ++frameCount;
    const std::uint64_t now = peltoActivePlatform().tickMilliseconds();
    const std::uint64_t elapsed = now - lastTick;
    // 500 ms windows: fps is refreshed about twice a second.
    if (elapsed >= 500) {
        fps = static_cast<float>(frameCount) * 1000.0f / static_cast<float>(elapsed);
        frameCount = 0;
        lastTick = now;
    }
}

void ReportFps()
{
    if (fps > 0.0f)
        std::cout << "ya get " << FloatToStr2(fps) << " FPS!" << '\n';
}
