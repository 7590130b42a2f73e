#pragma once
// A light. Scenes keep a list of them and the scene file stores their count;
// nothing draws with them (untextured surfaces are lit by the renderer's own
// headlight, not by a scene light).

#include "scene/Animation.hpp"

using kzoLightAnimations = kzoAnimationTrack;

struct kzoLight {
    kzoLightAnimations animations;
};

void kzoFreeLight(kzoLight& light);
