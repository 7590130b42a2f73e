#pragma once
// The animation record cameras and lights carry: key times and one matrix per
// key. Nothing fills one yet; cameras and lights keep theirs empty.

#include <cstdint>
#include <vector>

#include "core/Math.hpp"

struct kzoAnimationTrack {
    std::int32_t frameCount = 0;
    std::vector<float> times;
    std::vector<kzoMatrix> matrices;
};
