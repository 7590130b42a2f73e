#pragma once
// One frame of the viewer, shared by kzoView and kzoShot so that both draw the
// same picture for the same scene and input: clear the frame, apply the input
// to the first object (Controls.hpp), copy the active camera into the view,
// render.

#include "apps/viewer/Controls.hpp"
#include "pelto/base/Image.hpp"
#include "pelto/base/Keys.hpp"
#include "scene/Scene.hpp"

// The viewer's camera: "camera" at (0, 0, 20) looking towards (0, 0, 1), +Y up,
// added to the scene and made the active camera.
void kzoAddViewerCamera(kzoScene& scene);

// Clears frame to 0, applies the input (kzoApplyViewerInput), copies
// cameras[activeCamera].matrix into view and renders the scene into the
// scene's viewport. time is the seconds since start, passed to the renderer.
// frame is the buffer the scene's viewport was built for (LoadScene's frame);
// a frame step allocates nothing.
void kzoFrameStep(kzoScene& scene, const kzoViewerInput& input, const kzoViewerStart& start, peltoImage& frame,
                  float time);

// The same with keys only and no start to return to: the six movement keys and F.
void kzoFrameStep(kzoScene& scene, const peltoKeyState& keys, peltoImage& frame, float time);
