#pragma once
// The renderer's working memory for one target: what a frame computes from an
// object's mesh and the records polygons are clipped in. It lives with the
// viewport (the target), so objects stay plain data and copies of a scene's
// viewport draw with the same memory. Grown to the largest object drawn, never
// shrunk: after the first frame of a scene, frames allocate nothing.

#include <cstdint>
#include <vector>

#include "core/Poly.hpp"
#include "render/viewport/ViewPort.hpp"

struct kzoRenderScratch {
    // Per vertex of the object being drawn: its projection and the clip planes
    // it lies outside of (kzoOutsideBits, render/pipeline/ProjectVertices.hpp).
    std::vector<kzoScreenVertex> screen;
    std::vector<std::uint8_t> outside;
    // A polygon that must be clipped, rebuilt from the mesh, and the two
    // records the clippers write in turn.
    kzoPoly source;
    kzoPoly clipped[2];
};
