// The scene file writer: exact layouts, encodings, table merging, the fast
// tables against the plain search, and the atomic replacement of the file.

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>

#include "fileio/FileExport.hpp"
#include "fileio/SceneTablesPlain.hpp"
#include "pelto/base/Log.hpp"
#include "tests/support/Process.hpp"
#include "tests/support/SceneProbe.hpp"
#include "tests/support/Scratch.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Corner {
    float x, y, z, w, u, v;
};

kzoVertex vertexAt(const Corner& c)
{
    kzoVertex vertex{};
    kzoMakeVertex(vertex, c.x, c.y, c.z, 0, 0, 1, c.u, c.v, 255, 255, 255, 255);
    vertex.position.w = c.w;
    return vertex;
}

kzoPoly triangle(const Corner& a, const Corner& b, const Corner& c)
{
    const kzoVertex vertices[3] = {vertexAt(a), vertexAt(b), vertexAt(c)};
    kzoPoly poly{};
    kzoCreatePoly(poly, vertices, 0);
    return poly;
}

kzoObject objectOf(const std::string& name, const std::vector<kzoPoly>& polys, std::int32_t materialIndex = 0)
{
    kzoObject obj;
    kzoInitObject(obj, name, materialIndex);
    for (const kzoPoly& p : polys)
        kzoAddPoly(obj, p);
    return obj;
}

kzoScene sceneNamed(const std::string& name)
{
    kzoScene scene;
    kzoInitScene(scene, name, peltoImage{}, false);
    return scene;
}

// A material whose texture has a size but no pixels: the writer reads only the size.
kzoMaterial texturedMaterial(const std::string& name, std::uint32_t width, std::uint32_t height,
                             const std::string& path)
{
    kzoMaterial mat;
    kzoInitMaterial(mat, name, 1);
    kzoSetMaterialTexture(mat, peltoImage{nullptr, width, height}, path);
    return mat;
}

Bytes encode(kzoScene& scene, const kzoExportSettings& settings, std::string* lines = nullptr)
{
    std::ostringstream out;
    kzoEncodedScene encoded = kzoEncodeScene(scene, settings, out);
    EXPECT_FALSE(encoded.failure) << encoded.failure->message;
    if (lines)
        *lines = out.str();
    return std::move(encoded.bytes);
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t to) { return {bytes.begin() + from, bytes.begin() + to}; }

Bytes text(const std::string& s) { return {s.begin(), s.end()}; }

const kzoExportSettings converterSettings{true, kzoIndexSize2byte, kzoTextureMode8Bit, -1};
const kzoExportSettings fixedFloatUV{true, kzoIndexSize2byte, kzoTextureModeFloat, -1};

