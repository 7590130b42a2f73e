// The rendering pipeline and the viewer's frame step: where points land, what
// the near and far planes keep, culling, occlusion between objects, materials
// without texture, the animation frame, skinning, and the fast path giving
// the plain pipeline's frames bit for bit.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "apps/viewer/FrameStep.hpp"
#include "pelto/base/Pixels.hpp"
#include "render/pipeline/ProjectVertices.hpp"
#include "render/pipeline/Render.hpp"
#include "render/pipeline/RenderPlain.hpp"
#include "render/pipeline/Surface.hpp"
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

TEST(Render, UntexturedSurfacesAreLitByAHeadlightAndTexturesAreNot)
{
    // Channels 0x40, 0xC8, 0x80 times 0.625 are whole: 40, 125, 80.
    constexpr std::uint32_t colour = 0x0040C880;
    const struct {
        float degrees;
        bool textured;
        std::uint32_t expected;
    } cases[] = {
        {0, false, 0xFF40C880},  // facing the eye: the material colour itself
        {60, false, 0xFF287D50}, // n.z = cos 60 = 0.5: 0.25 + 0.75 x 0.5 = 0.625 of it
        {60, true, codedTexel(0, 0)},
    };
    for (const auto& c : cases) {
        ViewerTarget t(160, 90);
        kzoMaterial m;
        kzoInitMaterial(m, "m", 0);
        m.colour = colour;
        if (c.textured) {
            t.addTexturedMaterial(makeCodedTexture(1, 1));
            t.scene.materials[0].colour = colour;
        } else {
            kzoAddMaterial(t.scene, m);
        }
        kzoObject quad =
            makeObject({makePolygon({{-2, -2, 0, 0, 0}, {2, -2, 0, 1, 0}, {2, 2, 0, 1, 1}, {-2, 2, 0, 0, 1}})});
        quad.orientation = kzoRotationY(c.degrees * 3.14159265f / 180);
        kzoAddObject(t.scene, std::move(quad));
        t.render();
        EXPECT_EQ(t.at(80, 45), c.expected) << c.degrees << (c.textured ? " textured" : "");
    }
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

// The same bits, except that any NaN equals any NaN: the compiler may turn
// 1 / -w into -1 / w, which keeps every number but not a NaN's sign, and no
// NaN reaches a pixel or the depth buffer (the depth test refuses it).
bool sameFloat(float a, float b) { return std::memcmp(&a, &b, 4) == 0 || (a != a && b != b); }
bool sameProjection(const kzoScreenVertex& a, const kzoScreenVertex& b)
{
    return sameFloat(a.depth, b.depth) && sameFloat(a.invW, b.invW) && sameFloat(a.uOverW, b.uOverW)
           && sameFloat(a.vOverW, b.vOverW) && a.screenX == b.screenX && a.screenY == b.screenY;
}

// Mesh vertices through the SSE2 vertex step and the plain one: the same
// projections and clip-plane bits, for points anywhere around the eye, on the
// planes, NaN, infinite and huge (whose pixel positions saturate).
TEST(Render, VertexStepInLanesGivesThePlainBits)
{
    const kzoProjectVertices lanes = kzoProjectVerticesSse2();
    if (!lanes)
        GTEST_SKIP() << "no SSE2";
    ViewerTarget t(320, 180);
    const kzoVertexTarget target = kzoVertexTargetOf(t.scene.viewPort);
    std::mt19937 rng(11);
    const float specials[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 0.0f, -0.0f, 19.5f, 20.0f};
    const auto coordinate = [&](float low, float high) {
        return rng() % 16 == 0 ? specials[rng() % std::size(specials)]
                               : std::uniform_real_distribution<float>(low, high)(rng);
    };
    for (int round = 0; round < 2000; ++round) {
        const std::size_t count = rng() % 40;
        std::vector<kzoVector> positions(count);
        std::vector<kzoVector2> texCoords(count);
        for (std::size_t v = 0; v < count; ++v) {
            positions[v] = {coordinate(-30, 30), coordinate(-30, 30), coordinate(-40, 25), coordinate(-2, 2)};
            texCoords[v] = {coordinate(-1, 2), coordinate(-1, 2)};
        }
        const kzoMatrix modelView = kzoMatMul(kzoRotationY(coordinate(-7, 7)), t.scene.view);
        const kzoMatrix mvp = kzoMatMul(modelView, t.scene.viewPort.projection);
        std::vector<kzoScreenVertex> plain(count), laned(count);
        std::vector<std::uint8_t> plainOutside(count), lanedOutside(count);
        kzoProjectVerticesPlain(positions.data(), texCoords.data(), count, mvp, target, plain.data(),
                                plainOutside.data());
        lanes(positions.data(), texCoords.data(), count, mvp, target, laned.data(), lanedOutside.data());
        for (std::size_t v = 0; v < count; ++v)
            ASSERT_TRUE(sameProjection(plain[v], laned[v])) << "round " << round << " vertex " << v;
        ASSERT_EQ(plainOutside, lanedOutside) << "round " << round;
    }
}

// Random scenes for the indexed route against the plain pipeline. Each object
// is a soup of triangles and larger polygons, or a grid whose triangles share
// vertices, or a skinned soup; corners cross every screen edge and the near
// plane, lie behind the eye, now and then hold NaN, an infinity or a huge
// number, and some triangles have no area or lie on one screen row.
class RandomScenes {
public:
    explicit RandomScenes(std::uint32_t seed) : rng_(seed) {}

    void fill(kzoScene& scene, const peltoImage& small, const peltoImage& large, const kzoBone& root)
    {
        addMaterial(scene, &small);
        addMaterial(scene, nullptr);
        addMaterial(scene, &large);
        const int objects = 1 + static_cast<int>(rng_() % 3);
        for (int o = 0; o < objects; ++o) {
            kzoObject obj = makeObject({});
            obj.orientation = kzoRotationY(uniform(-12, 12));
            obj.placement = kzoTranslation(uniform(-3, 3), uniform(-3, 3), uniform(-3, 3));
            const unsigned kind = rng_() % 4;
            if (kind == 0)
                addGrid(obj);
            else
                addSoup(obj);
            if (kind == 3)
                makeSkinned(obj, root);
            kzoAddObject(scene, std::move(obj));
        }
    }

    std::mt19937& rng() { return rng_; }

private:
    float uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(rng_); }

    // Texture shared with the caller, who frees it: the material does not own it.
    void addMaterial(kzoScene& scene, const peltoImage* texture)
    {
        kzoMaterial m;
        kzoInitMaterial(m, "m", 0);
        m.colour = rng_();
        if (texture)
            m.texture = *texture;
        kzoAddMaterial(scene, m);
    }

    std::int32_t material() { return static_cast<std::int32_t>(rng_() % 5) - 1; } // -1 and 3: missing

    float maybeSpecial(float v)
    {
        static const float specials[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f};
        return rng_() % 80 == 0 ? specials[rng_() % std::size(specials)] : v;
    }

    static kzoVertex vertex(float x, float y, float z, float u, float v)
    {
        kzoVertex vertex{};
        vertex.position.w = 1.0f;
        kzoMakeVertex(vertex, x, y, z, 0, 0, 1, u, v, 128, 128, 128, 255);
        return vertex;
    }

    // One special value at most per polygon: two on different corners could
    // overflow the winding sums, which stops the program on every route.
    void addSoup(kzoObject& obj)
    {
        const int polys = 1 + static_cast<int>(rng_() % 40);
        for (int p = 0; p < polys; ++p) {
            const int corners = rng_() % 5 == 0 ? 4 + static_cast<int>(rng_() % 5) : 3;
            const float cx = uniform(-12, 12), cy = uniform(-12, 12);
            const float cz = rng_() % 4 == 0 ? uniform(18.5f, 20.5f) : uniform(-30, 22); // the eye is at 20
            const float spread = rng_() % 4 == 0 ? 40.0f : 4.0f;
            const unsigned shape = rng_() % 8; // 0: no area, 1: one row (view y 0), others: any
            std::vector<kzoVertex> vertices;
            for (int k = 0; k < corners; ++k) {
                float x = cx + uniform(-spread, spread), y = cy + uniform(-spread, spread), z = cz + uniform(-4, 4);
                if (shape == 0 && k >= 2) { // on the line through the first two
                    const float t = uniform(-2, 2);
                    x = vertices[0].position.x + t * (vertices[1].position.x - vertices[0].position.x);
                    y = vertices[0].position.y + t * (vertices[1].position.y - vertices[0].position.y);
                    z = vertices[0].position.z + t * (vertices[1].position.z - vertices[0].position.z);
                }
                if (shape == 1)
                    y = -obj.placement[3][1];
                vertices.push_back(vertex(x, y, z, uniform(-0.5f, 1.5f), uniform(-0.5f, 1.5f)));
            }
            kzoVector& special = vertices[rng_() % vertices.size()].position;
            float& component = rng_() % 3 == 0 ? special.x : rng_() % 2 ? special.y : special.z;
            component = maybeSpecial(component);
            kzoPoly poly{};
            kzoCreatePoly(poly, vertices, material());
            kzoAddPoly(obj, poly);
        }
    }

    // A w x h grid on a random plane; both triangles of a cell share two of
    // its corners with it and with the neighbouring cells.
    void addGrid(kzoObject& obj)
    {
        const int w = 1 + static_cast<int>(rng_() % 12), h = 1 + static_cast<int>(rng_() % 12);
        const kzoVector origin{uniform(-15, 15), uniform(-15, 15), uniform(-20, 19), 1};
        const float size = rng_() % 3 == 0 ? 8.0f : 1.0f;
        const kzoVector across{uniform(-size, size), uniform(-size, size), uniform(-size, size), 0};
        const kzoVector down{uniform(-size, size), uniform(-size, size), uniform(-size, size), 0};
        const auto at = [&](int i, int j) {
            const float fi = static_cast<float>(i), fj = static_cast<float>(j);
            return vertex(origin.x + fi * across.x + fj * down.x, origin.y + fi * across.y + fj * down.y,
                          origin.z + fi * across.z + fj * down.z, fi / static_cast<float>(w),
                          fj / static_cast<float>(h));
        };
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                const kzoVertex a = at(i, j), b = at(i + 1, j), c = at(i, j + 1), d = at(i + 1, j + 1);
                const std::int32_t m = material();
                for (const auto& corners : {std::array{a, b, c}, std::array{b, d, c}}) {
                    kzoPoly poly{};
                    kzoCreatePoly(poly, corners, m);
                    kzoAddPoly(obj, poly);
                }
            }
    }

    // Every corner bound to joint 0 of a bone whose track moves it along x.
    void makeSkinned(kzoObject& obj, const kzoBone& root)
    {
        std::vector<kzoPoly> polys = polysOf(obj);
        kzoClearObject(obj);
        for (const kzoPoly& p : polys)
            kzoAddPoly(obj, boundToJoint(p, 0));
        obj.rootBone = &root;
        obj.boneNames = {root.name};
        obj.joints.assign(1, {});
        obj.joints[0].bindMatrix = kzoRotationY(uniform(-1, 1));
        obj.jointCount = 1;
        obj.poseName = "walk";
        obj.poses = {{"walk_" + root.name, {}, {}}};
        for (int f = 0; f < 3; ++f)
            obj.poses[0].matrices.push_back(kzoTranslation(0.5f * static_cast<float>(f), 0, 0));
    }

    std::mt19937 rng_;
};

