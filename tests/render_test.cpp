// The rendering pipeline and the viewer's frame step: where points land, what
// the near and far planes keep, culling, occlusion between objects, materials
// without texture, the animation frame, skinning, and the fast path giving
// the plain pipeline's frames bit for bit.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "pelto/Pixels.hpp"
#include "render/FrameStep.hpp"
#include "render/Render.hpp"
#include "tests/support/SceneBuilders.hpp"

namespace {

// The viewer's camera: (0, 0, 20) looking down -Z; 90 pixels per unit at z = 0
// on a 1280 x 720 frame.
struct ViewerTarget : RenderTarget {
    ViewerTarget(std::uint32_t width = 1280, std::uint32_t height = 720) : RenderTarget(width, height)
    {
        kzoAddViewerCamera(scene);
        scene.view = scene.cameras[0].matrix;
    }
    void render()
    {
        FillPixels(frame.pixels, std::size_t{frame.width} * frame.height, 0);
        kzoRenderScene(scene, 0.0f);
    }
};

// A front-facing (counter-clockwise from +Z) triangle around (x, y) at z.
kzoPoly facingTriangle(float x, float y, float z, float size, std::int32_t material = 0)
{
    return makeTriangle({x - size, y - size, z, 0, 0}, {x + size, y - size, z, 1, 0}, {x, y + size, z, 0, 1}, material);
}

TEST(Render, ViewerCameraPutsModelPointsWhereTheNumbersSay)
{
    ViewerTarget t;
    t.scene.materials.clear();
    kzoAddObject(t.scene, makeObject({makeTriangle({0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1})}));
    t.render();
    // The object's matrices are identities: clip space is model . view . projection.
    const kzoViewPort& vp = t.scene.viewPort;
    const kzoMatrix mvp = kzoMatMul(t.scene.view, vp.projection);
    const auto project = [&](float x, float y) {
        kzoVertex v{};
        v.position = kzoTransform(mvp, {x, y, 0, 1});
        return kzoProjectVertex(v, vp.centerX, vp.centerY);
    };
    const kzoVertex origin = project(0, 0), xAxis = project(1, 0), yAxis = project(0, 1);
    EXPECT_EQ(origin.position.x, 640.0f);
    EXPECT_EQ(origin.position.y, 360.0f);
    EXPECT_NEAR(xAxis.position.x, 729.991f, 0.0005f);
    EXPECT_EQ(xAxis.screenX, 730);
    EXPECT_EQ(xAxis.screenY, 360);
    EXPECT_NEAR(yAxis.position.y, 270.009f, 0.0005f);
    EXPECT_EQ(yAxis.screenX, 640);
    EXPECT_EQ(yAxis.screenY, 270);
    for (const kzoVertex* v : {&origin, &xAxis, &yAxis})
        EXPECT_NEAR(v->position.z, 5.25047f, 0.00001f);
    // The triangle has no material: flat 0xFF808080 from (640, 360) right to 730 and up to 270.
    EXPECT_EQ(t.at(645, 355), kzoMissingMaterialColour);
    EXPECT_EQ(t.at(725, 359), kzoMissingMaterialColour);
    EXPECT_EQ(t.at(720, 280), 0u);
    EXPECT_EQ(t.at(635, 355), 0u);
    EXPECT_EQ(t.at(645, 361), 0u);
}

TEST(Render, NearAndFarClippingKeepDistancesFrom049995To99880)
{
    // A large front-facing triangle at distance d from the eye (z = 20 - d).
    const struct {
        float distance;
        bool drawn;
    } cases[] = {{0.4999f, false}, {0.5001f, true}, {998.79f, true}, {998.81f, false}};
    for (const auto& c : cases) {
        ViewerTarget t(160, 90);
        kzoAddObject(t.scene, makeObject({facingTriangle(0, 0, 20 - c.distance, 2000)}));
        t.render();
        EXPECT_EQ(t.countNot(0) > 0, c.drawn) << c.distance;
    }
}

TEST(Render, TriangleStraddlingTheNearPlaneIsCutThere)
{
    ViewerTarget t(160, 90);
    // From 0.1 to 3 units in front of the eye, across the middle of the view.
    kzoAddObject(t.scene, makeObject({makeTriangle({-1, -0.2f, 19.9f, 0, 0}, {1, -0.2f, 19.9f, 1, 0}, {0, 0.2f, 17, 0, 1})}));
    t.render();
    EXPECT_GT(t.countNot(0), 0);
    for (std::uint32_t i = 0; i < 160 * 90; ++i)
        ASSERT_LE(t.scene.viewPort.depthBuffer[i], 15.0f) << "nothing nearer than 0.49995 is drawn";
}

TEST(Render, ClockwiseTriangleIsCulledAndItsMirrorDrawn)
{
    ViewerTarget t(160, 90);
    kzoAddObject(t.scene, makeObject({makeTriangle({-1, -1, 0, 0, 0}, {0, 1, 0, 0, 1}, {1, -1, 0, 1, 0})}));
    t.render();
    EXPECT_EQ(t.countNot(0), 0);
    t.scene.objects.clear();
    t.scene.objectCount = 0;
    kzoAddObject(t.scene, makeObject({makeTriangle({-1, -1, 0, 0, 0}, {1, -1, 0, 1, 0}, {0, 1, 0, 0, 1})}));
    t.render();
    EXPECT_GT(t.countNot(0), 0);
}

TEST(Render, ObjectPlacedBehindTheEyeDrawsNothing)
{
    ViewerTarget t(160, 90);
    kzoAddObject(t.scene, makeObject({facingTriangle(0, 0, 0, 3)}));
    t.render();
    EXPECT_GT(t.countNot(0), 0);
    t.scene.objects[0].placement = kzoTranslation(0, 0, 30);
    t.render();
    EXPECT_EQ(t.countNot(0), 0);
}

TEST(Render, TwoObjectsOccludeEachOtherInEitherOrder)
{
    for (const bool nearFirst : {true, false}) {
        ViewerTarget t(160, 90);
        t.addTexturedMaterial(makeCodedTexture(1, 1)); // material 0: texel 0xFF000000
        kzoMaterial plain;
        kzoInitMaterial(plain, "plain", 0);
        plain.colour = 0x00FF0000; // alpha 0 in the record; drawn with alpha 255
        kzoAddMaterial(t.scene, plain);
        kzoObject nearer = makeObject({facingTriangle(0, 0, 5, 1, 0)});
        kzoObject farther = makeObject({facingTriangle(0, 0, 0, 3, 1)});
        kzoAddObject(t.scene, nearFirst ? nearer : farther);
        kzoAddObject(t.scene, nearFirst ? farther : nearer);
        t.render();
        EXPECT_EQ(t.at(80, 45), 0xFF000000u) << nearFirst;
        EXPECT_EQ(t.at(80, 25), 0xFFFF0000u) << nearFirst;
    }
}

TEST(Render, RenderingTwiceGivesTheSameFrameAndLeavesPolysAlone)
{
    ViewerTarget t(320, 180);
    t.addTexturedMaterial(makeCodedTexture(16, 16));
    kzoAddObject(t.scene, makeObject({facingTriangle(0, 0, 0, 3), facingTriangle(1, 1, -2, 2)}));
    const kzoObject before = t.scene.objects[0];
    t.render();
    const std::vector<std::uint32_t> first(t.frame.pixels, t.frame.pixels + 320 * 180);
    t.render();
    EXPECT_EQ(std::memcmp(first.data(), t.frame.pixels, first.size() * 4), 0);
    const std::vector<kzoPoly> polysBefore = polysOf(before), polysAfter = polysOf(t.scene.objects[0]);
    ASSERT_EQ(polysAfter.size(), 2u);
    EXPECT_EQ(std::memcmp(polysBefore.data(), polysAfter.data(), 2 * sizeof(kzoPoly)), 0);
}

TEST(Render, AnimationFrameAdvancesPerObjectAndWrapsAt139)
{
    ViewerTarget t(32, 18);
    kzoAddObject(t.scene, makeObject({}));
    kzoAddObject(t.scene, makeObject({facingTriangle(0, 0, 0, 1)}));
    kzoAnimationFrame = 0.0f;
    t.render();
    EXPECT_EQ(kzoAnimationFrame, static_cast<float>(static_cast<float>(0.0 + 0.1) + 0.1));
    kzoAnimationFrame = 138.85f;
    t.render(); // 138.95, then 139.05: back to 0
    EXPECT_EQ(kzoAnimationFrame, 0.0f);
    kzoAnimationFrame = 0.0f;
}

// One joint with an identity bind matrix; its track moves the bone by
// 0.5 x frame units along x.
kzoObject skinnedTriangle(const kzoBone& root)
{
    kzoObject o = makeObject({boundToJoint(facingTriangle(0, 0, 0, 0.5f), 0)});
    o.rootBone = &root;
    o.boneNames = {"root"};
    o.joints.resize(1);
    o.joints[0].bindMatrix = kzoIdentity();
    o.jointCount = 1;
    o.poseName = "walk";
    kzoSkeletonPose track;
    track.name = "walk_root";
    for (int f = 0; f < 10; ++f)
        track.matrices.push_back(kzoTranslation(0.5f * static_cast<float>(f), 0, 0));
    o.poses.push_back(track);
    return o;
}

// Leftmost drawn column of row y.
int leftmostColumn(const RenderTarget& t, int y)
{
    for (int x = 0; x < static_cast<int>(t.frame.width); ++x)
        if (t.at(x, y) != 0)
            return x;
    return -1;
}

TEST(Render, SkinnedObjectIsPosedAtTheRoundedAnimationFrame)
{
    const kzoBone root{"root", kzoIdentity(), {}};
    ViewerTarget t;
    kzoAddObject(t.scene, skinnedTriangle(root));
    // With jointCount 0 nothing of the skeleton runs: the triangle stays put.
    t.scene.objects[0].jointCount = 0;
    kzoAnimationFrame = 4.4f;
    t.render();
    EXPECT_EQ(t.scene.objects[0].joints[0].name, "");
    const int unposed = leftmostColumn(t, 380);
    ASSERT_GT(unposed, 0);
    // 4.4 + 0.1 = 4.5, a tie: frame 4, 2 units right, 180 pixels (frame 5 would be 225).
    t.scene.objects[0].jointCount = 1;
    kzoAnimationFrame = 4.4f;
    t.render();
    EXPECT_EQ(t.scene.objects[0].joints[0].name, "root");
    EXPECT_EQ(leftmostColumn(t, 380), unposed + 180);
    kzoAnimationFrame = 0.0f;
}

TEST(Render, PolygonsWithoutATextureFillWithTheirMaterialColour)
{
    ViewerTarget t(160, 90);
    kzoMaterial untextured;
    kzoInitMaterial(untextured, "untextured", 0);
    untextured.colour = 0x12345678;
    kzoAddMaterial(t.scene, untextured);
    kzoMaterial freed;
    kzoInitMaterial(freed, "freed", 0);
    freed.hasTexture = true;
    freed.texture = {nullptr, 64, 64}; // a size but no pixels
    freed.colour = 0xFF00FF00;
    kzoAddMaterial(t.scene, freed);
    kzoAddObject(t.scene, makeObject({facingTriangle(-4, 0, 0, 1, 0), facingTriangle(0, 0, 0, 1, 1),
                                      facingTriangle(4, 0, 0, 1, 7), facingTriangle(4, 3, 0, 1, -1)}));
    t.render();
    // 11.25 pixels per unit on a 160 x 90 frame: centres at x 35, 80, 125 and y 47, 13.
    EXPECT_EQ(t.at(35, 47), 0xFF345678u);
    EXPECT_EQ(t.at(80, 47), 0xFF00FF00u);
    EXPECT_EQ(t.at(125, 47), kzoMissingMaterialColour);
    EXPECT_EQ(t.at(125, 13), kzoMissingMaterialColour);
    EXPECT_EQ(t.at(58, 47), 0u);
}

TEST(Render, EightVertexPolygonCrossingEveryPlaneIsDrawnWithoutOverrun)
{
    // A huge octagon that reaches past every screen edge: the clipper cannot
    // hold it in nine slots, so it is drawn as a fan and covers the frame.
    ViewerTarget t(160, 90);
    std::vector<Corner> corners;
    for (int i = 0; i < 8; ++i) {
        const double a = 2 * 3.14159265358979 * i / 8;
        corners.push_back({50 * static_cast<float>(std::cos(a)), 50 * static_cast<float>(std::sin(a)), 0, 0, 0});
    }
    kzoAddObject(t.scene, makeObject({makePolygon({corners[0], corners[1], corners[2], corners[3], corners[4],
                                                   corners[5], corners[6], corners[7]})}));
    t.render();
    EXPECT_EQ(t.countNot(0), 159 * 89);
}

TEST(FrameStep, ViewerCameraIsCameraZeroLookingDownMinusZFromTwenty)
{
    RenderTarget t(32, 18);
    kzoAddViewerCamera(t.scene);
    ASSERT_EQ(t.scene.cameraCount, 1);
    EXPECT_EQ(t.scene.activeCamera, 0);
    EXPECT_EQ(t.scene.cameras[0].name, "camera");
    kzoMatrix expected = kzoIdentity();
    expected[3][2] = -20.0f;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(t.scene.cameras[0].matrix[r][c], expected[r][c]) << r << "," << c;
}

TEST(FrameStep, HeldKeysStepTheFirstObjectInTableOrder)
{
    RenderTarget t(32, 18);
    kzoAddViewerCamera(t.scene);
    kzoAddObject(t.scene, makeObject({facingTriangle(0, 0, 0, 1)}));
    kzoAddObject(t.scene, makeObject({facingTriangle(0, 0, 0, 1)}));
    peltoKeyState keys{};
    keys[peltoKeyUp] = 1;
    float z = 0.0f;
    for (int frame = 0; frame < 3; ++frame) {
        kzoFrameStep(t.scene, keys, t.frame, 0.0f);
        z = z + 0.1f;
    }
    EXPECT_EQ(t.scene.objects[0].placement[3][2], z);
    EXPECT_EQ(t.scene.objects[1].placement[3][2], 0.0f) << "only the first object moves";

    keys = {};
    keys[peltoKeyLeft] = keys[peltoKeyRight] = 1;
    kzoFrameStep(t.scene, keys, t.frame, 0.0f);
    EXPECT_EQ(t.scene.objects[0].placement[3][0], 0.1f + -0.1f);

    keys = {};
    keys[peltoKeyInsert] = 1;
    kzoFrameStep(t.scene, keys, t.frame, 0.0f);
    const kzoMatrix turned = kzoMatMul(kzoIdentity(), kzoRotationY(0.1f));
    EXPECT_EQ(std::memcmp(&t.scene.objects[0].orientation, &turned, sizeof turned), 0);
    keys = {};
    keys[peltoKeyDelete] = 1;
    kzoFrameStep(t.scene, keys, t.frame, 0.0f);
    EXPECT_NEAR(t.scene.objects[0].orientation[0][2], 0.0f, 1e-7);
}

TEST(FrameStep, ClearsTheFrameCopiesTheCameraAndRenders)
{
    RenderTarget t(160, 90);
    kzoAddViewerCamera(t.scene);
    kzoAddObject(t.scene, makeObject({facingTriangle(0, 0, 0, 1)}));
    FillPixels(t.frame.pixels, 160 * 90, 0xDEADBEEF);
    t.scene.view = kzoTranslation(1000, 0, 0);
    kzoFrameStep(t.scene, peltoKeyState{}, t.frame, 0.0f);
    EXPECT_EQ(std::memcmp(&t.scene.view, &t.scene.cameras[0].matrix, sizeof(kzoMatrix)), 0);
    int cleared = 0, drawn = 0;
    for (std::uint32_t i = 0; i < 160 * 90; ++i) {
        cleared += t.frame.pixels[i] == 0 ? 1 : 0;
        drawn += t.frame.pixels[i] == kzoMissingMaterialColour ? 1 : 0;
    }
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(cleared + drawn, 160 * 90);
}

TEST(FrameStep, KeysWithoutObjectsChangeNothing)
{
    RenderTarget t(32, 18);
    kzoAddViewerCamera(t.scene);
    peltoKeyState keys{};
    keys.fill(1);
    kzoFrameStep(t.scene, keys, t.frame, 0.0f);
    EXPECT_EQ(t.countNot(0), 0);
}

// Random scenes: triangles and larger polygons anywhere around the camera,
// crossing the near plane and the screen edges, behind the eye, textured,
// untextured or with no material; several objects with random placements.
void fillRandomScene(kzoScene& scene, std::mt19937& rng, const peltoImage& texture)
{
    std::uniform_real_distribution<float> coord(-12.0f, 12.0f);
    std::uniform_real_distribution<float> depth(-30.0f, 22.0f);
    std::uniform_real_distribution<float> uv(-0.5f, 1.5f);
    std::uniform_int_distribution<int> material(-1, 2);
    kzoMaterial textured;
    kzoInitMaterial(textured, "textured", 1);
    textured.texture = texture; // shared; freed by the caller
    textured.hasTexture = false;
    kzoAddMaterial(scene, textured);
    kzoMaterial untextured;
    kzoInitMaterial(untextured, "untextured", 0);
    untextured.colour = rng();
    kzoAddMaterial(scene, untextured);
    const int objects = 1 + static_cast<int>(rng() % 3);
    for (int o = 0; o < objects; ++o) {
        kzoObject obj = makeObject({});
        const int polys = 1 + static_cast<int>(rng() % 40);
        for (int p = 0; p < polys; ++p) {
            const int corners = rng() % 5 == 0 ? 4 + static_cast<int>(rng() % 5) : 3;
            std::vector<kzoVertex> vertices(static_cast<std::size_t>(corners));
            const float cx = coord(rng), cy = coord(rng), cz = depth(rng);
            std::uniform_real_distribution<float> spread(0.0f, rng() % 4 == 0 ? 40.0f : 4.0f);
            for (kzoVertex& v : vertices) {
                v = kzoVertex{};
                v.position.w = 1.0f;
                kzoMakeVertex(v, cx + spread(rng) - spread(rng), cy + spread(rng) - spread(rng),
                              cz + spread(rng) - spread(rng), 0, 0, 1, uv(rng), uv(rng), 128, 128, 128, 255);
            }
            kzoPoly poly{};
            kzoCreatePoly(poly, vertices, material(rng));
            kzoAddPoly(obj, poly);
        }
        obj.orientation = kzoRotationY(coord(rng));
        obj.placement = kzoTranslation(coord(rng) / 4, coord(rng) / 4, coord(rng) / 4);
        kzoAddObject(scene, std::move(obj));
    }
}

TEST(Render, FastPathGivesThePlainPipelinesFramesOnRandomScenes)
{
    std::mt19937 rng(20240611);
    peltoImage texture = makeCodedTexture(37, 23);
    int drawnScenes = 0;
    for (int round = 0; round < 1000; ++round) {
        ViewerTarget fast(320, 180), plain(320, 180);
        std::mt19937 sceneRng = rng;
        fillRandomScene(fast.scene, rng, texture);
        fillRandomScene(plain.scene, sceneRng, texture);
        kzoAnimationFrame = 0.0f;
        fast.render();
        kzoAnimationFrame = 0.0f;
        FillPixels(plain.frame.pixels, 320 * 180, 0);
        kzoRenderScenePlain(plain.scene, 0.0f);
        ASSERT_EQ(std::memcmp(fast.frame.pixels, plain.frame.pixels, 320 * 180 * 4), 0) << "round " << round;
        ASSERT_EQ(std::memcmp(fast.scene.viewPort.depthBuffer.data(), plain.scene.viewPort.depthBuffer.data(),
                              320 * 180 * sizeof(float)),
                  0)
            << "round " << round;
        drawnScenes += fast.countNot(0) > 0 ? 1 : 0;
        // The textures are the caller's: no material owns them.
        fast.scene.materials.clear();
        fast.scene.materialCount = 0;
        plain.scene.materials.clear();
        plain.scene.materialCount = 0;
    }
    EXPECT_GT(drawnScenes, 700) << "the scenes must draw something to compare";
    kzoAnimationFrame = 0.0f;
    FreeImage(texture);
}

} // namespace
