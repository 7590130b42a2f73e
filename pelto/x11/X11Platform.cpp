// The X11 platform: connection, window, events, keyboard state and the tick
// counter; presentation is in the Present*.cpp files.

#include "pelto/x11/X11Platform.hpp"

#include <X11/Xatom.h>
#include <cstring>
#include <ctime>
#include <memory>

#include "pelto/base/Log.hpp"
#include "pelto/x11/X11Session.hpp"

namespace {

peltoX11Session session;

struct Atoms {
    Atom protocols = 0;
    Atom deleteWindow = 0;
    Atom netWmName = 0;
    Atom utf8String = 0;
    Atom netWmState = 0;
    Atom netWmStateFullScreen = 0;
};
Atoms atoms;

// The atoms the window's protocols, title and full-screen state need, interned
// once per connection.
void internAtoms(Display* display)
{
    char* names[] = {const_cast<char*>("WM_PROTOCOLS"), const_cast<char*>("WM_DELETE_WINDOW"),
                     const_cast<char*>("_NET_WM_NAME"), const_cast<char*>("UTF8_STRING"),
                     const_cast<char*>("_NET_WM_STATE"), const_cast<char*>("_NET_WM_STATE_FULLSCREEN")};
    Atom values[6] = {};
    if (!XInternAtoms(display, names, 6, False, values))
        FatalError("WinRegister failed");
    atoms = {values[0], values[1], values[2], values[3], values[4], values[5]};
}

constexpr long eventMask = KeyPressMask | KeyReleaseMask | KeymapStateMask | FocusChangeMask
                           | PointerMotionMask | ButtonPressMask | ButtonReleaseMask
                           | EnterWindowMask | LeaveWindowMask | StructureNotifyMask | ExposureMask;

void setFixedSizeHints(const peltoWindowRequest& request)
{
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = USPosition | USSize | PMinSize | PMaxSize;
    hints->x = request.x;
    hints->y = request.y;
    hints->width = hints->min_width = hints->max_width = static_cast<int>(request.width);
    hints->height = hints->min_height = hints->max_height = static_cast<int>(request.height);
    XSetWMNormalHints(session.display, session.window, hints);
    XFree(hints);
}

void setClass(const char* className)
{
    XClassHint* hint = XAllocClassHint();
    hint->res_name = const_cast<char*>("pelto");
    hint->res_class = const_cast<char*>(className);
    XSetClassHint(session.display, session.window, hint);
    XFree(hint);
}

void setTitleProperties(const char* title)
{
    XStoreName(session.display, session.window, title);
    XChangeProperty(session.display, session.window, atoms.netWmName, atoms.utf8String, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title),
                    static_cast<int>(std::strlen(title)));
}

void chooseVisual(const peltoWindowRequest& request)
{
    Display* display = session.display;
    session.visual = DefaultVisual(display, session.screenNumber);
    session.depth = DefaultDepth(display, session.screenNumber);
    if (request.videoMode != 3)
        return;
    session.glVisual = peltoChooseGlxVisual(display, session.screenNumber);
    session.visual = session.glVisual->visual;
    session.depth = session.glVisual->depth;
}

Bool isMapNotify(Display*, XEvent* event, XPointer)
{
    return event->type == MapNotify && event->xmap.window == session.window;
}

void mapAndFocus()
{
    XMapWindow(session.display, session.window);
    XEvent mapped;
    XIfEvent(session.display, &mapped, isMapNotify, nullptr);
    // A window manager may not have made the window viewable yet: a refused
    // focus is not worth a stop.
    peltoBeginX11ErrorTrap();
    XSetInputFocus(session.display, session.window, RevertToParent, CurrentTime);
    peltoEndX11ErrorTrap();
}

class X11Platform final : public peltoPlatform {
public:
    peltoScreenSize connect() override
    {
        // No DISPLAY, or a server that does not answer.
        session.display = XOpenDisplay(nullptr);
        if (!session.display)
            FatalError("WinCreate failed");
        peltoInstallX11ErrorHandlers();
        session.screenNumber = DefaultScreen(session.display);
        internAtoms(session.display);
        return {static_cast<std::uint32_t>(DisplayWidth(session.display, session.screenNumber)),
                static_cast<std::uint32_t>(DisplayHeight(session.display, session.screenNumber))};
    }

