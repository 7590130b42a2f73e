// The converter: its choice of encodings, and kzoWrite run as a real process in
// a scratch folder (usage, missing files, overwrite, atomic write under
// failure, and the real models of the shared folder). Its fan split is the OBJ
// loader's (obj_test).

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

#include "fileio/ChooseSettings.hpp"
#include "tests/support/Process.hpp"
#include "tests/support/SceneBuilders.hpp"
#include "tests/support/SceneProbe.hpp"
#include "tests/support/Scratch.hpp"

namespace {

const std::string program = KZO_WRITE_PROGRAM;
const std::string models = std::string(KZO_SHARED_DIR) + "/models/";
const std::string sampleObj = std::string(KZO_SOURCE_DIR) + "/assets/sample.obj";
const std::string sampleJpg = std::string(KZO_SOURCE_DIR) + "/assets/sample.jpg";

kzoVertex corner(float x, float y, float z, float u, float v)
{
    kzoVertex vertex{};
    kzoMakeVertex(vertex, x, y, z, 0, 0, 1, u, v, 255, 255, 255, 255);
    vertex.position.w = 1.0f;
    return vertex;
}

kzoPoly polygon(const std::vector<kzoVertex>& vertices, std::int32_t materialIndex = 0)
{
    kzoPoly poly{};
    kzoCreatePoly(poly, vertices, materialIndex);
    return poly;
}

// A scene of one object on a material whose texture is width x height (no
// pixels: only the size counts), holding the triangles of the given corners.
kzoScene sceneOf(const std::vector<kzoVertex>& corners, std::uint32_t width, std::uint32_t height)
{
    kzoScene scene;
    kzoInitScene(scene, "first2", peltoImage{}, false);
    kzoMaterial material;
    kzoInitMaterial(material, "material-textured", 1);
    kzoSetMaterialTexture(material, peltoImage{nullptr, width, height}, "t.jpg");
    kzoAddMaterial(scene, material);
    kzoObject obj;
    kzoInitObject(obj, "m.obj", 0);
    for (std::size_t i = 0; i + 2 < corners.size() + 2; i += 3)
        kzoAddPoly(obj, polygon({corners[i], corners[(i + 1) % corners.size()], corners[(i + 2) % corners.size()]}));
    kzoAddObject(scene, std::move(obj));
    return scene;
}

TEST(ChooseSettings, EachSettingWidensOnlyAsFarAsTheDataNeeds)
{
    struct Case {
        const char* what;
        std::vector<kzoVertex> corners;
        std::uint32_t width, height;
        kzoExportSettings expected;
    } const cases[] = {
        {"fits the fixed settings", {corner(7.99f, -8, 7.9f, 0, 1), corner(0, 0, -7.99f, 1, 0.5f)}, 256, 256,
         {true, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"z = 8 is stored as -8, which fits", {corner(0, 0, 8, 0, 0)}, 256, 256, {true, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"z = -8 is stored as +8, which does not", {corner(0, 0, -8, 0, 0)}, 256, 256,
         {false, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"x = 8", {corner(8, 0, 0, 0, 0)}, 256, 256, {false, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"x just below 7.99988 rounds to 32767", {corner(32767.49f / 4096, 0, 0, 0, 0)}, 256, 256,
         {true, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"y beyond -8 by half a step rounds to -32768", {corner(0, -8.0f - 0.4f / 4096, 0, 0, 0)}, 256, 256,
         {true, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"a 257-pixel texture needs 16 bits for u = 1", {corner(0, 0, 0, 1, 0)}, 257, 16,
         {true, kzoIndexSize2byte, kzoTextureMode16Bit, -1}},
        {"u = 1 on 257 pixels is 256, but u = 0.99 is 253", {corner(0, 0, 0, 0.99f, 0)}, 257, 16,
         {true, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"u just past 255.5 steps rounds up", {corner(0, 0, 0, 255.51f / 255, 0)}, 256, 256,
         {true, kzoIndexSize2byte, kzoTextureMode16Bit, -1}},
        {"255.5 steps is a tie that rounds to 256", {corner(0, 0, 0, 255.5f / 510, 0)}, 511, 2,
         {true, kzoIndexSize2byte, kzoTextureMode16Bit, -1}},
        {"254.5 steps is a tie that rounds to 254", {corner(0, 0, 0, 254.5f / 510, 0)}, 511, 2,
         {true, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"a tall texture needs 16 bits for v", {corner(0, 0, 0, 0, 1)}, 16, 2048, {true, kzoIndexSize2byte, kzoTextureMode16Bit, -1}},
        {"u below 0 needs numbers", {corner(0, 0, 0, -0.05f, 0)}, 256, 256, {true, kzoIndexSize2byte, kzoTextureModeFloat, -1}},
        {"u a hair below 0 still rounds to step 0", {corner(0, 0, 0, -0.001f, 0)}, 256, 256,
         {true, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"u beyond 65535 steps needs numbers", {corner(0, 0, 0, 2, 0)}, 40000, 2, {true, kzoIndexSize2byte, kzoTextureModeFloat, -1}},
        {"UVs stored as numbers must fit fixed point too", {corner(0, 0, 0, -9, 0)}, 256, 256,
         {false, kzoIndexSize2byte, kzoTextureModeFloat, -1}},
        {"UVs beyond fixed point do not matter when quantised", {corner(0, 0, 0, 9, 0)}, 2, 2,
         {true, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
        {"an infinite coordinate needs Single", {corner(INFINITY, 0, 0, 0, 0)}, 256, 256,
         {false, kzoIndexSize2byte, kzoTextureMode8Bit, -1}},
    };
    for (const Case& c : cases) {
        const kzoScene scene = sceneOf(c.corners, c.width, c.height);
        const kzoExportSettings s = kzoChooseExportSettings(scene, kzoTabulateScene(scene, -1));
        EXPECT_EQ(s.fixedPoint, c.expected.fixedPoint) << c.what;
        EXPECT_EQ(s.indexSize, c.expected.indexSize) << c.what;
        EXPECT_EQ(s.textureMode, c.expected.textureMode) << c.what;
        EXPECT_EQ(s.zFactor, -1) << c.what;
    }
}

TEST(ChooseSettings, FourByteIndicesPastDistinctEntry65536)
{
    // Distinct values count; a repeated one does not.
    for (const int distinct : {65536, 65537}) {
        std::vector<kzoVertex> positions, uvs;
        for (int i = 0; i < distinct; ++i) {
            positions.push_back(corner(static_cast<float>(i % 256) / 64, static_cast<float>(i / 256) / 64, 0, 0, 0));
            uvs.push_back(corner(0, 0, 0, static_cast<float>(i) / 100000, 0));
        }
        positions.push_back(positions.front());
        uvs.push_back(uvs.front());
        const kzoIndexSize expected = distinct > 65536 ? kzoIndexSize4Byte : kzoIndexSize2byte;
        const kzoScene byPositions = sceneOf(positions, 2, 2), byUVs = sceneOf(uvs, 2, 2);
        EXPECT_EQ(kzoChooseExportSettings(byPositions, kzoTabulateScene(byPositions, -1)).indexSize, expected)
            << distinct << " positions";
        EXPECT_EQ(kzoChooseExportSettings(byUVs, kzoTabulateScene(byUVs, -1)).indexSize, expected) << distinct << " UVs";
    }
}

// ---- kzoWrite as a process ---------------------------------------------------

ProcessResult runWrite(const ScratchDir& dir, const std::vector<std::string>& args)
{
    return runProcess(program, args, inDirectory(dir.path()));
}

std::vector<std::string> linesOf(const ProcessResult& r) { return splitLines(r.out); }

TEST(KzoWrite, WrongArgumentCountPrintsUsageAndTouchesNothing)
{
    const std::vector<std::vector<std::string>> calls = {{}, {sampleObj, sampleJpg, "extra"}};
    for (const auto& args : calls) {
        ScratchDir dir;
        writeText(dir.file("test.kzo"), "previous");
        writeText(dir.file("logger.log"), "old log");
        const ProcessResult r = runWrite(dir, args);
        EXPECT_EQ(r.exitCode, 2) << args.size();
        EXPECT_EQ(r.out, "kzoWrite file.obj file.jpg\n");
        EXPECT_EQ(readText(dir.file("test.kzo")), "previous");
        EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"test.kzo"})) << "the old log is deleted first";
    }
}

TEST(KzoWrite, ConvertsTheSampleWithTheFixedSettings)
{
    ScratchDir dir;
    writeFile(dir.file("sample.jpg"), readFile(sampleJpg));
    const ProcessResult r = runWrite(dir, {sampleObj, "sample.jpg"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(linesOf(r), (std::vector<std::string>{
                              "Using Texture sample.jpg", "Saving ./test.kzo", " - Using FixedPoint",
                              " - IndexSize is kzoIndexSize2byte", " - TextureMode is kzoTextureMode8Bit", " - Z is -1",
                              "Writing first2", " - saving material-textured",
                              " - saving " + sampleObj + " with 3968 Polys", "Writing 1986 Vectors",
                              "Writing 2143 UVs", "Writing 3968 Polys"}));
    const SceneProbe probe = probeScene(readFile(dir.file("test.kzo")));
    EXPECT_EQ(probe.name, "first2");
    ASSERT_EQ(probe.materials.size(), 1u);
    EXPECT_EQ(probe.materials[0].name, "material-textured");
    EXPECT_EQ(probe.materials[0].textureFileName, "sample.jpg") << "argument 2 verbatim";
    EXPECT_EQ(probe.materials[0].flags, 1);
    EXPECT_EQ(probe.materials[0].red, 0x80);
    ASSERT_EQ(probe.objects.size(), 1u);
    EXPECT_EQ(probe.objects[0].materialIndex, 0);
    EXPECT_EQ(probe.objects[0].corners.size(), 3u * 3968);
    // The top pole (0, 2.9, 0) comes first; z = 0 either way.
    EXPECT_EQ(probe.objects[0].positions[0], (std::array<float, 3>{0, 11878 / 4096.0f, 0}));
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"sample.jpg", "test.kzo"}));
}

TEST(KzoWrite, MissingObjWarnsThenStopsWithUnableToOpen)
{
    ScratchDir dir;
    const ProcessResult r = runWrite(dir, {"nothing.obj", sampleJpg});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "OBJ File nothing.obj does not exist!\n");
    EXPECT_EQ(r.err, "UNABLE to open nothing.obj\n");
    EXPECT_EQ(readText(dir.file("logger.log")), "MESSAGE: UNABLE to open nothing.obj\r\nUNABLE to open nothing.obj\r\n");
    EXPECT_FALSE(fileExists(dir.file("test.kzo")));
}

TEST(KzoWrite, MissingJpegWarnsThenStopsWithErrorLoadingFile)
{
    ScratchDir dir;
    const ProcessResult r = runWrite(dir, {sampleObj, "nothing.jpg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "JPG File nothing.jpg does not exist!\n");
    EXPECT_EQ(r.err, "nothing.jpg: no such file\nError loading file!\n");
    EXPECT_FALSE(fileExists(dir.file("test.kzo")));
}

TEST(KzoWrite, JpegThatDoesNotDecodeStopsWithoutAFile)
{
    ScratchDir dir;
    const std::string notJpeg = dir.file("not_a_picture.jpg");
    writeText(notJpeg, "neither a JPEG nor a PNG file\n");
    const ProcessResult r = runWrite(dir, {sampleObj, notJpeg});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(notJpeg + ": ", 0), 0u) << r.err;
    EXPECT_FALSE(fileExists(dir.file("test.kzo")));
}

TEST(KzoWrite, BothMissingGivesBothWarnings)
{
    ScratchDir dir;
    const ProcessResult r = runWrite(dir, {"a.obj", "b.jpg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "OBJ File a.obj does not exist!\nJPG File b.jpg does not exist!\n");
    EXPECT_FALSE(fileExists(dir.file("test.kzo")));
}

TEST(KzoWrite, RunningAgainOverwritesTheSceneFile)
{
    ScratchDir dir;
    writeText(dir.file("tri.obj"), "v 0 0 1\nv 1 0 1\nv 0 1 1\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n");
    ASSERT_EQ(runWrite(dir, {sampleObj, sampleJpg}).exitCode, 0);
    const ProcessResult r = runWrite(dir, {"tri.obj", sampleJpg});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const SceneProbe probe = probeScene(readFile(dir.file("test.kzo")));
    EXPECT_EQ(probe.objects[0].name, "tri.obj");
    EXPECT_EQ(probe.objects[0].positions, (std::vector<std::array<float, 3>>{{0, 0, -1}, {1, 0, -1}, {0, 1, -1}}));
    // v flipped by the loader, then quantised against 255 steps: (0, 255), (255, 255), (0, 0).
    EXPECT_EQ(probe.objects[0].uvs, (std::vector<std::array<double, 2>>{{0, 255}, {255, 255}, {0, 0}}));
}

TEST(KzoWrite, QuadsAndPentagonsAreSplitIntoFans)
{
    ScratchDir dir;
    writeText(dir.file("mixed.obj"), "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv -1 0.5 0\nvt 0 0\n"
                                     "f 1/1 2/1 3/1 4/1\nf 1/1 2/1 3/1 4/1 5/1\nf 1/1 2/1 3/1\n");
    const ProcessResult r = runWrite(dir, {"mixed.obj", sampleJpg});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(" - saving mixed.obj with 6 Polys\n"), std::string::npos) << r.out;
    const std::vector<std::array<std::uint32_t, 2>> expected = {
        {0, 0}, {1, 0}, {2, 0}, {0, 0}, {2, 0}, {3, 0},                           // quad
        {0, 0}, {1, 0}, {2, 0}, {0, 0}, {2, 0}, {3, 0}, {0, 0}, {3, 0}, {4, 0}, // pentagon
        {0, 0}, {1, 0}, {2, 0}};
    EXPECT_EQ(probeScene(readFile(dir.file("test.kzo"))).objects[0].corners, expected);
}

TEST(KzoWrite, UnconvertibleFacesStopWithoutWritingAFile)
{
    const struct {
        const char* face;
        const char* message;
    } cases[] = {
        {"f 1/1 2/1", "two.obj:5: face 1 has 2 corners; kzoWrite needs 3 or more\n"},
        {"f 1/1 2/1 4/1", "two.obj:5: face corner \"4/1\": position index 4 is outside the 3 read so far\n"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        writeText(dir.file("test.kzo"), "previous");
        writeText(dir.file("two.obj"), std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n") + c.face + "\n");
        const ProcessResult r = runWrite(dir, {"two.obj", sampleJpg});
        EXPECT_EQ(r.exitCode, 1) << c.face;
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(readText(dir.file("test.kzo")), "previous");
        EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"logger.log", "test.kzo", "two.obj"}));
    }
}

TEST(KzoWrite, FailedWriteKeepsThePreviousSceneFile)
{
    ScratchDir dir;
    writeText(dir.file("test.kzo"), "previous good file");
    // The sample's scene file is about 64 KB: a 16 KB file-size limit stops the
    // write part-way (EFBIG; SIGXFSZ is ignored), even for root. Both the limit
    // and the ignored signal survive exec.
    const ProcessResult r = runInChild(
        [] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{16384, 16384};
            setrlimit(RLIMIT_FSIZE, &limit);
            execl(program.c_str(), program.c_str(), sampleObj.c_str(), sampleJpg.c_str(), nullptr);
            return 127;
        },
        inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "./test.kzo: File too large\n");
    EXPECT_EQ(readText(dir.file("test.kzo")), "previous good file");
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"test.kzo"}));
}

// ---- the real models ---------------------------------------------------------

struct RealModel {
    const char* obj;
    const char* jpg;
    std::int32_t triangles; // after the fan split, from the models' README
    bool fixedPoint;
    kzoIndexSize indexSize;
    kzoTextureMode textureMode;
};

class KzoWriteRealModel : public ::testing::TestWithParam<RealModel> {};

TEST_P(KzoWriteRealModel, ConvertsWithTheTriangleCountAndTheSettingsTheDataNeeds)
{
    const RealModel& m = GetParam();
    ScratchDir dir;
    const ProcessResult r = runWrite(dir, {models + m.obj, models + m.jpg});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const SceneProbe probe = probeScene(readFile(dir.file("test.kzo")));
    EXPECT_EQ(probe.numberFormat, m.fixedPoint ? 4096 : 0);
    EXPECT_EQ(probe.indexSize, m.indexSize);
    EXPECT_EQ(probe.textureMode, m.textureMode);
    EXPECT_EQ(probe.zFactor, -1);
    ASSERT_EQ(probe.objects.size(), 1u);
    EXPECT_EQ(probe.objects[0].polyCount, m.triangles);
    EXPECT_EQ(probe.objects[0].corners.size(), 3u * static_cast<std::size_t>(m.triangles));
    EXPECT_EQ(probe.materials[0].textureFileName, models + m.jpg);
}

// 2048-pixel textures need 16-bit steps; the 256-pixel reductions fit 8 bits
// where the UVs stay in 0..1; spot's u < 0 needs numbers; bob_subdiv's 85,504
// positions need 4-byte indices. Every model fits fixed point (within +-2.31).
INSTANTIATE_TEST_SUITE_P(
    SharedModels, KzoWriteRealModel,
    ::testing::Values(
        RealModel{"blub/blub_control_mesh.obj", "blub/blub_texture.jpg", 220, true, kzoIndexSize2byte, kzoTextureMode16Bit},
        RealModel{"blub/blub_quadrangulated.obj", "blub/blub_texture_256.jpg", 14208, true, kzoIndexSize2byte, kzoTextureMode8Bit},
        RealModel{"blub/blub_triangulated.obj", "blub/blub_texture.jpg", 14208, true, kzoIndexSize2byte, kzoTextureMode16Bit},
        RealModel{"bob/bob_tri.obj", "bob/bob_diffuse.jpg", 10688, true, kzoIndexSize2byte, kzoTextureMode16Bit},
        RealModel{"bob/bob_tri.obj", "bob/bob_diffuse_256.jpg", 10688, true, kzoIndexSize2byte, kzoTextureMode8Bit},
        RealModel{"bob_subdiv/bob_tri_subdiv2.obj", "bob_subdiv/bob_diffuse_256.jpg", 171008, true, kzoIndexSize4Byte, kzoTextureMode8Bit},
        RealModel{"spot/spot_control_mesh.obj", "spot/spot_texture.jpg", 372, true, kzoIndexSize2byte, kzoTextureModeFloat},
        RealModel{"spot/spot_quadrangulated.obj", "spot/spot_texture.jpg", 5856, true, kzoIndexSize2byte, kzoTextureModeFloat},
        RealModel{"spot/spot_triangulated.obj", "spot/spot_texture.jpg", 5856, true, kzoIndexSize2byte, kzoTextureModeFloat},
        RealModel{"viking_room/viking_room.obj", "viking_room/viking_room.jpg", 3828, true, kzoIndexSize2byte, kzoTextureMode16Bit}),
    [](const ::testing::TestParamInfo<RealModel>& info) {
        std::string name = std::string(info.param.obj) + "_" + info.param.jpg;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

// Given alone, every model converts: with the texture its material library
// names, or untextured (flat grey, float texture coordinates) with a warning
// for a library that is not there.
TEST(KzoWrite, EveryRealModelConvertsGivenAlone)
{
    const struct {
        const char* obj;
        std::int32_t triangles;
        const char* texture;        // "" untextured
        const char* missingLibrary; // the warning's library, "" for no warning
    } cases[] = {
        {"beetle/beetle.obj", 2053, "", "VWBugMesh002.mtl"},
        {"blub/blub_control_mesh.obj", 220, "", ""},
        {"blub/blub_quadrangulated.obj", 14208, "", ""},
        {"blub/blub_triangulated.obj", 14208, "", ""},
        {"bob/bob_tri.obj", 10688, "bob/bob_diffuse.png", ""},
        {"bob_subdiv/bob_tri_subdiv2.obj", 171008, "", ""},
        {"spot/spot_control_mesh.obj", 372, "", ""},
        {"spot/spot_quadrangulated.obj", 5856, "", ""},
        {"spot/spot_triangulated.obj", 5856, "", ""},
        {"stanford_bunny/stanford-bunny.obj", 69451, "", ""},
        {"viking_room/viking_room.obj", 3828, "", "viking_room.mtl"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        const std::string obj = models + c.obj;
        const ProcessResult r = runWrite(dir, {obj});
        ASSERT_EQ(r.exitCode, 0) << c.obj << "\n" << r.out << r.err;
        const std::string folder = obj.substr(0, obj.rfind('/') + 1);
        EXPECT_EQ(r.err, *c.missingLibrary ? "kzoWrite: warning: " + obj + ":3: material library " + folder +
                                                  c.missingLibrary + ": No such file or directory\n"
                                            : "")
            << c.obj;
        const SceneProbe probe = probeScene(readFile(dir.file("test.kzo")));
        ASSERT_EQ(probe.objects.size(), 1u);
        EXPECT_EQ(probe.objects[0].polyCount, c.triangles) << c.obj;
        ASSERT_EQ(probe.materials.size(), 1u);
        const ProbeMaterial& material = probe.materials[0];
        if (*c.texture) {
            EXPECT_EQ(material.textureFileName, models + c.texture) << c.obj;
            EXPECT_EQ(material.name, "material-textured");
        } else {
            EXPECT_EQ(material.hasTexture, 0) << c.obj;
            EXPECT_EQ(material.name, "material-untextured");
            EXPECT_EQ(probe.textureMode, kzoTextureModeFloat) << c.obj;
            EXPECT_EQ((std::array{material.red, material.green, material.blue}), (std::array<std::uint8_t, 3>{128, 128, 128}));
        }
    }
}

} // namespace
