#include "scene/Material.hpp"

#include "pelto/base/Support.hpp"

void kzoInitMaterial(kzoMaterial& mat, const std::string& name, std::uint8_t flags)
{
    mat.name = peltoShortString(name);
    mat.flags = flags;
    mat.hasTexture = false;
    mat.colour = peltoRGBA(128, 128, 128, 255);
}

void kzoSetMaterialTexture(kzoMaterial& mat, const peltoImage& image, const std::string& fileName)
{
    mat.hasTexture = true;
    mat.textureFileName = peltoShortString(fileName);
    mat.texture = image;
}

void kzoFreeMaterial(kzoMaterial& mat)
{
    if (mat.hasTexture)
        FreeImage(mat.texture);
    mat.hasTexture = false;
}
