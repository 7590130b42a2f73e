// The scene file reader on hand-built files and on the writer's output: every
// encoding of the header, the lines it prints, the round trip, every kind of
// malformed file refused as a value with the caller's scene untouched, and the
// indexed mesh against the plain triangle-by-triangle reading on random files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>
#include <sys/stat.h>

#include "fileio/FileExport.hpp"
#include "fileio/FileImport.hpp"
#include "tests/support/SceneBuilders.hpp"
#include "tests/support/SceneBytes.hpp"
#include "tests/support/SceneProbe.hpp"
#include "tests/support/Scratch.hpp"

namespace {

const peltoImage frame160x90{nullptr, 160, 90};

// Textures of 4 x 2 (or 256 x 256 for paths ending in "256") whose pixels
// record the load; every load is counted.
struct FakeTextures {
    int loads = 0;
    std::vector<std::string> paths;
    kzoTextureLoader loader()
    {
        return [this](const std::string& path) {
            ++loads;
            paths.push_back(path);
            kzoImageFile file;
            file.status = kzoImageFileStatus::Loaded;
            const bool big = path.size() >= 3 && path.compare(path.size() - 3, 3, "256") == 0;
            AllocImage(file.image, big ? 256 : 4, big ? 256 : 2);
            file.image.pixels[0] = 0xFF000000u | static_cast<std::uint32_t>(loads);
            return file;
        };
    }
};

// A triangle object in the given encodings: positions, UVs and index pairs
// written as the format lays them out.
SceneFileBytes triangleFile(bool fixed, bool shortIndices, std::uint8_t textureMode, std::int16_t zFactor,
                            const std::string& texture = "tex.jpg")
{
    SceneFileBytes f;
    f.header(fixed ? 4096 : 0, shortIndices ? 1 : 0, textureMode, zFactor);
    f.sceneSection("first2", 1, 1);
    f.material("material-textured", 0x11, 0x22, 0x33, texture);
    f.str("tri").i32(1).i32(0).i32(3);
    const float positions[3][3] = {{1.0f, 2.0f, -0.5f}, {-8.0f, 0.25f, 3.0f}, {0.0f, 7.5f, 0.125f}};
    for (const auto& p : positions)
        for (const float c : p) {
            if (fixed)
                f.i16(kzoFloatToFixed(c));
            else
                f.f32(c);
        }
    f.align();
    f.i32(3);
    const float uvs[3][2] = {{0.0f, 0.5f}, {1.0f, 0.25f}, {0.75f, 1.0f}};
    for (const auto& uv : uvs) {
        for (int k = 0; k < 2; ++k) {
            const std::uint32_t size = k == 0 ? 4 : 2;
            const float q = uv[k] * static_cast<float>(size - 1);
            switch (textureMode) {
            case 0:
                if (fixed)
                    f.i16(kzoFloatToFixed(uv[k]));
                else
                    f.f32(uv[k]);
                break;
            case 1: f.u8(static_cast<std::uint8_t>(kzoRoundToInt(q))); break;
            default: f.u16(static_cast<std::uint16_t>(kzoRoundToInt(q))); break;
            }
        }
    }
    // Corners (position, UV): (0, 0), (1, 1), (2, 2).
    for (std::uint32_t i = 0; i < 3; ++i) {
        for (int k = 0; k < 2; ++k) {
            if (shortIndices)
                f.u16(static_cast<std::uint16_t>(i));
            else
                f.u32(i);
        }
    }
    f.align();
    f.align();
    return f;
}

struct Decoded {
    bool ok;
    std::string out;
    std::optional<peltoFailure> failure;
};

Decoded decode(const std::vector<std::uint8_t>& bytes, kzoScene& scene, FakeTextures& textures)
{
    testing::internal::CaptureStdout();
    const kzoSceneLoad load = kzoDecodeScene(bytes, "scene.kzo", scene, frame160x90, textures.loader());
    return {static_cast<bool>(load), testing::internal::GetCapturedStdout(), load.failure};
}

TEST(Import, FixedPointShortIndices8BitUVsAndNegativeZReadBack)
{
    FakeTextures textures;
    kzoScene scene;
    const Decoded d = decode(triangleFile(true, true, 1, -1).bytes, scene, textures);
    ASSERT_TRUE(d.ok) << d.out;
    EXPECT_EQ(d.out, std::string(" - Using FixedPoint\n - IndexSize is kzoIndexSize2byte\n - TextureMode is kzoTextureMode8Bit\n"
                     " - Z mode is -1\nLoading Scene first2\n - material material-textured\n"
                     "  - file name is tex.jpg\n   - tri with 1 Polys\nnumVectors 3\nnumTVectors 3\n"));
    EXPECT_EQ(scene.name, "first2");
    ASSERT_EQ(scene.materialCount, 1);
    const kzoMaterial& mat = scene.materials[0];
    EXPECT_EQ(mat.name, "material-textured");
    EXPECT_EQ(mat.colour, 0xFF112233u);
    EXPECT_TRUE(mat.hasTexture);
    EXPECT_EQ(mat.flags, 1);
    EXPECT_EQ(mat.textureFileName, "tex.jpg");
    EXPECT_EQ(textures.paths, std::vector<std::string>{"tex.jpg"});
    EXPECT_EQ(mat.texture.width, 4u);

    ASSERT_EQ(scene.objectCount, 1);
    const kzoObject& obj = scene.objects[0];
    EXPECT_EQ(obj.name, "tri");
    EXPECT_EQ(obj.jointCount, 0);
    ASSERT_EQ(obj.polyCount, 1);
    const kzoPoly p = polysOf(obj)[0];
    EXPECT_EQ(p.vertexCount, 3);
    EXPECT_EQ(p.materialIndex, 0);
    // Stored z was the file's value; the reader multiplies by Z = -1 again.
    // UVs were stored as round(u x 3), round(v x 1) (0.5 is a tie: 0) and read as q / 4, q / 2.
    const float expected[3][5] = {{1.0f, 2.0f, 0.5f, 0.0f / 4, 0.0f / 2},
                                  {-8.0f, 0.25f, -3.0f, 3.0f / 4, 0.0f / 2},
                                  {0.0f, 7.5f, -0.125f, 2.0f / 4, 1.0f / 2}};
    for (int i = 0; i < 3; ++i) {
        const kzoVertex& v = p.vertices[i];
        EXPECT_EQ(v.position.x, expected[i][0]) << i;
        EXPECT_EQ(v.position.y, expected[i][1]) << i;
        EXPECT_EQ(v.position.z, expected[i][2]) << i;
        EXPECT_EQ(v.texCoord.x, expected[i][3]) << i;
        EXPECT_EQ(v.texCoord.y, expected[i][4]) << i;
        EXPECT_EQ(v.normal.x, 0.0f);
        EXPECT_EQ(v.normal.z, 0.0f);
        EXPECT_EQ(v.normal.w, 1.0f);
        EXPECT_EQ(v.colour.r, 128);
        EXPECT_EQ(v.colour.a, 255);
        EXPECT_EQ(v.influenceCount, 0);
    }
    kzoPoly again{};
    kzoCreatePoly(again, {p.vertices, 3}, 0);
    EXPECT_EQ(std::memcmp(&again.normal, &p.normal, sizeof p.normal), 0);
    kzoFreeScene(scene);
}

TEST(Import, EveryEncodingOfTheHeaderReadsTheSameTriangle)
{
    struct Case {
        bool fixed, shortIndices;
        std::uint8_t textureMode;
        std::int16_t zFactor;
        float z0;   // z of corner 0 as read
        float u2;   // u of corner 2 as read
    };
    const Case cases[] = {
        {false, false, 0, 1, -0.5f, 0.75f},   // float everything
        {false, true, 0, -1, 0.5f, 0.75f},
        {true, false, 0, 1, -0.5f, 0.75f},    // fixed-point UVs in float mode
        {false, false, 1, 1, -0.5f, 0.5f},    // round(0.75 x 3) = 2, / 4
        {true, true, 2, 1, -0.5f, 0.5f},      // 16-bit steps
        {false, false, 0, 3, -1.5f, 0.75f},   // Z factor 3 applied by the reader
    };
    for (const Case& c : cases) {
        FakeTextures textures;
        kzoScene scene;
        SceneFileBytes file = triangleFile(c.fixed, c.shortIndices, c.textureMode, c.zFactor);
        const Decoded d = decode(file.bytes, scene, textures);
        ASSERT_TRUE(d.ok) << d.out;
        ASSERT_EQ(scene.objectCount, 1);
        EXPECT_EQ(polysOf(scene.objects[0])[0].vertices[0].position.z, c.z0) << d.out;
        EXPECT_EQ(polysOf(scene.objects[0])[0].vertices[2].texCoord.x, c.u2) << d.out;
        kzoFreeScene(scene);
    }
}

TEST(Import, EmptySceneReadsWithAWorkingViewport)
{
    SceneFileBytes f;
    f.header(4096, 1, 1, -1).sceneSection("", 0, 0).align();
    // An empty name costs a zero byte and one padding byte: the counts start at 14.
    ASSERT_EQ(f.bytes.size(), 12u + 2 + 8 + 2);
    FakeTextures textures;
    kzoScene scene;
    const Decoded d = decode(f.bytes, scene, textures);
    ASSERT_TRUE(d.ok) << d.out;
    EXPECT_EQ(scene.name, "");
    EXPECT_EQ(scene.objectCount, 0);
    EXPECT_EQ(scene.materialCount, 0);
    EXPECT_EQ(scene.activeCamera, -1);
    EXPECT_EQ(scene.viewPort.width, 160u);
    EXPECT_EQ(scene.viewPort.depthBuffer.size(), 160u * 90);
    EXPECT_EQ(scene.viewPort.centerX, 80.0f);
    EXPECT_EQ(textures.loads, 0);
}

TEST(Import, LongNamesKeep255CharactersAndSkipTheirPadding)
{
    const std::string longName(300, 'n');
    SceneFileBytes f;
    f.header(0, 0, 0, 1);
    // The stored bytes run to the zero; padding follows the kept length: 256 mod 4 = 0.
    f.bytes.insert(f.bytes.end(), longName.begin(), longName.end());
    f.u8(0).u16(0).u16(0).u16(0).u16(0).align().align();
    FakeTextures textures;
    kzoScene scene;
    ASSERT_TRUE(decode(f.bytes, scene, textures).ok);
    EXPECT_EQ(scene.name, std::string(255, 'n'));
}

TEST(Import, WrongMagicGivesFalseWithoutALine)
{
    for (const std::vector<std::uint8_t>& bytes :
         {std::vector<std::uint8_t>{'K', 'Z', 'X', 1}, std::vector<std::uint8_t>{'P', 'N'},
          std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 0, 0, 0, 0, 0, 0, 0, 0}}) {
        FakeTextures textures;
        kzoScene scene;
        const Decoded d = decode(bytes, scene, textures);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.out, "");
    }
}

