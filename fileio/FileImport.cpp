#include "fileio/FileImport.hpp"

#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/Core.hpp"
#include "core/TriangleNormals.hpp"
#include "core/VertexKeys.hpp"
#include "fileio/SceneFormat.hpp"
#include "fileio/SceneInput.hpp"
#include "pelto/base/Support.hpp"

namespace {

// A texture the file names that did not load.
struct TextureError {
    peltoFailure failure;
};

void say(const std::string& line)
{
    std::cout << line << '\n';
}

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

// A malformed file: the reason, ending with where it was found, and that byte.
[[noreturn]] void malformed(std::string reason, std::size_t at)
{
    throw kzoSceneDecodeError{std::move(reason), at};
}

// The header's encodings, fixed for the whole file.
struct Settings {
    bool fixed = false;
    kzoIndexSize indexSize = kzoIndexSize4Byte;
    kzoTextureMode textureMode = kzoTextureModeFloat;
    std::int16_t zFactor = 1;
};

// The reader spells ordinal 0 with a small b, unlike the writer.
constexpr const char* indexSizeNames[] = {"kzoIndexSize4byte", "kzoIndexSize2byte"};
constexpr const char* textureModeNames[] = {"kzoTextureModeFloat", "kzoTextureMode8Bit", "kzoTextureMode16Bit"};

// One byte holding an enumeration's ordinal, printed as label + its name;
// names has one entry per ordinal.
template <std::size_t count>
std::uint8_t readOrdinal(kzoSceneInput& in, const char* what, const char* label, const char* const (&names)[count],
                         const char* allowed)
{
    in.expect(what);
    const std::size_t at = in.position();
    const std::uint8_t value = in.byte();
    if (value >= count)
        malformed(std::string(what).substr(4) + " " + std::to_string(value) + " at byte " + std::to_string(at) +
                      " is not " + allowed,
                  at);
    say(label + std::string(names[value]));
    return value;
}

// The settings, or false after the line the format prescribes, with the
// reason and the offset of the field at fault.
bool readHeader(kzoSceneInput& in, Settings& settings, std::string& refusal, std::size_t& at)
{
    in.expect("the version");
    at = in.position();
    if (in.byte() != kzoSceneVersion) {
        refusal = "wrong file version";
        say("ERROR: " + refusal);
        return false;
    }
    in.expect("the number format");
    at = in.position();
    const std::int32_t format = in.i32();
    settings.fixed = format != 0;
    say(settings.fixed ? " - Using FixedPoint" : " - Using FloatingPoint");
    if (settings.fixed && format != kzoFixedPointScale) {
        refusal = "wrong fixed point format";
        say("ERROR: " + refusal);
        return false;
    }
    settings.indexSize = static_cast<kzoIndexSize>(readOrdinal(in, "the index size", " - IndexSize is ", indexSizeNames,
                                     "0 (4-byte indices) or 1 (2-byte indices)"));
    settings.textureMode = static_cast<kzoTextureMode>(readOrdinal(in, "the texture mode", " - TextureMode is ", textureModeNames,
                                       "0 (float), 1 (8-bit) or 2 (16-bit)"));
    in.expect("the Z factor");
    settings.zFactor = in.i16();
    say(" - Z mode is " + std::to_string(settings.zFactor));
    return true;
}

// Where a scene's textures come from: the loader, and the scene file's name,
// whose folder is looked in for a relative path not found from the working
// directory (a scene file moved or viewed from elsewhere with its textures).
struct TextureSource {
    const kzoTextureLoader& load;
    std::string_view sceneName;
};

// fileName from the scene file's folder, or "" when there is nothing new to
// look at: an absolute name, a scene file named without a folder, or one whose
// folder is the working directory.
std::string besideScene(const std::string& fileName, std::string_view sceneName)
{
    const std::size_t slash = sceneName.rfind('/');
    if (fileName.starts_with('/') || slash == std::string_view::npos)
        return {};
    const std::string folder(sceneName.substr(0, slash + 1));
    struct stat there, here;
    if (stat(folder.c_str(), &there) == 0 && stat(".", &here) == 0 && there.st_dev == here.st_dev &&
        there.st_ino == here.st_ino)
        return {};
    return folder + fileName;
}

// The texture stored as fileName, or TextureError. A failure whose message
// does not name the path ("Error loading file!") carries the paths tried as
// its context.
peltoImage readTexture(const std::string& fileName, const TextureSource& source)
{
    const kzoImageFile first = source.load(fileName);
    if (first.status == kzoImageFileStatus::Loaded)
        return first.image;
    const std::string beside =
        first.status == kzoImageFileStatus::Unreadable ? besideScene(fileName, source.sceneName) : std::string();
    TextureError error{kzoImageFileFailure(first, fileName)};
    if (first.status == kzoImageFileStatus::Unreadable)
        error.failure.context = first.message;
    if (beside.empty())
        throw error;
    const kzoImageFile second = source.load(beside);
    if (second.status == kzoImageFileStatus::Loaded) {
        say("  - read beside the scene file as " + beside);
        return second.image;
    }
    if (second.status == kzoImageFileStatus::Unreadable) {
        error.failure.context += "; " + second.message + " (beside the scene file)";
        throw error;
    }
    const std::string context = error.failure.context + "; " + beside + " beside the scene file does not load";
    error.failure = kzoImageFileFailure(second, beside);
    error.failure.context = context;
    throw error;
}

void readMaterial(kzoSceneInput& in, kzoScene& scene, const TextureSource& textures, std::size_t number)
{
    in.expect("material " + std::to_string(number));
    const std::string name = in.string();
    say(" - material " + name);
    const std::uint8_t red = in.byte(), green = in.byte(), blue = in.byte();
    const std::uint8_t hasTexture = in.byte(), flags = in.byte();
    kzoMaterial mat;
    kzoInitMaterial(mat, name, flags);
    mat.colour = peltoRGBA(red, green, blue, 255);
    if (hasTexture != 0) {
        in.expect("the texture file name of material " + quoted(name));
        const std::string fileName = in.string();
        say("  - file name is " + fileName);
        // No name, no file to look up: the material is untextured.
        if (!fileName.empty())
            kzoSetMaterialTexture(mat, readTexture(fileName, textures), fileName);
    }
    // Added before the last read, so a failure from here on frees its texture.
    kzoAddMaterial(scene, mat);
    in.expect("the end of material " + quoted(name));
    in.align();
}

std::int32_t readCount(kzoSceneInput& in, const char* what, const std::string& objectName)
{
    const std::size_t at = in.position();
    const std::int32_t count = in.i32();
    if (count < 0)
        malformed("object " + quoted(objectName) + " has a negative " + what + " " + std::to_string(count) +
                      " at byte " + std::to_string(at),
                  at);
    return count;
}

// A number of the file's format: a 4.12 fixed value or a Single.
float number(const std::uint8_t*& at, bool fixed)
{
    if (fixed) {
        const float value = kzoFixedToFloat(static_cast<std::int16_t>(kzoLe16(at)));
        at += 2;
        return value;
    }
    const float value = std::bit_cast<float>(kzoLe32(at));
    at += 4;
    return value;
}

// An object's table as the file holds it: its entries are decoded when a
// vertex is made from them, so nothing is decoded twice or kept in between.
struct PositionTable {
    std::vector<std::uint8_t> bytes;
    std::size_t count = 0;
    bool fixed = false;

