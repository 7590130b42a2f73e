// Objects, skeleton posing, materials, cameras and the scene's lists.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "scene/Scene.hpp"
#include "tests/support/Process.hpp"

namespace {

bool sameBits(const kzoMatrix& a, const kzoMatrix& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Equal element by element; +0 and -0 count as equal.
bool sameValues(const kzoMatrix& a, const kzoMatrix& b)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (a[r][c] != b[r][c])
                return false;
    return true;
}

kzoPoly triangle(float z, std::int32_t material)
{
    kzoVertex v[3]{};
    kzoMakeVertex(v[0], 0, 0, z, 0, 0, 0, 0, 0, 1, 2, 3, 4);
    kzoMakeVertex(v[1], 1, 0, z, 0, 0, 0, 1, 0, 1, 2, 3, 4);
    kzoMakeVertex(v[2], 0, 1, z, 0, 0, 0, 0, 1, 1, 2, 3, 4);
    kzoPoly p{};
    kzoCreatePoly(p, v, material);
    return p;
}

TEST(Object, InitEmptiesPolygonsAndResetsTheMatrices)
{
    kzoObject obj;
    kzoInitObject(obj, "first", 0);
    kzoAddPoly(obj, triangle(0, 0));
    kzoAddPoly(obj, triangle(1, 0));
    obj.placement = kzoTranslation(1, 2, 3);
    kzoInitObject(obj, "second", 4);
    EXPECT_EQ(obj.name, "second");
    EXPECT_EQ(obj.materialIndex, 4);
    EXPECT_EQ(obj.polyCount, 0);
    EXPECT_EQ(kzoMeshPolyCount(obj.mesh), 0u);
    EXPECT_EQ(kzoMeshVertexCount(obj.mesh), 0u);
    EXPECT_TRUE(sameBits(obj.placement, kzoIdentity()));
    EXPECT_TRUE(sameBits(obj.orientation, kzoIdentity()));
}

TEST(Object, AddPolyAppendsAFullCopy)
{
    kzoObject obj;
    kzoInitObject(obj, "o", 0);
    const kzoPoly p = triangle(2, 7);
    kzoAddPoly(obj, p);
    ASSERT_EQ(obj.polyCount, 1);
    ASSERT_EQ(kzoMeshPolyCount(obj.mesh), 1u);
    const kzoPoly back = kzoMeshPoly(obj.mesh, 0);
    EXPECT_EQ(std::memcmp(&back, &p, sizeof p), 0);
    EXPECT_EQ(back.materialIndex, 7);
}

// Random polygons of every field (NaN, -0, skinning influences, colours, counts
// outside 0..9, vertices shared between polygons) read back bit for bit, and
// equal vertices are stored once.
TEST(Object, MeshReadsBackEveryPolygonBitForBit)
{
    std::mt19937 rng(11);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const float values[] = {0.0f, -0.0f, 1.0f, -2.5f, 1e30f, std::nanf(""), 0.25f, 3.0f};
    const auto value = [&] { return values[pick(8)]; };
    std::vector<kzoVertex> pool(40);
    for (kzoVertex& v : pool) {
        std::memset(&v, 0, sizeof v);
        v.position = {value(), value(), value(), value()};
        v.normal = {value(), value(), value(), value()};
        v.texCoord = {value(), value()};
        v.spare[pick(2)] = value();
        v.colour = {pick(256), pick(3), 255, pick(256)};
        v.screenX = pick(4) - 2;
        v.influenceCount = pick(3);
        v.influences[pick(kzoPolySlots)] = {pick(4), value()};
    }
    kzoObject obj;
    kzoInitObject(obj, "random", 0);
    std::vector<kzoPoly> added;
    for (int i = 0; i < 300; ++i) {
        kzoPoly p;
        std::memset(&p, 0, sizeof p);
        p.vertexCount = pick(12) - 1; // -1 .. 10
        for (int k = 0; k < std::clamp(p.vertexCount, 0, kzoPolySlots); ++k)
            p.vertices[k] = pool[static_cast<std::size_t>(pick(40))];
        p.normal = {value(), value(), value(), value()};
        p.materialIndex = pick(5) - 1;
        kzoAddPoly(obj, p);
        added.push_back(p);
    }
    ASSERT_EQ(obj.polyCount, 300);
    for (std::size_t i = 0; i < added.size(); ++i) {
        const kzoPoly back = kzoMeshPoly(obj.mesh, i);
        EXPECT_EQ(std::memcmp(&back, &added[i], sizeof back), 0) << "polygon " << i;
    }
    EXPECT_LE(kzoMeshVertexCount(obj.mesh), pool.size());
    EXPECT_LE(obj.mesh.details.size(), pool.size());
}

TEST(Object, ClearDropsPolygonsOnly)
{
    kzoObject obj;
    kzoInitObject(obj, "o", 2);
    kzoClearObject(obj);
    EXPECT_EQ(obj.polyCount, 0);
    kzoAddPoly(obj, triangle(0, 0));
    kzoClearObject(obj);
    EXPECT_EQ(obj.polyCount, 0);
    EXPECT_EQ(kzoMeshPolyCount(obj.mesh), 0u);
    EXPECT_EQ(kzoMeshVertexCount(obj.mesh), 0u);
    EXPECT_EQ(obj.materialIndex, 2);
}

// --- Posing -------------------------------------------------------------------

// root (rest: translate x 1) -> arm (rest: translate y 2) -> hand (rest: identity)
struct Rig {
    kzoBone hand{"hand", kzoIdentity(), {}};
    kzoBone arm{"arm", kzoTranslation(0, 2, 0), {}};
    kzoBone root{"root", kzoTranslation(1, 0, 0), {}};
    kzoObject obj;

