#include "render/FillRow.hpp"

namespace {

void walkEdgePlain(kzoScreenSideType* side, const kzoScreenVertex& a, const kzoScreenVertex& b,
                   std::int64_t frameWidth)
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
    float depth = a.depth, invW = a.invW, u = a.uOverW, v = a.vOverW;
    const float depthStep = (b.depth - a.depth) / rows;
    const float invWStep = (b.invW - a.invW) / rows;
    const float uStep = (b.uOverW - a.uOverW) / rows;
    const float vStep = (b.vOverW - a.vOverW) / rows;
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

void texturedRowPlain(const kzoScreenSideType& left, const kzoScreenSideType& right, const kzoTexels& texels,
                      float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    const kzoRowSteps step = kzoRowStepsOf(left, right, n);
    float depth = left.depth, invW = left.invW, u = left.uOverW, v = left.vOverW;
    for (std::int32_t i = left.offset; i < right.offset; ++i) {
        if (depth > depthBuffer[i]) {
            frame[i] = kzoTexelAt(texels, invW, u, v);
            depthBuffer[i] = depth;
        }
        depth += step.depth;
        invW += step.invW;
        u += step.u;
        v += step.v;
    }
}

// Only the depth is read; 1/w, u and v would be summed for nothing.
void colourRowPlain(const kzoScreenSideType& left, const kzoScreenSideType& right, std::uint32_t colour,
                    float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n <= 0)
        return;
    const float depthStep = (right.depth - left.depth) / static_cast<float>(n);
    float depth = left.depth;
    for (std::int32_t i = left.offset; i < right.offset; ++i) {
        if (depth > depthBuffer[i]) {
            frame[i] = colour;
            depthBuffer[i] = depth;
        }
        depth += depthStep;
    }
}

} // namespace

const kzoRowKernels& kzoPlainRows()
{
    static constexpr kzoRowKernels plain{texturedRowPlain, colourRowPlain, walkEdgePlain};
    return plain;
}

const kzoRowKernels& kzoBestRows()
{
    static const kzoRowKernels& best = kzoAvx2Rows().textured ? kzoAvx2Rows()
                                       : kzoSse2Rows().textured ? kzoSse2Rows()
                                                                : kzoPlainRows();
    return best;
}
