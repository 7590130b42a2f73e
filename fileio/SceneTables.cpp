#include "fileio/SceneTables.hpp"
#include "fileio/SceneTablesPlain.hpp"

#include "fileio/ExportTables.hpp"

namespace {

// The plain algorithm: every corner added in order, then every corner searched
// from the start of the finished tables.
kzoObjectTables tabulateLinear(const kzoMesh& mesh, float zFactor)
{
    kzoLinearTable<kzoVector> positions;
    kzoLinearTable<kzoVector2> uvs;
    auto positionOf = [&](std::uint32_t v) {
        kzoVector p = mesh.positions[v];
        p.z = p.z * zFactor;
        return p;
    };
    for (const std::uint32_t v : mesh.corners) {
        positions.add(positionOf(v));
        uvs.add(mesh.texCoords[v]);
    }
    kzoObjectTables tables;
    tables.vertexPosition.assign(kzoMeshVertexCount(mesh), kzoNotInTable);
    tables.vertexUV.assign(kzoMeshVertexCount(mesh), kzoNotInTable);
    auto entry = [](std::int64_t found) { return found < 0 ? kzoNotInTable : static_cast<std::uint32_t>(found); };
    for (const std::uint32_t v : mesh.corners) {
        tables.vertexPosition[v] = entry(positions.find(positionOf(v)));
        tables.vertexUV[v] = entry(uvs.find(mesh.texCoords[v]));
    }
    tables.positions = positions.takeEntries();
    tables.uvs = uvs.takeEntries();
    return tables;
}

// The same tables from one look-up per distinct vertex: a vertex's value never
// changes, so the entry its first corner finds or adds serves every later
// corner. A value holding a NaN equals nothing: each of its corners adds a new
// entry, as in the plain algorithm. The adds that can change the table (first
// corners, and every corner of a NaN) are listed first, in corner order, so
// that the slot of an add some steps ahead can be fetched while one is made.
constexpr std::uint32_t unseen = 0xFFFFFFFEu;
constexpr std::uint32_t holdsNaN = 0xFFFFFFFDu;
constexpr std::size_t lookAhead = 48;

bool hasNaN(const kzoVector& v) { return v.x != v.x || v.y != v.y || v.z != v.z || v.w != v.w; }
bool hasNaN(const kzoVector2& v) { return v.x != v.x || v.y != v.y; }

template <class Value, class ValueOf>
std::vector<Value> tabulate(const std::vector<std::uint32_t>& corners, const ValueOf& valueOf,
                            std::vector<std::uint32_t>& entryOf)
{
    std::vector<std::uint32_t> adds;
    adds.reserve(entryOf.size());
    for (const std::uint32_t v : corners) {
        std::uint32_t& entry = entryOf[v];
        if (entry == unseen)
            entry = hasNaN(valueOf(v)) ? holdsNaN : kzoNotInTable;
        else if (entry != holdsNaN)
            continue;
        adds.push_back(v);
    }
    kzoHashedTable<Value> table;
    table.reserve(adds.size());
    for (std::size_t i = 0; i < adds.size(); ++i) {
        if (i + lookAhead < adds.size())
            __builtin_prefetch(table.slotFor(valueOf(adds[i + lookAhead])));
        const std::int64_t found = table.add(valueOf(adds[i]));
        if (found >= 0)
            entryOf[adds[i]] = static_cast<std::uint32_t>(found);
    }
    for (std::uint32_t& entry : entryOf)
        if (entry == holdsNaN || entry == unseen)
            entry = kzoNotInTable;
    return table.takeEntries();
}

kzoObjectTables tabulateHashed(const kzoMesh& mesh, float zFactor)
{
    kzoObjectTables tables;
    tables.vertexPosition.assign(kzoMeshVertexCount(mesh), unseen);
    tables.vertexUV.assign(kzoMeshVertexCount(mesh), unseen);
    const auto positionOf = [&](std::uint32_t v) {
        kzoVector p = mesh.positions[v];
        p.z = p.z * zFactor;
        return p;
    };
    const auto uvOf = [&](std::uint32_t v) { return mesh.texCoords[v]; };
    tables.positions = tabulate<kzoVector>(mesh.corners, positionOf, tables.vertexPosition);
    tables.uvs = tabulate<kzoVector2>(mesh.corners, uvOf, tables.vertexUV);
    return tables;
}

} // namespace

namespace {

template <class Tabulate>
kzoSceneTables tabulateScene(const kzoScene& scene, std::int16_t zFactor, Tabulate tabulateObject)
{
    kzoSceneTables tables;
    tables.zFactor = zFactor;
    for (const kzoObject& obj : scene.objects)
        tables.objects.push_back(tabulateObject(obj.mesh, zFactor));
    return tables;
}

} // namespace

kzoSceneTables kzoTabulateScene(const kzoScene& scene, std::int16_t zFactor)
{
    return tabulateScene(scene, zFactor, tabulateHashed);
}

kzoSceneTables kzoTabulateScenePlain(const kzoScene& scene, std::int16_t zFactor)
{
    return tabulateScene(scene, zFactor, tabulateLinear);
}
