#pragma once
// Writes a frame buffer as an 8-bit RGB PNG (alpha dropped), through a
// temporary file in the same folder renamed over the target at the end: a
// failed write leaves no half-written file and keeps an older one.

#include <string>

#include "pelto/Image.hpp"

// False with error set ("path: reason") when the file could not be written.
bool WritePngFile(const std::string& path, const peltoImage& image, std::string& error);
