// Models as people download them, through kzoWrite and kzoShot as processes in
// scratch folders: the texture and colour a material library names (paths with
// spaces, several libraries and materials, what is missing), models without
// texture coordinates drawn flat in their colour under the headlight, mixed
// faces and faces of any size, files that hold no faces, and a scene file that
// travels with its texture.

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

#include "tests/support/Process.hpp"
#include "tests/support/RgbPng.hpp"
#include "tests/support/SceneProbe.hpp"
#include "tests/support/Scratch.hpp"

namespace {

const std::string writer = std::string(KZO_BINARY_DIR) + "/kzoWrite";
const std::string shot = std::string(KZO_BINARY_DIR) + "/kzoShot";
const std::string sampleJpg = std::string(KZO_SOURCE_DIR) + "/assets/sample.jpg";

ProcessResult run(const std::string& program, const ScratchDir& dir, const std::vector<std::string>& args)
{
    return runProcess(program, args, inDirectory(dir.path()));
}

void makeFolder(const ScratchDir& dir, const std::string& name)
{
    ASSERT_EQ(mkdir(dir.file(name).c_str(), 0755), 0) << name;
}

// A square of side 4 at z = 0 facing the eye (counter-clockwise seen from +z),
// with a texture coordinate for each corner; at 90 pixels per unit it covers
// columns 460..819 and rows 180..539 of kzoShot's 1280 x 720 frame.
const std::string square = "v -2 2 0\nv -2 -2 0\nv 2 -2 0\nv 2 2 0\nvt 0 1\nvt 0 0\nvt 1 0\nvt 1 1\n";

struct Written {
    ProcessResult result;
    SceneProbe scene;
};

// kzoWrite with args in dir; its scene file when it converted.
Written write(const ScratchDir& dir, const std::vector<std::string>& args)
{
    Written w{run(writer, dir, args), {}};
    if (w.result.exitCode == 0)
        w.scene = probeScene(readFile(dir.file("test.kzo")));
    return w;
}

TEST(ModelMaterial, OneArgumentTakesTextureAndColourOfTheFirstMaterialAFaceUses)
{
    const std::string model = "mtllib mats/first.mtl mats/second.mtl\n" + square +
                              "usemtl skin\nf 1/1 2/2 3/3\nusemtl bark\nf 1/1 3/3 4/4\n";
    const struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files; // beside the texture
        std::vector<std::string> args;
        std::string texture; // stored name
        std::array<std::uint8_t, 3> colour;
        std::string err;
    } cases[] = {
        {"a name with spaces, options before the map's name with spaces",
         {{"my model/duck.obj", "mtllib duck materials.mtl\n" + square + "usemtl skin\nf 1/1 2/2 3/3 4/4\n"},
          {"my model/duck materials.mtl",
           "# made by hand\nnewmtl skin\n\tKd 0.8 0.4 0.2\n\tmap_Kd -s 1 1 1 -bm 0.5 -clamp on tex dir/skin tone.png\n"}},
         {"my model/duck.obj"},
         "my model/tex dir/skin tone.png",
         {204, 102, 51},
         ""},
        {"two names on one line; the texture resolved against its library's folder; two textures",
         {{"m.obj", model},
          {"mats/first.mtl", "newmtl bark\nKd 0 0 0\nmap_Kd ../bark.png\n"},
          {"mats/second.mtl", "newmtl skin\nmap_Kd ../my model/tex dir/skin tone.png\n"}},
         {"m.obj"},
         "mats/../my model/tex dir/skin tone.png",
         {128, 128, 128},
         "kzoWrite: warning: m.obj: faces use 2 materials with 2 different textures; all faces take the first "
         "material's, \"skin\" (mats/../my model/tex dir/skin tone.png)\n"},
        {"the texture on the command line wins; no library is read",
         {{"m.obj", model}},
         {"m.obj", "my model/tex dir/skin tone.png"},
         "my model/tex dir/skin tone.png",
         {128, 128, 128},
         ""},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        for (const char* folder : {"my model", "my model/tex dir", "mats"})
            makeFolder(dir, folder);
        writeFile(dir.file("my model/tex dir/skin tone.png"), readFile(sampleJpg)); // a JPEG, by its bytes
        for (const auto& [name, text] : c.files)
            writeText(dir.file(name), text);
        const Written w = write(dir, c.args);
        ASSERT_EQ(w.result.exitCode, 0) << c.what << "\n" << w.result.out << w.result.err;
        EXPECT_EQ(w.result.err, c.err) << c.what;
        EXPECT_EQ(splitLines(w.result.out).front(), "Using Texture " + c.texture) << c.what;
        const ProbeMaterial& material = w.scene.materials.at(0);
        EXPECT_EQ(material.textureFileName, c.texture) << c.what;
        EXPECT_EQ(material.name, "material-textured");
        EXPECT_EQ((std::array{material.red, material.green, material.blue}), c.colour) << c.what;
    }
}