    void createWindow(const peltoWindowRequest& request) override
    {
        Display* display = session.display;
        chooseVisual(request);
        const Window root = RootWindow(display, session.screenNumber);
        XSetWindowAttributes attributes{};
        attributes.background_pixel = WhitePixel(display, session.screenNumber);
        attributes.border_pixel = 0;
        attributes.event_mask = eventMask;
        unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask;
        if (session.visual != DefaultVisual(display, session.screenNumber)) {
            session.colormap = XCreateColormap(display, root, session.visual, AllocNone);
            attributes.colormap = session.colormap;
            mask |= CWColormap;
        }
        session.width = request.width;
        session.height = request.height;
        session.window = XCreateWindow(display, root, request.x, request.y, request.width, request.height, 0,
                                       session.depth, InputOutput, session.visual, mask, &attributes);
        if (!session.window)
            FatalError("WinCreate failed");
        setClass(request.className);
        setTitleProperties(request.title);
        setFixedSizeHints(request);
        XSetWMProtocols(display, session.window, &atoms.deleteWindow, 1);
        if (request.fullScreen)
            XChangeProperty(display, session.window, atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&atoms.netWmStateFullScreen), 1);
        XGCValues values{};
        values.graphics_exposures = False;
        session.gc = XCreateGC(display, session.window, GCGraphicsExposures, &values);
        mapAndFocus();
    }

    void setUpPresentation(const peltoPresentRequest& request) override
    {
        if (request.videoMode == 1)
            presenter_.reset(peltoCreateImagePresenter(session));
        else if (request.videoMode == 2)
            presenter_.reset(peltoCreateSharedMemoryPresenter(session, request.fullScreen, request.fullScreenBits));
        else
            presenter_.reset(peltoCreateGlxPresenter(session));
    }

    void setTitle(const char* title) override { setTitleProperties(title); }

    void releaseContextFromThread() override { presenter_->detachFromThread(); }

    void present(const peltoImage& frame) override
    {
        if (!peltoX11WindowGone())
            presenter_->present(frame);
    }

    bool nextEvent(peltoEvent& event) override
    {
        Display* display = session.display;
        while (XPending(display) > 0) {
            XEvent x;
            XNextEvent(display, &x);
            if (translate(x, event))
                return true;
        }
        if (peltoX11WindowGone() && !goneReported_) {
            goneReported_ = true;
            event = {peltoEventKind::destroyed, 0, 0, 0};
            return true;
        }
        return false;
    }

    void readKeyboardMap(peltoKeyboardMap& map) override
    {
        Display* display = session.display;
        int first = 0;
        int last = 0;
        XDisplayKeycodes(display, &first, &last);
        int perKeycode = 0;
        KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perKeycode);
        map = {};
        for (int keycode = first; keycode <= last && keycode < 256; ++keycode) {
            const KeySym* row = syms + static_cast<std::ptrdiff_t>(keycode - first) * perKeycode;
            map[keycode].level1 = perKeycode > 0 ? static_cast<std::uint32_t>(row[0]) : 0;
            map[keycode].level2 = perKeycode > 1 ? static_cast<std::uint32_t>(row[1]) : 0;
        }
        XFree(syms);
    }

    void queryKeyboard(peltoKeycodeBits& down) override
    {
        char bits[32];
        XQueryKeymap(session.display, bits);
        std::memcpy(down.data(), bits, sizeof bits);
    }

    std::uint64_t tickMilliseconds() override
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    }

    void destroyWindow() override
    {
        if (session.gc)
            XFreeGC(session.display, session.gc);
        session.gc = nullptr;
        XDestroyWindow(session.display, session.window);
        XSync(session.display, False);
    }

    void releasePresentation() override
    {
        if (presenter_)
            presenter_->release();
        presenter_.reset();
    }

    void disconnect() override
    {
        if (session.colormap)
            XFreeColormap(session.display, session.colormap);
        if (session.glVisual)
            XFree(session.glVisual);
        XCloseDisplay(session.display);
        session = {};
    }

private:
    bool translate(const XEvent& x, peltoEvent& event)
    {
        switch (x.type) {
        case MotionNotify:
            event = {peltoEventKind::motion, x.xmotion.x, x.xmotion.y, 0};
            return true;
        case ButtonPress:
        case ButtonRelease:
            event = {x.type == ButtonPress ? peltoEventKind::buttonDown : peltoEventKind::buttonUp, x.xbutton.x,
                     x.xbutton.y, static_cast<std::int32_t>(x.xbutton.button)};
            return true;
        case KeyPress:
            event = {peltoEventKind::keyDown, 0, 0, 0, static_cast<std::int32_t>(x.xkey.keycode)};
            return true;
        case ClientMessage:
            if (x.xclient.message_type == atoms.protocols
                && static_cast<Atom>(x.xclient.data.l[0]) == atoms.deleteWindow) {
                event = {peltoEventKind::closeRequest, 0, 0, 0};
                return true;
            }
            break;
        case DestroyNotify:
            if (x.xdestroywindow.window != session.window)
                return false;
            goneReported_ = true;
            event = {peltoEventKind::destroyed, 0, 0, 0};
            return true;
        case MappingNotify: {
            XMappingEvent mapping = x.xmapping;
            XRefreshKeyboardMapping(&mapping);
            event = {peltoEventKind::keymapChanged, 0, 0, 0};
            return true;
        }
        default:
            break;
        }
        // Completion events of the shared-memory path are the presenter's.
        if (x.type == session.shmCompletionType) {
            session.shmPending = false;
            return false;
        }
        if (x.type >= LASTEvent)
            return false;
        event = {peltoEventKind::other, 0, 0, 0};
        return true;
    }

    std::unique_ptr<peltoX11Presenter> presenter_;
    bool goneReported_ = false;
};

} // namespace

peltoX11Session& peltoX11()
{
    return session;
}

peltoPlatform* peltoX11Platform()
{
    static X11Platform platform;
    return &platform;
}
