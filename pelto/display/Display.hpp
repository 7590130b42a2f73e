#pragma once
// The program's one output window and its 32-bit frame buffer `screen`, drawn
// into with plain stores and shown once per frame by ShowFrame through one of
// three presentation paths (videoMode 1 image transfer, 2 shared memory, 3 GL).
// Every failure ends the program through FatalError. One thread; one display.

#include <cstdint>

#include "pelto/base/Image.hpp"
#include "pelto/display/Input.hpp"

extern peltoImage screen;            // width x height pixels 0xAARRGGBB, row 0 at the top
extern std::int32_t videoMode;       // 0: not chosen, becomes 1 in OpenDisplay
extern bool fullScreen;
extern bool detachContext;           // GL only: no context current until the first frame
extern bool centerWindow;
extern std::int32_t windowX;         // position when centerWindow is false
extern std::int32_t windowY;
extern std::int32_t fullScreenBits;  // bits per pixel full-screen mode 2 asks for

inline constexpr const char* peltoWindowClass = "PELTO";
inline constexpr const char* peltoWindowTitle = "Pelto 4.0.6a output window";

// Opens the window and the presentation path of videoMode and allocates screen
// (all 0). Sizes must be 1 to 65535 ("WinCreate failed" otherwise): the window
// system takes 16-bit sizes. A window centred on a smaller screen is moved to 0
// rather than off its left or top edge.
void OpenDisplay(std::uint32_t width, std::uint32_t height, bool fullScreenMode, bool detach);

// Presents screen and updates the frame-rate meter (both skipped once
// quitRequested is set), then pumps the window's events.
void ShowFrame();

// Destroys the window, releases the presentation path, frees screen's pixels
// (its width and height stay) and closes the connection.
void CloseDisplay();