TEST(ModelMaterial, WhatCannotBeReadIsAWarningAndTheModelConvertsUntextured)
{
    const std::string faces = "usemtl paint\nf 1/1 2/2 3/3 4/4\n";
    const struct Case {
        const char* what;
        std::string mtllib, library; // library "": no file
        std::string err;
        std::array<std::uint8_t, 3> colour;
    } cases[] = {
        {"no library", "mtllib gone.mtl\n", "",
         "kzoWrite: warning: m.obj:1: material library gone.mtl: No such file or directory\n", {128, 128, 128}},
        {"no texture file", "mtllib m.mtl\n", "newmtl paint\nKd 0 0.5 1\nmap_Kd gone.png\n",
         "kzoWrite: warning: gone.png: no such file; the model converts untextured\n", {0, 128, 255}},
        {"a texture that is no picture", "mtllib m.mtl\n", "newmtl paint\nKd 0.2\nmap_Kd m.mtl\n",
         "kzoWrite: warning: m.mtl: not a valid JPEG file", {51, 51, 51}},
        {"map_Kd without a file", "mtllib m.mtl\n", "newmtl paint\n\nmap_Kd -s 2 2\n",
         "kzoWrite: warning: m.mtl:3: map_Kd names no file\n", {128, 128, 128}},
        {"a material no library defines", "mtllib m.mtl\n", "newmtl other\nmap_Kd t.png\n",
         "kzoWrite: warning: m.obj:11: material \"paint\" is defined in none of m.mtl\n", {128, 128, 128}},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        writeText(dir.file("m.obj"), c.mtllib + square + faces);
        if (!c.library.empty())
            writeText(dir.file("m.mtl"), c.library);
        const Written w = write(dir, {"m.obj"});
        ASSERT_EQ(w.result.exitCode, 0) << c.what << "\n" << w.result.err;
        EXPECT_EQ(w.result.err.substr(0, c.err.size()), c.err) << c.what;
        EXPECT_EQ(std::count(w.result.err.begin(), w.result.err.end(), '\n'), 1) << c.what << "\n" << w.result.err;
        const ProbeMaterial& material = w.scene.materials.at(0);
        EXPECT_EQ(material.hasTexture, 0) << c.what;
        EXPECT_EQ(material.name, "material-untextured");
        EXPECT_EQ((std::array{material.red, material.green, material.blue}), c.colour) << c.what;
        char line[64];
        std::snprintf(line, sizeof line, "Using no texture, colour %d %d %d", c.colour[0], c.colour[1], c.colour[2]);
        EXPECT_EQ(splitLines(w.result.out).front(), line) << c.what;
    }
}

