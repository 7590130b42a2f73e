#include "render/pipeline/Fill.hpp"

namespace {

// Both walks start at the topmost vertex (the first of the lowest screenY)
// and end at the bottommost (the first of the largest): forwards into the left
// table, backwards into the right one.
void walkSides(const kzoScreenVertex* const* v, int n, const kzoViewPort& viewPort, const kzoEdgeWalk walkEdge,
               int& top, int& bottom)
{
    top = 0;
    bottom = 0;
    for (int i = 1; i < n; ++i) {
        if (v[i]->screenY < v[top]->screenY)
            top = i;
        if (v[i]->screenY > v[bottom]->screenY)
            bottom = i;
    }
    const std::int64_t frameWidth = viewPort.frameImage.width;
    for (int a = top; a != bottom;) {
        const int b = a + 1 == n ? 0 : a + 1;
        walkEdge(viewPort.leftSide.data(), *v[a], *v[b], frameWidth);
        a = b;
    }
    for (int a = top; a != bottom;) {
        const int b = a == 0 ? n - 1 : a - 1;
        walkEdge(viewPort.rightSide.data(), *v[a], *v[b], frameWidth);
        a = b;
    }
}

// The fill may only index what the viewport holds: every vertex inside the
// clip rectangle and the frame, and buffers of the frame's size.
bool fillable(const kzoScreenVertex* const* v, int n, const kzoViewPort& viewPort)
{
    const peltoImage& frame = viewPort.frameImage;
    if (n < 1 || n > kzoPolySlots || !kzoHasPixels(frame))
        return false;
    if (viewPort.depthBuffer.size() != std::uint64_t{frame.width} * frame.height
        || viewPort.leftSide.size() < frame.height || viewPort.rightSide.size() < frame.height)
        return false;
    for (int i = 0; i < n; ++i) {
        if (v[i]->screenX < 0 || v[i]->screenY < 0 || static_cast<std::uint32_t>(v[i]->screenX) >= frame.width
            || static_cast<std::uint32_t>(v[i]->screenY) >= frame.height
            || static_cast<std::uint32_t>(v[i]->screenX) < viewPort.clipLeft
            || static_cast<std::uint32_t>(v[i]->screenX) > viewPort.clipRight
            || static_cast<std::uint32_t>(v[i]->screenY) < viewPort.clipTop
            || static_cast<std::uint32_t>(v[i]->screenY) > viewPort.clipBottom)
            return false;
    }
    return true;
}

// The depth-clear counter is added to both sides of the depth test. It is 0
// with the default planes, where the row kernels' plain comparison is the same
// test; any other value takes this row loop.
void biasedRow(const kzoScreenSideType& left, const kzoScreenSideType& right, const kzoSurface& surface,
               const kzoViewPort& viewPort)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    const auto pixels = static_cast<float>(n);
    const float depthStep = (right.depth - left.depth) / pixels;
    const float invWStep = (right.invW - left.invW) / pixels;
    const float uStep = (right.uOverW - left.uOverW) / pixels;
    const float vStep = (right.vOverW - left.vOverW) / pixels;
    float depth = left.depth, invW = left.invW, u = left.uOverW, v = left.vOverW;
    float* const depthBuffer = viewPort.depthBuffer.data();
    std::uint32_t* const frame = viewPort.frameImage.pixels;
    const auto bias = static_cast<float>(viewPort.depthClearCounter);
    const kzoTexels texels = surface.texture ? kzoTexelsOf(*surface.texture) : kzoTexels{};
    for (std::int32_t i = left.offset; i < right.offset; ++i) {
        if (depth + bias > depthBuffer[i] + bias) {
            frame[i] = surface.texture ? kzoTexelAt(texels, invW, u, v) : surface.colour;
            depthBuffer[i] = depth;
        }
        depth += depthStep;
        invW += invWStep;
        u += uStep;
        v += vStep;
    }
}

void fill(const kzoScreenVertex* const* v, int n, const kzoSurface& surface, const kzoViewPort& viewPort,
          const kzoRowKernels& rows)
{
    if (!fillable(v, n, viewPort))
        return;
    int top, bottom;
    walkSides(v, n, viewPort, rows.edge, top, bottom);
    const std::int32_t firstRow = v[top]->screenY;
    const std::int32_t endRow = v[bottom]->screenY;
    const kzoScreenSideType* left = viewPort.leftSide.data();
    const kzoScreenSideType* right = viewPort.rightSide.data();
    const std::int32_t frameEnd = static_cast<std::int32_t>(viewPort.depthBuffer.size());
    float* const depthBuffer = viewPort.depthBuffer.data();
    std::uint32_t* const frame = viewPort.frameImage.pixels;
    const kzoTexels texels = surface.texture ? kzoTexelsOf(*surface.texture) : kzoTexels{};
    for (std::int32_t r = firstRow; r < endRow; ++r) {
        // Entries of rows a malformed (non-convex) polygon never walked hold
        // offsets of earlier polygons: still inside the frame, but checked.
        if (left[r].offset < 0 || right[r].offset > frameEnd)
            continue;
        if (viewPort.depthClearCounter != 0)
            biasedRow(left[r], right[r], surface, viewPort);
        else if (surface.texture)
            rows.textured(left[r], right[r], texels, depthBuffer, frame);
        else
            rows.colour(left[r], right[r], surface.colour, depthBuffer, frame);
    }
}

} // namespace

void kzoFillSurface(const kzoPoly& polygon, const kzoSurface& surface, const kzoViewPort& viewPort,
                    const kzoRowKernels& rows)
{
    // What the rasterizer reads of each vertex, copied as it is.
    const int n = polygon.vertexCount;
    if (n < 1 || n > kzoPolySlots)
        return;
    kzoScreenVertex screen[kzoPolySlots];
    const kzoScreenVertex* corners[kzoPolySlots];
    for (int i = 0; i < n; ++i) {
        const kzoVertex& v = polygon.vertices[i];
        screen[i] = {v.position.z, v.position.w, v.texCoord.x, v.texCoord.y, v.screenX, v.screenY};
        corners[i] = &screen[i];
    }
    fill(corners, n, surface, viewPort, rows);
}

void kzoFillScreenTriangle(const kzoScreenVertex* const (&corners)[3], const kzoSurface& surface,
                           const kzoViewPort& viewPort, const kzoRowKernels& rows)
{
    fill(corners, 3, surface, viewPort, rows);
}

void kzoFillPoly(const kzoPoly& polygon, const peltoImage& texture, const kzoViewPort& viewPort)
{
    if (kzoHasPixels(texture))
        kzoFillSurface(polygon, {&texture, 0}, viewPort, kzoBestRows());
}

void kzoFillPolyColour(const kzoPoly& polygon, std::uint32_t colour, const kzoViewPort& viewPort)
{
    kzoFillSurface(polygon, {nullptr, colour}, viewPort, kzoBestRows());
}
