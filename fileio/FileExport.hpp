#pragma once
// The scene file writer. A scene becomes one buffer of little-endian bytes in
// the encodings the caller picks; the buffer replaces the target file in one
// rename, so a failed run never leaves half a file or destroys the old one.
// The format holds triangles only: splitting faces is the caller's work, and a
// scene holding any other polygon is refused as a value before anything changes.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "fileio/SceneFormat.hpp"
#include "fileio/SceneTables.hpp"
#include "pelto/base/Failure.hpp"
#include "scene/Scene.hpp"

struct kzoExportSettings {
    bool fixedPoint = true;
    kzoIndexSize indexSize = kzoIndexSize2byte;
    kzoTextureMode textureMode = kzoTextureMode8Bit;
    std::int16_t zFactor = -1;
};

struct kzoEncodedScene {
    std::vector<std::uint8_t> bytes;     // the file, empty after a failure
    std::optional<peltoFailure> failure; // a polygon of other than 3 vertices
};

// The file's bytes. Refuses a polygon of other than 3 vertices ("SaveScene:
// polygon N of object ... has 4 vertices; ...") before the scene is changed;
// otherwise multiplies every vertex z of the scene by zFactor in place (the
// scene keeps the product). Progress lines, and "ERROR: Vector not found" /
// "ERROR: UV not found" for values that equal nothing (NaN, stored as index 0),
// go to lines. Nothing is range-checked: a value that does not fit its encoding
// is stored with its low bits.
[[nodiscard]] kzoEncodedScene kzoEncodeScene(kzoScene& scene, const kzoExportSettings& settings, std::ostream& lines);

// The same from tables already made by kzoTabulateScene(scene, settings.zFactor)
// of the scene as it stands.
[[nodiscard]] kzoEncodedScene kzoEncodeTables(kzoScene& scene, const kzoSceneTables& tables, const kzoExportSettings& settings,
                                std::ostream& lines);

// Width and height that the object's quantised texture coordinates step
// through: those of the texture of materials[materialIndex], 0 x 0 when the
// index names no material (no pixels in the result).
peltoImage kzoQuantisationTexture(const kzoScene& scene, const kzoObject& obj);

// Prints "Saving " + fileName, encodes the scene (progress on standard output)
// and replaces fileName with the bytes atomically; a refused scene leaves the
// file alone. A file that cannot be written stops the program (peltoIoError).
[[nodiscard]] std::optional<peltoFailure> SaveScene(const std::string& fileName, kzoScene& scene, bool fixedPoint,
                                      kzoIndexSize indexSize, kzoTextureMode textureMode, std::int16_t zFactor);

// SaveScene from tables already made, in the given settings.
[[nodiscard]] std::optional<peltoFailure> kzoSaveTables(const std::string& fileName, kzoScene& scene, const kzoSceneTables& tables,
                                          const kzoExportSettings& settings);
