#pragma once
// Frame buffers as 8-bit RGB PNG files (alpha dropped).

#include <cstdint>
#include <string>
#include <vector>

#include "pelto/base/Image.hpp"

// The PNG file's bytes.
std::vector<std::uint8_t> EncodePng(const peltoImage& image);

// Replaces path with the PNG of image through WriteFileAtomically: a failed
// write stops through IoError naming path, leaves no half-written file and
// keeps an older one.
void WritePngFile(const std::string& path, const peltoImage& image);
