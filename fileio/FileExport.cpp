#include "fileio/FileExport.hpp"

#include <bit>
#include <iostream>
#include <string_view>

#include "pelto/base/AtomicWrite.hpp"
#include "pelto/base/Support.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Room for count more bytes at the end of out; where they start.
std::uint8_t* extend(Bytes& out, std::size_t count)
{
    const std::size_t at = out.size();
    out.resize(at + count);
    return out.data() + at;
}

std::uint8_t* store16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
    return at + 2;
}

std::uint8_t* store32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return at + 4;
}

void put8(Bytes& out, std::uint8_t value) { out.push_back(value); }
void put16(Bytes& out, std::uint16_t value) { store16(extend(out, 2), value); }
void put32(Bytes& out, std::uint32_t value) { store32(extend(out, 4), value); }

void putZeros(Bytes& out, std::size_t count) { out.insert(out.end(), count, 0); }

void putAlignment(Bytes& out) { putZeros(out, kzoAlignmentPadding(out.size())); }

// A string holds no zero byte of its own: one inside would end it early for a
// reader, so the characters stop there.
void putString(Bytes& out, std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    WriteZString(out, text);
    putZeros(out, kzoStringPadding(text.size()));
}

// A Single, or a 4.12 fixed value in fixed mode.
std::uint8_t* storeNumber(std::uint8_t* at, float value, bool fixedPoint)
{
    if (fixedPoint)
        return store16(at, static_cast<std::uint16_t>(kzoFloatToFixed(value)));
    return store32(at, std::bit_cast<std::uint32_t>(value));
}

std::size_t uvBytes(const kzoExportSettings& settings)
{
    switch (settings.textureMode) {
    case kzoTextureModeFloat:
        return settings.fixedPoint ? 4 : 8;
    case kzoTextureMode8Bit:
        return 2;
    case kzoTextureMode16Bit:
        return 4;
    }
    return 0;
}

std::uint8_t* storeUV(std::uint8_t* at, const kzoVector2& uv, const kzoExportSettings& settings,
                      const peltoImage& texture)
{
    switch (settings.textureMode) {
    case kzoTextureModeFloat:
        at = storeNumber(at, uv.x, settings.fixedPoint);
        return storeNumber(at, uv.y, settings.fixedPoint);
    case kzoTextureMode8Bit:
        at[0] = static_cast<std::uint8_t>(kzoQuantiseUV(uv.x, texture.width));
        at[1] = static_cast<std::uint8_t>(kzoQuantiseUV(uv.y, texture.height));
        return at + 2;
    case kzoTextureMode16Bit:
        at = store16(at, static_cast<std::uint16_t>(kzoQuantiseUV(uv.x, texture.width)));
        return store16(at, static_cast<std::uint16_t>(kzoQuantiseUV(uv.y, texture.height)));
    }
    return at;
}

void putMaterial(Bytes& out, const kzoMaterial& material, std::ostream& lines)
{
    lines << " - saving " << material.name << '\n';
    putString(out, material.name);
    std::uint8_t r, g, b, a;
    peltoSplitRGBA(material.colour, r, g, b, a);
    put8(out, r);
    put8(out, g);
    put8(out, b);
    put8(out, material.hasTexture ? 1 : 0);
    put8(out, material.flags);
    if (material.hasTexture)
        putString(out, material.textureFileName);
    putAlignment(out);
}

// The index pairs of every corner in order. A vertex whose value equals nothing
// (NaN) is written as index 0 after its table's error line.
void putCorners(Bytes& out, const kzoMesh& mesh, const kzoObjectTables& tables, const kzoExportSettings& settings,
                std::ostream& lines)
{
    const bool wide = settings.indexSize == kzoIndexSize4Byte;
    std::uint8_t* at = extend(out, mesh.corners.size() * (wide ? 8 : 4));
    for (const std::uint32_t v : mesh.corners) {
        for (const bool uv : {false, true}) {
            std::uint32_t index = uv ? tables.vertexUV[v] : tables.vertexPosition[v];
            if (index == kzoNotInTable) {
                lines << (uv ? "ERROR: UV not found" : "ERROR: Vector not found") << '\n';
                index = 0;
            }
            at = wide ? store32(at, index) : store16(at, static_cast<std::uint16_t>(index));
        }
    }
}

