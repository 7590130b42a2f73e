#pragma once
// Wavefront OBJ text for process tests: a model copied at another size.

#include <string>

// The OBJ text of source with the coordinates of every "v" line multiplied by
// factor (printed with nine significant digits); every other line as it is.
std::string scaledObjText(const std::string& sourcePath, double factor);
