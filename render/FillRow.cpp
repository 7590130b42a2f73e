#include "render/FillRow.hpp"

namespace {

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
    static constexpr kzoRowKernels plain{texturedRowPlain, colourRowPlain};
    return plain;
}

const kzoRowKernels& kzoBestRows()
{
    static const kzoRowKernels& best = kzoAvx2Rows().textured ? kzoAvx2Rows()
                                       : kzoSse2Rows().textured ? kzoSse2Rows()
                                                                : kzoPlainRows();
    return best;
}
