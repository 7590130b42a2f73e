#include "render/pipeline/Surface.hpp"

#include <algorithm>
#include <cmath>

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

float kzoHeadlight(const kzoVector& n, const kzoMatrix& m)
{
    const float x = (n.x * m[0][0] + n.y * m[1][0]) + n.z * m[2][0];
    const float y = (n.x * m[0][1] + n.y * m[1][1]) + n.z * m[2][1];
    const float z = (n.x * m[0][2] + n.y * m[1][2]) + n.z * m[2][2];
    const float length = std::sqrt((x * x + y * y) + z * z);
    const float facing = length > 0 ? z / length : 0.0f;
    return 0.25f + 0.75f * (facing > 0 ? facing : 0.0f); // NaN faces nowhere
}

std::uint32_t kzoLitColour(std::uint32_t colour, float light)
{
    const auto channel = [&](int shift) {
        const auto lit = kzoRoundToInt(static_cast<float>(colour >> shift & 0xFF) * light);
        return static_cast<std::uint32_t>(std::clamp(lit, 0, 255)) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}