void putObject(Bytes& out, const kzoObject& obj, const kzoObjectTables& tables, const kzoScene& scene,
               const kzoExportSettings& settings, std::ostream& lines)
{
    putString(out, obj.name);
    put32(out, static_cast<std::uint32_t>(obj.polyCount));
    lines << " - saving " << obj.name << " with " << obj.polyCount << " Polys\n";
    put32(out, static_cast<std::uint32_t>(obj.materialIndex));

    put32(out, static_cast<std::uint32_t>(tables.positions.size()));
    lines << "Writing " << tables.positions.size() << " Vectors\n";
    std::uint8_t* at = extend(out, tables.positions.size() * (settings.fixedPoint ? 6 : 12));
    for (const kzoVector& p : tables.positions) {
        at = storeNumber(at, p.x, settings.fixedPoint);
        at = storeNumber(at, p.y, settings.fixedPoint);
        at = storeNumber(at, p.z, settings.fixedPoint);
    }
    putAlignment(out);

    put32(out, static_cast<std::uint32_t>(tables.uvs.size()));
    lines << "Writing " << tables.uvs.size() << " UVs\n";
    const peltoImage texture = kzoQuantisationTexture(scene, obj);
    at = extend(out, tables.uvs.size() * uvBytes(settings));
    for (const kzoVector2& uv : tables.uvs)
        at = storeUV(at, uv, settings, texture);

    lines << "Writing " << obj.polyCount << " Polys\n";
    putCorners(out, obj.mesh, tables, settings, lines);
    putAlignment(out);
}

// Writing one index pair per vertex of a quad would shift every later byte of
// the file for a reader that expects three: refuse before anything changes.
std::optional<peltoFailure> refuseNonTriangles(const kzoScene& scene)
{
    for (const kzoObject& obj : scene.objects)
        for (std::size_t i = 0; i < kzoMeshPolyCount(obj.mesh); ++i)
            if (obj.mesh.vertexCounts[i] != 3) {
                peltoFailure failure;
                failure.message = "SaveScene: polygon " + std::to_string(i + 1) + " of object \"" +
                                  obj.name.substr(0, 120) + "\" has " + std::to_string(obj.mesh.vertexCounts[i]) +
                                  " vertices; the scene file holds triangles only";
                return failure;
            }
    return std::nullopt;
}

// Every z of every object times zFactor, once per distinct vertex: the scene
// keeps the product, as the tables already hold it.
void applyZFactor(kzoScene& scene, std::int16_t zFactor)
{
    const float factor = zFactor;
    for (kzoObject& obj : scene.objects)
        for (kzoVector& position : obj.mesh.positions)
            position.z = position.z * factor;
}

// At least the file's size, so that the buffer is allocated once: every field
// at its widest, every string with its zero byte and padding.
std::size_t sizeAtMost(const kzoScene& scene, const kzoSceneTables& tables)
{
    std::size_t size = kzoSceneHeaderSize + scene.name.size() + 4 + 8 + 3 + 3;
    for (const kzoMaterial& material : scene.materials)
        size += material.name.size() + material.textureFileName.size() + 8 + 5 + 3;
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const kzoObjectTables& t = tables.objects[i];
        size += scene.objects[i].name.size() + 4 + 16 + 3 + 4 + t.positions.size() * 12 + t.uvs.size() * 8 +
                scene.objects[i].mesh.corners.size() * 8 + 3;
    }
    return size + 3;
}

