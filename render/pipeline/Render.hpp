#pragma once
// The scene rendering pipeline: per object the model-view-projection matrix,
// the animation frame and the skeleton pose, then per polygon the transform to
// clip space (skinned first when the object has joints), clipping, projection,
// back-face culling and filling into the scene's viewport.
//
// Objects without joints take the indexed route (MeshDraw.hpp): each mesh
// vertex transformed and projected once, most triangles filled without a
// polygon record. Skinned objects take the per-polygon route. Both give the
// frames of the plain pipeline (RenderPlain.hpp) bit for bit.

#include <cstdint>

#include "core/Poly.hpp"
#include "render/viewport/ViewPort.hpp"
#include "scene/Scene.hpp"

// The frame number skeletons are posed at: +0.1 per rendered object, back to 0
// once it reaches 139. Program-level: every scene rendered advances it.
extern float kzoAnimationFrame;

// Starts the frame (clears the depth buffer) and renders every object in
// index order. time (seconds since start) does not change the picture.
void kzoRenderScene(kzoScene& scene, float time);

// Transforms each polygon of object index and draws it through a working copy
// of viewPort, which shares its depth buffer, side tables and
// frame pixels: objects of one scene occlude each other.
void kzoRenderObject(kzoScene& scene, std::int32_t index, const kzoViewPort& viewPort);

// Clips, projects, culls (clockwise on screen: not drawn) and fills one
// clip-space polygon. A material without texture pixels fills with its colour
// at alpha 255. A polygon of more than three vertices that would outgrow its
// nine slots while clipped is drawn as the fan of triangles (0, i, i + 1).
void kzoDrawPoly(const kzoPoly& polygon, const kzoMaterial& material, const kzoViewPort& viewPort);
