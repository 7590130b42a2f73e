#pragma once
// The converter's step between loading and writing: the scene file holds
// triangles only, while the OBJ loader keeps every face whole.

#include "scene/Obj.hpp"

// Replaces every polygon of 4 to 8 vertices by the fan of triangles (0, i, i+1)
// in vertex order, each with the polygon's material index; triangles stay as
// they are, in place. A polygon of 1 or 2 vertices stops through FatalError
// naming the object (the OBJ path) and the face's number.
void SplitIntoTriangles(kzoObject& obj);
