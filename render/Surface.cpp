#include "render/Surface.hpp"

kzoSurface kzoSurfaceOf(const kzoMaterial& material)
{
    if (kzoHasPixels(material.texture))
        return {&material.texture, 0};
    return {nullptr, material.colour | 0xFF000000u};
}

kzoSurface kzoSurfaceAt(const kzoScene& scene, std::int32_t materialIndex)
{
    if (materialIndex < 0 || static_cast<std::size_t>(materialIndex) >= scene.materials.size())
        return {nullptr, kzoMissingMaterialColour};
    return kzoSurfaceOf(scene.materials[static_cast<std::size_t>(materialIndex)]);
}