// A scene the caller already holds; a failed read must leave it as it is.
kzoScene callersScene()
{
    kzoScene scene;
    kzoInitScene(scene, "kept", frame160x90, false);
    kzoObject obj;
    kzoInitObject(obj, "mine", 0);
    kzoAddObject(scene, obj);
    return scene;
}

void expectUntouched(const kzoScene& scene)
{
    EXPECT_EQ(scene.name, "kept");
    ASSERT_EQ(scene.objectCount, 1);
    EXPECT_EQ(scene.objects[0].name, "mine");
    EXPECT_EQ(scene.materialCount, 0);
    EXPECT_TRUE(scene.viewPort.depthBuffer.empty());
}

// Replaces the bytes at offset with value's little-endian bytes.
std::vector<std::uint8_t> patched(std::vector<std::uint8_t> bytes, std::size_t offset,
                                  std::initializer_list<std::uint8_t> value)
{
    std::copy(value.begin(), value.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return bytes;
}

TEST(Import, MalformedFilesAreRefusedWithAReasonAndTheSceneUntouched)
{
    // Layout of triangleFile(true, true, 1, -1): header 0-11, "first2" 12-21,
    // counts 22-29, align 30-31, material 32-..., object from objectStart.
    const std::vector<std::uint8_t> good = triangleFile(true, true, 1, -1).bytes;
    // Material: name and padding 20, five bytes, "tex.jpg" 8, alignment 1 (65 mod 4).
    const std::size_t objectStart = 32 + 20 + 5 + 8 + 1;
    ASSERT_EQ(good[objectStart], 't');
    ASSERT_EQ(good.size(), 124u);
    const std::size_t polyCountAt = objectStart + 4, materialAt = objectStart + 8, positionCountAt = objectStart + 12;
    const std::size_t uvCountAt = positionCountAt + 4 + 18; // positions end at 100: no alignment
    const std::size_t indicesAt = uvCountAt + 4 + 6;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* message; // the line that must appear
    };
    SceneFileBytes noTexture;
    noTexture.header(4096, 1, 1, -1).sceneSection("s", 1, 1).material("bare", 1, 2, 3, "");
    noTexture.str("tri").i32(0).i32(0).i32(0).align().i32(1).u8(0).u8(0).align();
    const Case cases[] = {
        {"version 2", patched(good, 3, {2}), "ERROR: wrong file version"},
        {"number format 17", patched(good, 4, {17, 0, 0, 0}), " - Using FixedPoint\nERROR: wrong fixed point format"},
        {"index size 2", patched(good, 8, {2}), "ERROR: scene.kzo: index size 2 at byte 8"},
        {"texture mode 3", patched(good, 9, {3}), "ERROR: scene.kzo: texture mode 3 at byte 9"},
        {"negative polygon count", patched(good, polyCountAt, {0xFF, 0xFF, 0xFF, 0xFF}),
         "ERROR: scene.kzo: object \"tri\" has a negative polygon count -1 at byte 70"},
        {"negative position count", patched(good, positionCountAt, {0xFE, 0xFF, 0xFF, 0x8F}),
         "has a negative position count"},
        {"negative UV count", patched(good, uvCountAt, {0x00, 0x00, 0x00, 0x80}), "has a negative UV count"},
        {"huge polygon count", patched(good, polyCountAt, {0xFF, 0xFF, 0xFF, 0x7F}),
         "truncated at byte 124 while reading the triangles of object \"tri\""},
        {"position index 3 of 3", patched(good, indicesAt, {3, 0}),
         "object \"tri\" refers to position 3 of 3 at byte 110"},
        {"UV index 9 of 3", patched(good, indicesAt + 2, {9, 0}), "refers to texture coordinate 9 of 3 at byte 112"},
        {"material index outside", patched(good, materialAt, {1, 0, 0, 0}),
         "its material index 1 is outside the scene's 1 materials"},
        {"material without texture", noTexture.bytes, "material 0 has no texture (size 0 x 0)"},
    };
    for (const Case& c : cases) {
        FakeTextures textures;
        kzoScene scene = callersScene();
        const Decoded d = decode(c.bytes, scene, textures);
        ASSERT_FALSE(d.ok) << c.name;
        EXPECT_NE(d.out.find(c.message), std::string::npos) << c.name << "\n" << d.out;
        // The value says what the line says, naming the file and the byte at fault.
        EXPECT_EQ(d.failure->file, "scene.kzo");
        EXPECT_EQ(d.failure->errorNumber, 0);
        ASSERT_EQ(d.failure->message.rfind("scene.kzo: ", 0), 0u) << d.failure->message;
        const std::string reason = d.failure->message.substr(11);
        EXPECT_NE(d.out.find(reason + "\n"), std::string::npos) << c.name;
        const std::size_t at = reason.find(" at byte ");
        if (at != std::string::npos) {
            EXPECT_EQ(d.failure->byteOffset, std::stoll(reason.substr(at + 9))) << c.name;
        }
        expectUntouched(scene);
    }
}

