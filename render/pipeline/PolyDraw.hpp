#pragma once
// The draw step of one clip-space polygon: clip against depth and w, project,
// cull, clip against the screen's x and y, fill. Two routes give the same bits:
// the plain one writes a whole new record at every clipper and fills with the
// reference row kernels; the fast one skips a clipper that would change
// nothing, clips in the viewport's scratch records and fills with the fastest
// row kernels. A polygon of more than three vertices that would outgrow its
// nine slots while clipped is drawn as the fan of triangles (0, i, i + 1).

#include "core/Poly.hpp"
#include "render/pipeline/Fill.hpp"
#include "render/viewport/ViewPort.hpp"

void kzoDrawPolygonPlain(const kzoPoly& polygon, const kzoSurface& surface, const kzoViewPort& viewPort);
void kzoDrawPolygonFast(const kzoPoly& polygon, const kzoSurface& surface, const kzoViewPort& viewPort);
