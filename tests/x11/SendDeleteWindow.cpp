// Presses a window's close button the way a window manager does: the
// WM_PROTOCOLS client message with WM_DELETE_WINDOW (xdotool windowclose
// destroys the window instead). DISPLAY names the server.
//   kzo_send_delete_window WINDOW_ID

#include <X11/Xlib.h>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: kzo_send_delete_window WINDOW_ID\n";
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::cerr << "kzo_send_delete_window: cannot open the display\n";
        return 1;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
