// The OBJ loader: values and blanks, face corners, refused statements with
// their messages as values, file handling, fan splitting, the indexed mesh
// against the plain per-polygon route on random texts, and the real models of
// the shared folder; the material library reader's colours and texture names.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <sys/stat.h>

#include "import/obj/LoadOBJ.hpp"
#include "import/obj/MaterialLibrary.hpp"
#include "tests/support/ObjReference.hpp"
#include "tests/support/SceneBuilders.hpp"
#include "tests/support/Scratch.hpp"

namespace {

kzoObject parse(const std::string& text, std::int32_t materialIndex = 0,
                kzoObjFaces faces = kzoObjFaces::Whole)
{
    kzoObjLoad load = kzoParseOBJ(text, "m.obj", materialIndex, faces);
    EXPECT_FALSE(load.failure) << load.failure->message;
    return std::move(load.object);
}

// The message a refused text fails with, or "" when it loads.
std::string refusal(const std::string& text, kzoObjFaces faces = kzoObjFaces::Whole)
{
    const kzoObjLoad load = kzoParseOBJ(text, "m.obj", 0, faces);
    if (!load.failure)
        return "";
    EXPECT_EQ(load.object.polyCount, 0);
    EXPECT_EQ(kzoMeshPolyCount(load.object.mesh), 0u);
    return load.failure->message;
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

// Corners without a texture index take texture coordinate (0, 0); an empty
// field is no index. Corner 0 of each face is (position 2, texture 1 when it
// has one, normal 1 when it has one).
TEST(ObjFaces, EveryCornerFormReadsWithOrWithoutTextureAndNormal)
{
    const std::string lists = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.25 0.75\nvn 0 0 1\n";
    const struct {
        const char* face;
        float u, v, normalZ;
        std::size_t cornersWithUV;
    } cases[] = {
        {"f 2 3 1", 0, 0, 0, 0},
        {"f 2//1 3//1 1//1", 0, 0, 1, 0},
        {"f 2/1/ 3/1/ 1/1/", 0.25f, 0.25f, 0, 3},
        {"f 2/ 3// 1/1/1", 0, 0, 0, 1},
        {"f 2/1/1 3 1//1", 0.25f, 0.25f, 1, 1},
    };
    for (const auto& c : cases)
        for (const kzoObjFaces faces : {kzoObjFaces::Whole, kzoObjFaces::Triangles}) {
            const kzoObjLoad load = kzoParseOBJ(lists + c.face + "\n", "m.obj", 0, faces);
            ASSERT_FALSE(load.failure) << c.face << ": " << load.failure->message;
            ASSERT_EQ(load.object.polyCount, 1) << c.face;
            const kzoVertex corner = polysOf(load.object)[0].vertices[0];
            EXPECT_EQ(corner.position.x, 1.0f) << c.face;
            EXPECT_EQ(corner.texCoord.x, c.u) << c.face;
            EXPECT_EQ(corner.texCoord.y, c.v) << c.face;
            EXPECT_EQ(corner.normal.z, c.normalZ) << c.face;
            EXPECT_EQ(load.tally.cornersWithUV, c.cornersWithUV) << c.face;
            EXPECT_EQ(load.tally.facesWithoutUV, c.cornersWithUV == 3 ? 0u : 1u) << c.face;
        }
}

TEST(ObjFaces, TallyAndMaterialsSayWhatTheFileUses)
{
    const kzoObjLoad load = kzoParseOBJ("mtllib  a.mtl b.mtl \nv 0 0 0\nvt 0 0\n"
                                        "usemtl wood\nf 1/1 1/1 1/1\n"    // line 5
                                        "usemtl\t stone grey \nmtllib my materials.mtl\n"
                                        "f 1 1 1\n"                         // line 8: stone grey, no texture index
                                        "usemtl wood\nf 1/1 1 1/1\n"      // line 10
                                        "usemtl unused\nusemtl glass\nf 1/1 1/1 1/1\n",
                                        "m.obj", 0);
    ASSERT_FALSE(load.failure) << load.failure->message;
    ASSERT_EQ(load.materials.libraries.size(), 2u);
    EXPECT_EQ(load.materials.libraries[0].names, "a.mtl b.mtl");
    EXPECT_EQ(load.materials.libraries[0].line, 1u);
    EXPECT_EQ(load.materials.libraries[1].names, "my materials.mtl");
    EXPECT_EQ(load.materials.libraries[1].line, 7u);
    const std::vector<std::pair<std::string, std::uint64_t>> expected = {{"wood", 5}, {"stone grey", 8}, {"glass", 13}};
    std::vector<std::pair<std::string, std::uint64_t>> used;
    for (const kzoObjMaterialUse& use : load.materials.used)
        used.emplace_back(use.name, use.line);
    EXPECT_EQ(used, expected);
    EXPECT_EQ(load.tally.faces, 4u);
    EXPECT_EQ(load.tally.facesWithoutUV, 2u);
    EXPECT_EQ(load.tally.firstFaceWithoutUVLine, 8u);
    EXPECT_EQ(load.tally.cornersWithUV, 3u + 2u + 3u);
}

// The polygon records keep their limit of 8 corners; the converter's fan has none.
TEST(ObjFaces, TwelveCornersSplitIntoTenTrianglesAndStopTheWholeView)
{
    std::string text = "vt 0 0\n";
    std::string face = "f";
    for (int i = 0; i < 12; ++i) {
        text += "v " + std::to_string(i) + " " + std::to_string(i * i % 7) + " 0\n";
        face += " " + std::to_string(i + 1) + (i % 2 ? "/1" : "");
    }
    const kzoObject fan = parse(text + face + "\n", 0, kzoObjFaces::Triangles);
    ASSERT_EQ(fan.polyCount, 10);
    for (int t = 0; t < 10; ++t) {
        const kzoPoly p = polysOf(fan)[static_cast<std::size_t>(t)];
        EXPECT_EQ(p.vertices[0].position.x, 0.0f);
        EXPECT_EQ(p.vertices[1].position.x, static_cast<float>(t + 1));
        EXPECT_EQ(p.vertices[2].position.x, static_cast<float>(t + 2));
    }
    const kzoObjLoad whole = kzoParseOBJ(text + face + "\n", "m.obj", 0);
    ASSERT_TRUE(whole.failure);
    EXPECT_EQ(whole.failure->message, "kzoCreatePoly: v > kzoMaxVertex");
    EXPECT_EQ(whole.failure->line, 14u);
}

TEST(ObjFaces, OneAndTwoCornerFacesAreKeptForTheCallerToJudge)
{
    const kzoObject obj = parse("v 0 0 0\nvt 0 0\nf 1/1\nf 1/1 1/1\n");
    ASSERT_EQ(obj.polyCount, 2);
    EXPECT_EQ(polysOf(obj)[0].vertexCount, 1);
    EXPECT_EQ(polysOf(obj)[1].vertexCount, 2);
}

TEST(ObjTriangles, FacesOfThreeToEightCornersBecomeFansInCornerOrder)
{
    std::string text = "vt 0 0\n";
    for (int i = 0; i < 8; ++i)
        text += "v " + std::to_string(i) + " " + std::to_string(i * i % 5) + " 0\n";
    text += "f 1/1 2/1 3/1\nf 1/1 2/1 3/1 4/1\nf 1/1 2/1 3/1 4/1 5/1 6/1 7/1 8/1\n";
    const kzoObject obj = parse(text, 6, kzoObjFaces::Triangles);
    ASSERT_EQ(obj.polyCount, 1 + 2 + 6);
    const struct {
        int poly;
        float x0, x1, x2;
    } expected[] = {{0, 0, 1, 2}, {1, 0, 1, 2}, {2, 0, 2, 3}, {3, 0, 1, 2}, {8, 0, 6, 7}};
    for (const auto& e : expected) {
        const kzoPoly p = polysOf(obj)[static_cast<std::size_t>(e.poly)];
        EXPECT_EQ(p.vertexCount, 3);
        EXPECT_EQ(p.vertices[0].position.x, e.x0) << e.poly;
        EXPECT_EQ(p.vertices[1].position.x, e.x1) << e.poly;
        EXPECT_EQ(p.vertices[2].position.x, e.x2) << e.poly;
        EXPECT_EQ(p.materialIndex, 6) << e.poly;
    }
}

// A face too small to split is refused once the whole file has been read, so
// that a fault on a later line is still the one reported first.
TEST(ObjTriangles, OneOrTwoCornersFailWithTheFaceNumberAfterTheWholeFile)
{
    const std::string lists = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n";
    const struct {
        std::string faces, message;
    } cases[] = {
        {"f 1/1 2/1 3/1\nf 1/1\nf 1/1 1/1\n", "m.obj:6: face 2 has 1 corner; kzoWrite needs 3 or more"},
        {"f 1/1 2/1\nf 1/1\n", "m.obj:5: face 1 has 2 corners; kzoWrite needs 3 or more"},
        {"f 1/1 2/1\nf 1/9 2/1 3/1\n", "m.obj:6: face corner \"1/9\": texture index 9 is outside the 1 read so far"},
        {"f 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1\nf 1 2\n", "m.obj:6: face 2 has 2 corners; kzoWrite needs 3 or more"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(refusal(lists + c.faces, kzoObjFaces::Triangles), c.message) << c.faces;
        EXPECT_EQ(referenceOBJ(lists + c.faces, "m.obj", 0, true).failure, c.message) << c.faces;
    }
}

// Random texts, mostly of plain numbers and indices, with a few of every odd
// spelling (commas, junk, blanks, missing values, bad or relative indices,
// every corner form, faces of 1 to 15 corners, every line end): the indexed mesh must read back
// as the polygons of the plain route, bit for bit, or fail with its message.
std::string randomObj(std::mt19937& rng)
{
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto number = [&]() -> std::string {
        static const char* const odd[] = {"1,5", "1.5x", "+2", "", "1e", ".", "-", "1e400", "1e-50", "0x1p3",
                                          "-0", ".5", "5.", "1.2.3", "12345678901234567890123", "4.9e-324"};
        if (pick(25) == 0)
            return odd[pick(std::size(odd))];
        std::string t = pick(3) == 0 ? "-" : "";
        t += std::to_string(pick(pick(4) == 0 ? 100000 : 10));
        if (pick(4) != 0) {
            t += ".";
            for (int d = pick(12); d > 0; --d)
                t += static_cast<char>('0' + pick(10));
        }
        if (pick(10) == 0)
            t += std::string(pick(2) ? "e" : "E") + (pick(2) ? "-" : pick(2) ? "+" : "") + std::to_string(pick(45));
        return t;
    };
    auto blank = [&]() -> std::string { return pick(12) ? " " : pick(2) ? "\t" : "  \t "; };
    int positions = 0, uvs = 0, normals = 0;
    auto index = [&](int count) -> std::string {
        if (pick(1500) == 0)
            return std::to_string(count + 1);
        if (pick(1500) == 0)
            return "";
        if (count == 0 || pick(8) == 0)
            return "-" + std::to_string(1 + pick(std::max(count, 1)));
        return std::to_string(1 + pick(count));
    };
    std::string text;
    const int lines = pick(120);
    for (int l = 0; l < lines; ++l) {
        // Faces once there is something to refer to, nearly always.
        const int kind = (positions == 0 || uvs == 0) && pick(50) ? pick(11) : pick(20);
        if (kind < 6) {
            text += "v";
            for (int k = pick(150) ? 3 + pick(2) * pick(3) : pick(6); k > 0; --k)
                text += blank() + number();
            ++positions;
        } else if (kind < 9) {
            text += "vt";
            for (int k = pick(150) ? 1 + pick(3) : pick(4); k > 0; --k)
                text += blank() + number();
            ++uvs;
        } else if (kind < 11) {
            text += "vn";
            for (int k = pick(150) ? 3 : pick(5); k > 0; --k)
                text += blank() + number();
            ++normals;
        } else if (kind < 17) {
            text += "f";
            const int corners = pick(12) ? 3 + pick(2) : pick(40) ? 1 + pick(8) : pick(16);
            // Now and then a face of the forms without texture index (v, v//vn)
            // or with an empty last field (v/vt/).
            const int form = pick(20);
            for (int c = 0; c < corners; ++c) {
                text += blank() + index(positions);
                if (form == 0)
                    text += pick(2) ? "" : pick(2) ? "/" : "//";
                else if (form == 1)
                    text += "//" + (normals > 0 ? index(normals) : "");
                else
                    text += "/" + index(uvs);
                if (form > 1 && pick(2) && normals > 0)
                    text += "/" + index(normals);
                else if (form > 1 && pick(30) == 0)
                    text += "/";
                if (pick(1500) == 0)
                    text += pick(2) ? "/1" : "x";
            }
        } else {
            static const char* const other[] = {"# note", "o name", "", "s 1", " v 1 2 3", "V 1 2 3", "vx 1", "f#"};
            text += other[pick(std::size(other))];
        }
        if (pick(15) == 0)
            text += blank();
        text += pick(10) ? "\n" : pick(2) ? "\r\n" : "\r";
    }
    return text;
}

TEST(ObjMesh, ReadsBackAsThePlainPerPolygonRouteOnRandomTexts)
{
    std::mt19937 rng(20240612);
    int loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::string text = randomObj(rng);
        const bool triangles = round % 2 == 1;
        const ObjReference reference = referenceOBJ(text, "r.obj", 5, triangles);
        const kzoObjLoad load =
            kzoParseOBJ(text, "r.obj", 5, triangles ? kzoObjFaces::Triangles : kzoObjFaces::Whole);
        ASSERT_EQ(load.failure ? load.failure->message : "", reference.failure) << text;
        if (load.failure)
            continue;
        ++loaded;
        ASSERT_EQ(load.tally.facesWithoutUV, reference.facesWithoutUV) << text;
        ASSERT_EQ(load.tally.firstFaceWithoutUVLine, reference.firstFaceWithoutUVLine) << text;
        ASSERT_EQ(load.tally.cornersWithUV, reference.cornersWithUV) << text;
        ASSERT_EQ(load.object.polyCount, static_cast<std::int32_t>(reference.polygons.size()));
        const std::vector<kzoPoly> polygons = polysOf(load.object);
        for (std::size_t i = 0; i < polygons.size(); ++i)
            ASSERT_EQ(std::memcmp(&polygons[i], &reference.polygons[i], sizeof(kzoPoly)), 0)
                << "polygon " << i << " of\n" << text;
    }
    EXPECT_GT(loaded, 1000);
}

TEST(ObjLines, OtherStatementsAndMisspelledKeywordsChangeNothing)
{
    const std::string model = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n";
    const std::string noise = "# comment\no name\ng group\ns 1\nusemtl stone\nmtllib m.mtl\n"
                              "V 9 9 9\nF 1/1 1/1 1/1\n v 9 9 9\nvp 1 2\nl 1 2\np 1\ncurv 0 1 1 2\n\n\r\nvx 1 2 3\nf# 1/1\n";
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
        {"f 1/1/1/1 2/1/1 3/1/1", "face corner \"1/1/1/1\" has more than three fields"},
        {"f 0/1/1 2/1/1 3/1/1", "face corner \"0/1/1\": position index 0 is outside the 3 read so far"},
        {"f 1/1 2/1 4/1", "face corner \"4/1\": position index 4 is outside the 3 read so far"},
        {"f -4/1 2/1 3/1", "face corner \"-4/1\": position index -4 is outside the 3 read so far"},
        {"f 1/2 2/1 3/1", "face corner \"1/2\": texture index 2 is outside the 1 read so far"},
        {"f 1/-2 2/1 3/1", "face corner \"1/-2\": texture index -2 is outside the 1 read so far"},
        {"f 1/1/2 2/1/1 3/1/1", "face corner \"1/1/2\": normal index 2 is outside the 1 read so far"},
        {"f 1/x 2/1 3/1", "face corner \"1/x\": texture index 0 is outside the 1 read so far"},
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

// The calling program goes on after every refusal: this test runs on after
// each one, and nothing is printed or logged.
TEST(ObjFile, RefusalsAreValuesNamingTheFileAndLine)
{
    ScratchDir dir;
    mkdir(dir.file("folder.obj").c_str(), 0755);
    writeText(dir.file("bad.obj"), "v 0 0 0\nvt 0 0\n\nf 1/1 1/2 1/1\n");
    writeText(dir.file("nine.obj"), "v 0 0 0\nvt 0 0\nf 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1\n");
    const struct {
        std::string name, message;
        std::uint64_t line;
    } cases[] = {
        {"missing.obj", "UNABLE to open " + dir.file("missing.obj"), 0},
        {"folder.obj", "UNABLE to open " + dir.file("folder.obj"), 0},
        {"bad.obj", dir.file("bad.obj") + ":4: face corner \"1/2\": texture index 2 is outside the 1 read so far", 4},
        {"nine.obj", "kzoCreatePoly: v > kzoMaxVertex", 3},
    };
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (const auto& c : cases) {
        const kzoObjLoad load = kzoLoadOBJ(dir.file(c.name), 0);
        ASSERT_TRUE(load.failure) << c.name;
        EXPECT_EQ(load.failure->message, c.message);
        EXPECT_EQ(load.failure->file, dir.file(c.name));
        EXPECT_EQ(load.failure->line, c.line) << c.name;
        EXPECT_EQ(load.failure->errorNumber, 0) << c.name;
        EXPECT_EQ(load.object.polyCount, 0) << c.name;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(fileExists(dir.file("logger.log")));
    EXPECT_FALSE(fileExists("logger.log"));
}

TEST(ObjFile, LoadReadsTheFileAndNamesTheObjectAfterIt)
{
    ScratchDir dir;
    writeText(dir.file("tri.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n");
    const kzoObjLoad load = kzoLoadOBJ(dir.file("tri.obj"), 2);
    ASSERT_FALSE(load.failure);
    EXPECT_EQ(load.object.name, dir.file("tri.obj"));
    EXPECT_EQ(load.object.polyCount, 1);
    EXPECT_EQ(polysOf(load.object)[0].materialIndex, 2);
}

// Files are read in pieces: lines, and CR LF pairs, that straddle two pieces
// read as in one text.
TEST(ObjFile, LinesAcrossReadPiecesReadAsInMemory)
{
    ScratchDir dir;
    std::string text;
    auto addLines = [&](std::size_t until) {
        for (int i = 0; text.size() < until; ++i)
            text += "v " + std::to_string(i % 7) + ".25 " + std::string(i % 300, ' ') + "1 2\r\nvt 0.5 0.5\r" +
                    (i % 5 ? "\n" : "") + "f -1/-1 -1/-1 -1/-1\n";
    };
    // The first piece is 256 KiB: its last byte is the CR of a CR LF.
    addLines(260000);
    text += "#" + std::string(262143 - text.size() - 1, 'x') + "\r\n";
    addLines(700000);
    text += "v 1 2 3\r";
    writeText(dir.file("pieces.obj"), text);
    const kzoObjLoad file = kzoLoadOBJ(dir.file("pieces.obj"), 0);
    const kzoObjLoad memory = kzoParseOBJ(text, dir.file("pieces.obj"), 0);
    ASSERT_FALSE(file.failure);
    ASSERT_FALSE(memory.failure);
    ASSERT_GT(file.object.polyCount, 1000);
    const std::vector<kzoPoly> a = polysOf(file.object), b = polysOf(memory.object);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(kzoPoly)), 0);
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
        const kzoObject obj = kzoLoadOBJ(std::string(KZO_SHARED_DIR) + "/models/" + m.file, 0).object;
        std::map<int, int> counts;
        for (const kzoPoly& poly : polysOf(obj))
            ++counts[poly.vertexCount];
        EXPECT_EQ(counts, m.facesByCorners) << m.file;
    }
}

TEST(ObjRealModels, ModelsWithoutTextureCoordinatesLoadWithTheirFacesAndMaterials)
{
    const struct {
        const char* file;
        int faces;
        std::vector<std::string> libraries, used;
    } models[] = {
        {"beetle/beetle.obj", 2053, {"VWBugMesh002.mtl"}, {"None"}},
        {"stanford_bunny/stanford-bunny.obj", 69451, {}, {}},
    };
    for (const auto& m : models) {
        const kzoObjLoad load = kzoLoadOBJ(std::string(KZO_SHARED_DIR) + "/models/" + m.file, 0, kzoObjFaces::Triangles);
        ASSERT_FALSE(load.failure) << load.failure->message;
        EXPECT_EQ(load.object.polyCount, m.faces) << m.file;
        EXPECT_EQ(load.tally.faces, static_cast<std::size_t>(m.faces));
        EXPECT_EQ(load.tally.facesWithoutUV, load.tally.faces);
        EXPECT_EQ(load.tally.cornersWithUV, 0u);
        std::vector<std::string> libraries, used;
        for (const kzoObjLibraryLine& library : load.materials.libraries)
            libraries.push_back(library.names);
        for (const kzoObjMaterialUse& use : load.materials.used)
            used.push_back(use.name);
        EXPECT_EQ(libraries, m.libraries) << m.file;
        EXPECT_EQ(used, m.used) << m.file;
    }
}

// Each line is the only statement of material "m" (after "newmtl m"): what
// colour and texture name it gives.
TEST(MaterialLibrary, DiffuseColourAndTextureInEverySpelling)
{
    const struct {
        const char* statement;
        std::uint32_t colour; // 0 when it gives none
        const char* texture;  // nullptr when it gives no map_Kd
    } cases[] = {
        {"Kd 0.8 0.4 0.2", 0xFFCC6633, nullptr},
        {"\tkd 1,0 0.5 0 # comment", 0xFFFF8000, nullptr}, // any case, comma, anything after the third value
        {"Kd 0.5", 0xFF808080, nullptr},                   // one value: grey, 127.5 to even
        {"Kd 2 -1 nan", 0xFFFF0000, nullptr},               // clamped; NaN is 0
        {"Kd 0.1 0.2", 0, nullptr},
        {"Kd spectral blue.rfl 1.0", 0, nullptr},
        {"Kd xyz 0.3 0.3 0.3", 0, nullptr},
        {"Kd", 0, nullptr},
        {"map_Kd wood.png", 0, "wood.png"},
        {"  MAP_KD  my wood grain.png \t", 0, "my wood grain.png"},
        {"map_Kd -s 1 1 1 -o -0.5 0.5 -bm 0.3 -clamp on -mm 0 1 -imfchan r wood.png", 0, "wood.png"},
        {"map_Kd -o 0.5 2.jpg", 0, "2.jpg"},  // -o takes at most three numbers
        {"map_Kd -t 1 2 3 4.jpg", 0, "4.jpg"},
        {"map_Kd -blendu off textures\\wood.png", 0, "textures\\wood.png"},
        {"map_Kd -s 2 2", 0, ""},
        {"map_Kd", 0, ""},
        {"map_Ka other.png", 0, nullptr},
    };
    for (const auto& c : cases) {
        const std::vector<kzoMtlMaterial> materials = kzoParseMaterialLibrary(std::string("newmtl m\r\n") + c.statement + "\r\n");
        ASSERT_EQ(materials.size(), 1u) << c.statement;
        EXPECT_EQ(materials[0].hasColour, c.colour != 0) << c.statement;
        EXPECT_EQ(materials[0].colour, c.colour ? c.colour : 0xFF808080) << c.statement;
        EXPECT_EQ(materials[0].textureLine, c.texture ? 2u : 0u) << c.statement;
        EXPECT_EQ(materials[0].texture, c.texture ? c.texture : "") << c.statement;
    }
}

TEST(MaterialLibrary, MaterialsInOrderAndTheFirstOfANameFound)
{
    const std::vector<kzoMtlMaterial> materials = kzoParseMaterialLibrary(
        "Kd 1 1 1\nmap_Kd before.png\n# a comment\nnewmtl  stone grey \rKd 0.2 0.2 0.2\nKd 1 1 1\n"
        "map_Kd a.png\nmap_Kd b.png\n\nnewmtl glass\nnewmtl stone grey\nmap_Kd c.png");
    ASSERT_EQ(materials.size(), 3u);
    EXPECT_EQ(materials[0].name, "stone grey");
    EXPECT_EQ(materials[0].line, 4u);
    EXPECT_EQ(materials[0].colour, 0xFF333333u) << "the first Kd counts";
    EXPECT_EQ(materials[0].texture, "a.png") << "the first map_Kd counts";
    EXPECT_EQ(materials[0].textureLine, 7u);
    EXPECT_EQ(materials[1].name, "glass");
    EXPECT_FALSE(materials[1].hasColour);
    EXPECT_EQ(materials[1].textureLine, 0u);
    EXPECT_EQ(kzoFindMtlMaterial(materials, "stone grey"), &materials[0]);
    EXPECT_EQ(kzoFindMtlMaterial(materials, "glass"), &materials[1]);
    EXPECT_EQ(kzoFindMtlMaterial(materials, "stone"), nullptr);
    EXPECT_TRUE(kzoParseMaterialLibrary("").empty());
}

} // namespace
