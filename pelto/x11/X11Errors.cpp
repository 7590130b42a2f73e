// X errors end the program through FatalError instead of Xlib's own exit, with
// the failing request named, so that they reach the log like every other stop.

#include <cstdio>
#include <string>

#include "pelto/base/Log.hpp"
#include "pelto/x11/X11Session.hpp"

namespace {

bool windowGone = false;
int trapDepth = 0;
int trappedErrors = 0;

std::string describe(Display* display, const XErrorEvent& error)
{
    char errorText[128] = "";
    XGetErrorText(display, error.error_code, errorText, sizeof errorText);
    char requestKey[32];
    std::snprintf(requestKey, sizeof requestKey, "%d", error.request_code);
    char requestName[128] = "";
    XGetErrorDatabaseText(display, "XRequest", requestKey, requestKey, requestName, sizeof requestName);
    char text[400];
    std::snprintf(text, sizeof text, "X error %s in request %s (%d.%d) on resource 0x%lx", errorText,
                  requestName, error.request_code, error.minor_code, error.resourceid);
    return text;
}

int onError(Display* display, XErrorEvent* error)
{
    if (trapDepth > 0) {
        ++trappedErrors;
        return 0;
    }
    const Window window = peltoX11().window;
    if (window != 0 && error->resourceid == window
        && (error->error_code == BadWindow || error->error_code == BadDrawable)) {
        windowGone = true;
        return 0;
    }
    FatalError(describe(display, *error));
}

int onConnectionLost(Display*)
{
    FatalError("X connection lost");
}

} // namespace

void peltoInstallX11ErrorHandlers()
{
    XSetErrorHandler(onError);
    XSetIOErrorHandler(onConnectionLost);
}

bool peltoX11WindowGone()
{
    return windowGone;
}

void peltoBeginX11ErrorTrap()
{
    if (trapDepth++ == 0)
        trappedErrors = 0;
}

int peltoEndX11ErrorTrap()
{
    XSync(peltoX11().display, False);
    --trapDepth;
    return trappedErrors;
}
