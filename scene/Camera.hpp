#pragma once
// A camera: a name and the view matrix of a look-at construction. The camera
// looks down its own -Z axis.

#include <string>

#include "core/Math.hpp"
#include "scene/Animation.hpp"

using kzoCameraAnimation = kzoAnimationTrack;

struct kzoCamera {
    std::string name;
    kzoMatrix matrix{};
    kzoCameraAnimation animation;
};

void kzoInitCamera(kzoCamera& cam, const std::string& name, const kzoVector& eye, const kzoVector& target,
                   const kzoVector& up);

// f = normalised (target - eye), s = normalised f x up, u = s x f; the columns
// hold s, u and -f, row 3 the eye's offsets -s.eye, -u.eye, f.eye.
kzoMatrix kzoLookAt(const kzoVector& eye, const kzoVector& target, const kzoVector& up);

void kzoFreeCamera(kzoCamera& cam);
