#pragma once
// The indexed route for an object without skinning. Each mesh vertex is
// transformed and projected once per frame, with the operations and order of
// the per-corner route (so with the same bits), and marked with the clip
// planes it lies outside of. A triangle inside every plane goes straight to
// culling and the fill; one whose corners all lie beyond the same plane is
// dropped (the clipper would leave nothing); only one that crosses a plane,
// and any polygon of another size, is rebuilt as a record and goes through the
// clippers. Polygons are drawn in index order, so equal depth keeps the first.

#include <cstddef>

#include "core/Math.hpp"
#include "render/viewport/ViewPort.hpp"
#include "scene/Scene.hpp"

// Draws polygons 0 .. count - 1 of object o through viewPort, which must have
// scratch memory; modelView lights untextured surfaces, mvp transforms.
void kzoDrawMesh(const kzoScene& scene, const kzoObject& o, std::size_t count, const kzoMatrix& modelView,
                 const kzoMatrix& mvp, const kzoViewPort& viewPort);