    kzoVector3 operator[](std::size_t i) const
    {
        const std::uint8_t* at = bytes.data() + i * (fixed ? 6 : 12);
        return {number(at, fixed), number(at, fixed), number(at, fixed)};
    }
};

struct UVTable {
    std::vector<std::uint8_t> bytes;
    std::size_t count = 0;
    bool fixed = false;
    kzoTextureMode mode = kzoTextureModeFloat;
    std::uint32_t width = 0, height = 0; // of the texture quantised entries step through

    std::size_t entryBytes() const
    {
        return mode == kzoTextureMode8Bit ? 2 : mode == kzoTextureMode16Bit || fixed ? 4 : 8;
    }

    kzoVector2 operator[](std::size_t i) const
    {
        const std::uint8_t* at = bytes.data() + i * entryBytes();
        switch (mode) {
        case kzoTextureModeFloat:
            return {number(at, fixed), number(at, fixed)};
        case kzoTextureMode8Bit: // quotients in double, stored as Singles
            return {static_cast<float>(static_cast<double>(at[0]) / width),
                    static_cast<float>(static_cast<double>(at[1]) / height)};
        case kzoTextureMode16Bit:
            return {static_cast<float>(static_cast<double>(kzoLe16(at)) / width),
                    static_cast<float>(static_cast<double>(kzoLe16(at + 2)) / height)};
        }
        return {};
    }
};

PositionTable readPositions(kzoSceneInput& in, const Settings& settings, std::int32_t count)
{
    const std::size_t entries = static_cast<std::size_t>(count);
    in.need(std::uint64_t(count) * (settings.fixed ? 6 : 12));
    return {in.copy(entries * (settings.fixed ? 6 : 12)), entries, settings.fixed};
}

// The texture size quantised coordinates were scaled by: that of the object's
// material, which must exist and have a texture.
void quantisationSize(const kzoScene& scene, std::int32_t materialIndex, const std::string& objectName,
                      std::size_t at, std::uint32_t& width, std::uint32_t& height)
{
    const std::string what = "object " + quoted(objectName) + " stores quantised texture coordinates but ";
    if (materialIndex < 0 || static_cast<std::size_t>(materialIndex) >= scene.materials.size())
        malformed(what + "its material index " + std::to_string(materialIndex) + " is outside the scene's " +
                      std::to_string(scene.materials.size()) + " materials",
                  at);
    const peltoImage& texture = scene.materials[static_cast<std::size_t>(materialIndex)].texture;
    if (texture.width == 0 || texture.height == 0)
        malformed(what + "material " + std::to_string(materialIndex) + " has no texture (size " +
                      std::to_string(texture.width) + " x " + std::to_string(texture.height) + ")",
                  at);
    width = texture.width;
    height = texture.height;
}

UVTable readUVs(kzoSceneInput& in, const Settings& settings, std::int32_t count, const kzoScene& scene,
                std::int32_t materialIndex, const std::string& objectName)
{
    UVTable table{{}, static_cast<std::size_t>(count), settings.fixed, settings.textureMode};
    if (settings.textureMode != kzoTextureModeFloat && count > 0)
        quantisationSize(scene, materialIndex, objectName, in.position(), table.width, table.height);
    in.need(std::uint64_t(count) * table.entryBytes());
    table.bytes = in.copy(table.count * table.entryBytes());
    return table;
}

[[noreturn]] void refuseIndex(const std::string& objectName, const char* table, std::uint32_t index,
                              std::size_t tableSize, std::size_t at)
{
    malformed("object " + quoted(objectName) + " refers to " + table + " " + std::to_string(index) + " of " +
                  std::to_string(tableSize) + " at byte " + std::to_string(at),
              at);
}

// The triangles as an indexed mesh: one vertex per distinct (position index,
// UV index) pair, made from the tables; each polygon's normal kzoCreatePoly's
// (kzoTriangleNormal), four at a time.
class TriangleReader {
public:
    TriangleReader(const Settings& settings, const PositionTable& positions, const UVTable& uvs, kzoMesh& mesh)
        : settings_(settings), positions_(positions), uvs_(uvs), mesh_(mesh)
    {
    }

