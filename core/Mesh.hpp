#pragma once
// An indexed mesh: every distinct vertex once, and per polygon its vertex
// count, the indices of its corners, its face normal and its material.
//
// A vertex is split by use. Position and texture coordinate, all that a frame
// reads of most vertices, sit in tables of their own (24 bytes a vertex against
// the 148 of a kzoVertex); the normal beside them; the fields that a model's
// vertices nearly always share (colour, skinning influences, screen position,
// spare) in a table of distinct records that each vertex points into.
// A polygon read back (kzoMeshPoly) equals, field for field, the one added.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/Poly.hpp"

// The fields of a kzoVertex other than position, normal and texture coordinate.
struct kzoVertexDetail {
    float spare[2];
    kzoVertexColour colour;
    std::int32_t screenX, screenY;
    kzoInfluence influences[kzoPolySlots];
    std::int32_t influenceCount;
};
static_assert(sizeof(kzoVertexDetail) == 108);

// Open-addressing index of a table's rows by their bits: slots hold row + 1,
// 0 marks a free slot. Rows appended without it are taken in at the next
// lookup, so builders that know their vertices are distinct skip the hashing.
struct kzoRowIndex {
    std::vector<std::uint32_t> slots;
    std::size_t rows = 0; // rows of the table already in slots
};

struct kzoMesh {
    // Per vertex.
    std::vector<kzoVector> positions; // model space, w as given
    std::vector<kzoVector2> texCoords;
    std::vector<kzoVector> normals;
    std::vector<std::uint32_t> detailOf; // row in details

    // Distinct details, in order of first use.
    std::vector<kzoVertexDetail> details;

    // Per polygon. Its corners are corners[firstCorner[i] .. firstCorner[i + 1]):
    // one per used slot, min(max(vertexCount, 0), 9) of them. firstCorner holds
    // one entry more than there are polygons.
    std::vector<std::int32_t> vertexCounts;
    std::vector<std::uint32_t> firstCorner{0};
    std::vector<std::uint32_t> corners;
    std::vector<kzoVector> faceNormals;
    std::vector<std::int32_t> materials;

    // Building only: finds an equal vertex or detail in expected constant time.
    kzoRowIndex vertexIndex;
    kzoRowIndex detailIndex;
};

inline std::size_t kzoMeshPolyCount(const kzoMesh& mesh) { return mesh.vertexCounts.size(); }
inline std::size_t kzoMeshVertexCount(const kzoMesh& mesh) { return mesh.positions.size(); }

// The vertex indices of polygon i.
inline std::span<const std::uint32_t> kzoMeshCorners(const kzoMesh& mesh, std::size_t i)
{
    return {mesh.corners.data() + mesh.firstCorner[i], mesh.corners.data() + mesh.firstCorner[i + 1]};
}

// Room for this many vertices, polygons and corners without growing.
void kzoMeshReserve(kzoMesh& mesh, std::size_t vertices, std::size_t polygons, std::size_t corners);

// The row of details equal to detail bit for bit, appended when there is none.
std::uint32_t kzoMeshDetail(kzoMesh& mesh, const kzoVertexDetail& detail);

// Appends a vertex of these parts and details row as a new row; its index. For
// builders that make each vertex once from tables of their own: nothing is hashed.
inline std::uint32_t kzoMeshAppendVertexRow(kzoMesh& mesh, const kzoVector& position, const kzoVector2& texCoord,
                                            const kzoVector& normal, std::uint32_t detail)
{
    mesh.positions.push_back(position);
    mesh.texCoords.push_back(texCoord);
    mesh.normals.push_back(normal);
    mesh.detailOf.push_back(detail);
    return static_cast<std::uint32_t>(mesh.positions.size() - 1);
}

// Appends vertex as a new row, whether or not an equal one exists; its index.
std::uint32_t kzoMeshAppendVertex(kzoMesh& mesh, const kzoVertex& vertex);

// The index of the vertex equal to vertex bit for bit, appended when there is none.
std::uint32_t kzoMeshFindOrAppendVertex(kzoMesh& mesh, const kzoVertex& vertex);

// Appends a polygon of the given corners (indices of vertices already in the
// mesh, at most kzoPolySlots). vertexCount is what reading it back gives: it is
// corners.size() but for a polygon added with a count outside 0..9.
inline void kzoMeshAppendPolygon(kzoMesh& mesh, std::span<const std::uint32_t> corners, std::int32_t vertexCount,
                                 const kzoVector& normal, std::int32_t materialIndex)
{
    for (const std::uint32_t corner : corners)
        mesh.corners.push_back(corner);
    mesh.firstCorner.push_back(static_cast<std::uint32_t>(mesh.corners.size()));
    mesh.vertexCounts.push_back(vertexCount);
    mesh.faceNormals.push_back(normal);
    mesh.materials.push_back(materialIndex);
}

// Appends a full copy of polygon: its used slots become vertices (shared with
// equal ones), its count, normal and material the polygon's own.
void kzoMeshAddPoly(kzoMesh& mesh, const kzoPoly& polygon);

// Vertex v as a whole record.
kzoVertex kzoMeshVertex(const kzoMesh& mesh, std::uint32_t v);

// Polygon i as a whole record: the used slots as added, the others zero.
void kzoMeshGetPoly(const kzoMesh& mesh, std::size_t i, kzoPoly& polygon);
kzoPoly kzoMeshPoly(const kzoMesh& mesh, std::size_t i);

// Drops every vertex and polygon; the storage is kept for reuse.
void kzoMeshClear(kzoMesh& mesh);
