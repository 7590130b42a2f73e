#pragma once
// Wavefront OBJ geometry: "v", "vt", "vn" and "f" lines become one kzoObject
// whose indexed mesh is built straight from the file's lists: one vertex per
// distinct corner (position, texture and normal index), and per face in file
// order either one polygon keeping its corner count and order, or the face's
// fan of triangles. "mtllib" and "usemtl" are noted for the caller (which
// material library, which material the faces use); every other statement is
// skipped. A statement that cannot be read as geometry ends the load with a
// failure naming the file, the line and the text; nothing is ever read outside
// a list or a line, and nothing ends the calling program.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pelto/base/Failure.hpp"
#include "scene/Obj.hpp"

struct obj_tVector {
    float x, y, z;
};

struct obj_tTVector {
    float u, v;
};

// One face corner: 1-based indices into the lists read so far, negative ones
// already resolved; uvIndex 0 for a corner without a texture index (v, v//vn:
// texture coordinate 0, 0), normalIndex 0 for one without a normal (0, 0, 0).
struct Tface {
    std::int32_t vertexIndex, uvIndex, normalIndex;
};

using Tfaces = std::vector<Tface>;

static_assert(sizeof(obj_tVector) == 12 && sizeof(obj_tTVector) == 8 && sizeof(Tface) == 12);

// What a face becomes.
enum class kzoObjFaces {
    // One polygon of the face's corners, 1 to 8 of them: a polygon record holds
    // at most kzoMaxVertex corners, so a face of more fails with
    // "kzoCreatePoly: v > kzoMaxVertex" (its file and line in the failure)
    // rather than come back as something other than one polygon per face.
    Whole,
    // The fan (0, i, i + 1) of a face of 3 or more corners, each triangle with
    // the normal kzoCreatePoly gives it: what the scene file holds. A face of 1
    // or 2 corners is refused once the rest of the file has been read, as
    // "<file>:<line>: face N has 2 corners; kzoWrite needs 3 or more".
    Triangles,
};

// A "mtllib" line: the text after the keyword, blanks at either end removed.
// It holds one or more file names, or one name with spaces: which, only the
// files present can tell (kzoMaterialLibraryPaths).
struct kzoObjLibraryLine {
    std::string names;
    std::uint64_t line = 0;
};

// A material faces use ("usemtl" name, blanks at either end removed), and the
// line of the first face that uses it.
struct kzoObjMaterialUse {
    std::string name;
    std::uint64_t line = 0;
};

struct kzoObjMaterials {
    std::vector<kzoObjLibraryLine> libraries;  // in file order
    std::vector<kzoObjMaterialUse> used;       // distinct names, in order of first use by a face
};

// The faces read, and those with a corner that has no texture index.
struct kzoObjFaceTally {
    std::size_t faces = 0;
    std::size_t facesWithoutUV = 0;
    std::uint64_t firstFaceWithoutUVLine = 0; // 0 when every face has texture indices
    std::size_t cornersWithUV = 0;             // 0: the model has no texture coordinates at all
};

struct kzoObjLoad {
    kzoObject object;                    // empty after a failure
    std::optional<peltoFailure> failure; // why nothing was loaded
    kzoObjMaterials materials;
    kzoObjFaceTally tally;
};

// Reads fileName in blocks ("UNABLE to open " + fileName when it is missing or
// cannot be opened for reading) and returns the object named fileName whose
// polygons all carry materialIndex. Lines end at LF, CR LF or a lone CR and may
// be of any length. Keywords end at the first space or tab, values are
// separated by runs of spaces and tabs; numbers are read by ParseFloat and ParseInt.
//   v x y z [...]     three values at least; w and colours are ignored
//   vt u [v [...]]    one value at least; v is 0 when missing
//   vn x y z [...]    three values at least
//   f c c c ...       corners v/vt/vn, v/vt, v//vn or v (v/vt/ is v/vt, v// and
//                     v/ are v); -1 is the last entry read so far
//   mtllib names      noted in materials.libraries
//   usemtl name       the material of the faces that follow (materials.used)
// Every vertex gets position (x, y, z, 1), the normal or (0, 0, 0), texture
// coordinate (u, 1 - v) or, without a texture index, (0, 0), and colour
// (255, 255, 255, 255).
[[nodiscard]] kzoObjLoad kzoLoadOBJ(const std::string& fileName, std::int32_t materialIndex,
                      kzoObjFaces faces = kzoObjFaces::Whole);

// The same from text in memory: fileName names the object and the messages.
[[nodiscard]] kzoObjLoad kzoParseOBJ(std::string_view text, const std::string& fileName, std::int32_t materialIndex,
                       kzoObjFaces faces = kzoObjFaces::Whole);
