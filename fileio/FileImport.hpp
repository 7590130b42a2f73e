#pragma once
// The scene file reader: a "KZO" version 1 file back into a scene with a
// viewport bound to a frame buffer, textures reloaded from their stored paths
// and every object's indexed mesh built straight from the file's tables. It
// reads; it never writes, and a bad file never ends the calling program.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "import/image/ImageFile.hpp"
#include "pelto/base/Failure.hpp"
#include "pelto/base/Image.hpp"
#include "scene/Scene.hpp"

// Reads the texture stored at fileName: kzoReadTexture by default; tests and
// the fuzz target pass their own.
using kzoTextureLoader = std::function<kzoImageFile(const std::string& fileName)>;

// kzoReadImageFile on fileName cut to 255 characters, as LoadImage reads it.
kzoImageFile kzoReadTexture(const std::string& fileName);

// Why a read failed, which says what a program does about it.
enum class kzoSceneFault : std::uint8_t {
    None,
    Unreadable, // the scene file could not be read (failure->errorNumber says why)
    Malformed,  // it is not a scene file of this format; the reader has printed why
    Texture,    // a texture it names did not load (as kzoImageFileFailure reports it)
};

// What a read gave: true when the scene was read; otherwise the failure, with
// the file and byte offset (or texture) at fault, and its kind.
struct kzoSceneLoad {
    std::optional<peltoFailure> failure;
    kzoSceneFault fault = kzoSceneFault::None;
    explicit operator bool() const { return !failure; }
};

// Prints "Loading file " + fileName and reads the file whole, then decodes it
// (kzoDecodeScene). A missing or unreadable file fails with "fileName: reason"
// and its errno, printing nothing more.
[[nodiscard]] kzoSceneLoad LoadScene(const std::string& fileName, kzoScene& scene, const peltoImage& frame,
                       const kzoTextureLoader& loadTexture = kzoReadTexture);

// Decodes a scene file held in memory; sourceName names it in messages. Prints
// the reader's progress lines on standard output. Every read stays inside
// bytes: a malformed file (truncated, an index outside its table, an unknown
// index size or texture mode, a negative count, quantised texture coordinates
// without a texture of known size) prints "ERROR: " and the reason with the
// byte offset, and fails with that reason. On failure the caller's scene is
// untouched and every texture loaded on the way has been freed. A file whose
// first bytes are not "KZO" fails without a word ("<sourceName>: not a kzo
// scene file (it does not begin with "KZO")"), and so does a texture that
// does not load.
// Textures: a material with a texture flag but an empty name is untextured
// (nothing is looked up). A relative name that gives no file from the working
// directory is read from the folder of sourceName instead (printing "  - read
// beside the scene file as <path>"). A texture that still does not load fails
// as kzoImageFileFailure reports it, with the paths tried in the failure's
// context when the message does not name them ("Error loading file!").
// Each triangle (p0, t0), (p1, t1), (p2, t2) of index pairs reads back as the
// polygon kzoCreatePoly makes, material 0, of vertices at (x, y, z x Z factor, 1)
// with normal (0, 0, 0), texture coordinate (u, v) and colour (128, 128, 128,
// 255); the mesh holds one vertex per distinct index pair.
[[nodiscard]] kzoSceneLoad kzoDecodeScene(std::span<const std::uint8_t> bytes, std::string_view sourceName, kzoScene& scene,
                            const peltoImage& frame, const kzoTextureLoader& loadTexture);
