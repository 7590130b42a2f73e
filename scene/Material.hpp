#pragma once
// A material: a colour, an optional texture it owns, and the path the texture
// was loaded from (the scene file stores the path, never the pixels).

#include <cstdint>
#include <string>

#include "pelto/base/Image.hpp"

struct kzoMaterial {
    std::string name;
    std::uint32_t colour = 0;  // 0xAARRGGBB
    peltoImage texture;        // owned once hasTexture is true
    bool hasTexture = false;
    std::string textureFileName;
    std::uint8_t flags = 0;    // carried through the scene file, read by nothing
};

// name, flags, no texture, colour 0xFF808080. texture and textureFileName are
// left as they were.
void kzoInitMaterial(kzoMaterial& mat, const std::string& name, std::uint8_t flags);

// Takes over image's pixels (the record is copied, the pixels are not).
void kzoSetMaterialTexture(kzoMaterial& mat, const peltoImage& image, const std::string& fileName);

// Frees the texture pixels of a textured material; it is untextured afterwards.
void kzoFreeMaterial(kzoMaterial& mat);
