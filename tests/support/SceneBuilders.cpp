#include "tests/support/SceneBuilders.hpp"

#include <vector>

kzoPoly makePolygon(std::initializer_list<Corner> corners, std::int32_t materialIndex)
{
    std::vector<kzoVertex> vertices;
    for (const Corner& c : corners) {
        kzoVertex v{};
        v.position.w = 1.0f;
        kzoMakeVertex(v, c.x, c.y, c.z, 0, 0, 0, c.u, c.v, 128, 128, 128, 255);
        vertices.push_back(v);
    }
    kzoPoly p{};
    kzoCreatePoly(p, vertices, materialIndex);
    return p;
}

kzoPoly makeTriangle(const Corner& a, const Corner& b, const Corner& c, std::int32_t materialIndex)
{
    return makePolygon({a, b, c}, materialIndex);
}

kzoPoly polygonOf(std::initializer_list<kzoVertex> vertices)
{
    kzoPoly p{};
    for (const kzoVertex& v : vertices)
        p.vertices[p.vertexCount++] = v;
    return p;
}

kzoObject makeObject(std::initializer_list<kzoPoly> polys)
{
    kzoObject obj;
    kzoInitObject(obj, "object", 0);
    for (const kzoPoly& p : polys)
        kzoAddPoly(obj, p);
    return obj;
}

kzoPoly boundToJoint(kzoPoly polygon, std::int32_t joint)
{
    for (kzoVertex& v : polygon.vertices) {
        v.influenceCount = 1;
        v.influences[0] = {joint, 1.0f};
    }
    return polygon;
}

std::vector<kzoPoly> polysOf(const kzoObject& obj)
{
    std::vector<kzoPoly> polys(kzoMeshPolyCount(obj.mesh));
    for (std::size_t i = 0; i < polys.size(); ++i)
        kzoMeshGetPoly(obj.mesh, i, polys[i]);
    return polys;
}

peltoImage makeCodedTexture(std::uint32_t width, std::uint32_t height)
{
    peltoImage texture;
    AllocImage(texture, width, height);
    for (std::uint32_t r = 0; r < height; ++r)
        for (std::uint32_t c = 0; c < width; ++c)
            texture.pixels[c + r * width] = codedTexel(c, r);
    return texture;
}

RenderTarget::RenderTarget(std::uint32_t width, std::uint32_t height)
{
    AllocImage(frame, width, height);
    kzoInitScene(scene, "test", frame, true);
}

RenderTarget::~RenderTarget()
{
    kzoFreeScene(scene);
    FreeImage(frame);
}

int RenderTarget::countNot(std::uint32_t value) const
{
    int n = 0;
    for (std::uint32_t i = 0; i < frame.width * frame.height; ++i)
        n += frame.pixels[i] != value ? 1 : 0;
    return n;
}

void RenderTarget::addTexturedMaterial(const peltoImage& texture)
{
    kzoMaterial mat;
    kzoInitMaterial(mat, "material-textured", 1);
    kzoSetMaterialTexture(mat, texture, "texture.jpg");
    kzoAddMaterial(scene, mat);
}
