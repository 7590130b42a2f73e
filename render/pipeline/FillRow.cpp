#include "render/pipeline/FillRow.hpp"

namespace {

void walkEdgePlain(kzoScreenSideType* side, const kzoScreenVertex& a, const kzoScreenVertex& b,
                   std::int64_t frameWidth)
{
    double offset, offsetStep;
    if (!kzoEdgeOffsets(side, a, b, frameWidth, offset, offsetStep))
        return;
    const auto rows = static_cast<float>(b.screenY - a.screenY);
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
    if (n > 0)
        kzoTexturedPixels(left.offset, right.offset, left.depth, left.invW, left.uOverW, left.vOverW,
                          kzoRowStepsOf(left, right, n), texels, depthBuffer, frame);
}

// Only the depth is read; 1/w, u and v would be summed for nothing.
void colourRowPlain(const kzoScreenSideType& left, const kzoScreenSideType& right, std::uint32_t colour,
                    float* depthBuffer, std::uint32_t* frame)
{
    const std::int32_t n = right.offset - left.offset;
    if (n > 0)
        kzoColourPixels(left.offset, right.offset, left.depth, (right.depth - left.depth) / static_cast<float>(n),
                        colour, depthBuffer, frame);
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
