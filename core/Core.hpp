#pragma once
// The geometry core: vectors, matrices, fixed point, vertices and polygons.
#include "core/Math.hpp"
#include "core/Poly.hpp"