    void read(kzoSceneInput& in, std::int32_t count, const std::string& objectName)
    {
        const std::size_t indexBytes = settings_.indexSize == kzoIndexSize4Byte ? 4 : 2;
        in.need(std::uint64_t(count) * 6 * indexBytes);
        const std::size_t triangles = static_cast<std::size_t>(count);
        const std::size_t vertices = std::min(triangles * 3, std::max(positions_.count, uvs_.count) * 2);
        kzoMeshReserve(mesh_, vertices, triangles, 3 * triangles);
        keys_.reserve(positions_.count, vertices);
        if (count > 0) {
            kzoVertexDetail grey{};
            grey.colour = {128, 128, 128, 255};
            detail_ = kzoMeshDetail(mesh_, grey);
        }
        const std::size_t record = 6 * indexBytes; // three (position, UV) index pairs
        for (std::size_t t = 0; t < triangles;) {
            const std::size_t start = in.position();
            const std::span<const std::uint8_t> run = in.takeUnits(record, triangles - t);
            std::size_t at = 0;
            auto next = [&](std::size_t tableSize, const char* table) {
                const std::uint32_t index = indexBytes == 4 ? kzoLe32(run.data() + at) : kzoLe16(run.data() + at);
                if (index >= tableSize)
                    refuseIndex(objectName, table, index, tableSize, start + at);
                at += indexBytes;
                return index;
            };
            for (; at < run.size(); ++t) {
                std::uint32_t corners[3];
                for (std::uint32_t& corner : corners) {
                    const std::uint32_t position = next(positions_.count, "position");
                    corner = vertexOf(position, next(uvs_.count, "texture coordinate"));
                }
                triangles_.add(corners[0], corners[1], corners[2]);
            }
        }
        triangles_.flush();
    }

private:
    std::uint32_t vertexOf(std::uint32_t position, std::uint32_t uv)
    {
        std::uint32_t vertex = keys_.find(position, uv);
        if (vertex != kzoNoVertex)
            return vertex;
        const kzoVector3 p = positions_[position];
        vertex = kzoMeshAppendVertexRow(mesh_, kzoMakeVector(p.x, p.y, p.z * float(settings_.zFactor)), uvs_[uv],
                                        kzoMakeVector(0, 0, 0), detail_);
        keys_.add(position, uv, vertex);
        return vertex;
    }

