#pragma once
// Frame buffers as 8-bit RGB PNG files (alpha dropped).

#include <cstdint>
#include <string>
#include <vector>

#include "pelto/base/Image.hpp"

// The PNG file's bytes.
std::vector<std::uint8_t> kzoEncodePng(const peltoImage& image);

// Replaces path with the PNG of image through peltoWriteFileAtomically: a failed
// write stops through peltoIoError naming path, leaves no half-written file and
// keeps an older one.
void kzoWritePngFile(const std::string& path, const peltoImage& image);
