#include "core/Mesh.hpp"

#include <algorithm>
#include <cstring>

namespace {

// 32-bit words of a record, mixed one at a time (multiply-xor), then the final
// mix of splitmix64 so that the low bits, which pick the slot, depend on all.
class Hash {
public:
    template <class T>
    Hash& add(const T& value)
    {
        static_assert(sizeof(T) % 4 == 0);
        std::uint32_t words[sizeof(T) / 4];
        std::memcpy(words, &value, sizeof words);
        for (const std::uint32_t w : words)
            h_ = (h_ ^ w) * 0x100000001B3ull;
        return *this;
    }
    std::uint64_t value() const
    {
        std::uint64_t h = h_;
        h ^= h >> 31;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
        return h;
    }

private:
    std::uint64_t h_ = 0x9E3779B97F4A7C15ull;
};

template <class T>
bool sameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Places row in the first free slot of its probe run.
template <class HashOf>
void insertRow(kzoRowIndex& index, std::uint32_t row, const HashOf& hashOf)
{
    const std::size_t mask = index.slots.size() - 1;
    std::size_t slot = hashOf(row) & mask;
    while (index.slots[slot] != 0)
        slot = (slot + 1) & mask;
    index.slots[slot] = row + 1;
}

// Brings the index up to rows (plus one about to be added) at a load of at
// most one half, so probe runs stay short; doubling keeps growth amortised.
template <class HashOf>
void catchUp(kzoRowIndex& index, std::size_t rows, const HashOf& hashOf)
{
    if ((rows + 1) * 2 > index.slots.size()) {
        std::size_t size = std::max<std::size_t>(index.slots.size(), 32);
        while ((rows + 1) * 2 > size)
            size *= 2;
        index.slots.assign(size, 0);
        index.rows = 0;
    }
    for (; index.rows < rows; ++index.rows)
        insertRow(index, static_cast<std::uint32_t>(index.rows), hashOf);
}

// The row whose bits equal the candidate's, or the row the caller appends
// (rows) after the candidate was placed in the index.
template <class HashOf, class Equal>
std::uint32_t findOrReserve(kzoRowIndex& index, std::size_t rows, std::uint64_t hash, const HashOf& hashOf,
                            const Equal& equalsRow)
{
    catchUp(index, rows, hashOf);
    const std::size_t mask = index.slots.size() - 1;
    std::size_t slot = hash & mask;
    for (; index.slots[slot] != 0; slot = (slot + 1) & mask)
        if (equalsRow(index.slots[slot] - 1))
            return index.slots[slot] - 1;
    index.slots[slot] = static_cast<std::uint32_t>(rows) + 1;
    index.rows = rows + 1;
    return static_cast<std::uint32_t>(rows);
}

kzoVertexDetail detailOf(const kzoVertex& v)
{
    kzoVertexDetail d;
    std::memcpy(d.spare, v.spare, sizeof d.spare);
    d.colour = v.colour;
    d.screenX = v.screenX;
    d.screenY = v.screenY;
    std::memcpy(d.influences, v.influences, sizeof d.influences);
    d.influenceCount = v.influenceCount;
    return d;
}

std::uint64_t hashDetail(const kzoVertexDetail& d) { return Hash().add(d).value(); }

std::uint64_t hashVertex(const kzoVector& position, const kzoVector2& texCoord, const kzoVector& normal,
                         std::uint32_t detail)
{
    return Hash().add(position).add(texCoord).add(normal).add(detail).value();
}

std::uint32_t findOrAppendDetail(kzoMesh& mesh, const kzoVertexDetail& detail)
{
    const auto hashOf = [&](std::uint32_t row) { return hashDetail(mesh.details[row]); };
    const auto equals = [&](std::uint32_t row) { return sameBits(mesh.details[row], detail); };
    const std::uint32_t row = findOrReserve(mesh.detailIndex, mesh.details.size(), hashDetail(detail), hashOf, equals);
    if (row == mesh.details.size())
        mesh.details.push_back(detail);
    return row;
}

void appendRow(kzoMesh& mesh, const kzoVertex& vertex, std::uint32_t detail)
{
    mesh.positions.push_back(vertex.position);
    mesh.texCoords.push_back(vertex.texCoord);
    mesh.normals.push_back(vertex.normal);
    mesh.detailOf.push_back(detail);
}

} // namespace