TEST(Import, EveryTruncationOfAValidFileIsRefused)
{
    const std::vector<std::uint8_t> good = triangleFile(false, false, 2, 1, "tex256").bytes;
    for (std::size_t length = 0; length < good.size(); ++length) {
        FakeTextures textures;
        kzoScene scene = callersScene();
        const std::vector<std::uint8_t> prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        const Decoded d = decode(prefix, scene, textures);
        ASSERT_FALSE(d.ok) << length;
        ASSERT_NE(d.out.find("ERROR: scene.kzo: truncated at byte " + std::to_string(length) + " while reading"),
                  std::string::npos)
            << length << "\n" << d.out;
        expectUntouched(scene);
    }
    FakeTextures textures;
    kzoScene scene;
    ASSERT_TRUE(decode(good, scene, textures).ok);
    kzoFreeScene(scene);
}

TEST(Import, LoadSceneReadsAFileAndNamesAMissingOne)
{
    ScratchDir dir;
    const std::vector<std::uint8_t> good = triangleFile(true, true, 1, -1).bytes;
    writeFile(dir.file("test.kzo"), good);
    FakeTextures textures;
    kzoScene scene;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(LoadScene(dir.file("test.kzo"), scene, frame160x90, textures.loader()));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(0, out.find('\n')), "Loading file " + dir.file("test.kzo"));
    EXPECT_EQ(scene.objectCount, 1);
    kzoFreeScene(scene);

    // A file that cannot be read is a value too: the calling program goes on
    // and decides (kzoView and kzoShot stop with this very line).
    mkdir(dir.file("folder.kzo").c_str(), 0755);
    const struct {
        const char* name;
        int error;
        const char* reason;
    } unreadable[] = {{"none.kzo", ENOENT, "No such file or directory"}, {"folder.kzo", EISDIR, "Is a directory"}};
    for (const auto& u : unreadable) {
        kzoScene kept = callersScene();
        testing::internal::CaptureStdout();
        const kzoSceneLoad load = LoadScene(dir.file(u.name), kept, frame160x90, textures.loader());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading file " + dir.file(u.name) + "\n");
        ASSERT_FALSE(load);
        EXPECT_EQ(load.failure->message, dir.file(u.name) + ": " + u.reason);
        EXPECT_EQ(load.failure->errorNumber, u.error);
        expectUntouched(kept);
    }
}

