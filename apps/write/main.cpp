// kzoWrite file.obj file.jpg: converts a Wavefront OBJ model and a JPEG
// or PNG texture into the scene file "./test.kzo" (one object, one textured
// material). The usage and warning lines say "jpg" whatever the texture is.
// Exit codes: 0 converted, 1 stopped by an error, 2 usage.

#include <iostream>
#include <string>

#include "fileio/ChooseSettings.hpp"
#include "fileio/FileExport.hpp"
#include "import/ImageFile.hpp"
#include "import/LoadOBJ.hpp"
#include "pelto/Image.hpp"
#include "pelto/Log.hpp"
#include "pelto/Support.hpp"
#include "scene/Scene.hpp"

int main(int argc, char** argv)
{
    DeleteLog();
    if (argc != 3) {
        std::cout << "kzoWrite file.obj file.jpg\n";
        return 2;
    }
    // The checks see the whole arguments; what is handed on is cut to 255 characters.
    const std::string objArgument = argv[1], jpgArgument = argv[2];
    if (!FileExists(objArgument))
        std::cout << "OBJ File " << objArgument << " does not exist!\n";
    if (!FileExists(jpgArgument))
        std::cout << "JPG File " << jpgArgument << " does not exist!\n";
    const std::string objFile = ShortString(objArgument), jpgFile = ShortString(jpgArgument);

    kzoScene scene;
    const peltoImage noFrame; // never allocated: the converter has no viewport
    kzoInitScene(scene, "first2", noFrame, false);
    // The scene file holds triangles: faces are split into fans while loading.
    kzoObjLoad model = kzoLoadOBJ(objFile, 0, kzoObjFaces::Triangles);
    if (model.failure)
        StopWith(*model.failure);
    kzoAddObject(scene, std::move(model.object));

    peltoImage image;
    LoadImage(image, jpgFile);
    kzoMaterial material;
    kzoInitMaterial(material, "material-textured", 1);
    material.colour = peltoRGBA(128, 128, 128, 255);
    std::cout << "Using Texture " << jpgFile << '\n';
    kzoSetMaterialTexture(material, image, jpgFile);
    kzoAddMaterial(scene, material);

    // One pass over the model's tables serves the choice of encodings and the writer.
    const kzoSceneTables tables = kzoTabulateScene(scene, kzoExportSettings{}.zFactor);
    const kzoExportSettings settings = ChooseExportSettings(scene, tables);
    if (const std::optional<peltoFailure> failure = kzoSaveTables("./test.kzo", scene, tables, settings))
        StopWith(*failure);
    // The process ends here anyway; releasing the texture keeps leak checkers quiet.
    kzoFreeScene(scene);
    return 0;
}