void kzoMeshReserve(kzoMesh& mesh, std::size_t vertices, std::size_t polygons, std::size_t corners)
{
    mesh.positions.reserve(vertices);
    mesh.texCoords.reserve(vertices);
    mesh.normals.reserve(vertices);
    mesh.detailOf.reserve(vertices);
    mesh.vertexCounts.reserve(polygons);
    mesh.firstCorner.reserve(polygons + 1);
    mesh.faceNormals.reserve(polygons);
    mesh.materials.reserve(polygons);
    mesh.corners.reserve(corners);
}

std::uint32_t kzoMeshDetail(kzoMesh& mesh, const kzoVertexDetail& detail)
{
    return findOrAppendDetail(mesh, detail);
}

std::uint32_t kzoMeshAppendVertex(kzoMesh& mesh, const kzoVertex& vertex)
{
    appendRow(mesh, vertex, findOrAppendDetail(mesh, detailOf(vertex)));
    return static_cast<std::uint32_t>(mesh.positions.size() - 1);
}

std::uint32_t kzoMeshFindOrAppendVertex(kzoMesh& mesh, const kzoVertex& vertex)
{
    const std::uint32_t detail = findOrAppendDetail(mesh, detailOf(vertex));
    const auto hashOf = [&](std::uint32_t row) {
        return hashVertex(mesh.positions[row], mesh.texCoords[row], mesh.normals[row], mesh.detailOf[row]);
    };
    const auto equals = [&](std::uint32_t row) {
        return mesh.detailOf[row] == detail && sameBits(mesh.positions[row], vertex.position)
               && sameBits(mesh.texCoords[row], vertex.texCoord) && sameBits(mesh.normals[row], vertex.normal);
    };
    const std::uint64_t hash = hashVertex(vertex.position, vertex.texCoord, vertex.normal, detail);
    const std::uint32_t row = findOrReserve(mesh.vertexIndex, mesh.positions.size(), hash, hashOf, equals);
    if (row == mesh.positions.size())
        appendRow(mesh, vertex, detail);
    return row;
}

void kzoMeshAddPoly(kzoMesh& mesh, const kzoPoly& polygon)
{
    const int used = std::clamp(polygon.vertexCount, 0, kzoPolySlots);
    std::uint32_t corners[kzoPolySlots];
    for (int i = 0; i < used; ++i)
        corners[i] = kzoMeshFindOrAppendVertex(mesh, polygon.vertices[i]);
    kzoMeshAppendPolygon(mesh, {corners, static_cast<std::size_t>(used)}, polygon.vertexCount, polygon.normal,
                         polygon.materialIndex);
}

kzoVertex kzoMeshVertex(const kzoMesh& mesh, std::uint32_t v)
{
    const kzoVertexDetail& d = mesh.details[mesh.detailOf[v]];
    kzoVertex vertex;
    vertex.position = mesh.positions[v];
    vertex.normal = mesh.normals[v];
    vertex.texCoord = mesh.texCoords[v];
    std::memcpy(vertex.spare, d.spare, sizeof vertex.spare);
    vertex.colour = d.colour;
    vertex.screenX = d.screenX;
    vertex.screenY = d.screenY;
    std::memcpy(vertex.influences, d.influences, sizeof vertex.influences);
    vertex.influenceCount = d.influenceCount;
    return vertex;
}

void kzoMeshGetPoly(const kzoMesh& mesh, std::size_t i, kzoPoly& polygon)
{
    const std::span<const std::uint32_t> corners = kzoMeshCorners(mesh, i);
    for (std::size_t k = 0; k < corners.size(); ++k)
        polygon.vertices[k] = kzoMeshVertex(mesh, corners[k]);
    std::memset(static_cast<void*>(polygon.vertices + corners.size()), 0,
                (kzoPolySlots - corners.size()) * sizeof(kzoVertex));
    polygon.vertexCount = mesh.vertexCounts[i];
    polygon.normal = mesh.faceNormals[i];
    polygon.materialIndex = mesh.materials[i];
}

kzoPoly kzoMeshPoly(const kzoMesh& mesh, std::size_t i)
{
    kzoPoly polygon;
    kzoMeshGetPoly(mesh, i, polygon);
    return polygon;
}

void kzoMeshClear(kzoMesh& mesh)
{
    mesh.positions.clear();
    mesh.texCoords.clear();
    mesh.normals.clear();
    mesh.detailOf.clear();
    mesh.details.clear();
    mesh.vertexCounts.clear();
    mesh.firstCorner.assign(1, 0);
    mesh.corners.clear();
    mesh.faceNormals.clear();
    mesh.materials.clear();
    mesh.vertexIndex = {};
    mesh.detailIndex = {};
}
