// kzoWrite file.obj [file.jpg]: converts a Wavefront OBJ model and a JPEG or
// PNG texture (given, or named by the model's material library) into the
// scene file "./test.kzo", or the file -o names (one object, one material).
// The usage and warning lines say "jpg" whatever the texture is. Exit codes:
// 0 converted, 1 stopped by an error, 2 usage.

#include <iostream>
#include <optional>
#include <string>

#include "apps/cli/CommandLine.hpp"
#include "apps/write/ConvertedMaterial.hpp"
#include "fileio/ChooseSettings.hpp"
#include "fileio/FileExport.hpp"
#include "import/image/ImageFile.hpp"
#include "import/obj/LoadOBJ.hpp"
#include "pelto/base/Image.hpp"
#include "pelto/base/Log.hpp"
#include "pelto/base/Support.hpp"
#include "scene/Scene.hpp"

namespace {

constexpr kzoOptionSyntax options[] = {
    {"-o", "--output", "FILE", "write the scene file to FILE, not ./test.kzo (replaced atomically)"},
};

// The first usage line is the one kzoWrite has always printed on standard output.
constexpr kzoProgramSyntax program = {
    "kzoWrite",
    "kzoWrite file.obj file.jpg\n"
    "kzoWrite -o FILE file.obj file.jpg\n"
    "kzoWrite [-o FILE] file.obj\n",
    "Converts a Wavefront OBJ model and a JPEG or PNG texture into a kzo scene file:\n"
    "one object, one material that records the texture's path as typed (the viewer\n"
    "loads the texture again from that path). Given the model alone, it takes the\n"
    "texture (map_Kd) and colour (Kd) of the first material its faces use from its\n"
    "material library (mtllib). A model without texture coordinates, or without a\n"
    "texture that loads, converts untextured in its material's colour.\n",
    options,
    1,
};

struct Arguments {
    std::string obj;
    std::optional<std::string> jpg; // the model's material library names it when absent
    std::string output = "./test.kzo";
};

Arguments parseArguments(int argc, char** argv)
{
    const kzoCommandLine line = kzoParseCommandLine(program, argc, argv);
    Arguments arguments;
    for (const kzoGivenOption& given : line.options)
        arguments.output = given.value; // -o is the only option; the last one counts
    if (arguments.output.empty())
        kzoUsageError(program, "-o needs a file name, got \"\"");
    const std::size_t files = line.arguments.size();
    if (files == 0)
        kzoUsageError(program, "no files given: it needs a model (file.obj) and a texture (file.jpg)");
    if (files > 2)
        kzoUsageError(program, std::to_string(files) + " files given: it takes a model and a texture; "
                                                          "the output file is named with -o FILE");
    arguments.obj = line.arguments[0];
    if (files == 2)
        arguments.jpg = line.arguments[1];
    return arguments;
}

} // namespace

int main(int argc, char** argv)
{
    DeleteLog();
    const Arguments arguments = parseArguments(argc, argv);
    // The checks see the whole arguments; what is handed on is cut to 255 characters.
    if (!peltoFileExists(arguments.obj))
        std::cout << "OBJ File " << arguments.obj << " does not exist!\n";
    if (arguments.jpg && !peltoFileExists(*arguments.jpg))
        std::cout << "JPG File " << *arguments.jpg << " does not exist!\n";
    const std::string objFile = peltoShortString(arguments.obj);

    kzoScene scene;
    const peltoImage noFrame; // never allocated: the converter has no viewport
    kzoInitScene(scene, "first2", noFrame, false);
    // The scene file holds triangles: faces are split into fans while loading.
    kzoObjLoad model = kzoLoadOBJ(objFile, 0, kzoObjFaces::Triangles);
    if (model.failure)
        peltoStopWith(*model.failure);
    // An empty scene would replace a good file with nothing to show.
    if (model.object.polyCount == 0) {
        peltoFailure noFaces;
        noFaces.message = peltoPathTail(objFile) + ": no faces (kzoWrite needs at least one triangle)";
        noFaces.file = objFile;
        peltoStopWith(noFaces);
    }
    const kzoMaterial material = kzoConvertedMaterial(objFile, model, arguments.jpg);
    kzoAddObject(scene, std::move(model.object));
    kzoAddMaterial(scene, material);

    // One pass over the model's tables serves the choice of encodings and the writer.
    const kzoSceneTables tables = kzoTabulateScene(scene, kzoExportSettings{}.zFactor);
    const kzoExportSettings settings = kzoChooseExportSettings(scene, tables);
    if (const std::optional<peltoFailure> failure = kzoSaveTables(arguments.output, scene, tables, settings))
        peltoStopWith(*failure);
    // The process ends here anyway; releasing the texture keeps leak checkers quiet.
    kzoFreeScene(scene);
    return 0;
}
