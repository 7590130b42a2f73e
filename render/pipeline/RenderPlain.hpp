#pragma once
// The reference pipeline, for the tests and benchmarks that hold the renderer
// to it: every polygon read back as a whole record and every corner
// transformed, whole-record copies through every clipper, the reference row
// kernels. kzoRenderScene must give the same frames and depth buffers bit for
// bit.

#include "scene/Scene.hpp"

void kzoRenderScenePlain(kzoScene& scene, float time);
