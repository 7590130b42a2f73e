// The frame step allocates nothing once the first frame has run: a counting
// global operator new sees zero allocations in frames 2 .. N. The first frame
// grows the renderer's scratch (the viewport's) to the largest object; every
// route draws from it afterwards: the indexed route (triangles filled straight
// away, cut by the planes, or larger polygons rebuilt as records) and the
// per-polygon route of skinned objects.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "apps/viewer/FrameStep.hpp"
#include "tests/support/SceneBuilders.hpp"

namespace {
std::atomic<long> allocations{0};
}

// GCC sees free() matched with operator new and warns; here that is the point.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(Alloc, FrameStepAllocatesNothingAfterTheFirstFrame)
{
    RenderTarget t(320, 180);
    kzoAddViewerCamera(t.scene);
    t.addTexturedMaterial(makeCodedTexture(8, 8));
    kzoMaterial plain;
    kzoInitMaterial(plain, "plain", 0);
    kzoAddMaterial(t.scene, plain);
    // Triangles that are drawn, cut by the screen edges and the near plane, a
    // quad drawn as a fan, and a polygon without a material.
    kzoAddObject(t.scene, makeObject({makeTriangle({-3, -3, 0, 0, 0}, {3, -3, 0, 1, 0}, {0, 3, 0, 0.5f, 1}, 0),
                                      makeTriangle({-30, -1, 0, 0, 0}, {30, -1, 0, 1, 0}, {0, 30, 0, 0.5f, 1}, 1),
                                      makeTriangle({-1, -1, 19.9f, 0, 0}, {1, -1, 19.9f, 1, 0}, {0, 1, 10, 0, 1}, 0)}));
    kzoAddObject(t.scene, makeObject({makePolygon({{-50, -50, -1, 0, 0}, {50, -50, -1, 1, 0}, {50, 50, -1, 1, 1},
                                                   {-50, 50, -1, 0, 1}}, 0),
                                      makeTriangle({-1, -1, 2, 0, 0}, {1, -1, 2, 1, 0}, {0, 1, 2, 0, 1}, 9)}));
    // A skinned object whose pose and bone names are too long for the short
    // string buffer: posing must find its track without building the name.
    const kzoBone bone{"a-bone-name-longer-than-sixteen", kzoIdentity(), {}};
    kzoObject skinned = makeObject({boundToJoint(makeTriangle({-1, -1, 0, 0, 0}, {1, -1, 0, 1, 0}, {0, 1, 0, 0, 1}, 0), 0)});
    skinned.poseName = "a-pose-name-longer-than-sixteen";
    skinned.boneNames = {bone.name};
    skinned.rootBone = &bone;
    skinned.joints.resize(1);
    skinned.joints[0].bindMatrix = kzoIdentity();
    skinned.jointCount = 1;
    skinned.poses = {{skinned.poseName + "_" + bone.name, {}, {kzoTranslation(1, 0, 0)}}};
    kzoAddObject(t.scene, std::move(skinned));

    peltoKeyState keys{};
    keys[peltoKeyUp] = keys[peltoKeyInsert] = 1;
    kzoFrameStep(t.scene, keys, t.frame, 0.0f);
    const long before = allocations.load();
    for (int frame = 2; frame <= 20; ++frame)
        kzoFrameStep(t.scene, keys, t.frame, static_cast<float>(frame));
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_GT(t.countNot(0), 0);
    // The viewer's other controls: a drag, the wheel, fit and the return to the start.
    kzoViewerInput input;
    input.keys[peltoKeyF] = input.keys[peltoKeyR] = 1;
    input.dragX = 3;
    input.dragY = -2;
    input.wheelNotches = -2;
    const kzoViewerStart start = kzoRememberStart(t.scene);
    const long beforeControls = allocations.load();
    for (int frame = 21; frame <= 30; ++frame)
        kzoFrameStep(t.scene, input, start, t.frame, static_cast<float>(frame));
    EXPECT_EQ(allocations.load() - beforeControls, 0);
    // The counter counts: a vector of one element is one allocation.
    const long probe = allocations.load();
    const std::vector<int> one(1);
    EXPECT_EQ(allocations.load() - probe, 1);
}

} // namespace
