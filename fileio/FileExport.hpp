#pragma once
// The scene file writer. A scene becomes one buffer of little-endian bytes in
// the encodings the caller picks; the buffer replaces the target file in one
// rename, so a failed run never leaves half a file or destroys the old one.
// The format holds triangles only: splitting faces is the caller's work.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "fileio/SceneFormat.hpp"
#include "scene/Scene.hpp"

struct kzoExportSettings {
    bool fixedPoint = true;
    kzoIndexSize indexSize = kzoIndexSize2byte;
    kzoTextureMode textureMode = kzoTextureMode8Bit;
    std::int16_t zFactor = -1;
};

// Hashed: the tables answer in expected constant time. Linear: the plain search
// from the start for every vertex, kept as the reference the fast one must match.
enum class kzoTableSearch { Hashed, Linear };

// The file's bytes. Multiplies every polygon vertex z of the scene by zFactor in
// place first (the scene keeps the product). Progress lines, and "ERROR: Vector
// not found" / "ERROR: UV not found" for values that equal nothing (NaN, stored
// as index 0), go to lines. Nothing is range-checked: a value that does not fit
// its encoding is stored with its low bits. A polygon of other than 3 vertices
// stops through FatalError before the scene is changed.
std::vector<std::uint8_t> kzoEncodeScene(kzoScene& scene, const kzoExportSettings& settings, std::ostream& lines,
                                         kzoTableSearch search = kzoTableSearch::Hashed);

// Width and height that the object's quantised texture coordinates step
// through: those of the texture of materials[materialIndex], 0 x 0 when the
// index names no material (no pixels in the result).
peltoImage kzoQuantisationTexture(const kzoScene& scene, const kzoObject& obj);

// Prints "Saving " + fileName, encodes the scene (progress on standard output)
// and replaces fileName with the bytes atomically.
void SaveScene(const std::string& fileName, kzoScene& scene, bool fixedPoint, kzoIndexSize indexSize,
               kzoTextureMode textureMode, std::int16_t zFactor);
