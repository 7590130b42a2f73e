#include "render/viewport/ViewPort.hpp"

#include <cmath>
#include <cstddef>
#if defined(__SSE2__)
#include <xmmintrin.h>
#endif
#include <new>

#include "pelto/base/Log.hpp"
#include "render/viewport/RenderScratch.hpp"

namespace {

// Writes every page of the frame with the value it holds. A frame buffer
// fresh from calloc is mapped on first write, page by page: 900 faults for
// 1280 x 720 (about 2 ms here), which would otherwise fall into the first
// frame drawn. The pixels keep their values.
void mapFramePages(const peltoImage& frame)
{
    if (!frame.pixels)
        return;
    constexpr std::size_t pixelsPerPage = 4096 / sizeof(std::uint32_t);
    volatile std::uint32_t* const pixels = frame.pixels;
    const std::size_t count = std::size_t{frame.width} * frame.height;
    for (std::size_t i = 0; i < count; i += pixelsPerPage)
        pixels[i] = pixels[i];
}

} // namespace

void kzoInitViewPort(kzoViewPort& viewPort, const peltoImage& frame)
{
    viewPort.width = frame.width;
    viewPort.height = frame.height;
    viewPort.frameImage = frame;
    viewPort.clipLeft = 0;
    viewPort.clipRight = frame.width - 1;
    viewPort.clipTop = 0;
    viewPort.clipBottom = frame.height - 1;
    viewPort.near = 0.1f;
    viewPort.far = 1000.0f;
    viewPort.centerX = static_cast<float>(static_cast<double>(frame.width) * 0.5);
    viewPort.centerY = static_cast<float>(static_cast<double>(frame.height) * 0.5);
    const auto aspect = static_cast<float>(static_cast<double>(frame.width) / static_cast<double>(frame.height));
    viewPort.projection = kzoPerspective(90.0f, aspect, viewPort.near, viewPort.far);

    const float span = viewPort.near + viewPort.far;
    const auto limit = 4 * static_cast<std::int64_t>(std::ceil(static_cast<double>(span))) - 2147483648LL;
    viewPort.depthClearLimit = static_cast<std::int32_t>(limit);
    viewPort.depthClearCounter = 0;

    try {
        viewPort.depthBuffer = kzoSharedArray<float>(std::uint64_t{frame.width} * frame.height);
        viewPort.leftSide = kzoSharedArray<kzoScreenSideType>(frame.height);
        viewPort.rightSide = kzoSharedArray<kzoScreenSideType>(frame.height);
        viewPort.scratch = std::make_shared<kzoRenderScratch>();
    } catch (const std::bad_alloc&) {
        FatalError("Unable to allocate the depth buffer");
    }
    kzoClearDepth(viewPort);
    mapFramePages(frame);
}

kzoMatrix kzoPerspective(float fieldOfView, float aspect, float near, float far)
{
    const float halfAngle = DegToRad(fieldOfView * 0.5f);
    const auto t = static_cast<float>(std::tan(static_cast<double>(halfAngle)));
    kzoMatrix m = kzoIdentity();
    m[0][0] = 1.0f / (aspect * t);
    m[1][1] = 1.0f / t;
    m[2][2] = (-far - near) / (far - near);
    m[2][3] = ((far + far) * near) / (far - near);
    m[3][2] = 1.0f;
    m[3][3] = 0.0f;
    return m;
}

void kzoStartFrame(kzoViewPort& viewPort)
{
    if (viewPort.depthClearCounter >= viewPort.depthClearLimit) {
        kzoClearDepth(viewPort);
        viewPort.depthClearCounter = 0;
        return;
    }
    // The limit is negative, so this branch never runs with the default planes.
    std::int32_t next;
    if (__builtin_add_overflow(viewPort.depthClearCounter, kzoRoundToInt(viewPort.far + viewPort.far), &next))
        FatalError("Integer overflow in the depth clear counter");
    viewPort.depthClearCounter = next;
}

void kzoClearDepth(kzoViewPort& viewPort)
{
    // near read once: a store through the buffer could otherwise be taken to
    // change it, and the loop would reload it for every entry.
    const float near = viewPort.near;
    float* depth = viewPort.depthBuffer.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Four entries per store: the clear is a quarter of a full-frame quad's frame.
    const __m128 nears = _mm_set1_ps(near);
    for (; i + 4 <= viewPort.depthBuffer.size(); i += 4)
        _mm_storeu_ps(depth + i, nears);
#endif
    for (; i < viewPort.depthBuffer.size(); ++i)
        depth[i] = near;
}

kzoVertex kzoProjectVertex(const kzoVertex& source, float centerX, float centerY)
{
    kzoVertex v = source;
    const kzoProjectedPoint p = kzoProjectPoint(source.position, source.texCoord, centerX, centerY);
    v.position = {p.x, p.y, p.vertex.depth, p.vertex.invW};
    v.texCoord = {p.vertex.uOverW, p.vertex.vOverW};
    v.screenX = p.vertex.screenX;
    v.screenY = p.vertex.screenY;
    return v;
}
