#include "fileio/ChooseSettings.hpp"

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

void assess(const kzoScene& scene, const kzoObject& obj, const kzoObjectTables& tables, Needs& needs)
{
    if (tables.positions.size() > twoByteEntries || tables.uvs.size() > twoByteEntries)
        needs.fourByteIndices = true;
    for (const kzoVector& p : tables.positions)
        if (!kzoFitsFixedPoint(p.x) || !kzoFitsFixedPoint(p.y) || !kzoFitsFixedPoint(p.z))
            needs.positionsBeyondFixed = true;

    const peltoImage texture = kzoQuantisationTexture(scene, obj);
    // Quantised coordinates are steps of a texture's size: without a texture
    // they can only be stored as numbers.
    if ((texture.width == 0 || texture.height == 0) && !tables.uvs.empty())
        needs.uvsBeyond16Bit = true;
    for (const kzoVector2& uv : tables.uvs) {
        if (!kzoFitsFixedPoint(uv.x) || !kzoFitsFixedPoint(uv.y))
            needs.uvsBeyondFixed = true;
        if (!kzoQuantisedUVFits(uv.x, texture.width, 255.0f) || !kzoQuantisedUVFits(uv.y, texture.height, 255.0f))
            needs.uvsBeyond8Bit = true;
        if (!kzoQuantisedUVFits(uv.x, texture.width, 65535.0f) || !kzoQuantisedUVFits(uv.y, texture.height, 65535.0f))
            needs.uvsBeyond16Bit = true;
    }
}

} // namespace

kzoExportSettings kzoChooseExportSettings(const kzoScene& scene, const kzoSceneTables& tables)
{
    kzoExportSettings settings; // the converter's fixed settings
    settings.zFactor = tables.zFactor;
    Needs needs;
    for (std::size_t i = 0; i < scene.objects.size(); ++i)
        assess(scene, scene.objects[i], tables.objects[i], needs);

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