// Frames of one scene drawn by the viewer's frame step (indexed route) and by
// the plain pipeline with the same held keys: the frames and depth buffers
// must be the same bits.
TEST(Render, IndexedRouteGivesThePlainPipelinesFramesOnRandomScenes)
{
    const peltoImage small = makeCodedTexture(37, 23), large = makeCodedTexture(300, 200);
    const kzoBone root{"root", kzoIdentity(), {}};
    const std::uint32_t width = 320, height = 180;
    int drawnFrames = 0, frames = 0;
    for (std::uint32_t round = 0; round < 400; ++round) {
        ViewerTarget fast(width, height), plain(width, height);
        RandomScenes(round).fill(fast.scene, small, large, root);
        RandomScenes(round).fill(plain.scene, small, large, root);
        std::mt19937 keyRng(round);
        for (int frame = 0; frame < 3; ++frame, ++frames) {
            peltoKeyState keys{};
            for (const std::uint8_t key : {peltoKeyUp, peltoKeyDown, peltoKeyLeft, peltoKeyRight, peltoKeyInsert,
                                           peltoKeyDelete})
                keys[key] = keyRng() % 3 == 0 ? 1 : 0;
            const float animationFrame = kzoAnimationFrame;
            kzoFrameStep(fast.scene, keys, fast.frame, 0.0f);
            // The keys moved the first object of the fast scene; the plain one follows.
            plain.scene.objects[0].orientation = fast.scene.objects[0].orientation;
            plain.scene.objects[0].placement = fast.scene.objects[0].placement;
            kzoAnimationFrame = animationFrame;
            FillPixels(plain.frame.pixels, std::size_t{width} * height, 0);
            kzoRenderScenePlain(plain.scene, 0.0f);
            ASSERT_EQ(std::memcmp(fast.frame.pixels, plain.frame.pixels, std::size_t{width} * height * 4), 0)
                << "round " << round << " frame " << frame;
            ASSERT_EQ(std::memcmp(fast.scene.viewPort.depthBuffer.data(), plain.scene.viewPort.depthBuffer.data(),
                                  std::size_t{width} * height * sizeof(float)),
                      0)
                << "round " << round << " frame " << frame;
            drawnFrames += fast.countNot(0) > 0 ? 1 : 0;
        }
        // The textures are the test's: no material owns them.
        for (RenderTarget* t : {static_cast<RenderTarget*>(&fast), static_cast<RenderTarget*>(&plain)}) {
            t->scene.materials.clear();
            t->scene.materialCount = 0;
        }
    }
    EXPECT_GT(drawnFrames, frames * 8 / 10) << "the scenes must draw something to compare";
    kzoAnimationFrame = 0.0f;
    for (peltoImage texture : {small, large})
        FreeImage(texture);
}

} // namespace
