#include "render/FrameStep.hpp"

#include "pelto/Pixels.hpp"
#include "render/Render.hpp"

namespace {

// The viewer's key table, tested in this order every frame: each held key
// applies its step, so two held keys apply both, in table order. Steps are per
// frame, not per second: 0.1 units or 0.1 radian.
enum class KeyAction { move, turn };

struct KeyStep {
    std::uint8_t code;
    KeyAction action;
    float x, z;  // move: the translation
    float angle; // turn: radians about +Y
};

constexpr KeyStep keyTable[] = {
    {peltoKeyUp, KeyAction::move, 0.0f, 0.1f, 0.0f},
    {peltoKeyDown, KeyAction::move, 0.0f, -0.1f, 0.0f},
    {peltoKeyLeft, KeyAction::move, 0.1f, 0.0f, 0.0f},
    {peltoKeyRight, KeyAction::move, -0.1f, 0.0f, 0.0f},
    {peltoKeyInsert, KeyAction::turn, 0.0f, 0.0f, 0.1f},
    {peltoKeyDelete, KeyAction::turn, 0.0f, 0.0f, -0.1f},
};

void applyKeys(kzoScene& scene, const peltoKeyState& keys)
{
    if (scene.objectCount < 1 || scene.objects.empty())
        return;
    kzoObject& first = scene.objects[0];
    for (const KeyStep& step : keyTable) {
        if (keys[step.code] == 0)
            continue;
        if (step.action == KeyAction::move)
            first.placement = kzoMatMul(first.placement, kzoTranslation(step.x, 0.0f, step.z));
        else
            first.orientation = kzoMatMul(first.orientation, kzoRotationY(step.angle));
    }
}

} // namespace

void kzoAddViewerCamera(kzoScene& scene)
{
    kzoCamera camera;
    kzoInitCamera(camera, "camera", kzoMakeVector(0, 0, 20), kzoMakeVector(0, 0, 1), kzoMakeVector(0, 1, 0));
    kzoAddCamera(scene, camera);
    scene.activeCamera = 0;
}

void kzoFrameStep(kzoScene& scene, const peltoKeyState& keys, peltoImage& frame, float time)
{
    if (frame.pixels)
        FillPixels(frame.pixels, std::size_t{frame.width} * frame.height, 0);
    applyKeys(scene, keys);
    // Without a camera the view keeps what it holds.
    if (scene.activeCamera >= 0 && static_cast<std::size_t>(scene.activeCamera) < scene.cameras.size())
        scene.view = scene.cameras[static_cast<std::size_t>(scene.activeCamera)].matrix;
    kzoRenderScene(scene, time);
}
