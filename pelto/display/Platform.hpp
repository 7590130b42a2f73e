#pragma once
// The seam between the display library's own logic (Display.cpp, Input.cpp) and
// the window system: everything the logic asks of the platform, and nothing of
// the library's rules. The X11 platform (X11Platform.hpp) is the real one; the
// tests drive the logic through a fake.

#include <array>
#include <cstdint>

#include "pelto/base/Image.hpp"
#include "pelto/base/Keys.hpp"
#include "pelto/display/Keysyms.hpp"

struct peltoScreenSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Everything the window is made with; the position is already worked out.
struct peltoWindowRequest {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool fullScreen = false;
    std::int32_t videoMode = 1; // the visual depends on it (GL needs its own)
    const char* title = "";
    const char* className = "";
};

// What presentation mode videoMode sets up, for a frame of the window's size.
struct peltoPresentRequest {
    std::int32_t videoMode = 1;
    bool fullScreen = false;
    std::int32_t fullScreenBits = 32;
};

// One window-system event, reduced to what the library looks at.
enum class peltoEventKind : std::uint8_t {
    other,         // any other event of the window: keys, focus, exposure...
    motion,        // x, y: pointer position in client pixels
    buttonDown,    // button: 1 left, 2 middle, 3 right, 4 wheel away, 5 wheel towards
    buttonUp,
    closeRequest,  // the window manager's close button
    destroyed,     // the window is gone
    keymapChanged, // the server's keyboard mapping changed
    keyDown,       // keycode: the X keycode of a key pressed (or repeated)
};

struct peltoEvent {
    peltoEventKind kind = peltoEventKind::other;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t button = 0;
    std::int32_t keycode = 0;
};

// One bit per X keycode, keycode k at bit k % 8 of byte k / 8.
using peltoKeycodeBits = std::array<std::uint8_t, 32>;

class peltoPlatform {
public:
    virtual ~peltoPlatform() = default;
    // Connects to the window system; no display: FatalError "WinCreate failed".
    virtual peltoScreenSize connect() = 0;
    // Creates and shows the window and gives it the keyboard focus.
    virtual void createWindow(const peltoWindowRequest& request) = 0;
    virtual void setUpPresentation(const peltoPresentRequest& request) = 0;
    virtual void setTitle(const char* title) = 0;
    virtual void releaseContextFromThread() = 0; // GL only: detachContext
    virtual void present(const peltoImage& frame) = 0;
    // The next pending event, without waiting; false when there is none.
    virtual bool nextEvent(peltoEvent& event) = 0;
    virtual void readKeyboardMap(peltoKeyboardMap& map) = 0;
    virtual void queryKeyboard(peltoKeycodeBits& down) = 0;
    virtual std::uint64_t tickMilliseconds() = 0;
    virtual void destroyWindow() = 0;
    virtual void releasePresentation() = 0;
    virtual void disconnect() = 0;
};

// The platform OpenDisplay and the pump use; a program sets it before
// OpenDisplay (the X11 one: peltoSetPlatform(peltoX11Platform())).
void peltoSetPlatform(peltoPlatform* platform);

// The platform set; with none, a display cannot be opened: "WinCreate failed".
peltoPlatform& peltoActivePlatform();