TEST(SceneLayout, First2SceneWithOneMaterialMatchesTheWrittenOffsets)
{
    kzoScene scene = sceneNamed("first2");
    kzoAddMaterial(scene, texturedMaterial("material-textured", 4, 4, "tex.jpg"));
    const Bytes bytes = encode(scene, converterSettings);

    const Bytes header = {'K', 'Z', 'O', 1, 0x00, 0x10, 0, 0, 1, 1, 0xFF, 0xFF};
    EXPECT_EQ(slice(bytes, 0, 12), header);
    EXPECT_EQ(slice(bytes, 12, 22), (Bytes{'f', 'i', 'r', 's', 't', '2', 0, 0, 0, 0}));
    EXPECT_EQ(slice(bytes, 22, 30), (Bytes{0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(slice(bytes, 30, 32), (Bytes{0, 0}));
    // From 32: the name (17 + 1 + 2 padding), grey, has texture, flags 1, the
    // path (7 + 1, no padding) ending at 65, then 65 mod 4 = 1 alignment byte,
    // and the final step at 66 writes 66 mod 4 = 2 more.
    Bytes material = text("material-textured");
    material.insert(material.end(), {0, 0, 0, 0x80, 0x80, 0x80, 1, 1});
    const Bytes path = text("tex.jpg");
    material.insert(material.end(), path.begin(), path.end());
    material.insert(material.end(), {0, 0, 0, 0});
    EXPECT_EQ(slice(bytes, 32, bytes.size()), material);
    EXPECT_EQ(bytes.size(), 68u);
}

TEST(SceneLayout, TriSceneIsTheWritten88Bytes)
{
    kzoScene scene = sceneNamed("s");
    kzoAddObject(scene, objectOf("tri", {triangle({1, 0, 0.5f, 1, 0, 0}, {0, 1, 0, 1, 1, 0},
                                                  {-0.5f, 0, 0, 1, 0.5f, 1})}));
    const Bytes bytes = encode(scene, fixedFloatUV);
    const Bytes expected = {
        'K', 'Z', 'O', 1, 0x00, 0x10, 0, 0, 1, 0, 0xFF, 0xFF, // header
        's', 0, 0, 0,                                          // name, zero, 2 padding
        1, 0, 0, 0, 0, 0, 0, 0,                                // counts 1, 0, 0, 0; no alignment
        't', 'r', 'i', 0,                                      // no padding
        1, 0, 0, 0,                                            // polygon count
        0, 0, 0, 0,                                            // material index
        3, 0, 0, 0,                                            // positions
        0x00, 0x10, 0x00, 0x00, 0x00, 0xF8,                    // (1, 0, -0.5): z times -1
        0x00, 0x00, 0x00, 0x10, 0x00, 0x00,                    // (0, 1, -0)
        0x00, 0xF8, 0x00, 0x00, 0x00, 0x00,                    // (-0.5, 0, -0)
        0, 0,                                                  // alignment at 58
        3, 0, 0, 0,                                            // UVs as fixed
        0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08, 0x00, 0x10,
        0, 0, 0, 0, 1, 0, 1, 0, 2, 0, 2, 0, // index pairs; nothing after
    };
    EXPECT_EQ(bytes, expected);
}

TEST(SceneLayout, EmptyNameIsAZeroAndOnePaddingByte)
{
    kzoScene scene = sceneNamed("");
    const Bytes bytes = encode(scene, converterSettings);
    EXPECT_EQ(slice(bytes, 12, 14), (Bytes{0, 0}));
    EXPECT_EQ(bytes.size(), 12u + 2 + 8 + 2); // counts end at 22: 2 alignment bytes
}

TEST(SceneLayout, StringPaddingIsLengthPlusOneModFour)
{
    struct Case {
        std::string name;
        std::size_t bytes; // characters, zero and padding
    } const cases[] = {{"", 2}, {"a", 4}, {"ab", 6}, {"abc", 4}, {"abcd", 6}, {"abcde", 8}, {std::string(255, 'n'), 256},
                       {std::string(300, 'n'), 301}};
    for (const Case& c : cases) {
        kzoScene scene = sceneNamed("");
        scene.name = c.name; // past kzoInitScene's cut, as a direct caller may hold it
        kzoMaterial plain;
        kzoInitMaterial(plain, "m", 0);
        kzoAddMaterial(scene, plain);
        const Bytes bytes = encode(scene, converterSettings);
        // The zero byte and the padding, then the counts: objects 0, materials 1.
        const std::size_t zeroAt = 12 + c.name.size();
        const std::size_t countsAt = 12 + c.bytes;
        Bytes expected(countsAt - zeroAt, 0);
        expected.insert(expected.end(), {0, 0, 1, 0});
        EXPECT_EQ(slice(bytes, zeroAt, countsAt + 4), expected) << c.name.size();
        EXPECT_EQ(probeScene(bytes).name, c.name);
    }
}

TEST(SceneLayout, ZeroInsideANameEndsIt)
{
    kzoScene scene = sceneNamed("");
    scene.name = std::string("ab\0cd", 5);
    const Bytes bytes = encode(scene, converterSettings);
    EXPECT_EQ(probeScene(bytes).name, "ab");
}

TEST(SceneEncoding, FixedPointPatternsAndWrapping)
{
    struct Case {
        float value;
        std::uint16_t stored;
    } const cases[] = {{1.0f, 4096},      {-0.5f, 0xF800},       {0.5f / 4096, 0},   {1.5f / 4096, 2},
                       {7.99976f, 32767}, {-8.0f, 0x8000},       {8.0f, 0x8000},     {-0.0f, 0},
                       {9.0f, 0x9000},    {INFINITY, 0}};
    for (const Case& c : cases) {
        kzoScene scene = sceneNamed("");
        kzoAddObject(scene, objectOf("", {triangle({c.value, 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0})}));
        const Bytes bytes = encode(scene, fixedFloatUV);
        // Name "" at 12-13, counts 14-21, alignment 22-23, object name 24-25,
        // counts 26-37, first position at 38.
        EXPECT_EQ(bytes[38] | bytes[39] << 8, c.stored) << c.value;
    }
}

TEST(SceneEncoding, SinglePositionsAreLittleEndianIEEE)
{
    kzoScene scene = sceneNamed("");
    kzoAddObject(scene, objectOf("", {triangle({1, -2, 0.25f, 1, 0, 0}, {0, 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0})}));
    const Bytes bytes = encode(scene, {false, kzoIndexSize4Byte, kzoTextureModeFloat, 1});
    EXPECT_EQ(slice(bytes, 4, 8), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(slice(bytes, 38, 50), (Bytes{0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0, 0, 0, 0x80, 0x3E}));
    const SceneProbe probe = probeScene(bytes);
    EXPECT_EQ(probe.indexSize, kzoIndexSize4Byte);
    EXPECT_EQ(probe.objects[0].corners.size(), 3u);
}

TEST(SceneEncoding, QuantisedUVsRoundTiesToEvenAndKeepTheirLowBits)
{
    struct Case {
        float u;
        std::uint32_t width;
        kzoTextureMode mode;
        double stored;
    } const cases[] = {
        {1.0f, 256, kzoTextureMode8Bit, 255},   {0.5f, 256, kzoTextureMode8Bit, 128}, // 127.5 -> even 128
        {0.5f, 4, kzoTextureMode8Bit, 2},       {0.5f, 6, kzoTextureMode8Bit, 2},     // 2.5 -> even 2
        {-0.0522f, 1024, kzoTextureMode8Bit, 203}, // -53 keeps its low byte
        {1.0f, 2048, kzoTextureMode8Bit, 255},  // 2047 keeps its low byte
        {1.0f, 2048, kzoTextureMode16Bit, 2047}, {-1.0f, 1024, kzoTextureMode16Bit, 65536 - 1023},
        {0.75f, 1, kzoTextureMode16Bit, 0},     // a one-pixel texture has one step
        {0.75f, 0, kzoTextureMode16Bit, 65535}, // no texture: size - 1 is -1, round(-0.75) = -1
    };
    for (const Case& c : cases) {
        kzoScene scene = sceneNamed("");
        kzoAddMaterial(scene, texturedMaterial("m", c.width, 3, "t.jpg"));
        kzoAddObject(scene, objectOf("", {triangle({0, 0, 0, 1, c.u, 0.5f}, {1, 0, 0, 1, c.u, 0.5f},
                                                   {0, 1, 0, 1, c.u, 0.5f})}));
        const SceneProbe probe = probeScene(encode(scene, {true, kzoIndexSize2byte, c.mode, -1}));
        ASSERT_EQ(probe.objects[0].uvs.size(), 1u);
        EXPECT_EQ(probe.objects[0].uvs[0][0], c.stored) << c.u << " x " << c.width;
        EXPECT_EQ(probe.objects[0].uvs[0][1], 1.0) << "v 0.5 on a 3-row texture: round(1.0)";
    }
}

TEST(SceneTables, EqualValuesMergeInFirstAppearanceOrderAndWCounts)
{
    kzoScene scene = sceneNamed("");
    kzoAddObject(scene, objectOf("o", {
                                          triangle({1, 0, 0, 1, 0.5f, 0}, {0, 1, 0, 1, 0, 0}, {0, 0, 1, 1, 0.5f, 0}),
                                          triangle({0, 0, 1, 1, 0, 0}, {1, 0, 0, 2, 1, 1}, {0, 1, 0, 1, 1, 1}),
                                      }));
    const SceneProbe probe = probeScene(encode(scene, {false, kzoIndexSize4Byte, kzoTextureModeFloat, 1}));
    const ProbeObject& o = probe.objects[0];
    // (1, 0, 0) with w 2 is a position of its own, though it is stored as x, y, z only.
    EXPECT_EQ(o.positions, (std::vector<std::array<float, 3>>{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}}));
    EXPECT_EQ(o.uvs, (std::vector<std::array<double, 2>>{{0.5, 0}, {0, 0}, {1, 1}}));
    EXPECT_EQ(o.corners, (std::vector<std::array<std::uint32_t, 2>>{{0, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 2}, {1, 2}}));
}

TEST(SceneTables, MinusZeroMatchesThePlusZeroSeenFirst)
{
    kzoScene scene = sceneNamed("");
    kzoAddObject(scene, objectOf("o", {triangle({0, 0, 0, 1, 0, 0}, {-0.0f, 0, 0, 1, -0.0f, 0},
                                                {-0.0f, 1, 0, 1, 0, 0})}));
    const SceneProbe probe = probeScene(encode(scene, {false, kzoIndexSize4Byte, kzoTextureModeFloat, 1}));
    const ProbeObject& o = probe.objects[0];
    ASSERT_EQ(o.positions.size(), 2u);
    EXPECT_FALSE(std::signbit(o.positions[0][0]));
    EXPECT_TRUE(std::signbit(o.positions[1][0])) << "(-0, 1, 0) was first seen with its minus sign";
    ASSERT_EQ(o.uvs.size(), 1u);
    EXPECT_EQ(o.corners[1], (std::array<std::uint32_t, 2>{0, 0}));
}

TEST(SceneTables, NaNIsANewEntryThatIsNeverFoundAndWritesIndexZero)
{
    kzoScene scene = sceneNamed("");
    kzoAddObject(scene, objectOf("o", {triangle({0, 0, 0, 1, 0, 0}, {NAN, 0, 0, 1, 0, NAN}, {NAN, 0, 0, 1, 0, 0})}));
    std::string lines;
    const SceneProbe probe = probeScene(encode(scene, {false, kzoIndexSize4Byte, kzoTextureModeFloat, 1}, &lines));
    const ProbeObject& o = probe.objects[0];
    EXPECT_EQ(o.positions.size(), 3u);
    EXPECT_EQ(o.uvs.size(), 2u);
    EXPECT_EQ(o.corners, (std::vector<std::array<std::uint32_t, 2>>{{0, 0}, {0, 0}, {0, 0}}));
    EXPECT_NE(lines.find("Writing 1 Polys\nERROR: Vector not found\nERROR: UV not found\nERROR: Vector not found\n"),
              std::string::npos)
        << lines;
}

TEST(SceneWriter, ZFactorChangesTheSceneInPlaceAndIsStored)
{
    kzoScene scene = sceneNamed("");
    kzoAddObject(scene, objectOf("o", {triangle({0, 0, 1.5f, 1, 0, 0}, {1, 0, -2, 1, 0, 0}, {0, 1, 0, 1, 0, 0})}));
    const SceneProbe probe = probeScene(encode(scene, {false, kzoIndexSize4Byte, kzoTextureModeFloat, -1}));
    EXPECT_EQ(probe.zFactor, -1);
    EXPECT_EQ(probe.objects[0].positions[0][2], -1.5f);
    EXPECT_EQ(probe.objects[0].positions[1][2], 2.0f);
    EXPECT_EQ(kzoMeshPoly(scene.objects[0].mesh, 0).vertices[0].position.z, -1.5f);
    EXPECT_EQ(kzoMeshPoly(scene.objects[0].mesh, 0).vertices[1].position.z, 2.0f);
}

TEST(SceneWriter, PrintsTheWrittenProgressLines)
{
    kzoScene scene = sceneNamed("first2");
    kzoAddMaterial(scene, texturedMaterial("material-textured", 4, 4, "tex.jpg"));
    kzoAddObject(scene, objectOf("model.obj", {triangle({0, 0, 0, 1, 0, 0}, {1, 0, 0, 1, 1, 0}, {0, 1, 0, 1, 0, 1})}));
    std::string lines;
    encode(scene, converterSettings, &lines);
    EXPECT_EQ(lines, " - Using FixedPoint\n"
                     " - IndexSize is kzoIndexSize2byte\n"
                     " - TextureMode is kzoTextureMode8Bit\n"
                     " - Z is -1\n"
                     "Writing first2\n"
                     " - saving material-textured\n"
                     " - saving model.obj with 1 Polys\n"
                     "Writing 3 Vectors\n"
                     "Writing 3 UVs\n"
                     "Writing 1 Polys\n");
    encode(scene, {false, kzoIndexSize4Byte, kzoTextureMode16Bit, 3}, &lines);
    EXPECT_EQ(lines.substr(0, lines.find("Writing")), " - Using FloatingPoint\n"
                                                       " - IndexSize is kzoIndexSize4Byte\n"
                                                       " - TextureMode is kzoTextureMode16Bit\n"
                                                       " - Z is 3\n");
}

TEST(SceneWriter, PolygonOfOtherThanThreeVerticesIsRefusedBeforeAnythingChanges)
{
    kzoScene scene = sceneNamed("");
    kzoAddObject(scene, objectOf("first", {triangle({0, 0, 1, 1, 0, 0}, {1, 0, 1, 1, 0, 0}, {0, 1, 1, 1, 0, 0})}));
    kzoObject quad = objectOf("quad", {});
    kzoPoly poly = triangle({0, 0, 0, 1, 0, 0}, {1, 0, 0, 1, 0, 0}, {1, 1, 0, 1, 0, 0});
    poly.vertexCount = 4;
    kzoAddPoly(quad, poly);
    kzoAddObject(scene, quad);
    std::ostringstream lines;
    const kzoEncodedScene encoded = kzoEncodeScene(scene, converterSettings, lines);
    ASSERT_TRUE(encoded.failure) << "a quad was written";
    EXPECT_EQ(encoded.failure->message,
              "SaveScene: polygon 1 of object \"quad\" has 4 vertices; the scene file holds triangles only");
    EXPECT_TRUE(encoded.bytes.empty());
    EXPECT_EQ(lines.str(), "");
    EXPECT_EQ(kzoMeshPoly(scene.objects[0].mesh, 0).vertices[0].position.z, 1.0f);
}

// Random scenes drawn from small pools of values, so that most values repeat,
// with zeros of both signs, NaNs and w other than 1, half of the objects with
// vertices that many corners share: the hashed tables, one look-up per
// distinct vertex, must give the bytes and lines of the plain linear search.
kzoScene randomScene(std::mt19937& rng)
{
    const float pool[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 0.25f, 3.75f, -7.5f, 1e-3f, NAN, 2.0f, 1e30f};
    std::uniform_int_distribution<int> pick(0, std::size(pool) - 1);
    std::uniform_int_distribution<int> rare(0, 99);
    auto value = [&] {
        const float v = pool[pick(rng)];
        return (v != v && rare(rng) > 5) ? 0.125f : v; // NaN in about 1 of 200 values
    };
    kzoScene scene = sceneNamed("random");
    kzoAddMaterial(scene, texturedMaterial("a", 256, 256, "a.jpg"));
    kzoAddMaterial(scene, texturedMaterial("b", 2048, 100, "b.jpg"));
    const int objects = std::uniform_int_distribution<int>(1, 3)(rng);
    for (int o = 0; o < objects; ++o) {
        const std::int32_t material = std::uniform_int_distribution<int>(-1, 2)(rng);
        const int count = std::uniform_int_distribution<int>(0, 300)(rng);
        auto corner = [&] { return Corner{value(), value(), value(), rare(rng) < 3 ? 0.0f : 1.0f, value(), value()}; };
        if (rng() % 2) {
            std::vector<kzoPoly> polys;
            for (int i = 0; i < count; ++i)
                polys.push_back(triangle(corner(), corner(), corner()));
            kzoAddObject(scene, objectOf("object" + std::to_string(o), polys, material));
            continue;
        }
        // Corners that share a few vertices, NaNs among them, in any order.
        kzoObject obj = objectOf("shared" + std::to_string(o), {}, material);
        const int vertices = std::uniform_int_distribution<int>(1, 40)(rng);
        for (int v = 0; v < vertices; ++v)
            kzoMeshAppendVertex(obj.mesh, vertexAt(corner()));
        for (int i = 0; i < count; ++i) {
            const std::uint32_t corners[3] = {static_cast<std::uint32_t>(rng() % vertices),
                                              static_cast<std::uint32_t>(rng() % vertices),
                                              static_cast<std::uint32_t>(rng() % vertices)};
            kzoMeshAppendPolygon(obj.mesh, corners, 3, kzoMakeVector(0, 0, 1), 0);
        }
        obj.polyCount = count;
        kzoAddObject(scene, std::move(obj));
    }
    return scene;
}

TEST(SceneTables, HashedTablesGiveTheBytesOfThePlainSearchOnRandomScenes)
{
    std::mt19937 rng(20240611);
    const kzoExportSettings settings[] = {converterSettings, fixedFloatUV,
                                          {false, kzoIndexSize4Byte, kzoTextureMode16Bit, 1},
                                          {false, kzoIndexSize4Byte, kzoTextureModeFloat, -3}};
    for (int round = 0; round < 300; ++round) {
        const kzoScene original = randomScene(rng);
        const kzoExportSettings& s = settings[round % std::size(settings)];
        kzoScene fast = original, plain = original;
        std::ostringstream fastLines, plainLines;
        const Bytes fastBytes = kzoEncodeScene(fast, s, fastLines).bytes;
        const Bytes plainBytes = kzoEncodeTables(plain, kzoTabulateScenePlain(plain, s.zFactor), s, plainLines).bytes;
        ASSERT_EQ(fastBytes, plainBytes) << "round " << round;
        ASSERT_EQ(fastLines.str(), plainLines.str()) << "round " << round;
    }
}

// SaveScene of an empty scene in a child process working in dir.
ProcessResult saveEmptyScene(const ScratchDir& dir, const std::string& fileName, const std::string& sceneName)
{
    return runInChild(
        [&] {
            kzoScene scene = sceneNamed(sceneName);
            return SaveScene(fileName, scene, true, kzoIndexSize2byte, kzoTextureMode8Bit, -1) ? 3 : 0;
        },
        inDirectory(dir.path()));
}

TEST(SaveScene, WritesTheFileAndPrintsSavingFirst)
{
    ScratchDir dir;
    const ProcessResult r = saveEmptyScene(dir, "./test.kzo", "first2");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(splitLines(r.out).front(), "Saving ./test.kzo");
    EXPECT_EQ(probeScene(readFile(dir.file("test.kzo"))).name, "first2");
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"test.kzo"}));
}

