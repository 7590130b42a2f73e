#pragma once
// After the scan: subsampled planes widened by pixel replication, Y Cb Cr
// planes turned into packed R G B rows, grey rows packed. The plain pair
// (kzoJpegWidenPlane, then kzoJpegConvertFullPlanes) follows the written steps;
// kzoJpegConvertSubsampled widens row by row on the way and gives the same
// bytes without the widened planes (a test compares the two).

#include <cstdint>

#include "import/Jpeg.hpp"

// The number of doublings that bring size to at least target (0 if it is already).
int kzoJpegReplicationShift(std::int32_t size, std::int32_t target);

// Replaces the component's plane by one widened to at least width x height by
// replication (sample (x, y) = old[(y >> vertical shift) x old stride + (x >>
// horizontal shift)]), stride = new width. False, plane kept, when out of memory.
bool kzoJpegWidenPlane(kzoJpegComponent& component, std::int32_t width, std::int32_t height);

// Three planes of at least width x height into width x height x 3 bytes R, G, B.
void kzoJpegConvertFullPlanes(const kzoJpegComponent* components, std::int32_t width, std::int32_t height,
                              std::uint8_t* rgb);

// Bytes of row buffer kzoJpegConvertSubsampled needs for a picture width.
std::int64_t kzoJpegConvertBufferSize(std::int32_t width);

// Three planes as the scan left them (each at least its replication shifts
// away from the picture size) into width x height x 3 bytes R, G, B.
void kzoJpegConvertSubsampled(const kzoJpegComponent* components, std::int32_t width, std::int32_t height,
                              std::uint8_t* rgb, std::uint8_t* rowBuffer);

// Moves the rows of a one-component plane together: row y from y x stride to y x width.
void kzoJpegPackRows(kzoJpegComponent& component, std::int32_t width, std::int32_t height);