// The square without texture coordinates, in a colour that the headlight's
// 0.625 at 60 degrees turns into whole numbers: (200, 96, 40).
TEST(ModelMaterial, UntexturedSquareShowsItsColourFacingTheEyeAndFiveEighthsTurnedSixtyDegrees)
{
    ScratchDir dir;
    writeText(dir.file("flat.obj"), "mtllib flat.mtl\nv -2 2 0\nv -2 -2 0\nv 2 -2 0\nv 2 2 0\nvn 0 0 1\n"
                                    "usemtl clay\nf 1//1 2//1 3//1\nf 1 3 4\n");
    writeText(dir.file("flat.mtl"), "newmtl clay\nKd 0.784314 0.376471 0.156863\n");
    const Written w = write(dir, {"flat.obj"});
    ASSERT_EQ(w.result.exitCode, 0) << w.result.err;
    EXPECT_EQ(w.result.err, "");
    EXPECT_EQ(w.scene.textureMode, 0) << "float: quantised coordinates need a texture's size";
    EXPECT_EQ(w.scene.objects.at(0).uvs, (std::vector<std::array<double, 2>>{{0, 0}}));

    ASSERT_EQ(run(shot, dir, {"test.kzo", "facing.png"}).exitCode, 0);
    const RgbImage facing = readPng(dir.file("facing.png"));
    ASSERT_EQ(facing.width, 1280u);
    int covered = 0;
    for (std::uint32_t y = 0; y < facing.height; ++y)
        for (std::uint32_t x = 0; x < facing.width; ++x) {
            const bool inside = x >= 460 && x < 820 && y >= 180 && y < 540;
            EXPECT_EQ(facing.at(x, y), inside ? 0xC86028u : 0u) << x << ", " << y;
            covered += inside ? 1 : 0;
            if (HasFailure())
                return;
        }
    EXPECT_EQ(covered, 360 * 360);

    const ProcessResult turned = run(shot, dir, {"--turn", "y=60", "test.kzo", "turned.png"});
    ASSERT_EQ(turned.exitCode, 0) << turned.err;
    const RgbImage image = readPng(dir.file("turned.png"));
    EXPECT_EQ(image.at(640, 360), 0x7D3C19u) << "(0.25 + 0.75 x 0.5) x (200, 96, 40)";
    EXPECT_EQ(image.at(600, 300), 0x7D3C19u);
}

TEST(ModelFaces, MixedFacesConvertWithTheTextureAndOneWarning)
{
    ScratchDir dir;
    writeText(dir.file("m.obj"), square + "f 1/1 2/2 3/3\nf 1/4/ 3/3/ 4/4/\nf 1 2 3\nf 1// 3// 4//\n");
    const Written w = write(dir, {"m.obj", sampleJpg});
    ASSERT_EQ(w.result.exitCode, 0) << w.result.err;
    EXPECT_EQ(w.result.err, "kzoWrite: warning: m.obj: 2 of 4 faces have no texture coordinates (the first on "
                            "line 11); their corners take (0, 0)\n");
    EXPECT_EQ(w.scene.materials.at(0).textureFileName, sampleJpg);
    // 8-bit steps of the 256 x 256 sample, v flipped: the corners without a
    // texture index take (0, 0), the first entry.
    const ProbeObject& obj = w.scene.objects.at(0);
    EXPECT_EQ(obj.uvs, (std::vector<std::array<double, 2>>{{0, 0}, {0, 255}, {255, 255}, {255, 0}}));
    EXPECT_EQ(obj.corners, (std::vector<std::array<std::uint32_t, 2>>{
                               {0, 0}, {1, 1}, {2, 2}, {0, 3}, {2, 2}, {3, 3}, {0, 0}, {1, 0}, {2, 0}, {0, 0}, {2, 0}, {3, 0}}));
}

