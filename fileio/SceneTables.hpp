#pragma once
// What the scene file stores of each object, gathered in one pass over its
// corners: the table of distinct positions (z already times the Z factor), the
// table of distinct texture coordinates, both in order of first appearance
// (ExportTables.hpp says which values are equal), and for every vertex of the
// mesh the entries its corners are written as. The encoding choice and the
// writer both read these tables; nothing is searched twice.

#include <cstdint>
#include <vector>

#include "scene/Scene.hpp"

// The entry of a vertex whose value holds a NaN: equal to nothing, never found.
inline constexpr std::uint32_t kzoNotInTable = 0xFFFFFFFFu;

struct kzoObjectTables {
    std::vector<kzoVector> positions;
    std::vector<kzoVector2> uvs;
    // Per mesh vertex: its position entry and texture coordinate entry
    // (kzoNotInTable for a NaN); the same for every corner that uses it.
    std::vector<std::uint32_t> vertexPosition;
    std::vector<std::uint32_t> vertexUV;
};

struct kzoSceneTables {
    std::int16_t zFactor = 1;
    std::vector<kzoObjectTables> objects; // in the scene's object order
};

// The tables of every object as the writer will store them after multiplying
// every z by zFactor; the scene is not changed. Each distinct vertex is looked
// up once, in expected constant time (SceneTablesPlain.hpp holds the plain
// search it must match).
kzoSceneTables kzoTabulateScene(const kzoScene& scene, std::int16_t zFactor);
