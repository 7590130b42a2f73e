#pragma once
// The one material a converted model takes from its material libraries: the
// first material a face of the OBJ file uses ("usemtl"), looked up in the
// libraries its "mtllib" lines name. Paths are resolved as a user would type
// them from the working directory: a library against the OBJ file's folder, a
// texture against its library's folder. Nothing is printed: what was skipped
// comes back as warning lines for the program to show.

#include <cstdint>
#include <string>
#include <vector>

#include "import/obj/LoadOBJ.hpp"

struct kzoModelMaterial {
    std::string name;                  // of the material used; "" when faces use none that was found
    std::uint32_t colour = 0xFF808080; // its Kd, else mid grey
    std::string texturePath;           // its map_Kd file, resolved; "" for none
    // One line each, naming file and line: a library that cannot be read, a
    // material defined in no library read, a map_Kd without a file name, and
    // faces that use materials of different textures (all take the first's).
    std::vector<std::string> warnings;
};

// The libraries one mtllib line names, resolved against the OBJ file's folder:
// the whole text as one name when such a file exists (a name with spaces),
// otherwise each blank-separated name.
std::vector<std::string> kzoMaterialLibraryPaths(const std::string& objPath, const std::string& names);

// name resolved against the folder of relativeTo (the part up to its last
// "/"); an absolute name stays as it is. A name with "\" that names no
// file is taken with "/" in their place when that names one.
std::string kzoResolvePath(const std::string& relativeTo, const std::string& name);

// The material of the model at objPath whose statements are materials. The
// libraries are read only when a face uses a material; a model that names no
// library gets no material and no warning.
kzoModelMaterial kzoFindModelMaterial(const std::string& objPath, const kzoObjMaterials& materials);
