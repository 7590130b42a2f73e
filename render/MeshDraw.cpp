#include "render/MeshDraw.hpp"

#include "render/Clip.hpp"
#include "render/PolyDraw.hpp"
#include "render/RenderScratch.hpp"
#include "render/Surface.hpp"

namespace {

// Two bits per clipper, in pipeline order (depth, w, x, y): F, the vertex
// fails the plane the clipper cuts first (NaN fails every plane); S, it passes
// that one and fails the second.
constexpr int depthShift = 0, wShift = 2, xShift = 4, yShift = 6;
constexpr std::uint8_t clipSpaceBits = 0x0F, screenBits = 0xF0;

// The clippers' own comparisons (>= low, <= high), in their order.
std::uint8_t outsideBits(float c, const kzoClipPlanes& planes, int shift)
{
    const bool first = planes.highFirst ? c <= planes.high : c >= planes.low;
    const bool second = planes.highFirst ? c >= planes.low : c <= planes.high;
    const int bits = !first ? 1 : !second ? 2 : 0;
    return static_cast<std::uint8_t>(bits << shift);
}

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
    const kzoClipPlanes depth = kzoDepthPlanes(viewPort), w = kzoWPlanes(viewPort);
    const kzoClipPlanes x = kzoXPlanes(viewPort), y = kzoYPlanes(viewPort);
    for (std::size_t v = 0; v < count; ++v) {
        const kzoVector clip = clipPoint(mesh, static_cast<std::uint32_t>(v), mvp);
        const kzoProjectedPoint p = kzoProjectPoint(clip, mesh.texCoords[v], viewPort.centerX, viewPort.centerY);
        scratch.screen[v] = p.vertex;
        scratch.outside[v] = static_cast<std::uint8_t>(outsideBits(clip.z, depth, depthShift)
                                                       | outsideBits(clip.w, w, wShift)
                                                       | outsideBits(p.x, x, xShift) | outsideBits(p.y, y, yShift));
    }
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
        const kzoSurface surface = kzoLitSurface(unlit, mesh.faceNormals[e], modelView);
        const std::span<const std::uint32_t> corners = kzoMeshCorners(mesh, e);
        if (mesh.vertexCounts[e] != 3 || corners.size() != 3) {
            drawClipped(mesh, e, mvp, surface, viewPort, scratch.source);
            continue;
        }
        const std::uint32_t a = corners[0], b = corners[1], c = corners[2];
        const std::uint8_t any = scratch.outside[a] | scratch.outside[b] | scratch.outside[c];
        const std::uint8_t all = scratch.outside[a] & scratch.outside[b] & scratch.outside[c];
        if (any & clipSpaceBits) {
            if (!droppedByPair(any, all, depthShift, wShift))
                drawClipped(mesh, e, mvp, surface, viewPort, scratch.source);
            continue;
        }
        const kzoScreenVertex screen[3] = {scratch.screen[a], scratch.screen[b], scratch.screen[c]};
        if (kzoScreenTriangleFacesAway(screen[0].screenX, screen[0].screenY, screen[1].screenX, screen[1].screenY,
                                       screen[2].screenX, screen[2].screenY))
            continue;
        if (any & screenBits) {
            if (!droppedByPair(any, all, xShift, yShift))
                drawClipped(mesh, e, mvp, surface, viewPort, scratch.source);
            continue;
        }
        kzoFillScreenTriangle(screen, surface, viewPort, rows);
    }
}