// LoadScene decodes the file as it reads it, through a window much smaller
// than these files: whole or cut anywhere, with tables and names larger than
// the window, it must give what the same bytes give in memory (lines, result,
// failure, every polygon).
TEST(Import, FileReadAsItIsDecodedGivesWhatItsBytesGive)
{
    std::mt19937 rng(3);
    SceneFileBytes f;
    f.header(0, 0, 0, -1).sceneSection("big", 2, 1);
    f.material(std::string(300000, 'm'), 1, 2, 3, "t");
    for (int o = 0; o < 2; ++o) {
        const int positions = 40000 + o, uvs = 30000, triangles = 70000;
        f.str("o" + std::to_string(o)).i32(triangles).i32(0).i32(positions);
        for (int i = 0; i < 3 * positions; ++i)
            f.f32(static_cast<float>(rng() % 1000) / 64);
        f.align().i32(uvs);
        for (int i = 0; i < 2 * uvs; ++i)
            f.f32(static_cast<float>(rng() % 256) / 255);
        for (int i = 0; i < 3 * triangles; ++i)
            f.u32(static_cast<std::uint32_t>(rng() % positions)).u32(static_cast<std::uint32_t>(rng() % uvs));
        f.align();
    }
    f.align();
    ScratchDir dir;
    const std::size_t size = f.bytes.size();
    for (const std::size_t length : {size, size - 1, size / 2 + 3, std::size_t{300013}, std::size_t{262144}, std::size_t{40}}) {
        const std::vector<std::uint8_t> bytes(f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(length));
        writeFile(dir.file("big.kzo"), bytes);
        FakeTextures memoryTextures, fileTextures;
        kzoScene inMemory, fromFile;
        testing::internal::CaptureStdout();
        const kzoSceneLoad a = kzoDecodeScene(bytes, dir.file("big.kzo"), inMemory, frame160x90, memoryTextures.loader());
        const std::string memoryLines = testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        const kzoSceneLoad b = LoadScene(dir.file("big.kzo"), fromFile, frame160x90, fileTextures.loader());
        const std::string fileLines = testing::internal::GetCapturedStdout();
        EXPECT_EQ(fileLines, "Loading file " + dir.file("big.kzo") + "\n" + memoryLines) << length;
        ASSERT_EQ(static_cast<bool>(a), static_cast<bool>(b)) << length;
        if (!a) {
            EXPECT_EQ(a.failure->message, b.failure->message);
            EXPECT_EQ(a.failure->byteOffset, b.failure->byteOffset);
            EXPECT_EQ(b.fault, kzoSceneFault::Malformed);
            continue;
        }
        ASSERT_EQ(fromFile.objectCount, 2);
        EXPECT_EQ(fromFile.materials[0].name, std::string(255, 'm'));
        for (std::size_t o = 0; o < 2; ++o) {
            const std::vector<kzoPoly> x = polysOf(inMemory.objects[o]), y = polysOf(fromFile.objects[o]);
            ASSERT_EQ(x.size(), y.size());
            EXPECT_EQ(std::memcmp(x.data(), y.data(), x.size() * sizeof(kzoPoly)), 0) << o;
        }
        kzoFreeScene(inMemory);
        kzoFreeScene(fromFile);
    }
}

