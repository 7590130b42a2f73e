#pragma once
// The decoder's two paths, for the tests and the fuzz target that compare them
// (the public constructor always takes the fast one).
// Fast: one MCU row at a time into small buffers, converted straight into the
// picture by the kernels; Huffman codes through 9-bit lookups; several bytes
// read at a time. Plain: the reference algorithm step by step, whole planes
// widened and converted at the end. Both give the same pixels and the same
// result; tests compare them on many inputs.

#include <cstdint>

#include "import/jpeg/Jpeg.hpp"

enum class kzoJpegPath : std::uint8_t { Fast, Plain };
