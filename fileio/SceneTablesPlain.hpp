#pragma once
// The plain search the writer's tables must match, for the tests that compare
// the two: every corner searched for from the start of each table, cost
// growing with the square of the model.

#include <cstdint>

#include "fileio/SceneTables.hpp"

// kzoTabulateScene by the plain search: the same tables, entries and indices.
kzoSceneTables kzoTabulateScenePlain(const kzoScene& scene, std::int16_t zFactor);