// A texture that does not load is a value too, the one LoadImage would have
// stopped with; nothing more is printed and the textures read before it are
// freed (the sanitizer build checks). kzoView and kzoShot stop with it.
TEST(Import, TextureThatDoesNotLoadIsAValueAndTheSceneUntouched)
{
    ScratchDir dir;
    writeText(dir.file("not_a_picture.jpg"), "neither a JPEG nor a PNG file\n");
    mkdir(dir.file("folder.jpg").c_str(), 0755);
    const struct {
        std::string path, message;
        int error;
    } cases[] = {
        {dir.file("missing.jpg"), "Error loading file!", 0},
        {dir.file("folder.jpg"), dir.file("folder.jpg") + ": Is a directory", EISDIR},
        {dir.file("not_a_picture.jpg"), "", 0},
    };
    for (const auto& c : cases) {
        SceneFileBytes f;
        f.header(4096, 1, 1, -1).sceneSection("s", 0, 2).material("first", 1, 2, 3, std::string(KZO_SOURCE_DIR) + "/assets/sample.jpg");
        f.material("second", 1, 2, 3, c.path).align();
        writeFile(dir.file("t.kzo"), f.bytes);
        kzoScene scene = callersScene();
        testing::internal::CaptureStdout();
        const kzoSceneLoad load = LoadScene(dir.file("t.kzo"), scene, frame160x90);
        const std::string out = testing::internal::GetCapturedStdout();
        ASSERT_FALSE(load) << c.path;
        EXPECT_EQ(load.fault, kzoSceneFault::Texture);
        EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), "  - file name is " + c.path + "\n");
        EXPECT_EQ(load.failure->file, c.path);
        EXPECT_EQ(load.failure->errorNumber, c.error);
        if (!c.message.empty())
            EXPECT_EQ(load.failure->message, c.message);
        else
            EXPECT_EQ(load.failure->message.rfind(c.path + ": ", 0), 0u) << load.failure->message;
        expectUntouched(scene);
    }
}