    const Settings& settings_;
    const PositionTable& positions_;
    const UVTable& uvs_;
    kzoMesh& mesh_;
    kzoMeshTriangleBatch triangles_{mesh_, 0};
    kzoVertexKeys keys_;
    std::uint32_t detail_ = 0;
};

void readObject(kzoSceneInput& in, const Settings& settings, kzoScene& scene, std::size_t number)
{
    in.expect("object " + std::to_string(number));
    const std::string name = in.string();
    in.expect("object " + quoted(name));
    const std::int32_t polyCount = readCount(in, "polygon count", name);
    const std::int32_t materialIndex = in.i32();
    kzoObject obj;
    kzoInitObject(obj, name, materialIndex);
    say("   - " + name + " with " + std::to_string(polyCount) + " Polys");

    in.expect("the position table of object " + quoted(name));
    const std::int32_t positionCount = readCount(in, "position count", name);
    say("numVectors " + std::to_string(positionCount));
    const PositionTable positions = readPositions(in, settings, positionCount);
    in.align();

    in.expect("the UV table of object " + quoted(name));
    const std::int32_t uvCount = readCount(in, "UV count", name);
    say("numTVectors " + std::to_string(uvCount));
    const UVTable uvs = readUVs(in, settings, uvCount, scene, materialIndex, name);

    in.expect("the triangles of object " + quoted(name));
    TriangleReader(settings, positions, uvs, obj.mesh).read(in, polyCount, name);
    obj.polyCount = polyCount;
    in.align();
    kzoAddObject(scene, std::move(obj));
}

// Frees the textures of a scene under construction unless it was handed over.
struct PendingScene {
    kzoScene scene;
    bool committed = false;
    ~PendingScene()
    {
        if (!committed)
            kzoFreeScene(scene);
    }
};

kzoSceneLoad failed(std::string_view sourceName, std::string reason, std::size_t byteOffset)
{
    peltoFailure failure;
    failure.file = std::string(sourceName);
    failure.message = failure.file + ": " + std::move(reason);
    failure.byteOffset = static_cast<std::int64_t>(byteOffset);
    return {std::move(failure), kzoSceneFault::Malformed};
}

// The scene file on in into scene, committed only when the whole file reads.
// A read the system refuses propagates as kzoSceneReadError.
kzoSceneLoad decode(kzoSceneInput& in, std::string_view sourceName, kzoScene& scene, const peltoImage& frame,
                    const kzoTextureLoader& loadTexture)
{
    PendingScene pending;
    try {
        in.expect("the magic");
        // A file cut inside the magic is a truncated scene file.
        const std::size_t magicBytes = std::min(in.remaining(), sizeof kzoSceneMagic);
        const std::uint8_t* magic = in.take(magicBytes);
        for (std::size_t i = 0; i < magicBytes; ++i)
            if (magic[i] != static_cast<std::uint8_t>(kzoSceneMagic[i]))
                return failed(sourceName, "not a kzo scene file (it does not begin with \"KZO\")", i);
        in.skip(sizeof kzoSceneMagic - magicBytes);
        Settings settings;
        std::string refusal;
        std::size_t at = 0;
        if (!readHeader(in, settings, refusal, at))
            return failed(sourceName, refusal, at);
        in.expect("the scene section");
        const std::string name = in.string();
        const std::uint16_t objectCount = in.u16();
        const std::uint16_t materialCount = in.u16();
        in.u16(); // lights: counted, never stored
        in.u16(); // cameras: counted, never stored
        in.align();
        say("Loading Scene " + name);

        kzoInitScene(pending.scene, name, frame, true);
        const TextureSource textures{loadTexture, sourceName};
        for (std::size_t i = 0; i < materialCount; ++i)
            readMaterial(in, pending.scene, textures, i);
        for (std::size_t i = 0; i < objectCount; ++i)
            readObject(in, settings, pending.scene, i);
        in.expect("the end of the file");
        in.align();
    } catch (const kzoSceneDecodeError& error) {
        say("ERROR: " + std::string(sourceName) + ": " + error.reason);
        return failed(sourceName, error.reason, error.byteOffset);
    } catch (const TextureError& error) {
        return {error.failure, kzoSceneFault::Texture};
    }
    scene = std::move(pending.scene);
    pending.committed = true;
    return {};
}

kzoSceneLoad unreadable(const std::string& fileName, int errorNumber)
{
    return {peltoIoFailure(fileName, errorNumber), kzoSceneFault::Unreadable};
}

} // namespace

