#pragma once
// What the window tests do with the private Xvfb of the ctest fixture: find
// its display, find a window by its title, capture it with xwd and decode the
// capture, drive it with xdotool (XTEST, so XQueryKeymap sees the keys) and
// press its close button.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Process.hpp"

// A capture or an expected frame: pixels 0x00RRGGBB, row 0 at the top.
struct TestImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

// Decodes an X window dump (xwd): a big-endian header, the window name, the
// colour table, then Z-pixmap rows of 16, 24 or 32 bits per pixel in the
// file's byte order. Throws std::runtime_error naming what is wrong.
TestImage decodeXwd(const std::vector<std::uint8_t>& file);

// Reads an 8-bit RGB or RGBA PNG (kzoShot's frames); throws naming the file.
TestImage readPng(const std::string& path);

// ":N" of a fixture's server ("xvfb": 24 bits, "xvfb16": 16 bits); throws
// when the fixture did not run.
std::string fixtureDisplay(const std::string& fixture = "xvfb");

// The full path of a program on PATH ("" when there is none).
std::string findProgram(const std::string& name);

// Runs in dir with DISPLAY set to display.
ProcessOptions onDisplay(const std::string& dir, const std::string& display);

// The id of the first window whose title matches the regular expression, or 0
// when none shows within timeoutSeconds.
unsigned long waitForWindow(const std::string& display, const std::string& titleRegex, int timeoutSeconds);

// xwd -id WINDOW -nobdrs: the client area.
TestImage captureWindow(const std::string& display, unsigned long window);

// Captures until the client area equals expected (24 bits per pixel compared)
// or timeoutSeconds pass; returns the last capture.
TestImage waitForPicture(const std::string& display, unsigned long window, const TestImage& expected,
                         int timeoutSeconds);

// The first pixel where a and b differ in their low 24 bits, as "x,y: a vs b";
// "" when they are equal in size and pixels.
std::string firstDifference(const TestImage& a, const TestImage& b);

// xdotool with these arguments on display; true on exit code 0.
bool xdotool(const std::string& display, const std::vector<std::string>& args);

// Holds a key (XTEST) for holdMilliseconds, long enough for several frames.
void holdKey(const std::string& display, const std::string& key, int holdMilliseconds);

// The window manager's close button: WM_PROTOCOLS / WM_DELETE_WINDOW.
bool sendDeleteWindow(const std::string& display, unsigned long window);

// Runs program with args in dir on display until its window shows expected,
// then presses the close button: "" when the picture came and the program
// ended with exit code 0 and nothing on standard error, otherwise what went wrong.
std::string showsPictureThenCloses(const std::string& program, const std::vector<std::string>& args,
                                   const std::string& dir, const std::string& display, const TestImage& expected);

// The probe or the viewer under Xvfb, as a person runs it: the title the tests
// look for, with its dots escaped for xdotool's regular expressions.
inline constexpr const char* peltoTitleRegex = "^Pelto 4\\.0\\.6a output window$";
