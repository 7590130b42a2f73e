#pragma once
// What a polygon is filled with: its material's texture when that has pixels,
// drawn as it is (no lighting); otherwise a flat colour lit by a headlight, so
// the shape of an untextured model can be seen. A material index outside the
// scene's materials gives the untextured colour kzoMissingMaterialColour.

#include <cstdint>

#include "core/Math.hpp"
#include "render/pipeline/Fill.hpp"
#include "scene/Scene.hpp"

// The colour of a polygon whose material index is outside the scene's materials.
inline constexpr std::uint32_t kzoMissingMaterialColour = 0xFF808080;

// The material's texture, or its colour at alpha 255, unlit.
kzoSurface kzoSurfaceOf(const kzoMaterial& material);
kzoSurface kzoSurfaceAt(const kzoScene& scene, std::int32_t materialIndex);

// The headlight's share of an untextured polygon's colour:
// 0.25 + 0.75 x max(0, n.z), n the face normal turned into view space by the
// upper 3 x 3 of modelView (orientation . placement . view, no projection) and
// normalised. The eye looks down -z, so n.z is the cosine between the normal
// and the direction towards the eye: 1 facing it, 0.25 edge-on or turned away.
// A normal of no length (or NaN) gives 0.25.
float kzoHeadlight(const kzoVector& faceNormal, const kzoMatrix& modelView);

// colour with R, G and B times light, each rounded to nearest (ties to even),
// alpha 255.
std::uint32_t kzoLitColour(std::uint32_t colour, float light);

// surface lit for a polygon of the given face normal: a texture is drawn as it
// is, a colour is lit by the headlight.
inline kzoSurface kzoLitSurface(const kzoSurface& surface, const kzoVector& faceNormal, const kzoMatrix& modelView)
{
    if (surface.texture)
        return surface;
    return {nullptr, kzoLitColour(surface.colour, kzoHeadlight(faceNormal, modelView))};
}
