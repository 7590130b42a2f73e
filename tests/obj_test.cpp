// The OBJ loader: values and blanks, face corners, refused statements with
// their messages, file handling, and the real models of the shared folder.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <sys/stat.h>

#include "import/LoadOBJ.hpp"
#include "tests/support/FatalHook.hpp"
#include "tests/support/Process.hpp"
#include "tests/support/SceneBuilders.hpp"
#include "tests/support/Scratch.hpp"

namespace {

kzoObject parse(const std::string& text, std::int32_t materialIndex = 0)
{
    const ThrowOnFatal hook;
    return kzoParseOBJ(text, "m.obj", materialIndex);
}

// The message a refused text stops with, or "" when it loads.
std::string refusal(const std::string& text)
{
    const ThrowOnFatal hook;
    try {
        kzoParseOBJ(text, "m.obj", 0);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

const char* const triangleTail = "vt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nf 1/1/1 2/2/1 3/3/1\n";

TEST(ObjValues, PositionLinesInEveryAcceptedSpelling)
{
    struct Case {
        const char* line;
        float x, y, z;
    } const cases[] = {
        {"v 1.5 2.5 3.5", 1.5f, 2.5f, 3.5f},   {"v 1,5 2,5 3,5", 1.5f, 2.5f, 3.5f},
        {"v 1 2 3", 1, 2, 3},                  {"v  1   2 \t 3  ", 1, 2, 3},
        {"v\t1\t2\t3", 1, 2, 3},               {"v 1 2 3 0.5 0.1 0.2 0.3", 1, 2, 3},
        {"v 1.5x 2a 3", 1.5f, 2, 3},           {"v 1 2 3\r", 1, 2, 3},
        {"v -0.25 1e2 -3E-1", -0.25f, 100, -0.3f},
    };
    for (const Case& c : cases) {
        const kzoObject obj = parse(std::string(c.line) + "\nv 0 0 0\nv 0 0 0\n" + triangleTail);
        ASSERT_EQ(obj.polyCount, 1) << c.line;
        const kzoVector p = polysOf(obj)[0].vertices[0].position;
        EXPECT_EQ(p.x, c.x) << c.line;
        EXPECT_EQ(p.y, c.y) << c.line;
        EXPECT_EQ(p.z, c.z) << c.line;
        EXPECT_EQ(p.w, 1.0f) << c.line;
    }
}

TEST(ObjValues, TextureCoordinatesFlipVAndDefaultItToZero)
{
    struct Case {
        const char* line;
        float u, v; // as stored in the vertex: v is 1 - the file's v
    } const cases[] = {
        {"vt 0.25 0.75", 0.25f, 0.25f},
        {"vt 0.5 0.5 0", 0.5f, 0.5f},
        {"vt 0.3", 0.3f, 1.0f},
        {"vt\t0,125  1", 0.125f, 0.0f},
    };
    for (const Case& c : cases) {
        const kzoObject obj = parse(std::string("v 0 0 0\n") + c.line + "\nf 1/1 1/1 1/1\n");
        ASSERT_EQ(obj.polyCount, 1) << c.line;
        EXPECT_EQ(polysOf(obj)[0].vertices[0].texCoord.x, c.u) << c.line;
        EXPECT_EQ(polysOf(obj)[0].vertices[0].texCoord.y, c.v) << c.line;
    }
}

TEST(ObjFaces, CornersMakeOnePolygonOfTheirCountInOrder)
{
    const kzoObject obj = parse("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                                "vn 0 0 1\nvn 0 1 0\n"
                                "f 1/1/1 2/2/2 3/3/1\n"
                                "f 1/1/2 2/2/2 3/3/2 4/4/2\n"
                                "f 4/4 3/3 1/1\n",
                                7);
    ASSERT_EQ(obj.polyCount, 3);
    EXPECT_EQ(obj.name, "m.obj");
    EXPECT_EQ(obj.materialIndex, 7);
    EXPECT_EQ(polysOf(obj)[0].vertexCount, 3);
    EXPECT_EQ(polysOf(obj)[1].vertexCount, 4);
    EXPECT_EQ(polysOf(obj)[1].vertices[3].position.y, 1.0f);
    EXPECT_EQ(polysOf(obj)[1].vertices[3].texCoord.y, 0.0f);
    EXPECT_EQ(polysOf(obj)[0].vertices[1].normal.y, 1.0f);
    EXPECT_EQ(polysOf(obj)[0].vertices[2].normal.z, 1.0f);
    // v/vt: normal (0, 0, 0)
    const kzoVertex bare = polysOf(obj)[2].vertices[0];
    EXPECT_EQ(bare.normal.x, 0.0f);
    EXPECT_EQ(bare.normal.y, 0.0f);
    EXPECT_EQ(bare.normal.z, 0.0f);
    EXPECT_EQ(bare.position.x, 0.0f);
    EXPECT_EQ(bare.position.y, 1.0f);
    for (const kzoPoly& poly : polysOf(obj)) {
        EXPECT_EQ(poly.materialIndex, 7);
        for (int i = 0; i < poly.vertexCount; ++i) {
            EXPECT_EQ(poly.vertices[i].position.w, 1.0f);
            EXPECT_EQ(poly.vertices[i].colour.r, 255);
            EXPECT_EQ(poly.vertices[i].colour.a, 255);
            EXPECT_EQ(poly.vertices[i].influenceCount, 0);
        }
    }
    EXPECT_EQ(polysOf(obj)[0].normal.z, 1.0f) << "counter-clockwise in x, y";
}

TEST(ObjFaces, NegativeIndicesCountBackFromTheLastEntryReadSoFar)
{
    const kzoObject obj = parse("v 1 0 0\nv 2 0 0\nvt 0.5 0\nv 3 0 0\nvt 0.75 0\nvn 0 0 1\n"
                                "f -1/-1/-1 -2/-2/-1 -3/1/1\n"
                                "v 4 0 0\nf -1/-1 1/1 2/2\n");
    ASSERT_EQ(obj.polyCount, 2);
    EXPECT_EQ(polysOf(obj)[0].vertices[0].position.x, 3.0f);
    EXPECT_EQ(polysOf(obj)[0].vertices[0].texCoord.x, 0.75f);
    EXPECT_EQ(polysOf(obj)[0].vertices[1].position.x, 2.0f);
    EXPECT_EQ(polysOf(obj)[0].vertices[1].texCoord.x, 0.5f);
    EXPECT_EQ(polysOf(obj)[0].vertices[2].position.x, 1.0f);
    EXPECT_EQ(polysOf(obj)[1].vertices[0].position.x, 4.0f);
}

TEST(ObjFaces, EightCornersAreAcceptedAndNineStopTheLoad)
{
    std::string text = "vt 0 0\n";
    for (int i = 0; i < 9; ++i)
        text += "v " + std::to_string(i) + " 0 0\n";
    const std::string eight = "f 1/1 2/1 3/1 4/1 5/1 6/1 7/1 8/1\n";
    EXPECT_EQ(polysOf(parse(text + eight))[0].vertexCount, 8);
    EXPECT_EQ(refusal(text + "f 1/1 2/1 3/1 4/1 5/1 6/1 7/1 8/1 9/1\n"), "kzoCreatePoly: v > kzoMaxVertex");
}

TEST(ObjFaces, OneAndTwoCornerFacesAreKeptForTheCallerToJudge)
{
    const kzoObject obj = parse("v 0 0 0\nvt 0 0\nf 1/1\nf 1/1 1/1\n");
    ASSERT_EQ(obj.polyCount, 2);
    EXPECT_EQ(polysOf(obj)[0].vertexCount, 1);
    EXPECT_EQ(polysOf(obj)[1].vertexCount, 2);
}

TEST(ObjLines, OtherStatementsAndMisspelledKeywordsChangeNothing)
{
    const std::string model = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n";
    const std::string noise = "# comment\no name\ng group\ns 1\nusemtl stone\nmtllib m.mtl\n"
                              "V 9 9 9\nF 1/1 1/1 1/1\n v 9 9 9\nvp 1 2\nl 1 2\n\n\r\nvx 1 2 3\nf# 1/1\n";
    const kzoObject plain = parse(model);
    const kzoObject noisy = parse(noise + model + noise);
    ASSERT_EQ(noisy.polyCount, 1);
    EXPECT_EQ(std::memcmp(&polysOf(plain)[0], &polysOf(noisy)[0], sizeof(kzoPoly)), 0);
}

TEST(ObjLines, EveryLineEndIsALineEndAndLongLinesAreReadWhole)
{
    const std::string lf = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n";
    const std::string crlf = "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nvt 0 0\r\nf 1/1 2/1 3/1\r\n";
    const std::string cr = "v 0 0 0\rv 1 0 0\rv 0 1 0\rvt 0 0\rf 1/1 2/1 3/1";
    // Past 255 characters a cut line would lose the corners, or cut an index short.
    const std::string wide = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf " + std::string(300, ' ') + "1/1 2/1 " +
                             std::string(300, '\t') + "0000000000000000000000000000003/1\n";
    const kzoObject reference = parse(lf);
    for (const std::string& text : {crlf, cr, wide}) {
        const kzoObject obj = parse(text);
        ASSERT_EQ(obj.polyCount, 1);
        EXPECT_EQ(std::memcmp(&polysOf(reference)[0], &polysOf(obj)[0], sizeof(kzoPoly)), 0);
    }
}

TEST(ObjLines, EmptyTextGivesAnEmptyObject)
{
    const kzoObject obj = parse("", 3);
    EXPECT_EQ(obj.polyCount, 0);
    EXPECT_TRUE(polysOf(obj).empty());
    EXPECT_EQ(obj.materialIndex, 3);
    EXPECT_EQ(obj.name, "m.obj");
}

TEST(ObjLines, EachLoadStartsWithEmptyLists)
{
    parse("v 5 5 5\nv 6 6 6\nvt 0.5 0.5\nvn 1 0 0\nf 1/1/1 2/1/1 2/1/1\n");
    const kzoObject second = parse("v 1 0 0\nvt 0 0\nf 1/1 1/1 1/1\n");
    EXPECT_EQ(polysOf(second)[0].vertices[0].position.x, 1.0f);
    EXPECT_EQ(refusal("v 1 0 0\nvt 0 0\nf 1/1/1 1/1/1 1/1/1\n"),
              "m.obj:3: face corner \"1/1/1\": normal index 1 is outside the 0 read so far");
}

TEST(ObjRefusals, MalformedStatementsNameFileLineAndText)
{
    const std::string lists = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"; // lines 1-5
    struct Case {
        std::string line;
        std::string message;
    } const cases[] = {
        {"f 1 2 3", "face corner \"1\" has no texture index (kzoWrite needs v/vt or v/vt/vn)"},
        {"f 1//1 2//1 3//1", "face corner \"1//1\" has no texture index (kzoWrite needs v/vt or v/vt/vn)"},
        {"f 1/1/1/1 2/1/1 3/1/1", "face corner \"1/1/1/1\" has more than three fields"},
        {"f 0/1/1 2/1/1 3/1/1", "face corner \"0/1/1\": position index 0 is outside the 3 read so far"},
        {"f 1/1 2/1 4/1", "face corner \"4/1\": position index 4 is outside the 3 read so far"},
        {"f -4/1 2/1 3/1", "face corner \"-4/1\": position index -4 is outside the 3 read so far"},
        {"f 1/2 2/1 3/1", "face corner \"1/2\": texture index 2 is outside the 1 read so far"},
        {"f 1/-2 2/1 3/1", "face corner \"1/-2\": texture index -2 is outside the 1 read so far"},
        {"f 1/1/2 2/1/1 3/1/1", "face corner \"1/1/2\": normal index 2 is outside the 1 read so far"},
        {"f 1/1/ 2/1/1 3/1/1", "face corner \"1/1/\": normal index 0 is outside the 1 read so far"},
        {"f /1/1 2/1/1 3/1/1", "face corner \"/1/1\": position index 0 is outside the 3 read so far"},
        {"f 99999999999/1 2/1 3/1", "face corner \"99999999999/1\": position index 999999999 is outside the 3 read so far"},
        {"f", "\"f\" is a face without corners"},
        {"f \t  \r", "\"f \t  \" is a face without corners"},
        {"v 1 2", "\"v 1 2\" needs three values"},
        {"v", "\"v\" needs three values"},
        {"vn 1  2", "\"vn 1  2\" needs three values"},
        {"vt", "\"vt\" needs a value"},
        {"vt  \t", "\"vt  \t\" needs a value"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(refusal(lists + "# six\n" + c.line + "\n"), "m.obj:7: " + c.message) << c.line;
    // A long text is quoted cut, so that the reason still fits the message.
    EXPECT_EQ(refusal(lists + "f 1/1 2/1 3/" + std::string(60, '9') + "\n"),
              "m.obj:6: face corner \"3/" + std::string(38, '9') + "...\": texture index 999999999 is outside the 1 read so far");
}

TEST(ObjFile, MissingOrUnreadablePathStopsWithUnableToOpen)
{
    ScratchDir dir;
    mkdir(dir.file("folder.obj").c_str(), 0755);
    for (const std::string name : {"missing.obj", "folder.obj"}) {
        std::remove(dir.file("logger.log").c_str());
        const ProcessResult r = runInChild([&] { kzoLoadOBJ(name, 0); return 0; }, inDirectory(dir.path()));
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_EQ(r.err, "UNABLE to open " + name + "\n");
        EXPECT_EQ(readText(dir.file("logger.log")), "MESSAGE: UNABLE to open " + name + "\r\nUNABLE to open " + name + "\r\n");
    }
}

TEST(ObjFile, LoadReadsTheFileAndNamesTheObjectAfterIt)
{
    ScratchDir dir;
    writeText(dir.file("tri.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n");
    const kzoObject obj = kzoLoadOBJ(dir.file("tri.obj"), 2);
    EXPECT_EQ(obj.name, dir.file("tri.obj"));
    EXPECT_EQ(obj.polyCount, 1);
    EXPECT_EQ(polysOf(obj)[0].materialIndex, 2);
}

// Counts of faces by corner count, from the shared models' README.
struct RealModel {
    const char* file;
    std::map<int, int> facesByCorners;
};

TEST(ObjRealModels, TexturedModelsLoadWithTheirFaceCounts)
{
    const RealModel models[] = {
        {"blub/blub_control_mesh.obj", {{3, 8}, {4, 100}, {5, 4}}},
        {"blub/blub_quadrangulated.obj", {{4, 7104}}},
        {"blub/blub_triangulated.obj", {{3, 14208}}},
        {"bob/bob_tri.obj", {{3, 10688}}},
        {"bob_subdiv/bob_tri_subdiv2.obj", {{3, 171008}}},
        {"spot/spot_control_mesh.obj", {{3, 4}, {4, 160}, {5, 16}}},
        {"spot/spot_quadrangulated.obj", {{4, 2928}}},
        {"spot/spot_triangulated.obj", {{3, 5856}}},
        {"viking_room/viking_room.obj", {{3, 3828}}},
    };
    for (const RealModel& m : models) {
        const kzoObject obj = kzoLoadOBJ(std::string(KZO_SHARED_DIR) + "/models/" + m.file, 0);
        std::map<int, int> counts;
        for (const kzoPoly& poly : polysOf(obj))
            ++counts[poly.vertexCount];
        EXPECT_EQ(counts, m.facesByCorners) << m.file;
    }
}

TEST(ObjRealModels, ModelsWithoutTextureCoordinatesAreRefused)
{
    const ThrowOnFatal hook;
    struct Case {
        const char* file;
        const char* corner;
    } const cases[] = {{"beetle/beetle.obj", "v//vn"}, {"stanford_bunny/stanford-bunny.obj", "v"}};
    for (const Case& c : cases) {
        const std::string path = std::string(KZO_SHARED_DIR) + "/models/" + c.file;
        try {
            kzoLoadOBJ(path, 0);
            ADD_FAILURE() << c.file << " loaded";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("has no texture index (kzoWrite needs v/vt or v/vt/vn)"),
                      std::string::npos)
                << e.what();
        }
    }
}

} // namespace
