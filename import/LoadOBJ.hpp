#pragma once
// Wavefront OBJ geometry: "v", "vt", "vn" and "f" lines become one kzoObject,
// one polygon per face in file order, each face keeping its corner count and
// order (no triangulation). Every other statement is skipped. A statement that
// cannot be read as geometry stops through FatalError naming the file, the
// line and the text; nothing is ever read outside a list or a line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scene/Obj.hpp"

struct obj_tVector {
    float x, y, z;
};

struct obj_tTVector {
    float u, v;
};

// One face corner: 1-based indices into the lists read so far, negative ones
// already resolved; normalIndex 0 for a corner written v/vt (normal 0, 0, 0).
struct Tface {
    std::int32_t vertexIndex, uvIndex, normalIndex;
};

using Tfaces = std::vector<Tface>;

static_assert(sizeof(obj_tVector) == 12 && sizeof(obj_tTVector) == 8 && sizeof(Tface) == 12);

// Reads fileName ("UNABLE to open " + fileName when it is missing or cannot be
// read) and returns the object named fileName whose polygons all carry
// materialIndex. Lines end at LF, CR LF or a lone CR and may be of any length.
// Keywords end at the first space or tab, values are separated by runs of
// spaces and tabs; numbers are read by ParseFloat and ParseInt.
//   v x y z [...]     three values at least; w and colours are ignored
//   vt u [v [...]]    one value at least; v is 0 when missing
//   vn x y z [...]    three values at least
//   f c c c ...       corners v/vt/vn or v/vt; -1 is the last entry read so far
// Every vertex gets position (x, y, z, 1), the normal or (0, 0, 0), texture
// coordinate (u, 1 - v) and colour (255, 255, 255, 255).
kzoObject kzoLoadOBJ(const std::string& fileName, std::int32_t materialIndex);

// The same from text in memory: fileName names the object and the messages.
kzoObject kzoParseOBJ(std::string_view text, const std::string& fileName, std::int32_t materialIndex);