// Where a texture is looked for: the stored name from the working directory,
// then, for a relative name that gave no file, from the scene file's folder;
// a material flagged textured without a name is untextured. The loader
// answers "missing" for the names in its list and loads every other.
TEST(Import, TexturesAreLookedForBesideTheSceneFileAndTheirPathsNamed)
{
    const struct {
        const char* what;
        std::string sceneName, texture;
        std::vector<std::string> missing;
        std::vector<std::string> tried; // in order
        const char* context;            // of the failure; nullptr when the scene reads
    } cases[] = {
        {"found from the working directory", "scenes/s.kzo", "t.jpg", {}, {"t.jpg"}, nullptr},
        {"found beside the scene", "scenes/s.kzo", "t.jpg", {"t.jpg"}, {"t.jpg", "scenes/t.jpg"}, nullptr},
        {"in neither place", "scenes/s.kzo", "t.jpg", {"t.jpg", "scenes/t.jpg"}, {"t.jpg", "scenes/t.jpg"},
         "t.jpg: no such file; scenes/t.jpg: no such file (beside the scene file)"},
        {"an absolute path is only itself", "scenes/s.kzo", "/t.jpg", {"/t.jpg"}, {"/t.jpg"}, "/t.jpg: no such file"},
        {"a scene named without a folder", "s.kzo", "t.jpg", {"t.jpg"}, {"t.jpg"}, "t.jpg: no such file"},
        {"no name: untextured", "scenes/s.kzo", "", {}, {}, nullptr},
    };
    for (const auto& c : cases) {
        SceneFileBytes f;
        f.header(4096, 1, 0, -1).sceneSection("s", 0, 1);
        f.str("m").u8(1).u8(2).u8(3).u8(1).u8(0).str(c.texture).align().align();
        std::vector<std::string> tried;
        const kzoTextureLoader loader = [&](const std::string& path) {
            tried.push_back(path);
            kzoImageFile file;
            if (std::find(c.missing.begin(), c.missing.end(), path) != c.missing.end()) {
                file.status = kzoImageFileStatus::Unreadable;
                file.message = path + ": no such file";
                return file;
            }
            file.status = kzoImageFileStatus::Loaded;
            AllocImage(file.image, 2, 2);
            return file;
        };
        kzoScene scene = callersScene();
        testing::internal::CaptureStdout();
        const kzoSceneLoad load = kzoDecodeScene(f.bytes, c.sceneName, scene, frame160x90, loader);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(tried, c.tried) << c.what;
        if (c.context) {
            ASSERT_FALSE(load) << c.what;
            EXPECT_EQ(load.fault, kzoSceneFault::Texture);
            EXPECT_EQ(load.failure->message, "Error loading file!");
            EXPECT_EQ(load.failure->context, c.context);
            expectUntouched(scene);
            continue;
        }
        ASSERT_TRUE(load) << c.what;
        EXPECT_EQ(scene.materials.at(0).hasTexture, !c.texture.empty()) << c.what;
        EXPECT_EQ(out.find("  - read beside the scene file as scenes/t.jpg\n") != std::string::npos, tried.size() == 2)
            << c.what << "\n" << out;
        kzoFreeScene(scene);
    }
}

