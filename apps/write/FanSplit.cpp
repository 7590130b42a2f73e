#include "apps/write/FanSplit.hpp"

#include <string>

#include "pelto/Log.hpp"
#include "pelto/Support.hpp"

namespace {

// Triangles a polygon of n vertices becomes; refuses what no triangle covers.
std::size_t fanSize(const kzoObject& obj, std::size_t face, int n)
{
    if (n >= 3)
        return static_cast<std::size_t>(n - 2);
    FatalError(PathTail(obj.name) + ": face " + std::to_string(face + 1) + " has " + std::to_string(n) +
               (n == 1 ? " corner" : " corners") + "; kzoWrite converts faces of 3 to 8 corners");
}

} // namespace

void SplitIntoTriangles(kzoObject& obj)
{
    const kzoMesh& mesh = obj.mesh;
    std::size_t triangles = 0;
    for (std::size_t i = 0; i < kzoMeshPolyCount(mesh); ++i)
        triangles += fanSize(obj, i, mesh.vertexCounts[i]);
    if (triangles == kzoMeshPolyCount(mesh))
        return; // all triangles already

    kzoMesh faces = std::move(obj.mesh);
    kzoClearObject(obj);
    kzoMeshReserve(obj.mesh, kzoMeshVertexCount(faces), triangles, 3 * triangles);
    kzoPoly face{}, triangle{};
    for (std::size_t f = 0; f < kzoMeshPolyCount(faces); ++f) {
        kzoMeshGetPoly(faces, f, face);
        if (face.vertexCount == 3) {
            kzoAddPoly(obj, face);
            continue;
        }
        for (int i = 1; i + 1 < face.vertexCount; ++i) {
            const kzoVertex corners[3] = {face.vertices[0], face.vertices[i], face.vertices[i + 1]};
            kzoCreatePoly(triangle, corners, face.materialIndex);
            kzoAddPoly(obj, triangle);
        }
    }
}
