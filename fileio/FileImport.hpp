#pragma once
// The scene file reader: a "KZO" version 1 file back into a scene with a
// viewport bound to a frame buffer, textures reloaded from their stored paths
// and every object rebuilt triangle by triangle. It reads; it never writes.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "import/ImageFile.hpp"
#include "pelto/Image.hpp"
#include "scene/Scene.hpp"

// Loads the texture stored at fileName into a fresh image (LoadImage by default;
// tests and the fuzz target pass their own).
using kzoTextureLoader = std::function<void(peltoImage& image, const std::string& fileName)>;

// Prints "Loading file " + fileName and reads the file whole, then decodes it
// (kzoDecodeScene). A missing or unreadable file is an input/output error
// (IoError: a line naming the file, exit 1).
bool LoadScene(const std::string& fileName, kzoScene& scene, const peltoImage& frame,
               const kzoTextureLoader& loadTexture = LoadImage);

// Decodes a scene file held in memory; sourceName names it in messages. Prints
// the reader's progress lines on standard output. Every read stays inside
// bytes: a malformed file (truncated, an index outside its table, an unknown
// index size or texture mode, a negative count, quantised texture coordinates
// without a texture of known size) prints "ERROR: " and the reason with the
// byte offset, and gives false. On false the caller's scene is untouched and
// every texture loaded on the way has been freed; a file whose first bytes are
// not "KZO" gives false without a word.
bool kzoDecodeScene(std::span<const std::uint8_t> bytes, std::string_view sourceName, kzoScene& scene,
                    const peltoImage& frame, const kzoTextureLoader& loadTexture);
