#pragma once
// The fan split of a polygon of n corners into the triangles (0, i, i + 1),
// i = 1 .. n - 2, in that order. The OBJ loader splits faces this way and the
// renderer draws a polygon that outgrows its slots while clipped this way: one
// function, so the two can never split a polygon differently.

#include <cstddef>

// triangle(first, second, third) for each triangle of the fan, with the corner
// positions 0 .. corners - 1; nothing for fewer than 3 corners.
template <class Triangle>
void kzoForEachFanTriangle(std::size_t corners, Triangle&& triangle)
{
    for (std::size_t i = 1; i + 1 < corners; ++i)
        triangle(std::size_t{0}, i, i + 1);
}