// A file-size limit below the scene's size makes the write fail part-way
// (EFBIG; the signal it would raise is ignored), even for root.
int saveUnderSizeLimit(rlim_t limit)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit r{limit, limit};
    setrlimit(RLIMIT_FSIZE, &r);
    kzoScene scene = sceneNamed("big");
    std::vector<kzoPoly> polys;
    for (int i = 0; i < 2000; ++i)
        polys.push_back(triangle({i / 512.0f, 0, 0, 1, 0, 0}, {0, i / 512.0f, 0, 1, 0, 0}, {0, 0, i / 1024.0f, 1, 0, 0}));
    kzoAddObject(scene, objectOf("o", polys));
    return SaveScene("out.kzo", scene, true, kzoIndexSize2byte, kzoTextureModeFloat, -1) ? 3 : 0;
}

TEST(SaveScene, FailedWriteKeepsThePreviousFileAndLeavesNoTemporary)
{
    ScratchDir dir;
    writeText(dir.file("out.kzo"), "previous good file");
    const ProcessResult r = runInChild([] { return saveUnderSizeLimit(8192); }, inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "out.kzo: File too large\n");
    EXPECT_EQ(readText(dir.file("out.kzo")), "previous good file");
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"out.kzo"}));
}

TEST(SaveScene, TargetThatCannotBeReplacedLeavesNoTemporary)
{
    ScratchDir dir;
    mkdir(dir.file("out.kzo").c_str(), 0755);
    writeText(dir.file("out.kzo/keep"), "x");
    const ProcessResult r = saveEmptyScene(dir, "out.kzo", "");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "out.kzo: Is a directory\n");
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"out.kzo"}));
    EXPECT_EQ(readText(dir.file("out.kzo/keep")), "x");
}

TEST(SaveScene, ReplacesAnExistingFile)
{
    ScratchDir dir;
    writeText(dir.file("test.kzo"), "old");
    const ProcessResult r = saveEmptyScene(dir, "test.kzo", "new");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(probeScene(readFile(dir.file("test.kzo"))).name, "new");
}

} // namespace
