// Mode 2, shared memory: an MIT-SHM image of the frame's size. Each frame is copied into the shared segment (CopyPixels, or converted
// for another visual) and put with XShmPutImage; the next copy waits until the
// server has finished reading the segment.

#include <sys/ipc.h>
#include <sys/shm.h>

#include "pelto/base/Log.hpp"
#include "pelto/base/Pixels.hpp"
#include "pelto/x11/X11Session.hpp"
// XShm.h needs the Xlib types of X11Session.hpp first.
#include <X11/extensions/XShm.h>

namespace {

// A full-screen request names a pixel size the display must offer.
void checkFullScreenBits(Display* display, int fullScreenBits)
{
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    if (!formats)
        FatalError("Cant get ddraw modes");
    bool found = false;
    for (int i = 0; i < count; ++i)
        found = found || formats[i].bits_per_pixel == fullScreenBits;
    XFree(formats);
    if (!found)
        FatalError("mode not supported by ddraw");
}

class SharedMemoryPresenter final : public peltoX11Presenter {
public:
    explicit SharedMemoryPresenter(peltoX11Session& session)
        : session_(session), layout_(peltoX11PixelLayout(session))
    {
        Display* display = session.display;
        image_ = XShmCreateImage(display, session.visual, static_cast<unsigned>(session.depth), ZPixmap, nullptr,
                                 &segment_, session.width, session.height);
        if (!image_)
            FatalError(" - xDD.CreateSurface(xBackBuffer) failed.");
        const std::size_t bytes = static_cast<std::size_t>(image_->bytes_per_line) * session.height;
        segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (segment_.shmid < 0)
            FatalError(" - xDD.CreateSurface(xBackBuffer) failed.");
        segment_.shmaddr = image_->data = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
        segment_.readOnly = False;
        peltoBeginX11ErrorTrap();
        const bool attached = segment_.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(display, &segment_);
        const bool refused = peltoEndX11ErrorTrap() > 0;
        // Marked for removal at once: the segment goes with the last process
        // that holds it, also when the program ends through FatalError.
        shmctl(segment_.shmid, IPC_RMID, nullptr);
        if (!attached || refused)
            FatalError(" - xDD.CreateSurface(xBackBuffer) failed.");
        attached_ = true;
        session.shmCompletionType = XShmGetEventBase(display) + ShmCompletion;
        // The frame's bytes go as they are when the layout and the rows match.
        direct_ = peltoIsFrameLayout(layout_) && image_->bytes_per_line == static_cast<int>(session.width * 4)
                  && image_->byte_order == LSBFirst;
    }

    void present(const peltoImage& frame) override
    {
        waitForCompletion();
        std::uint8_t* segment = reinterpret_cast<std::uint8_t*>(image_->data);
        if (direct_)
            CopyPixels(frame.pixels, reinterpret_cast<std::uint32_t*>(segment), std::size_t{frame.width} * frame.height);
        else
            peltoConvertFrame(frame, layout_, segment, static_cast<std::size_t>(image_->bytes_per_line));
        XShmPutImage(session_.display, session_.window, session_.gc, image_, 0, 0, 0, 0, frame.width, frame.height,
                     True);
        session_.shmPending = true;
        XFlush(session_.display);
    }

    void release() override
    {
        if (!image_)
            return;
        waitForCompletion();
        if (attached_)
            XShmDetach(session_.display, &segment_);
        XSync(session_.display, False);
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
        shmdt(segment_.shmaddr);
    }

private:
    // Once the server has answered a round trip it has processed the put, so
    // its completion event (if the window still exists) is queued by then.
    void waitForCompletion()
    {
        if (!session_.shmPending)
            return;
        XSync(session_.display, False);
        XEvent event;
        while (XCheckTypedEvent(session_.display, session_.shmCompletionType, &event)) {
        }
        session_.shmPending = false;
    }

    peltoX11Session& session_;
    const peltoPixelLayout layout_;
    XShmSegmentInfo segment_{};
    XImage* image_ = nullptr;
    bool attached_ = false;
    bool direct_ = false;
};

} // namespace

peltoX11Presenter* peltoCreateSharedMemoryPresenter(peltoX11Session& session, bool fullScreen, int fullScreenBits)
{
    if (!XShmQueryExtension(session.display))
        FatalError(" - DirectDrawCreate() failed.");
    if (fullScreen)
        checkFullScreenBits(session.display, fullScreenBits);
    return new SharedMemoryPresenter(session);
}
