#pragma once
// A light. Scenes keep a list of them and the scene file stores their count;
// nothing draws with them yet (there is no lighting).

#include "scene/Animation.hpp"

using kzoLightAnimations = kzoAnimationTrack;

struct kzoLight {
    kzoLightAnimations animations;
};

void kzoFreeLight(kzoLight& light);
