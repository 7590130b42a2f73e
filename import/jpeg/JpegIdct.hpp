#pragma once
// The decoder's integer inverse DCT, the reference the SIMD kernels must match
// bit for bit: a pass over the 8 rows in place, then a pass over the 8 columns
// that writes clipped 8-bit samples. Every sum wraps as 32-bit two's complement,
// so hostile coefficients are safe; those of valid files never come near the wrap.

#include <cstddef>
#include <cstdint>

// One row of 8 coefficients, in place. All-zero AC terms take the DC-only
// shortcut: every entry becomes row[0] x 8.
void kzoJpegIdctRow(std::int32_t* row);

// Column `column` of the row-transformed block: 8 samples, one per output row,
// rows `stride` bytes apart. All-zero AC terms take the DC-only shortcut.
void kzoJpegIdctColumn(const std::int32_t* block, int column, std::uint8_t* out, std::ptrdiff_t stride);

// The whole transform of one block (natural order; the block is overwritten by
// the row pass) into 8 rows of 8 samples.
void kzoJpegIdct(std::int32_t* block, std::uint8_t* out, std::ptrdiff_t stride);

// The one sample value of a block whose only non-zero coefficient is the DC
// term: both passes take their shortcuts, so all 64 samples are equal.
std::uint8_t kzoJpegIdctFlat(std::int32_t dc);
