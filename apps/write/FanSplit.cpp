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
    std::size_t triangles = 0;
    for (std::size_t i = 0; i < obj.polys.size(); ++i)
        triangles += fanSize(obj, i, obj.polys[i].vertexCount);
    if (triangles == obj.polys.size())
        return; // all triangles already

    const std::vector<kzoPoly> faces = std::move(obj.polys);
    kzoClearObject(obj);
    obj.polys.reserve(triangles);
    kzoPoly triangle{};
    for (const kzoPoly& face : faces) {
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