Bytes encode(kzoScene& scene, const kzoSceneTables& tables, const kzoExportSettings& settings, std::ostream& lines)
{
    applyZFactor(scene, settings.zFactor);
    Bytes out;
    out.reserve(sizeAtMost(scene, tables));
    for (const char c : kzoSceneMagic)
        put8(out, static_cast<std::uint8_t>(c));
    put8(out, kzoSceneVersion);
    lines << (settings.fixedPoint ? " - Using FixedPoint" : " - Using FloatingPoint") << '\n';
    put32(out, settings.fixedPoint ? kzoFixedPointScale : 0);
    lines << " - IndexSize is " << kzoIndexSizeName(settings.indexSize) << '\n';
    put8(out, settings.indexSize);
    lines << " - TextureMode is " << kzoTextureModeName(settings.textureMode) << '\n';
    put8(out, settings.textureMode);
    lines << " - Z is " << settings.zFactor << '\n';
    put16(out, static_cast<std::uint16_t>(settings.zFactor));

    lines << "Writing " << scene.name << '\n';
    putString(out, scene.name);
    put16(out, static_cast<std::uint16_t>(scene.objectCount));
    put16(out, static_cast<std::uint16_t>(scene.materialCount));
    put16(out, static_cast<std::uint16_t>(scene.lightCount));
    put16(out, static_cast<std::uint16_t>(scene.cameraCount));
    putAlignment(out);

    for (const kzoMaterial& material : scene.materials)
        putMaterial(out, material, lines);
    for (std::size_t i = 0; i < scene.objects.size(); ++i)
        putObject(out, scene.objects[i], tables.objects[i], scene, settings, lines);
    putAlignment(out);
    return out;
}

} // namespace

peltoImage kzoQuantisationTexture(const kzoScene& scene, const kzoObject& obj)
{
    if (obj.materialIndex < 0 || static_cast<std::size_t>(obj.materialIndex) >= scene.materials.size())
        return {};
    const peltoImage& texture = scene.materials[static_cast<std::size_t>(obj.materialIndex)].texture;
    return {nullptr, texture.width, texture.height};
}

kzoEncodedScene kzoEncodeTables(kzoScene& scene, const kzoSceneTables& tables, const kzoExportSettings& settings,
                                std::ostream& lines)
{
    if (std::optional<peltoFailure> failure = refuseNonTriangles(scene))
        return {{}, std::move(failure)};
    return {encode(scene, tables, settings, lines), std::nullopt};
}

kzoEncodedScene kzoEncodeScene(kzoScene& scene, const kzoExportSettings& settings, std::ostream& lines)
{
    if (std::optional<peltoFailure> failure = refuseNonTriangles(scene))
        return {{}, std::move(failure)};
    return {encode(scene, kzoTabulateScene(scene, settings.zFactor), settings, lines), std::nullopt};
}

namespace {

std::optional<peltoFailure> writeEncoded(const std::string& fileName, const kzoEncodedScene& encoded)
{
    if (encoded.failure)
        return encoded.failure;
    peltoWriteFileAtomically(fileName, encoded.bytes);
    return std::nullopt;
}

} // namespace

std::optional<peltoFailure> kzoSaveTables(const std::string& fileName, kzoScene& scene, const kzoSceneTables& tables,
                                          const kzoExportSettings& settings)
{
    std::cout << "Saving " << fileName << '\n';
    return writeEncoded(fileName, kzoEncodeTables(scene, tables, settings, std::cout));
}

std::optional<peltoFailure> SaveScene(const std::string& fileName, kzoScene& scene, bool fixedPoint,
                                      kzoIndexSize indexSize, kzoTextureMode textureMode, std::int16_t zFactor)
{
    std::cout << "Saving " << fileName << '\n';
    const kzoExportSettings settings{fixedPoint, indexSize, textureMode, zFactor};
    return writeEncoded(fileName, kzoEncodeScene(scene, settings, std::cout));
}
