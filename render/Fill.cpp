#include "render/Fill.hpp"


namespace {

// Walks the edge from a to b into side, one entry per row from a's row to the
// row above b's. The linear pixel index is interpolated directly (in double),
// so x and the row advance together; the row part stays exact because the
// frame width is an integer.
void walkEdge(kzoScreenSideType* side, const kzoVertex& a, const kzoVertex& b, std::int64_t frameWidth)
{
    const std::int32_t dy = b.screenY - a.screenY;
    const std::int64_t startOffset = a.screenY * frameWidth + a.screenX;
    if (dy < 1) {
        side[a.screenY].offset = static_cast<std::int32_t>(startOffset);
        return;
    }
    double offset = static_cast<double>(startOffset);
    const double offsetStep = (static_cast<double>(b.screenY * frameWidth + b.screenX) - offset) / dy;
    const auto rows = static_cast<float>(dy);
    float depth = a.position.z, invW = a.position.w, u = a.texCoord.x, v = a.texCoord.y;
    const float depthStep = (b.position.z - a.position.z) / rows;
    const float invWStep = (b.position.w - a.position.w) / rows;
    const float uStep = (b.texCoord.x - a.texCoord.x) / rows;
    const float vStep = (b.texCoord.y - a.texCoord.y) / rows;
    for (std::int32_t r = a.screenY; r < b.screenY; ++r) {
        kzoScreenSideType& entry = side[r];
        entry.offset = kzoRoundToInt(offset);
        entry.depth = depth;
        entry.invW = invW;
        entry.uOverW = u;
        entry.vOverW = v;
        offset += offsetStep;
        depth += depthStep;
        invW += invWStep;
        u += uStep;
        v += vStep;
    }
}

// Both walks start at the topmost vertex (the first of the lowest screenY)
// and end at the bottommost (the first of the largest): forwards into the left
// table, backwards into the right one.
void walkSides(const kzoPoly& polygon, const kzoViewPort& viewPort, int& top, int& bottom)
{
    const int n = polygon.vertexCount;
    const kzoVertex* v = polygon.vertices;
    top = 0;
    bottom = 0;
    for (int i = 1; i < n; ++i) {
        if (v[i].screenY < v[top].screenY)
            top = i;
        if (v[i].screenY > v[bottom].screenY)
            bottom = i;
    }
    const std::int64_t frameWidth = viewPort.frameImage.width;
    for (int a = top; a != bottom;) {
        const int b = a + 1 == n ? 0 : a + 1;
        walkEdge(viewPort.leftSide.data(), v[a], v[b], frameWidth);
        a = b;
    }
    for (int a = top; a != bottom;) {
        const int b = a == 0 ? n - 1 : a - 1;
        walkEdge(viewPort.rightSide.data(), v[a], v[b], frameWidth);
        a = b;
    }
}

// The fill may only index what the viewport holds: every vertex inside the
// clip rectangle and the frame, and buffers of the frame's size.
bool fillable(const kzoPoly& polygon, const kzoViewPort& viewPort)
{
    const peltoImage& frame = viewPort.frameImage;
    if (polygon.vertexCount < 1 || polygon.vertexCount > kzoPolySlots || !kzoHasPixels(frame))
        return false;
    if (viewPort.depthBuffer.size() != std::uint64_t{frame.width} * frame.height
        || viewPort.leftSide.size() < frame.height || viewPort.rightSide.size() < frame.height)
        return false;
    for (int i = 0; i < polygon.vertexCount; ++i) {
        const kzoVertex& v = polygon.vertices[i];
        if (v.screenX < 0 || v.screenY < 0 || static_cast<std::uint32_t>(v.screenX) >= frame.width
            || static_cast<std::uint32_t>(v.screenY) >= frame.height
            || static_cast<std::uint32_t>(v.screenX) < viewPort.clipLeft
            || static_cast<std::uint32_t>(v.screenX) > viewPort.clipRight
            || static_cast<std::uint32_t>(v.screenY) < viewPort.clipTop
            || static_cast<std::uint32_t>(v.screenY) > viewPort.clipBottom)
            return false;
    }
    return true;
}

// The nearest texel of the perspective-corrected (u, v).
struct TexelLookup {
    const std::uint32_t* pixels;
    std::uint32_t width, height;
    float columnScale, rowScale; // width - 1, height - 1

    std::uint32_t operator()(float invW, float uOverW, float vOverW) const
    {
        const float w = 1.0f / invW;
        const std::int32_t column = kzoRoundToInt(columnScale * (uOverW * w));
        const std::int32_t row = kzoRoundToInt(rowScale * (vOverW * w));
        return pixels[kzoWrapTexel(column, width) + std::uint64_t{kzoWrapTexel(row, height)} * width];
    }
};

struct FlatColour {
    std::uint32_t colour;
    std::uint32_t operator()(float, float, float) const { return colour; }
};

// The depth-clear counter is added to both sides of the depth test; with the
// default planes it is always 0 and the plain comparison is the same test.
template <bool biased, class Shade>
void fillRow(const kzoScreenSideType& left, const kzoScreenSideType& right, const kzoViewPort& viewPort,
             const Shade& shade)
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
    for (std::int32_t i = left.offset; i < right.offset; ++i) {
        const bool nearer = biased ? depth + bias > depthBuffer[i] + bias : depth > depthBuffer[i];
        if (nearer) {
            frame[i] = shade(invW, u, v);
            depthBuffer[i] = depth;
        }
        depth += depthStep;
        invW += invWStep;
        u += uStep;
        v += vStep;
    }
}

template <class Shade>
void fill(const kzoPoly& polygon, const kzoViewPort& viewPort, const Shade& shade)
{
    if (!fillable(polygon, viewPort))
        return;
    int top, bottom;
    walkSides(polygon, viewPort, top, bottom);
    const std::int32_t firstRow = polygon.vertices[top].screenY;
    const std::int32_t endRow = polygon.vertices[bottom].screenY;
    const kzoScreenSideType* left = viewPort.leftSide.data();
    const kzoScreenSideType* right = viewPort.rightSide.data();
    const std::int32_t frameEnd = static_cast<std::int32_t>(viewPort.depthBuffer.size());
    for (std::int32_t r = firstRow; r < endRow; ++r) {
        // Entries of rows a malformed (non-convex) polygon never walked hold
        // offsets of earlier polygons: still inside the frame, but checked.
        if (left[r].offset < 0 || right[r].offset > frameEnd)
            continue;
        if (viewPort.depthClearCounter == 0)
            fillRow<false>(left[r], right[r], viewPort, shade);
        else
            fillRow<true>(left[r], right[r], viewPort, shade);
    }
}

} // namespace

void kzoFillPoly(const kzoPoly& polygon, const peltoImage& texture, const kzoViewPort& viewPort)
{
    if (!kzoHasPixels(texture))
        return;
    const TexelLookup lookup{texture.pixels, texture.width, texture.height, static_cast<float>(texture.width - 1),
                             static_cast<float>(texture.height - 1)};
    fill(polygon, viewPort, lookup);
}

void kzoFillPolyColour(const kzoPoly& polygon, std::uint32_t colour, const kzoViewPort& viewPort)
{
    fill(polygon, viewPort, FlatColour{colour});
}
