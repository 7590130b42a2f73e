#include "apps/write/ChooseSettings.hpp"

#include "fileio/ExportTables.hpp"

namespace {

// The largest table a 2-byte index addresses: indices 0..65535.
constexpr std::size_t twoByteEntries = 65536;

struct Needs {
    bool fourByteIndices = false;
    bool positionsBeyondFixed = false;
    bool uvsBeyondFixed = false;
    bool uvsBeyond8Bit = false;
    bool uvsBeyond16Bit = false;
};

void assess(const kzoScene& scene, const kzoObject& obj, float zFactor, Needs& needs)
{
    kzoHashedTable<kzoVector> positions;
    kzoHashedTable<kzoVector2> uvs;
    for (const std::uint32_t v : obj.mesh.corners) {
        // The same product the writer forms in place before it fills its tables.
        kzoVector p = obj.mesh.positions[v];
        p.z = p.z * zFactor;
        positions.add(p);
        uvs.add(obj.mesh.texCoords[v]);
    }
    if (positions.entries().size() > twoByteEntries || uvs.entries().size() > twoByteEntries)
        needs.fourByteIndices = true;
    for (const kzoVector& p : positions.entries())
        if (!kzoFitsFixedPoint(p.x) || !kzoFitsFixedPoint(p.y) || !kzoFitsFixedPoint(p.z))
            needs.positionsBeyondFixed = true;

    const peltoImage texture = kzoQuantisationTexture(scene, obj);
    for (const kzoVector2& uv : uvs.entries()) {
        if (!kzoFitsFixedPoint(uv.x) || !kzoFitsFixedPoint(uv.y))
            needs.uvsBeyondFixed = true;
        if (!kzoQuantisedUVFits(uv.x, texture.width, 255.0f) || !kzoQuantisedUVFits(uv.y, texture.height, 255.0f))
            needs.uvsBeyond8Bit = true;
        if (!kzoQuantisedUVFits(uv.x, texture.width, 65535.0f) || !kzoQuantisedUVFits(uv.y, texture.height, 65535.0f))
            needs.uvsBeyond16Bit = true;
    }
}

} // namespace

kzoExportSettings ChooseExportSettings(const kzoScene& scene)
{
    kzoExportSettings settings; // the converter's fixed settings
    Needs needs;
    for (const kzoObject& obj : scene.objects)
        assess(scene, obj, settings.zFactor, needs);

    if (needs.uvsBeyond16Bit)
        settings.textureMode = kzoTextureModeFloat;
    else if (needs.uvsBeyond8Bit)
        settings.textureMode = kzoTextureMode16Bit;
    if (needs.fourByteIndices)
        settings.indexSize = kzoIndexSize4Byte;
    const bool uvsAsNumbers = settings.textureMode == kzoTextureModeFloat;
    if (needs.positionsBeyondFixed || (uvsAsNumbers && needs.uvsBeyondFixed))
        settings.fixedPoint = false;
    return settings;
}
