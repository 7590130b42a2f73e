#pragma once
// A light. Scenes keep a list of them and the scene file stores their count;
// nothing draws with them yet (there is no lighting).

#include <cstdint>
#include <vector>

#include "core/Math.hpp"

struct kzoLightAnimations {
    std::int32_t frameCount = 0;
    std::vector<float> times;
    std::vector<kzoMatrix> matrices;
};

struct kzoLight {
    kzoLightAnimations animations;
};

void kzoFreeLight(kzoLight& light);