TEST(ModelFaces, TwelveCornerFaceBecomesTenTrianglesOfAFan)
{
    ScratchDir dir;
    std::string text = "vt 0 0\n", face = "f";
    for (int i = 0; i < 12; ++i) {
        text += "v " + std::to_string(i % 4) + " " + std::to_string(i / 4) + " 0\n";
        face += " " + std::to_string(i + 1) + "/1";
    }
    writeText(dir.file("m.obj"), text + face + "\n");
    const Written w = write(dir, {"m.obj", sampleJpg});
    ASSERT_EQ(w.result.exitCode, 0) << w.result.err;
    const ProbeObject& obj = w.scene.objects.at(0);
    ASSERT_EQ(obj.polyCount, 10);
    for (std::uint32_t t = 0; t < 10; ++t) {
        EXPECT_EQ(obj.corners[3 * t][0], 0u);
        EXPECT_EQ(obj.corners[3 * t + 1][0], t + 1);
        EXPECT_EQ(obj.corners[3 * t + 2][0], t + 2);
    }
}

TEST(ModelFaces, FilesWithoutFacesAreRefusedAndTheOldSceneFileKept)
{
    const struct {
        const char* name;
        const char* text;
        std::vector<std::string> args; // after the file's name
    } cases[] = {
        {"empty.obj", "", {}},
        {"page.obj", "<!DOCTYPE html>\n<html><head><title>Model</title></head>\n<body>v 1 2 3</body></html>\n", {}},
        {"points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2 3\nl 1 2\nl 2 3\n", {sampleJpg}},
    };
    for (const auto& c : cases)
        for (const std::string target : {"test.kzo", "out/kept.kzo"}) {
            ScratchDir dir;
            makeFolder(dir, "out");
            writeText(dir.file(target), "previous");
            writeText(dir.file(c.name), c.text);
            std::vector<std::string> args = {"-o", target, c.name};
            args.insert(args.end(), c.args.begin(), c.args.end());
            const ProcessResult r = run(writer, dir, args);
            EXPECT_EQ(r.exitCode, 1) << c.name;
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, std::string(c.name) + ": no faces (kzoWrite needs at least one triangle)\n");
            EXPECT_EQ(readText(dir.file(target)), "previous");
        }
}

// Written in one folder, then moved with its texture to another and shown from
// the first: the texture's relative path is found beside the scene file.
TEST(SceneTravels, TextureIsFoundBesideAMovedSceneFileOrItsPathsNamed)
{
    ScratchDir dir;
    writeText(dir.file("m.obj"), square + "f 1/1 2/2 3/3 4/4\n");
    writeFile(dir.file("t.jpg"), readFile(sampleJpg));
    ASSERT_EQ(write(dir, {"m.obj", "t.jpg"}).result.exitCode, 0);
    ASSERT_EQ(run(shot, dir, {"test.kzo", "before.png"}).exitCode, 0);

    makeFolder(dir, "moved");
    for (const char* file : {"test.kzo", "t.jpg"})
        ASSERT_EQ(std::rename(dir.file(file).c_str(), dir.file(std::string("moved/") + file).c_str()), 0);
    const ProcessResult moved = run(shot, dir, {"moved/test.kzo", "after.png"});
    ASSERT_EQ(moved.exitCode, 0) << moved.out << moved.err;
    EXPECT_NE(moved.out.find("  - file name is t.jpg\n  - read beside the scene file as moved/t.jpg\n"),
              std::string::npos)
        << moved.out;
    const RgbImage before = readPng(dir.file("before.png")), after = readPng(dir.file("after.png"));
    EXPECT_GT(before.nonBlack(), 100000);
    EXPECT_EQ(before.rgb, after.rgb);

    ASSERT_EQ(std::remove(dir.file("moved/t.jpg").c_str()), 0);
    const ProcessResult lost = run(shot, dir, {"moved/test.kzo", "lost.png"});
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_EQ(lost.err, "t.jpg: no such file; moved/t.jpg: no such file (beside the scene file)\nError loading file!\n");
    EXPECT_EQ(readText(dir.file("logger.log")), "t.jpg: no such file; moved/t.jpg: no such file (beside the scene "
                                                "file)\r\nMESSAGE: Error loading file!\r\nError loading file!\r\n");
    EXPECT_FALSE(fileExists(dir.file("lost.png")));
}

} // namespace
