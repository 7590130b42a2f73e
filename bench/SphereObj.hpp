#pragma once
// A textured UV sphere as Wavefront OBJ text, for benchmarks (generated, never
// committed): rows x (segments + 1) vertices, the seam column repeated so that
// u runs 0..1 and v 0..1, each with its texture coordinate and unit normal;
// every quad of the grid as two triangles, those at the poles of no area, so
// 2 x segments x (rows - 1) triangles: 1000 x 501 gives exactly 1,000,000.
// Values are written with six decimals, as most exporters do.

#include <string>

std::string SphereObjText(int segments, int rows, double radius);
