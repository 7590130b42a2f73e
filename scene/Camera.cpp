#include "scene/Camera.hpp"

#include "pelto/base/Support.hpp"

void kzoInitCamera(kzoCamera& cam, const std::string& name, const kzoVector& eye, const kzoVector& target,
                   const kzoVector& up)
{
    cam.name = peltoShortString(name);
    cam.matrix = kzoLookAt(eye, target, up);
    cam.animation.frameCount = 0;
    cam.animation.times.clear();
    cam.animation.matrices.clear();
}

kzoMatrix kzoLookAt(const kzoVector& eye, const kzoVector& target, const kzoVector& up)
{
    const kzoVector f = kzoNormalize3(kzoSubVector(target, eye));
    const kzoVector s = kzoNormalize3(kzoCross(f, up));
    const kzoVector u = kzoCross(s, f);
    return {{{s.x, u.x, -f.x, 0},
             {s.y, u.y, -f.y, 0},
             {s.z, u.z, -f.z, 0},
             {-kzoDot3(s, eye), -kzoDot3(u, eye), kzoDot3(f, eye), 1}}};
}

void kzoFreeCamera(kzoCamera&) {}
