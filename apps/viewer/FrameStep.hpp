#pragma once
// One frame of the viewer, shared by kzoView and kzoShot so that both draw the
// same picture for the same scene and input: clear the frame, apply the input
// to the first object, copy the active camera into the view, render.

#include <cstdint>

#include "pelto/base/Image.hpp"
#include "pelto/base/Keys.hpp"
#include "scene/Scene.hpp"

// The viewer's camera: "camera" at (0, 0, 20) looking towards (0, 0, 1), +Y up,
// added to the scene and made the active camera.
void kzoAddViewerCamera(kzoScene& scene);

// What acts on the first object in one frame.
struct kzoViewerInput {
    peltoKeyState keys{};          // keys[code] != 0: that key acts in this frame
    std::int32_t dragX = 0;        // pointer motion with the left button down, pixels (+x right)
    std::int32_t dragY = 0;        // (+y down)
    std::int32_t wheelNotches = 0; // -1 per notch away from the user
};

// The first object's matrices as loaded: R and Home put them back.
struct kzoViewerStart {
    bool hasObject = false;
    kzoMatrix orientation{};
    kzoMatrix placement{};
};
kzoViewerStart kzoRememberStart(const kzoScene& scene);

// Turns about the view's vertical and horizontal axes; the viewer's camera does
// not turn, so these are +Y and +X: orientation := orientation x
// RotationY(radians), or x RotationX(radians). A positive turn about the
// vertical brings the front round to the right, like Insert; about the
// horizontal it tips the front down.
void kzoTurnAboutVertical(kzoObject& object, float radians);
void kzoTurnAboutHorizontal(kzoObject& object, float radians);

// The drag: 0.01 radian per pixel, about the vertical for dragX, then about
// the horizontal for dragY, each only when its motion is not 0. Dragging right
// brings the front round to the right; dragging down tips it down.
void kzoTurnByDrag(kzoObject& object, std::int32_t dragX, std::int32_t dragY);

// Fits the first object to the view the next frame renders with (the active
// camera's matrix, or the scene's view without one): placement :=
// kzoFitPlacement (render/FitView.hpp). Nothing without an object.
void kzoFitFirstObject(kzoScene& scene);

// Clears frame to 0, applies the input to objects[0] when there is one, copies
// cameras[activeCamera].matrix into view and renders the scene into the
// scene's viewport. The input acts in this order: the drag (kzoTurnByDrag);
// the wheel, each notch the step of Up (away from the user) or Down (towards);
// then the key table: Up, Down, Left, Right, Insert, Delete, F (fit), R and
// Home (orientation and placement := start), so that a fit or a return to the
// start shows as such whatever else acts in the frame. time is the seconds
// since start, passed to the renderer. frame is the buffer the scene's
// viewport was built for (LoadScene's frame); a frame step allocates nothing.
void kzoFrameStep(kzoScene& scene, const kzoViewerInput& input, const kzoViewerStart& start, peltoImage& frame,
                  float time);

// The same with keys only and no start to return to: the six movement keys and F.
void kzoFrameStep(kzoScene& scene, const peltoKeyState& keys, peltoImage& frame, float time);
