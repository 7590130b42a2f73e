#pragma once
// Pixel-run helpers for frame buffers: two pixels per 64-bit access, the last
// one alone when the count is odd.

#include <cstddef>
#include <cstdint>

void FillPixels(std::uint32_t* dst, std::size_t count, std::uint32_t value);
void CopyPixels(const std::uint32_t* src, std::uint32_t* dst, std::size_t count);
