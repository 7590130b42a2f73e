#include "render/pipeline/MeshDraw.hpp"

#include "render/pipeline/Clip.hpp"
#include "render/pipeline/PolyDraw.hpp"
#include "render/pipeline/ProjectVertices.hpp"
#include "render/pipeline/Surface.hpp"
#include "render/viewport/RenderScratch.hpp"

namespace {

// The clipper at shift, given a triangle it sees unchanged, leaves nothing:
// every corner fails its first plane (the first pass keeps nothing), or every
// corner passes the first and fails the second.
bool clippedAway(std::uint8_t all, int shift) { return (all >> shift & 3) != 0; }
bool cut(std::uint8_t any, int shift) { return (any >> shift & 3) != 0; }

// The first of a pair of clippers drops the triangle, or leaves it unchanged
// and the second drops it.
bool droppedByPair(std::uint8_t any, std::uint8_t all, int firstShift, int secondShift)
{
    return clippedAway(all, firstShift) || (!cut(any, firstShift) && clippedAway(all, secondShift));
}

// The clip-space point of mesh vertex v: position with w := 1, times mvp.
kzoVector clipPoint(const kzoMesh& mesh, std::uint32_t v, const kzoMatrix& mvp)
{
    const kzoVector& p = mesh.positions[v];
    return kzoTransform(mvp, {p.x, p.y, p.z, 1.0f});
}

void transformVertices(const kzoMesh& mesh, const kzoMatrix& mvp, const kzoViewPort& viewPort,
                       kzoRenderScratch& scratch)
{
    const std::size_t count = kzoMeshVertexCount(mesh);
    if (scratch.screen.size() < count) {
        scratch.screen.resize(count);
        scratch.outside.resize(count);
    }
    kzoProjectVerticesBest()(mesh.positions.data(), mesh.texCoords.data(), count, mvp, kzoVertexTargetOf(viewPort),
                             scratch.screen.data(), scratch.outside.data());
}

// Polygon e as the per-corner route builds it: every corner a whole vertex
// with its clip-space position. Vertex and face normals are left in model
// space: nothing after the transform reads them.
void drawClipped(const kzoMesh& mesh, std::size_t e, const kzoMatrix& mvp, const kzoSurface& surface,
                 const kzoViewPort& viewPort, kzoPoly& record)
{
    const std::span<const std::uint32_t> corners = kzoMeshCorners(mesh, e);
    for (std::size_t k = 0; k < corners.size(); ++k) {
        record.vertices[k] = kzoMeshVertex(mesh, corners[k]);
        record.vertices[k].position = clipPoint(mesh, corners[k], mvp);
    }
    record.vertexCount = mesh.vertexCounts[e];
    record.normal = mesh.faceNormals[e];
    record.materialIndex = mesh.materials[e];
    kzoDrawPolygonFast(record, surface, viewPort);
}

} // namespace

void kzoDrawMesh(const kzoScene& scene, const kzoObject& o, std::size_t count, const kzoMatrix& modelView,
                 const kzoMatrix& mvp, const kzoViewPort& viewPort)
{
    kzoRenderScratch& scratch = *viewPort.scratch;
    const kzoMesh& mesh = o.mesh;
    transformVertices(mesh, mvp, viewPort, scratch);
    const kzoRowKernels& rows = kzoBestRows();
    // Neighbouring polygons nearly always share a material: its surface is
    // looked up once per run of them.
    std::int32_t material = mesh.materials.empty() ? 0 : mesh.materials[0];
    kzoSurface unlit = kzoSurfaceAt(scene, material);
    for (std::size_t e = 0; e < count; ++e) {
        if (mesh.materials[e] != material) {
            material = mesh.materials[e];
            unlit = kzoSurfaceAt(scene, material);
        }
        // Lit only for a polygon that is drawn or clipped, not one culled.
        const auto surface = [&] { return kzoLitSurface(unlit, mesh.faceNormals[e], modelView); };
        const std::span<const std::uint32_t> corners = kzoMeshCorners(mesh, e);
        if (mesh.vertexCounts[e] != 3 || corners.size() != 3) {
            drawClipped(mesh, e, mvp, surface(), viewPort, scratch.source);
            continue;
        }
        const std::uint32_t a = corners[0], b = corners[1], c = corners[2];
        const std::uint8_t any = scratch.outside[a] | scratch.outside[b] | scratch.outside[c];
        const std::uint8_t all = scratch.outside[a] & scratch.outside[b] & scratch.outside[c];
        if (any & kzoClipSpaceBits) {
            if (!droppedByPair(any, all, kzoDepthShift, kzoWShift))
                drawClipped(mesh, e, mvp, surface(), viewPort, scratch.source);
            continue;
        }
        const kzoScreenVertex* const screen[3] = {&scratch.screen[a], &scratch.screen[b], &scratch.screen[c]};
        if (kzoScreenTriangleFacesAway(screen[0]->screenX, screen[0]->screenY, screen[1]->screenX,
                                       screen[1]->screenY, screen[2]->screenX, screen[2]->screenY))
            continue;
        if (any & kzoScreenBits) {
            if (!droppedByPair(any, all, kzoXShift, kzoYShift))
                drawClipped(mesh, e, mvp, surface(), viewPort, scratch.source);
            continue;
        }
        kzoFillScreenTriangle(screen, surface(), viewPort, rows);
    }
}
