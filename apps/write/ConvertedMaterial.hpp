#pragma once
// The one material of a model kzoWrite converts: the texture given on the
// command line, or the one the model's material library names, or none. It
// prints what it uses on standard output ("Using Texture ...") and what it
// skips as warning lines on standard error.

#include <optional>
#include <string>

#include "import/obj/LoadOBJ.hpp"
#include "scene/Material.hpp"

// With textureArgument (cut to 255 characters): that texture, grey
// (0xFF808080), "material-textured"; a texture that does not load stops the
// program as LoadImage does, with the path on the line before "Error loading
// file!". Without it: the first material a face of the model uses, from its
// material library: its Kd as the colour and its map_Kd as the texture, whose
// path is stored as it was resolved; a library, material or texture that cannot
// be read is a warning. A model without texture coordinates, or without a
// texture that loads, gets the untextured "material-untextured" in that colour
// (mid grey without one). A textured model some of whose faces have no texture
// coordinates gets one warning with their number and the first one's line.
kzoMaterial kzoConvertedMaterial(const std::string& objFile, const kzoObjLoad& model,
                                 const std::optional<std::string>& textureArgument);
