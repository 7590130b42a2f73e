#include "apps/viewer/Controls.hpp"

#include "apps/viewer/FitView.hpp"

namespace {

// The viewer's key table, tested in this order every frame: each held key
// applies its step, so two held keys apply both, in table order. Steps are per
// frame, not per second: 0.1 units or 0.1 radian. Fit and reset come last.
enum class KeyAction { move, turn, fit, reset };

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
    {peltoKeyF, KeyAction::fit, 0.0f, 0.0f, 0.0f},
    {peltoKeyR, KeyAction::reset, 0.0f, 0.0f, 0.0f},
    {peltoKeyHome, KeyAction::reset, 0.0f, 0.0f, 0.0f},
};

// A pixel of drag turns by 0.01 radian.
constexpr float radiansPerPixel = 0.01f;

bool hasFirstObject(const kzoScene& scene)
{
    return scene.objectCount >= 1 && !scene.objects.empty();
}

bool hasActiveCamera(const kzoScene& scene)
{
    return scene.activeCamera >= 0 && static_cast<std::size_t>(scene.activeCamera) < scene.cameras.size();
}

void applyKey(kzoScene& scene, const KeyStep& step, const kzoViewerStart& start)
{
    kzoObject& first = scene.objects[0];
    switch (step.action) {
    case KeyAction::move:
        first.placement = kzoMatMul(first.placement, kzoTranslation(step.x, 0.0f, step.z));
        break;
    case KeyAction::turn:
        kzoTurnAboutVertical(first, step.angle);
        break;
    case KeyAction::fit:
        kzoFitFirstObject(scene);
        break;
    case KeyAction::reset:
        if (start.hasObject) {
            first.orientation = start.orientation;
            first.placement = start.placement;
        }
        break;
    }
}

// Each notch is one step of the Up (away) or Down (towards) row, the same bits
// as holding that key for as many frames.
void applyWheel(kzoObject& object, std::int32_t notches)
{
    const KeyStep& step = notches < 0 ? keyTable[0] : keyTable[1];
    const std::int64_t count = notches < 0 ? -std::int64_t{notches} : notches;
    for (std::int64_t i = 0; i < count; ++i)
        object.placement = kzoMatMul(object.placement, kzoTranslation(step.x, 0.0f, step.z));
}

} // namespace

const kzoMatrix& kzoFrameView(const kzoScene& scene)
{
    return hasActiveCamera(scene) ? scene.cameras[static_cast<std::size_t>(scene.activeCamera)].matrix : scene.view;
}

kzoViewerStart kzoRememberStart(const kzoScene& scene)
{
    if (!hasFirstObject(scene))
        return {};
    return {true, scene.objects[0].orientation, scene.objects[0].placement};
}

void kzoTurnAboutVertical(kzoObject& object, float radians)
{
    object.orientation = kzoMatMul(object.orientation, kzoRotationY(radians));
}

void kzoTurnAboutHorizontal(kzoObject& object, float radians)
{
    object.orientation = kzoMatMul(object.orientation, kzoRotationX(radians));
}

void kzoTurnByDrag(kzoObject& object, std::int32_t dragX, std::int32_t dragY)
{
    if (dragX != 0)
        kzoTurnAboutVertical(object, static_cast<float>(dragX) * radiansPerPixel);
    if (dragY != 0)
        kzoTurnAboutHorizontal(object, static_cast<float>(dragY) * radiansPerPixel);
}

void kzoFitFirstObject(kzoScene& scene)
{
    if (hasFirstObject(scene))
        scene.objects[0].placement = kzoFitPlacement(scene.objects[0], kzoFrameView(scene), scene.viewPort);
}

void kzoApplyViewerInput(kzoScene& scene, const kzoViewerInput& input, const kzoViewerStart& start)
{
    if (!hasFirstObject(scene))
        return;
    kzoTurnByDrag(scene.objects[0], input.dragX, input.dragY);
    applyWheel(scene.objects[0], input.wheelNotches);
    for (const KeyStep& step : keyTable)
        if (input.keys[step.code] != 0)
            applyKey(scene, step, start);
}
