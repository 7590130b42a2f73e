#include "apps/viewer/FrameStep.hpp"

#include "pelto/base/Pixels.hpp"
#include "render/pipeline/Render.hpp"

void kzoAddViewerCamera(kzoScene& scene)
{
    kzoCamera camera;
    kzoInitCamera(camera, "camera", kzoMakeVector(0, 0, 20), kzoMakeVector(0, 0, 1), kzoMakeVector(0, 1, 0));
    kzoAddCamera(scene, camera);
    scene.activeCamera = 0;
}

void kzoFrameStep(kzoScene& scene, const kzoViewerInput& input, const kzoViewerStart& start, peltoImage& frame,
                  float time)
{
    if (frame.pixels)
        FillPixels(frame.pixels, std::size_t{frame.width} * frame.height, 0);
    kzoApplyViewerInput(scene, input, start);
    // The active camera's view; without a camera the view keeps what it holds.
    scene.view = kzoFrameView(scene);
    kzoRenderScene(scene, time);
}

void kzoFrameStep(kzoScene& scene, const peltoKeyState& keys, peltoImage& frame, float time)
{
    kzoViewerInput input;
    input.keys = keys;
    kzoFrameStep(scene, input, kzoViewerStart{}, frame, time);
}
