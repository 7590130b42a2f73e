// libFuzzer target for the OBJ loader: any text either loads into an object
// whose polygons refer only to what the text defined, or is refused with a
// failure value; in both face modes the result equals the plain per-polygon
// route's (tests/support/ObjReference), polygon for polygon and bit for bit,
// and so does its tally of corners without texture indices.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "import/obj/LoadOBJ.hpp"
#include "tests/support/ObjReference.hpp"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void compare(std::string_view text, kzoObjFaces faces)
{
    const kzoObjLoad load = kzoParseOBJ(text, "fuzz.obj", 3, faces);
    const ObjReference reference = referenceOBJ(text, "fuzz.obj", 3, faces == kzoObjFaces::Triangles);
    check((load.failure ? load.failure->message : std::string()) == reference.failure);
    if (load.failure) {
        check(load.object.polyCount == 0 && kzoMeshPolyCount(load.object.mesh) == 0);
        return;
    }
    check(load.tally.facesWithoutUV == reference.facesWithoutUV);
    check(load.tally.firstFaceWithoutUVLine == reference.firstFaceWithoutUVLine);
    check(load.tally.cornersWithUV == reference.cornersWithUV);
    check(load.tally.facesWithoutUV <= load.tally.faces);
    for (const kzoObjMaterialUse& use : load.materials.used)
        check(!use.name.empty() && use.line >= 1);
    const kzoObject& obj = load.object;
    check(obj.polyCount == static_cast<std::int32_t>(kzoMeshPolyCount(obj.mesh)));
    check(reference.polygons.size() == kzoMeshPolyCount(obj.mesh));
    for (std::size_t f = 0; f < kzoMeshPolyCount(obj.mesh); ++f) {
        const kzoPoly poly = kzoMeshPoly(obj.mesh, f);
        check(poly.vertexCount >= 1 && poly.vertexCount <= kzoMaxVertex);
        check(faces == kzoObjFaces::Whole || poly.vertexCount == 3);
        check(poly.materialIndex == 3);
        for (int i = 0; i < poly.vertexCount; ++i)
            check(poly.vertices[i].position.w == 1.0f);
        check(std::memcmp(&poly, &reference.polygons[f], sizeof poly) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    compare(text, kzoObjFaces::Whole);
    compare(text, kzoObjFaces::Triangles);
    return 0;
}