// What the converter writes reads back: positions rounded to 1/4096 with the
// z sign of the scene before writing (Z = -1 applied on both sides), one
// triangle per written polygon in order, UVs round(u (W - 1)) / W.
TEST(Import, ConvertersOutputRoundTrips)
{
    ScratchDir dir;
    constexpr std::uint32_t width = 37, height = 23;
    kzoScene written;
    kzoInitScene(written, "round trip", frame160x90, false);
    kzoMaterial mat;
    kzoInitMaterial(mat, "material-textured", 1);
    peltoImage texture;
    AllocImage(texture, width, height);
    kzoSetMaterialTexture(mat, texture, "tex37x23");
    kzoObject obj;
    kzoInitObject(obj, "model.obj", 0);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> coord(-7.9f, 7.9f), unit(0.0f, 1.0f);
    for (int t = 0; t < 200; ++t) {
        kzoVertex v[3]{};
        for (kzoVertex& corner : v) {
            corner.position.w = 1.0f;
            kzoMakeVertex(corner, coord(rng), coord(rng), coord(rng), 0, 0, 1, unit(rng), unit(rng), 255, 255, 255, 255);
        }
        kzoPoly p{};
        kzoCreatePoly(p, v, 0);
        kzoAddPoly(obj, p);
    }
    kzoAddObject(written, obj);
    kzoAddMaterial(written, mat);
    testing::internal::CaptureStdout();
    ASSERT_FALSE(SaveScene(dir.file("test.kzo"), written, true, kzoIndexSize2byte, kzoTextureMode8Bit, -1));
    testing::internal::GetCapturedStdout();

    kzoScene read;
    testing::internal::CaptureStdout();
    const bool ok = !!LoadScene(dir.file("test.kzo"), read, frame160x90, [](const std::string&) {
        kzoImageFile file;
        file.status = kzoImageFileStatus::Loaded;
        AllocImage(file.image, width, height);
        return file;
    });
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ok);
    ASSERT_EQ(read.objectCount, 1);
    ASSERT_EQ(read.objects[0].polyCount, 200);
    EXPECT_EQ(read.objects[0].name, "model.obj");
    EXPECT_EQ(read.materials[0].textureFileName, "tex37x23");
    const std::vector<kzoPoly> original = polysOf(obj), back = polysOf(read.objects[0]);
    for (int t = 0; t < 200; ++t)
        for (int i = 0; i < 3; ++i) {
            // The writer negated z in the scene it was given: obj holds the original.
            const kzoVertex& before = original[static_cast<std::size_t>(t)].vertices[i];
            const kzoVertex& after = back[static_cast<std::size_t>(t)].vertices[i];
            ASSERT_EQ(after.position.x, kzoFixedToFloat(kzoFloatToFixed(before.position.x)));
            ASSERT_EQ(after.position.y, kzoFixedToFloat(kzoFloatToFixed(before.position.y)));
            ASSERT_EQ(after.position.z, -kzoFixedToFloat(kzoFloatToFixed(-before.position.z)));
            ASSERT_EQ(after.texCoord.x, static_cast<float>(kzoRoundToInt(before.texCoord.x * (width - 1.0f)) / double{width}));
            ASSERT_EQ(after.texCoord.y, static_cast<float>(kzoRoundToInt(before.texCoord.y * (height - 1.0f)) / double{height}));
        }
    kzoFreeScene(read);
    kzoFreeScene(written);
}

