#pragma once
// The plain OBJ route the loader replaced, kept as the reference that its
// indexed mesh must match: every face becomes a whole polygon record through
// kzoCreatePoly and kzoAddPoly, or for triangles the fan of kzoCreatePoly
// triangles of its corners. Lines are cut
// one character at a time and numbers go through the general parsers; only
// the splitting into values and the quoting in messages are the loader's own.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Poly.hpp"

struct ObjReference {
    std::vector<kzoPoly> polygons;
    std::string failure; // the message of a refused text, "" when it loads
    // As kzoObjFaceTally counts them.
    std::size_t facesWithoutUV = 0;
    std::uint64_t firstFaceWithoutUVLine = 0;
    std::size_t cornersWithUV = 0;
};

ObjReference referenceOBJ(std::string_view text, const std::string& fileName, std::int32_t materialIndex,
                          bool triangles);
