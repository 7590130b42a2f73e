#include "apps/write/ConvertedMaterial.hpp"

#include <iostream>

#include "import/image/ImageFile.hpp"
#include "import/obj/ModelMaterial.hpp"
#include "pelto/base/Image.hpp"
#include "pelto/base/Log.hpp"

namespace {

void warn(const std::string& line)
{
    std::cout.flush();
    std::cerr << "kzoWrite: warning: " << line << std::endl;
}

// The texture to read (none when empty) and the colour, before reading it.
struct Choice {
    std::string texture;
    std::uint32_t colour = 0xFF808080;
    bool fromCommandLine = false;
};

Choice choose(const std::string& objFile, const kzoObjLoad& model, const std::optional<std::string>& textureArgument)
{
    if (textureArgument)
        return {peltoShortString(*textureArgument), 0xFF808080, true};
    const kzoModelMaterial found = kzoFindModelMaterial(objFile, model.materials);
    for (const std::string& line : found.warnings)
        warn(line);
    return {peltoShortString(found.texturePath), found.colour, false};
}

void warnOfFacesWithoutUV(const std::string& objFile, const kzoObjFaceTally& tally)
{
    if (tally.facesWithoutUV == 0)
        return;
    warn(peltoPathTail(objFile) + ": " + std::to_string(tally.facesWithoutUV) + " of " + std::to_string(tally.faces) +
         " faces have no texture coordinates (the first on line " + std::to_string(tally.firstFaceWithoutUVLine) +
         "); their corners take (0, 0)");
}

} // namespace

kzoMaterial kzoConvertedMaterial(const std::string& objFile, const kzoObjLoad& model,
                                 const std::optional<std::string>& textureArgument)
{
    Choice choice = choose(objFile, model, textureArgument);
    if (!choice.texture.empty() && model.tally.cornersWithUV == 0) {
        warn(peltoPathTail(objFile) + " has no texture coordinates: it converts untextured, without " +
             peltoPathTail(choice.texture));
        choice.texture.clear();
    }
    kzoMaterial material;
    if (!choice.texture.empty()) {
        const kzoImageFile file = kzoReadImageFile(choice.texture);
        if (file.status == kzoImageFileStatus::Loaded) {
            warnOfFacesWithoutUV(objFile, model.tally);
            kzoInitMaterial(material, "material-textured", 1);
            material.colour = choice.colour;
            std::cout << "Using Texture " << choice.texture << '\n';
            kzoSetMaterialTexture(material, file.image, choice.texture);
            return material;
        }
        if (choice.fromCommandLine) {
            peltoFailure failure = kzoImageFileFailure(file, choice.texture);
            // "Error loading file!" alone would not say which file.
            if (file.status == kzoImageFileStatus::Unreadable)
                failure.context = file.message;
            peltoStopWith(failure);
        }
        warn(file.message + "; the model converts untextured");
    }
    kzoInitMaterial(material, "material-untextured", 1);
    material.colour = choice.colour;
    std::uint8_t r, g, b, a;
    peltoSplitRGBA(material.colour, r, g, b, a);
    std::cout << "Using no texture, colour " << int{r} << ' ' << int{g} << ' ' << int{b} << '\n';
    return material;
}