// Random files in every encoding whose triangles share table entries in any
// order (zeros of both signs and NaNs among the values): the indexed mesh must
// read back as the plain reading made it, three fresh vertices per triangle
// through kzoMakeVertex and the polygon through kzoCreatePoly.
TEST(Import, MeshReadsBackAsThePlainTriangleByTriangleReadingOnRandomFiles)
{
    std::mt19937 rng(99);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const float pool[] = {0.0f, -0.0f, 1.0f, -1.5f, 0.25f, 7.75f, -8.0f, 3.125f, NAN, 1e-3f, 2.5f, -0.75f};
    for (int round = 0; round < 300; ++round) {
        const bool fixed = pick(2), shortIndices = pick(2);
        const std::uint8_t mode = static_cast<std::uint8_t>(pick(3));
        const std::int16_t zFactor = static_cast<std::int16_t>(pick(5) - 2);
        SceneFileBytes f;
        f.header(fixed ? 4096 : 0, shortIndices, mode, zFactor).sceneSection("random", 2, 1);
        f.material("m", 1, 2, 3, pick(2) ? "t256" : "t");
        for (int o = 0; o < 2; ++o) {
            const int positions = 1 + pick(30), uvs = 1 + pick(30), triangles = pick(200);
            f.str("o" + std::to_string(o)).i32(triangles).i32(0).i32(positions);
            for (int i = 0; i < 3 * positions; ++i) {
                const float value = pool[pick(std::size(pool))];
                if (fixed)
                    f.i16(static_cast<std::int16_t>(pick(65536) - 32768));
                else
                    f.f32(value);
            }
            f.align().i32(uvs);
            for (int i = 0; i < 2 * uvs; ++i) {
                if (mode == 1)
                    f.u8(static_cast<std::uint8_t>(pick(256)));
                else if (mode == 2 || fixed)
                    f.u16(static_cast<std::uint16_t>(pick(65536)));
                else
                    f.f32(pool[pick(std::size(pool))]);
            }
            for (int i = 0; i < 3 * triangles; ++i) {
                const std::uint32_t p = static_cast<std::uint32_t>(pick(positions)), t = static_cast<std::uint32_t>(pick(uvs));
                if (shortIndices)
                    f.u16(static_cast<std::uint16_t>(p)).u16(static_cast<std::uint16_t>(t));
                else
                    f.u32(p).u32(t);
            }
            f.align();
        }
        f.align();

        FakeTextures textures;
        kzoScene scene;
        const Decoded d = decode(f.bytes, scene, textures);
        ASSERT_TRUE(d.ok) << d.out;
        const SceneProbe probe = probeScene(f.bytes);
        const peltoImage& texture = scene.materials[0].texture;
        for (std::size_t o = 0; o < 2; ++o) {
            const ProbeObject& file = probe.objects[o];
            const std::vector<kzoPoly> read = polysOf(scene.objects[o]);
            ASSERT_EQ(read.size(), file.corners.size() / 3);
            for (std::size_t t = 0; t < read.size(); ++t) {
                kzoVertex corners[3]{};
                for (int k = 0; k < 3; ++k) {
                    const auto [pi, ti] = file.corners[3 * t + static_cast<std::size_t>(k)];
                    const std::array<float, 3>& p = file.positions[pi];
                    float u = static_cast<float>(file.uvs[ti][0]), v = static_cast<float>(file.uvs[ti][1]);
                    if (mode != 0) {
                        u = static_cast<float>(file.uvs[ti][0] / texture.width);
                        v = static_cast<float>(file.uvs[ti][1] / texture.height);
                    }
                    corners[k].position.w = 1.0f;
                    kzoMakeVertex(corners[k], p[0], p[1], p[2] * zFactor, 0, 0, 0, u, v, 128, 128, 128, 255);
                }
                kzoPoly plain{};
                kzoCreatePoly(plain, corners, 0);
                ASSERT_EQ(std::memcmp(&plain, &read[t], sizeof(kzoPoly)), 0) << "round " << round << " triangle " << t;
            }
        }
        kzoFreeScene(scene);
    }
}

} // namespace
