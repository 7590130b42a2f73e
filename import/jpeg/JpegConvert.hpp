#pragma once
// From decoded planes to 0xAARRGGBB pixels. The reference (kzoJpegWidenPlane on
// every subsampled plane, then kzoJpegConvertFullPlanes) widens whole planes by
// pixel replication and converts pixel by pixel; kzoJpegConvertRows does the
// same for a band of rows straight from the planes as the scan leaves them,
// widening a row at a time with the fast kernels. Tests compare the two.

#include <cstdint>

#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegKernels.hpp"

// The number of doublings that bring size to at least target (0 if it is already).
int kzoJpegReplicationShift(std::int32_t size, std::int32_t target);

// Replaces the component's plane by one widened to at least width x height by
// replication (sample (x, y) = old[(y >> vertical shift) x old stride + (x >>
// horizontal shift)]), stride = new width. False, plane kept, when out of memory.
bool kzoJpegWidenPlane(kzoJpegComponent& component, std::int32_t width, std::int32_t height);

// Three planes of at least width x height into width x height pixels.
void kzoJpegConvertFullPlanes(const kzoJpegComponent* components, std::int32_t width, std::int32_t height,
                              std::uint32_t* pixels);

// One plane (grey) of at least width x height into width x height pixels.
void kzoJpegConvertGreyPlane(const kzoJpegComponent& component, std::int32_t width, std::int32_t height,
                             std::uint32_t* pixels);

// Bytes of row buffer kzoJpegConvertRows needs for a picture width.
std::int64_t kzoJpegRowBufferSize(std::int32_t width);

// Picture rows [top, bottom) of a width x height picture into pixels (which
// points at row top). Each component's plane starts with the sample row that
// picture row top replicates (top >> its vertical shift), as the one MCU row
// the fast path keeps; a whole plane is the case top = 0.
void kzoJpegConvertRows(const kzoJpegComponent* components, int componentCount, std::int32_t width,
                        std::int32_t height, std::int32_t top, std::int32_t bottom, const kzoJpegKernels& kernels,
                        std::uint8_t* rowBuffer, std::uint32_t* pixels);
