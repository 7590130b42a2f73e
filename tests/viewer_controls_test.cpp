// The viewer's controls beyond the six keys, without a window: fit to view
// (where the outline of the bounding sphere lands on the screen, the depth
// range, the rendered rows), the drag, the wheel, R and Home, and their order
// within a frame.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "apps/viewer/FitView.hpp"
#include "apps/viewer/FrameStep.hpp"
#include "tests/support/SceneBuilders.hpp"

namespace {

bool sameMatrix(const kzoMatrix& a, const kzoMatrix& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The eight corners of a box, each as a point-sized triangle: only the
// vertices matter to the fit.
kzoObject boxObject(float cx, float cy, float cz, float half)
{
    kzoObject object = makeObject({});
    for (int i = 0; i < 8; ++i) {
        const float x = cx + ((i & 1) ? half : -half), y = cy + ((i & 2) ? half : -half), z = cz + ((i & 4) ? half : -half);
        kzoAddPoly(object, makeTriangle({x, y, z, 0, 0}, {x, y, z, 0, 0}, {x, y, z, 0, 0}));
    }
    return object;
}

// A UV sphere of rings x segments quads (as triangles), counter-clockwise
// seen from outside.
kzoObject sphereObject(float cx, float cy, float cz, float radius, int rings, int segments)
{
    kzoObject object = makeObject({});
    const auto point = [&](int ring, int segment) {
        const double theta = M_PI * ring / rings, phi = 2 * M_PI * segment / segments;
        return Corner{cx + static_cast<float>(radius * std::sin(theta) * std::cos(phi)),
                      cy + static_cast<float>(radius * std::cos(theta)),
                      cz - static_cast<float>(radius * std::sin(theta) * std::sin(phi)), 0, 0};
    };
    for (int ring = 0; ring < rings; ++ring)
        for (int segment = 0; segment < segments; ++segment) {
            const Corner a = point(ring, segment), b = point(ring + 1, segment), c = point(ring + 1, segment + 1),
                         d = point(ring, segment + 1);
            kzoAddPoly(object, makeTriangle(a, b, c));
            kzoAddPoly(object, makeTriangle(a, c, d));
        }
    return object;
}

// A 1280 x 720 frame with the viewer's camera and one object.
struct Viewer : RenderTarget {
    explicit Viewer(kzoObject object, std::uint32_t width = 1280, std::uint32_t height = 720)
        : RenderTarget(width, height)
    {
        kzoAddViewerCamera(scene);
        kzoAddObject(scene, std::move(object));
        start = kzoRememberStart(scene);
    }
    kzoObject& first() { return scene.objects[0]; }
    void step(const kzoViewerInput& input) { kzoFrameStep(scene, input, start, frame, 0.0f); }
    void press(std::uint8_t code)
    {
        kzoViewerInput input;
        input.keys[code] = 1;
        step(input);
    }
    kzoViewerStart start;
};

// A view-space point through the projection to the screen, as the renderer does.
kzoVector onScreen(const kzoViewPort& viewPort, const kzoVector& viewPoint)
{
    kzoVertex v{};
    v.position = kzoTransform(viewPort.projection, viewPoint);
    return kzoProjectVertex(v, viewPort.centerX, viewPort.centerY).position;
}

TEST(FitView, BoundingSphereIsTheBoxCentreAndTheFarthestVertex)
{
    kzoObject object = makeObject({makeTriangle({1, 2, 3, 0, 0}, {-1, 0, 7, 0, 0}, {3, 2, 5, 0, 0})});
    kzoBoundingSphere sphere;
    ASSERT_TRUE(kzoOrientedBounds(object, sphere));
    EXPECT_EQ(sphere.centre[0], 1.0);
    EXPECT_EQ(sphere.centre[1], 1.0);
    EXPECT_EQ(sphere.centre[2], 5.0);
    EXPECT_EQ(sphere.radius, 3.0); // (-1, 0, 7); the others are sqrt(5) away
    // Turned a quarter about +Y, x becomes z: (3, 2, 1) and so on.
    object.orientation = kzoRotationY(static_cast<float>(M_PI / 2));
    ASSERT_TRUE(kzoOrientedBounds(object, sphere));
    EXPECT_NEAR(sphere.centre[0], 5.0, 1e-6);
    EXPECT_NEAR(sphere.centre[2], -1.0, 1e-6);
    EXPECT_NEAR(sphere.radius, 3.0, 1e-6);
    EXPECT_FALSE(kzoOrientedBounds(makeObject({}), sphere));
}

TEST(FitView, VisibleDepthsOfTheViewersProjection)
{
    const Viewer v(makeObject({}));
    const kzoDepthRange depths = kzoVisibleDepths(v.scene.viewPort);
    // Clip w = -0.20002 d reaches -near at d = 0.1 / 0.20002; clip z =
    // 1 + 1.0002 d reaches far at d = 999 / 1.0002.
    EXPECT_NEAR(depths.nearest, 0.1 / (200.0 / 999.9), 1e-6);
    EXPECT_NEAR(depths.farthest, 999.0 / (1000.1 / 999.9), 1e-3);
}

// Wherever the model is, however large and however turned, the outline of its
// bounding sphere runs from row 72 to row 648 of 720 (80 %), centred on the
// view axis, and the whole sphere lies within the depths the frame keeps.
TEST(FitView, OutlineOfTheSphereFillsEightyPercentOfTheHeightOnTheAxis)
{
    struct Case {
        const char* name;
        kzoObject object;
        kzoMatrix orientation;
        bool scaled; // the fit also scales it about the eye
    };
    const kzoMatrix turned = kzoMatMul(kzoRotationY(0.7f), kzoRotationX(0.3f));
    std::vector<Case> cases;
    cases.push_back({"unit box at the origin", boxObject(0, 0, 0, 1), kzoIdentity(), false});
    cases.push_back({"box off the axis", boxObject(5, -3, 1, 2), kzoIdentity(), false});
    cases.push_back({"turned box off the axis", boxObject(5, -3, 1, 2), turned, false});
    cases.push_back({"box x100", boxObject(500, -300, 100, 200), kzoIdentity(), true});
    cases.push_back({"box x0.001", boxObject(0.005f, -0.003f, 0.001f, 0.002f), kzoIdentity(), true});
    for (Case& c : cases) {
        Viewer v(std::move(c.object));
        v.first().orientation = c.orientation;
        v.first().placement = kzoTranslation(7, 8, 9); // forgotten by the fit
        kzoFitFirstObject(v.scene);
        const kzoMatrix& placement = v.first().placement;
        EXPECT_EQ(placement[0][0] != 1.0f, c.scaled) << c.name;

        kzoBoundingSphere sphere;
        ASSERT_TRUE(kzoOrientedBounds(v.first(), sphere));
        const kzoVector centre = {static_cast<float>(sphere.centre[0]), static_cast<float>(sphere.centre[1]),
                                  static_cast<float>(sphere.centre[2]), 1.0f};
        const kzoVector viewCentre = kzoTransform(v.scene.cameras[0].matrix, kzoTransform(placement, centre));
        const double radius = sphere.radius * placement[0][0];
        const double distance = -viewCentre.z;
        EXPECT_NEAR(viewCentre.x, 0.0, 1e-5 * distance) << c.name;
        EXPECT_NEAR(viewCentre.y, 0.0, 1e-5 * distance) << c.name;

        // The outline's top and bottom: where the tangents from the eye touch.
        const double sine = radius / distance, cosine = std::sqrt(1 - sine * sine);
        const auto tangent = [&](double sign) {
            return kzoVector{0.0f, static_cast<float>(sign * radius * cosine),
                             static_cast<float>(-(distance - radius * sine)), 1.0f};
        };
        EXPECT_NEAR(onScreen(v.scene.viewPort, tangent(1)).y, 72.0f, 0.02f) << c.name;
        EXPECT_NEAR(onScreen(v.scene.viewPort, tangent(-1)).y, 648.0f, 0.02f) << c.name;

        const kzoDepthRange depths = kzoVisibleDepths(v.scene.viewPort);
        EXPECT_LE(distance + radius, depths.farthest / 2 * (1 + 1e-5)) << c.name;
        EXPECT_GE(distance - radius, depths.nearest * 2 * (1 - 1e-5)) << c.name;
    }
}

TEST(FitView, UnscaledFitIsThePlainTranslationOfTheCentre)
{
    Viewer v(boxObject(5, -3, 1.5f, 2));
    kzoFitFirstObject(v.scene);
    const kzoMatrix& placement = v.first().placement;
    EXPECT_EQ(placement[3][0], -5.0f);
    EXPECT_EQ(placement[3][1], 3.0f);
    // r = 2 sqrt(3); T = 0.8 tanHalf; D = r sqrt(1 + T^2) / T; z = 20 - D - 1.5.
    const double t = 0.8 * v.scene.viewPort.projection[2][3] / v.scene.viewPort.projection[1][1];
    EXPECT_EQ(placement[3][2], static_cast<float>(20.0 - 2 * std::sqrt(3.0) * std::sqrt(1 + t * t) / t - 1.5));
    kzoMatrix rest = placement;
    rest[3][0] = rest[3][1] = rest[3][2] = 0;
    EXPECT_TRUE(sameMatrix(rest, kzoIdentity()));
}

TEST(FitView, NothingToFitLeavesThePlacement)
{
    for (kzoObject object : {makeObject({}), boxObject(1, 2, 3, 0)}) {
        Viewer v(std::move(object));
        v.first().placement = kzoTranslation(1, 2, 3);
        kzoFitFirstObject(v.scene);
        EXPECT_TRUE(sameMatrix(v.first().placement, kzoTranslation(1, 2, 3)));
    }
}

// A finely divided sphere, fitted and drawn: its rows are those of the outline.
TEST(FrameStep, FittedSphereCoversRows72To647)
{
    Viewer v(sphereObject(3, -2, 1, 1.5f, 64, 128));
    v.press(peltoKeyF);
    int top = -1, bottom = -1;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x)
            if (v.at(x, y) != 0) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
    EXPECT_EQ(top, 72);
    EXPECT_EQ(bottom, 647);
}

TEST(FrameStep, FitForgetsEarlierMovesAndGivesTheSameBitsEveryTime)
{
    Viewer v(boxObject(1, 2, 3, 0.5f));
    v.press(peltoKeyF);
    const kzoMatrix fitted = v.first().placement;
    std::mt19937 random(7);
    const std::uint8_t moves[] = {peltoKeyUp, peltoKeyDown, peltoKeyLeft, peltoKeyRight};
    for (int i = 0; i < 50; ++i)
        v.press(moves[random() % 4]);
    v.press(peltoKeyF);
    EXPECT_TRUE(sameMatrix(v.first().placement, fitted));
    v.press(peltoKeyF);
    EXPECT_TRUE(sameMatrix(v.first().placement, fitted));
}

TEST(FrameStep, DragTurnsAboutTheViewsAxesAtAHundredthRadianAPixel)
{
    struct Case {
        std::int32_t dragX, dragY;
        kzoMatrix expected;
    };
    const std::vector<Case> cases = {
        {30, 0, kzoMatMul(kzoIdentity(), kzoRotationY(30 * 0.01f))},
        {0, -20, kzoMatMul(kzoIdentity(), kzoRotationX(-20 * 0.01f))},
        {-7, 12, kzoMatMul(kzoMatMul(kzoIdentity(), kzoRotationY(-7 * 0.01f)), kzoRotationX(12 * 0.01f))},
        {0, 0, kzoIdentity()},
    };
    for (const Case& c : cases) {
        Viewer v(boxObject(0, 0, 0, 1));
        kzoViewerInput input;
        input.dragX = c.dragX;
        input.dragY = c.dragY;
        v.step(input);
        EXPECT_TRUE(sameMatrix(v.first().orientation, c.expected)) << c.dragX << ", " << c.dragY;
    }
    // Right brings the front (+z) round to the right, down tips it down.
    Viewer v(boxObject(0, 0, 0, 1));
    kzoTurnByDrag(v.first(), 10, 0);
    EXPECT_GT(kzoTransform(v.first().orientation, kzoMakeVector(0, 0, 1)).x, 0.09f);
    kzoTurnByDrag(v.first(), -10, 10);
    EXPECT_LT(kzoTransform(v.first().orientation, kzoMakeVector(0, 0, 1)).y, -0.09f);
}

TEST(FrameStep, WheelNotchesAreUpAndDownSteps)
{
    for (const std::int32_t notches : {-3, 2}) {
        Viewer wheel(boxObject(0, 0, 0, 1)), keys(boxObject(0, 0, 0, 1));
        kzoViewerInput input;
        input.wheelNotches = notches;
        wheel.step(input);
        for (int i = 0; i < std::abs(notches); ++i)
            keys.press(notches < 0 ? peltoKeyUp : peltoKeyDown);
        EXPECT_TRUE(sameMatrix(wheel.first().placement, keys.first().placement)) << notches;
        EXPECT_NE(wheel.first().placement[3][2], 0.0f);
    }
}

TEST(FrameStep, ROrHomeReturnsToTheStartWhateverElseActs)
{
    for (const std::uint8_t reset : {peltoKeyR, peltoKeyHome}) {
        Viewer v(boxObject(1, 1, 1, 1));
        v.first().placement = kzoTranslation(0.5f, 0, 0); // as loaded
        v.start = kzoRememberStart(v.scene);
        kzoViewerInput input;
        input.keys[peltoKeyUp] = input.keys[peltoKeyInsert] = input.keys[peltoKeyF] = 1;
        input.dragX = 40;
        input.wheelNotches = -2;
        v.step(input);
        EXPECT_FALSE(sameMatrix(v.first().placement, kzoTranslation(0.5f, 0, 0)));
        input.keys[reset] = 1;
        v.step(input);
        EXPECT_TRUE(sameMatrix(v.first().placement, kzoTranslation(0.5f, 0, 0))) << int{reset};
        EXPECT_TRUE(sameMatrix(v.first().orientation, kzoIdentity())) << int{reset};
    }
}

TEST(FrameStep, FitComesAfterTheMovesOfItsFrame)
{
    Viewer fitOnly(boxObject(1, 1, 1, 1)), fitAndMoves(boxObject(1, 1, 1, 1));
    fitOnly.press(peltoKeyF);
    kzoViewerInput input;
    input.keys[peltoKeyF] = input.keys[peltoKeyUp] = input.keys[peltoKeyLeft] = 1;
    input.wheelNotches = 4;
    fitAndMoves.step(input);
    EXPECT_TRUE(sameMatrix(fitAndMoves.first().placement, fitOnly.first().placement));
}

TEST(FrameStep, InputWithoutObjectsChangesNothing)
{
    RenderTarget t(32, 18);
    kzoAddViewerCamera(t.scene);
    kzoViewerInput input;
    input.keys.fill(1);
    input.dragX = input.dragY = 5;
    input.wheelNotches = 3;
    kzoFrameStep(t.scene, input, kzoRememberStart(t.scene), t.frame, 0.0f);
    EXPECT_FALSE(kzoRememberStart(t.scene).hasObject);
    EXPECT_EQ(t.countNot(0), 0);
}

} // namespace
