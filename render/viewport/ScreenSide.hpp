#pragma once
// The rasterizer's side tables: for every row of the frame, where the left and
// the right side of the polygon being filled cross it, with the attributes the
// span between them interpolates. The viewport holds one table per side.

#include <cstdint>
#include <vector>

// One frame-buffer row of one side of the polygon being filled.
struct kzoScreenSideType {
    std::int32_t offset; // row x frame width + column
    float depth;
    float invW;
    float uOverW;
    float vOverW;
    std::uint32_t reserved[8];
};

using kzoScreenSide = std::vector<kzoScreenSideType>;
