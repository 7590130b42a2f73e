// Mode 1: XPutImage of the frame. On the usual 24/32-bit little-endian TrueColor
// visual the image points straight at screen.pixels (no copy, nothing allocated
// per frame); any other visual gets a converted copy in a buffer made once.

#include <vector>

#include "pelto/x11/X11Session.hpp"

namespace {

class ImagePresenter final : public peltoX11Presenter {
public:
    explicit ImagePresenter(peltoX11Session& session) : session_(session), layout_(peltoX11PixelLayout(session))
    {
        if (!peltoIsFrameLayout(layout_)) {
            const std::size_t bytes = layout_.bitsPerPixel / 8;
            stride_ = (std::size_t{session.width} * bytes + 3) / 4 * 4;
            converted_.resize(stride_ * session.height);
        }
    }

    void present(const peltoImage& frame) override
    {
        if (!image_)
            image_ = createImage(frame);
        if (!converted_.empty())
            peltoConvertFrame(frame, layout_, converted_.data(), stride_);
        else
            image_->data = reinterpret_cast<char*>(frame.pixels);
        XPutImage(session_.display, session_.window, session_.gc, image_, 0, 0, 0, 0, frame.width, frame.height);
    }

    void release() override
    {
        if (!image_)
            return;
        image_->data = nullptr; // the pixels are screen's or converted_'s, never Xlib's to free
        XDestroyImage(image_);
        image_ = nullptr;
    }

private:
    XImage* createImage(const peltoImage& frame)
    {
        char* data = converted_.empty() ? reinterpret_cast<char*>(frame.pixels)
                                        : reinterpret_cast<char*>(converted_.data());
        const int bytesPerLine = converted_.empty() ? static_cast<int>(frame.width * 4) : static_cast<int>(stride_);
        XImage* image = XCreateImage(session_.display, session_.visual, static_cast<unsigned>(session_.depth),
                                     ZPixmap, 0, data, frame.width, frame.height, 32, bytesPerLine);
        // Converted rows are already in the server's byte order.
        if (converted_.empty())
            image->byte_order = LSBFirst;
        return image;
    }

    peltoX11Session& session_;
    const peltoPixelLayout layout_;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> converted_;
    XImage* image_ = nullptr;
};

} // namespace

peltoPixelLayout peltoX11PixelLayout(const peltoX11Session& session)
{
    peltoPixelLayout layout;
    layout.redMask = static_cast<std::uint32_t>(session.visual->red_mask);
    layout.greenMask = static_cast<std::uint32_t>(session.visual->green_mask);
    layout.blueMask = static_cast<std::uint32_t>(session.visual->blue_mask);
    layout.bitsPerPixel = 0;
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(session.display, &count);
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == session.depth)
            layout.bitsPerPixel = static_cast<std::uint32_t>(formats[i].bits_per_pixel);
    if (formats)
        XFree(formats);
    layout.msbFirst = ImageByteOrder(session.display) == MSBFirst;
    return layout;
}

peltoX11Presenter* peltoCreateImagePresenter(peltoX11Session& session)
{
    return new ImagePresenter(session);
}
