#pragma once
// What the X11 platform's files share: the connection, the window and the X
// error handling. Included only by the X11 files of pelto.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "pelto/base/Image.hpp"
#include "pelto/display/PixelLayout.hpp"

struct peltoX11Session {
    Display* display = nullptr;
    int screenNumber = 0;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    Colormap colormap = 0; // created for a visual other than the default one
    GC gc = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    XVisualInfo* glVisual = nullptr; // mode 3: chosen before the window exists
    int shmCompletionType = -1;      // mode 2: the event type of a finished XShmPutImage
    bool shmPending = false;         // mode 2: a put whose completion has not been seen
};

// The one session of the process (one display per program).
peltoX11Session& peltoX11();

// Errors end the program through FatalError naming the failing request, except
// BadWindow or BadDrawable on our own window: that means the window was
// destroyed behind our back, which the pump then reports as its end.
void peltoInstallX11ErrorHandlers();
bool peltoX11WindowGone();

// Runs requests whose failure the caller handles itself: errors raised between
// begin and end are counted instead of being fatal. end() syncs first.
void peltoBeginX11ErrorTrap();
int peltoEndX11ErrorTrap();

// How the server wants pixels of the window's visual laid out in an image.
peltoPixelLayout peltoX11PixelLayout(const peltoX11Session& session);

// The presentation paths of the three video modes.
class peltoX11Presenter {
public:
    virtual ~peltoX11Presenter() = default;
    virtual void present(const peltoImage& frame) = 0;
    virtual void release() = 0;
    virtual void detachFromThread() {} // GL only
};
peltoX11Presenter* peltoCreateImagePresenter(peltoX11Session& session);                       // mode 1
peltoX11Presenter* peltoCreateSharedMemoryPresenter(peltoX11Session& session, bool fullScreen,
                                                     int fullScreenBits);                    // mode 2
peltoX11Presenter* peltoCreateGlxPresenter(peltoX11Session& session);                        // mode 3
XVisualInfo* peltoChooseGlxVisual(Display* display, int screenNumber);
