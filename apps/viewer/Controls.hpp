#pragma once
// The viewer's controls: what the keys, the drag and the wheel do to the
// scene's first object in one frame, in the order of the key table, and the
// turns and fit they are made of. kzoView and kzoShot act through these alone.

#include <cstdint>

#include "pelto/base/Keys.hpp"
#include "scene/Scene.hpp"

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

// The view the next frame renders with: the active camera's matrix, or the
// scene's own view when there is no active camera.
const kzoMatrix& kzoFrameView(const kzoScene& scene);

// Fits the first object to kzoFrameView's view: placement := kzoFitPlacement
// (apps/viewer/FitView.hpp). Nothing without an object.
void kzoFitFirstObject(kzoScene& scene);

// The input of one frame applied to objects[0], when there is one, in this
// order: the drag (kzoTurnByDrag); the wheel, each notch the step of Up (away
// from the user) or Down (towards); then the key table: Up, Down, Left, Right,
// Insert, Delete, F (fit), R and Home (orientation and placement := start), so
// that a fit or a return to the start shows as such whatever else acts in the
// frame.
void kzoApplyViewerInput(kzoScene& scene, const kzoViewerInput& input, const kzoViewerStart& start);
