#pragma once
// What a polygon is filled with: its material's texture when that has pixels,
// else the material's colour at alpha 255; a material index outside the
// scene's materials gives kzoMissingMaterialColour.

#include <cstdint>

#include "render/Fill.hpp"
#include "scene/Scene.hpp"

// The fill colour for a polygon whose material index is outside the scene's
// materials.
inline constexpr std::uint32_t kzoMissingMaterialColour = 0xFF808080;

kzoSurface kzoSurfaceOf(const kzoMaterial& material);
kzoSurface kzoSurfaceAt(const kzoScene& scene, std::int32_t materialIndex);
