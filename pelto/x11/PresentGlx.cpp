// Mode 3: GLX. A double-buffered RGBA visual with 16 depth bits, an orthographic
// projection and a pixel zoom of (1, -1) from the top-left raster position, so
// that glDrawPixels of the BGRA frame puts row 0 at the top; then a swap.

#include <GL/gl.h>
#include <GL/glx.h>

#include "pelto/base/Log.hpp"
#include "pelto/x11/X11Session.hpp"

namespace {

// An orthographic projection of left 0, right width - 1, bottom 0, top
// height - 1, with the raster position at (0, height - 1): the frame's top row
// lands on the window's top row.
void setUpView(std::uint32_t width, std::uint32_t height)
{
    const GLsizei w = static_cast<GLsizei>(width);
    const GLsizei h = static_cast<GLsizei>(height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, w - 1.0, 0.0, h - 1.0, -1.0, 1.0);
    glPixelZoom(1.0f, -1.0f);
    glRasterPos2i(0, h - 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

class GlxPresenter final : public peltoX11Presenter {
public:
    explicit GlxPresenter(peltoX11Session& session) : session_(session)
    {
        context_ = glXCreateContext(session.display, session.glVisual, nullptr, True);
        if (!context_)
            FatalError("wglCreateContext fails");
        glXMakeCurrent(session.display, session.window, context_);
        setUpView(session.width, session.height);
    }

    void detachFromThread() override
    {
        glXMakeCurrent(session_.display, None, nullptr);
        detached_ = true;
    }

    void present(const peltoImage& frame) override
    {
        // A context released at opening (detachContext) is made current again
        // before every frame; the call is cheap once it is current.
        if (detached_)
            glXMakeCurrent(session_.display, session_.window, context_);
        glDrawPixels(static_cast<GLsizei>(frame.width), static_cast<GLsizei>(frame.height), GL_BGRA,
                     GL_UNSIGNED_BYTE, frame.pixels);
        glXSwapBuffers(session_.display, session_.window);
    }

    void release() override
    {
        if (!context_)
            return;
        glXMakeCurrent(session_.display, None, nullptr);
        glXDestroyContext(session_.display, context_);
        context_ = nullptr;
    }

private:
    peltoX11Session& session_;
    GLXContext context_ = nullptr;
    bool detached_ = false;
};

} // namespace

XVisualInfo* peltoChooseGlxVisual(Display* display, int screenNumber)
{
    // Colour sizes of 1 ask for the deepest RGBA visual, as a request for 32
    // colour bits does, and a 16-bit depth buffer.
    int attributes[] = {GLX_RGBA,         GLX_DOUBLEBUFFER, GLX_RED_SIZE,   1, GLX_GREEN_SIZE, 1,
                        GLX_BLUE_SIZE,    1,                GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* visual = glXChooseVisual(display, screenNumber, attributes);
    if (!visual)
        FatalError("ChoosePixelFormat fails");
    return visual;
}

peltoX11Presenter* peltoCreateGlxPresenter(peltoX11Session& session)
{
    return new GlxPresenter(session);
}