    Rig()
    {
        arm.children = {hand};
        root.children = {arm};
        kzoInitObject(obj, "spot", 0);
        obj.rootBone = &root;
        obj.poseName = "walk";
        obj.boneNames = {"hand", "root", "arm"};
        obj.joints.resize(3);
        for (auto& joint : obj.joints)
            joint.bindMatrix = kzoIdentity();
        obj.jointCount = 3;
    }
};

TEST(Pose, WorldMatricesComposeFromTheRootDown)
{
    Rig rig;
    rig.obj.joints[2].bindMatrix = kzoTranslation(0, 0, 5);
    kzoPoseSkeleton(rig.obj, 0);
    EXPECT_TRUE(sameBits(rig.obj.joints[1].finalMatrix, kzoTranslation(1, 0, 0)));
    EXPECT_TRUE(sameBits(rig.obj.joints[2].finalMatrix, kzoTranslation(1, 2, 5)));
    EXPECT_TRUE(sameBits(rig.obj.joints[0].finalMatrix, kzoTranslation(1, 2, 0)));
    EXPECT_EQ(rig.obj.joints[0].name, "hand");
    EXPECT_EQ(rig.obj.joints[2].name, "arm");
}

TEST(Pose, FirstMatchingTrackWinsAndNamesAreCaseSensitive)
{
    Rig rig;
    rig.obj.poses = {
        {"walk_Arm", {}, {kzoTranslation(0, 100, 0)}},
        {"walk-arm", {}, {kzoTranslation(0, 101, 0)}},
        {"walk_ar", {}, {kzoTranslation(0, 102, 0)}},
        {"walkk_arm", {}, {kzoTranslation(0, 103, 0)}},
        {"walk_arm", {}, {kzoTranslation(0, 3, 0), kzoTranslation(0, 4, 0)}},
        {"walk_arm", {}, {kzoTranslation(0, 200, 0)}},
    };
    kzoPoseSkeleton(rig.obj, 1);
    EXPECT_TRUE(sameBits(rig.obj.joints[2].finalMatrix, kzoTranslation(1, 4, 0)));
    EXPECT_TRUE(sameBits(rig.obj.joints[0].finalMatrix, kzoTranslation(1, 4, 0))) << "children see the posed parent";
}

TEST(Pose, FramesOutsideATrackUseTheNearestFrame)
{
    Rig rig;
    rig.obj.poses = {{"walk_arm", {}, {kzoTranslation(0, 3, 0), kzoTranslation(0, 4, 0)}}};
    kzoPoseSkeleton(rig.obj, 139);
    EXPECT_TRUE(sameBits(rig.obj.joints[2].finalMatrix, kzoTranslation(1, 4, 0)));
    kzoPoseSkeleton(rig.obj, -5);
    EXPECT_TRUE(sameBits(rig.obj.joints[2].finalMatrix, kzoTranslation(1, 3, 0)));
}

TEST(Pose, MissingBoneIsReportedAndSkipped)
{
    const ProcessResult r = runInChild([] {
        Rig rig;
        rig.obj.boneNames = {"root", "arm"}; // no joint for the hand
        rig.obj.joints.resize(2);
        kzoPoseSkeleton(rig.obj, 0);
        EXPECT_EQ(kzoFindBone(rig.obj, "arm"), 1);
        return sameBits(rig.obj.joints[1].finalMatrix, kzoTranslation(1, 2, 0)) ? 0 : 9;
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "spot Bone hand not found!\n");
}

// --- Materials, cameras and scenes -----------------------------------------

TEST(Material, InitGivesGreyWithoutTexture)
{
    kzoMaterial mat;
    std::uint32_t notOnTheHeap[4] = {};
    mat.texture.pixels = notOnTheHeap;
    kzoInitMaterial(mat, "material-textured", 1);
    EXPECT_EQ(mat.colour, 0xFF808080u);
    EXPECT_FALSE(mat.hasTexture);
    EXPECT_EQ(mat.flags, 1);
    kzoFreeMaterial(mat); // must not free what it does not own
    EXPECT_EQ(mat.texture.pixels, notOnTheHeap);
}

TEST(Material, SetTextureTakesThePixelsOver)
{
    kzoMaterial mat;
    kzoInitMaterial(mat, "m", 0);
    peltoImage image;
    AllocImage(image, 4, 2);
    kzoSetMaterialTexture(mat, image, "tex.jpg");
    EXPECT_TRUE(mat.hasTexture);
    EXPECT_EQ(mat.texture.pixels, image.pixels);
    EXPECT_EQ(mat.textureFileName, "tex.jpg");
    kzoFreeMaterial(mat);
    EXPECT_FALSE(mat.hasTexture);
    EXPECT_EQ(mat.texture.pixels, nullptr);
}

TEST(Camera, ViewerCameraLooksDownMinusZFromTwentyUnits)
{
    const kzoMatrix m = kzoLookAt(kzoMakeVector(0, 0, 20), kzoMakeVector(0, 0, 1), kzoMakeVector(0, 1, 0));
    EXPECT_TRUE(sameValues(m, kzoTranslation(0, 0, -20)));
    kzoCamera cam;
    kzoInitCamera(cam, "camera", kzoMakeVector(0, 0, 20), kzoMakeVector(0, 0, 1), kzoMakeVector(0, 1, 0));
    EXPECT_EQ(cam.name, "camera");
    EXPECT_EQ(cam.animation.frameCount, 0);
    EXPECT_TRUE(sameBits(cam.matrix, m));
}

TEST(Camera, ViewerCameraPutsModelPointsWhereTheViewerShowsThem)
{
    peltoImage frame{nullptr, 1280, 720};
    kzoViewPort vp;
    kzoInitViewPort(vp, frame);
    const kzoMatrix view = kzoLookAt(kzoMakeVector(0, 0, 20), kzoMakeVector(0, 0, 1), kzoMakeVector(0, 1, 0));
    const kzoMatrix mvp = kzoMatMul(kzoMatMul(kzoIdentity(), view), vp.projection);
    const struct {
        kzoVector point;
        float x, y;
        std::int32_t pixelX, pixelY;
    } cases[] = {
        {kzoMakeVector(1, 0, 0), 729.991f, 360, 730, 360},
        {kzoMakeVector(0, 1, 0), 640, 270.009f, 640, 270},
        {kzoMakeVector(0, 0, 0), 640, 360, 640, 360},
    };
    for (const auto& c : cases) {
        kzoVertex v{};
        v.position = kzoTransform(mvp, c.point);
        const kzoVertex s = kzoProjectVertex(v, vp.centerX, vp.centerY);
        EXPECT_NEAR(s.position.x, c.x, 1e-3);
        EXPECT_NEAR(s.position.y, c.y, 1e-3);
        EXPECT_NEAR(s.position.z, 5.25047f, 1e-5);
        EXPECT_EQ(s.screenX, c.pixelX);
        EXPECT_EQ(s.screenY, c.pixelY);
    }
}

TEST(Scene, InitEmptiesEveryListAndKeepsTheViewportWhenAsked)
{
    kzoScene scene;
    scene.viewPort.width = 7;
    scene.objectCount = 3;
    scene.activeCamera = 2;
    kzoInitScene(scene, "first2", peltoImage{}, false);
    EXPECT_EQ(scene.name, "first2");
    EXPECT_EQ(scene.objectCount, 0);
    EXPECT_EQ(scene.materialCount, 0);
    EXPECT_EQ(scene.lightCount, 0);
    EXPECT_EQ(scene.cameraCount, 0);
    EXPECT_EQ(scene.activeCamera, -1);
    EXPECT_TRUE(sameBits(scene.view, kzoIdentity()));
    EXPECT_EQ(scene.viewPort.width, 7u);

    kzoInitScene(scene, std::string(300, 'n'), peltoImage{nullptr, 64, 32}, true);
    EXPECT_EQ(scene.name.size(), 255u);
    EXPECT_EQ(scene.viewPort.width, 64u);
    EXPECT_EQ(scene.viewPort.depthBuffer.size(), 64u * 32u);
}

TEST(Scene, EachAddedCameraBecomesTheActiveOne)
{
    kzoScene scene;
    kzoInitScene(scene, "s", peltoImage{}, false);
    kzoCamera cam;
    kzoInitCamera(cam, "camera", kzoMakeVector(0, 0, 20), kzoMakeVector(0, 0, 1), kzoMakeVector(0, 1, 0));
    EXPECT_EQ(kzoAddCamera(scene, cam), 0);
    EXPECT_EQ(scene.activeCamera, 0);
    EXPECT_EQ(kzoAddCamera(scene, cam), 1);
    EXPECT_EQ(scene.activeCamera, 1);
    EXPECT_EQ(scene.cameraCount, 2);
}

TEST(Scene, FreeSceneReleasesEveryListAndEachTextureOnce)
{
    kzoScene scene;
    kzoInitScene(scene, "s", peltoImage{}, false);
    kzoFreeScene(scene);
    EXPECT_EQ(scene.name, "s");
    EXPECT_EQ(scene.activeCamera, -1);

    for (int i = 0; i < 2; ++i) {
        kzoMaterial mat;
        kzoInitMaterial(mat, "m", 1);
        peltoImage image;
        AllocImage(image, 8, 8);
        kzoSetMaterialTexture(mat, image, "t.jpg");
        kzoAddMaterial(scene, mat); // the scene's copy owns the pixels
    }
    kzoMaterial plain;
    kzoInitMaterial(plain, "plain", 0);
    kzoAddMaterial(scene, plain);
    kzoObject obj;
    kzoInitObject(obj, "o", 0);
    kzoAddPoly(obj, triangle(0, 0));
    kzoAddObject(scene, obj);
    scene.lights.push_back({});
    scene.lightCount = 1;
    kzoCamera cam;
    kzoInitCamera(cam, "camera", kzoMakeVector(0, 0, 20), kzoMakeVector(0, 0, 1), kzoMakeVector(0, 1, 0));
    kzoAddCamera(scene, cam);

    kzoFreeScene(scene); // the sanitizer build catches a double free or a leak here
    EXPECT_EQ(scene.objectCount, 0);
    EXPECT_EQ(scene.materialCount, 0);
    EXPECT_EQ(scene.lightCount, 0);
    EXPECT_EQ(scene.cameraCount, 0);
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_TRUE(scene.materials.empty());
    EXPECT_TRUE(scene.lights.empty());
    EXPECT_TRUE(scene.cameras.empty());
    EXPECT_EQ(scene.activeCamera, 0);
}

} // namespace
