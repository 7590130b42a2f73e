#pragma once
// The input and timing side of the display: the key-state array a program polls
// once per frame, the mouse, the quit flag, the message pump ShowFrame runs and
// the frame-rate meter with its "ya get " line. All state is the program's one
// display's, read and written on the one thread that calls ShowFrame.

#include <cstdint>

#include "pelto/base/Keys.hpp"
#include "pelto/display/Platform.hpp"

extern peltoKeyState keys;       // keys[code] is 1 while that key is down
extern bool quitRequested;       // set once by the close button or the window's end
extern std::int32_t mouseX;      // client pixels after scaling; -1 before any motion
extern std::int32_t mouseY;
extern float mouseScaleX;        // 1.0: no scaling
extern float mouseScaleY;
extern bool mouseLeft;
extern bool mouseMiddle;
extern bool mouseRight;
extern std::int32_t mouseWheel;  // -1 wheel away from the user, +1 towards, during the last pump
// What happened between two frames, gathered event by event during the last
// pump, so that nothing quicker than a frame is lost:
extern std::int32_t mouseWheelNotches; // the sum of the wheel's notches, -1 per notch away from the user
extern std::int32_t mouseDragX;  // pointer motion with the left button down, client pixels after scaling
extern std::int32_t mouseDragY;  // (+x right, +y down)
extern peltoKeyState keysPressed; // keysPressed[code] is 1 when that key was pressed, even if already released
extern std::int32_t startupFrames; // frames shown since OpenDisplay, counted up to 2
extern float fps;                // frames per second of the last measurement

// The library code of a platform virtual key (VirtualKeys.hpp); 0 when none.
std::uint8_t MapKey(std::uint8_t virtualKey);

// Reads the server's keymap into the keycode table the key scan uses.
void peltoLoadKeymap();

// Rebuilds keys from the physical keyboard: for every virtual key v from 0 to
// 255 in that order, keys[MapKey(v)] := 1 if a key of v is down, else 0.
void peltoScanKeyboard();

// Handling one event: pointer position with scaling, buttons, wheel and drag;
// a key press marks its code in keysPressed.
void peltoScanEvent(const peltoEvent& event);

// mouseWheel, the notches, the drag and keysPressed := 0, then handles every
// pending event: the close button and the window's end set quitRequested;
// every other event is scanned, and when there was one, keys is rebuilt once
// after the last (the physical state at the last event, the same as
// rebuilding it per event).
void PumpMessages();

// The second half of ShowFrame: the pump, then the start-up frames rule (the
// buttons are forced up and a drag is dropped during the first two frames
// after OpenDisplay).
void peltoAfterPump();

// The keys a program acts on once per frame: keys or keysPressed. A key held
// over several frames acts in each; a tap between two frames acts once.
peltoKeyState peltoFrameKeys();

void ResetFpsMeter();
// Once per presented frame: counts it; once 500 ms or more have passed since the
// last measurement, fps := frames x 1000 / elapsed milliseconds (single precision).
void UpdateFpsMeter();
// "ya get " + fps with two decimals + " FPS!" on standard output when fps > 0.
void ReportFps();
