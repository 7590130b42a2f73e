#include "fileio/FileExport.hpp"

#include <bit>
#include <iostream>
#include <string_view>

#include "fileio/ExportTables.hpp"
#include "pelto/AtomicWrite.hpp"
#include "pelto/Log.hpp"
#include "pelto/Support.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put8(Bytes& out, std::uint8_t value) { out.push_back(value); }

void put16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

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
void putNumber(Bytes& out, float value, bool fixedPoint)
{
    if (fixedPoint)
        put16(out, static_cast<std::uint16_t>(kzoFloatToFixed(value)));
    else
        put32(out, std::bit_cast<std::uint32_t>(value));
}

void putIndex(Bytes& out, std::int64_t index, kzoIndexSize size)
{
    switch (size) {
    case kzoIndexSize4Byte:
        put32(out, static_cast<std::uint32_t>(index));
        break;
    case kzoIndexSize2byte:
        put16(out, static_cast<std::uint16_t>(index));
        break;
    }
}

void putUV(Bytes& out, const kzoVector2& uv, const kzoExportSettings& settings, const peltoImage& texture)
{
    switch (settings.textureMode) {
    case kzoTextureModeFloat:
        putNumber(out, uv.x, settings.fixedPoint);
        putNumber(out, uv.y, settings.fixedPoint);
        break;
    case kzoTextureMode8Bit:
        put8(out, static_cast<std::uint8_t>(kzoQuantiseUV(uv.x, texture.width)));
        put8(out, static_cast<std::uint8_t>(kzoQuantiseUV(uv.y, texture.height)));
        break;
    case kzoTextureMode16Bit:
        put16(out, static_cast<std::uint16_t>(kzoQuantiseUV(uv.x, texture.width)));
        put16(out, static_cast<std::uint16_t>(kzoQuantiseUV(uv.y, texture.height)));
        break;
    }
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

// Writes an index found in a table, or 0 after the table's error line when the
// value equals nothing (NaN).
void putFound(Bytes& out, std::int64_t index, const kzoExportSettings& settings, std::ostream& lines,
              const char* errorLine)
{
    if (index < 0) {
        lines << errorLine << '\n';
        index = 0;
    }
    putIndex(out, index, settings.indexSize);
}

constexpr const char* positionMissing = "ERROR: Vector not found";
constexpr const char* uvMissing = "ERROR: UV not found";

// The plain algorithm: tables first, then a search for every vertex.
struct LinearTables {
    kzoLinearTable<kzoVector> positions;
    kzoLinearTable<kzoVector2> uvs;

    void add(const kzoVector& position, const kzoVector2& texCoord)
    {
        positions.add(position);
        uvs.add(texCoord);
    }

    void putIndices(Bytes& out, const kzoObject& obj, const kzoExportSettings& settings, std::ostream& lines) const
    {
        for (const std::uint32_t v : obj.mesh.corners) {
            putFound(out, positions.find(obj.mesh.positions[v]), settings, lines, positionMissing);
            putFound(out, uvs.find(obj.mesh.texCoords[v]), settings, lines, uvMissing);
        }
    }
};

// The same bytes in one pass over the polygons: each add answers the search
// the plain algorithm makes later (the tables only grow, and the entry equal to
// a value never changes), so the answers are kept, in vertex order.
struct HashedTables {
    kzoHashedTable<kzoVector> positions;
    kzoHashedTable<kzoVector2> uvs;
    std::vector<std::int64_t> found; // position index, UV index, per vertex

    void add(const kzoVector& position, const kzoVector2& texCoord)
    {
        found.push_back(positions.add(position));
        found.push_back(uvs.add(texCoord));
    }

    void putIndices(Bytes& out, const kzoObject&, const kzoExportSettings& settings, std::ostream& lines) const
    {
        for (std::size_t i = 0; i < found.size(); i += 2) {
            putFound(out, found[i], settings, lines, positionMissing);
            putFound(out, found[i + 1], settings, lines, uvMissing);
        }
    }
};

template <class Tables>
void putObject(Bytes& out, kzoObject& obj, const kzoScene& scene, const kzoExportSettings& settings,
               std::ostream& lines)
{
    // Every z of the object is multiplied, once per distinct vertex, before
    // anything of it is written; the tables then take the corners in order.
    const float zFactor = settings.zFactor;
    for (kzoVector& position : obj.mesh.positions)
        position.z = position.z * zFactor;
    Tables tables;
    for (const std::uint32_t v : obj.mesh.corners)
        tables.add(obj.mesh.positions[v], obj.mesh.texCoords[v]);

    putString(out, obj.name);
    put32(out, static_cast<std::uint32_t>(obj.polyCount));
    lines << " - saving " << obj.name << " with " << obj.polyCount << " Polys\n";
    put32(out, static_cast<std::uint32_t>(obj.materialIndex));

    const std::size_t positionCount = tables.positions.entries().size();
    put32(out, static_cast<std::uint32_t>(positionCount));
    lines << "Writing " << positionCount << " Vectors\n";
    for (const kzoVector& p : tables.positions.entries()) {
        putNumber(out, p.x, settings.fixedPoint);
        putNumber(out, p.y, settings.fixedPoint);
        putNumber(out, p.z, settings.fixedPoint);
    }
    putAlignment(out);

    const std::size_t uvCount = tables.uvs.entries().size();
    put32(out, static_cast<std::uint32_t>(uvCount));
    lines << "Writing " << uvCount << " UVs\n";
    const peltoImage texture = kzoQuantisationTexture(scene, obj);
    for (const kzoVector2& uv : tables.uvs.entries())
        putUV(out, uv, settings, texture);

    lines << "Writing " << obj.polyCount << " Polys\n";
    tables.putIndices(out, obj, settings, lines);
    putAlignment(out);
}

// Writing one index pair per vertex of a quad would shift every later byte of
// the file for a reader that expects three: refuse before anything changes.
void requireTriangles(const kzoScene& scene)
{
    for (const kzoObject& obj : scene.objects)
        for (std::size_t i = 0; i < kzoMeshPolyCount(obj.mesh); ++i)
            if (obj.mesh.vertexCounts[i] != 3)
                FatalError("SaveScene: polygon " + std::to_string(i + 1) + " of object \"" +
                           obj.name.substr(0, 120) + "\" has " + std::to_string(obj.mesh.vertexCounts[i]) +
                           " vertices; the scene file holds triangles only");
}

template <class Tables>
Bytes encode(kzoScene& scene, const kzoExportSettings& settings, std::ostream& lines)
{
    requireTriangles(scene);
    Bytes out;
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
    for (kzoObject& obj : scene.objects)
        putObject<Tables>(out, obj, scene, settings, lines);
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

std::vector<std::uint8_t> kzoEncodeScene(kzoScene& scene, const kzoExportSettings& settings, std::ostream& lines,
                                         kzoTableSearch search)
{
    if (search == kzoTableSearch::Linear)
        return encode<LinearTables>(scene, settings, lines);
    return encode<HashedTables>(scene, settings, lines);
}

void SaveScene(const std::string& fileName, kzoScene& scene, bool fixedPoint, kzoIndexSize indexSize,
               kzoTextureMode textureMode, std::int16_t zFactor)
{
    std::cout << "Saving " << fileName << '\n';
    const kzoExportSettings settings{fixedPoint, indexSize, textureMode, zFactor};
    const std::vector<std::uint8_t> bytes = kzoEncodeScene(scene, settings, std::cout);
    WriteFileAtomically(fileName, bytes);
}