kzoSceneLoad kzoDecodeScene(std::span<const std::uint8_t> bytes, std::string_view sourceName, kzoScene& scene,
                            const peltoImage& frame, const kzoTextureLoader& loadTexture)
{
    kzoSceneInput in(bytes);
    return decode(in, sourceName, scene, frame, loadTexture);
}

kzoImageFile kzoReadTexture(const std::string& fileName)
{
    return kzoReadImageFile(peltoShortString(fileName));
}

// The file is decoded as it is read (kzoSceneInput), so that its triangles are
// never held whole. It is refused as a whole-file read refuses it: missing,
// a folder, 4 GiB or more, or shorter than it was when opened (EIO).
kzoSceneLoad LoadScene(const std::string& fileName, kzoScene& scene, const peltoImage& frame,
                       const kzoTextureLoader& loadTexture)
{
    say("Loading file " + fileName);
    struct stat info;
    if (stat(fileName.c_str(), &info) != 0)
        return unreadable(fileName, ENOENT);
    const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return unreadable(fileName, errno);
    int error = 0;
    if (fstat(fd, &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;
    else if (static_cast<std::uint64_t>(info.st_size) > UINT32_MAX)
        error = EFBIG;
    kzoScene loaded;
    kzoSceneLoad result;
    if (error == 0) {
        try {
            kzoSceneInput in(fd, static_cast<std::uint64_t>(info.st_size));
            result = decode(in, fileName, loaded, frame, loadTexture);
        } catch (const kzoSceneReadError& readError) {
            error = readError.errorNumber;
        }
    }
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        kzoFreeScene(loaded);
        return unreadable(fileName, error);
    }
    if (result)
        scene = std::move(loaded);
    return result;
}
