#pragma once
// Small in-memory scenes for renderer tests and benchmarks: triangles, a frame
// buffer with a scene bound to it, and textures made with AllocImage.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "scene/Scene.hpp"

// A triangle of model points with texture coordinates, material materialIndex.
struct Corner {
    float x, y, z, u, v;
};
kzoPoly makeTriangle(const Corner& a, const Corner& b, const Corner& c, std::int32_t materialIndex = 0);

// A polygon of 1..8 corners.
kzoPoly makePolygon(std::initializer_list<Corner> corners, std::int32_t materialIndex = 0);

kzoObject makeObject(std::initializer_list<kzoPoly> polys);

// polygon with every vertex slot bound to joint at weight 1.
kzoPoly boundToJoint(kzoPoly polygon, std::int32_t joint);

// Every polygon of obj read back as a whole record, in order.
std::vector<kzoPoly> polysOf(const kzoObject& obj);

// A polygon of the given vertices as they are (no normal computed, material 0):
// for clippers and the rasterizer, which take vertices already transformed.
kzoPoly polygonOf(std::initializer_list<kzoVertex> vertices);

// A texture whose texel (c, r) is 0xFF000000 | r << 12 | c: every texel distinct.
peltoImage makeCodedTexture(std::uint32_t width, std::uint32_t height);
inline std::uint32_t codedTexel(std::uint32_t column, std::uint32_t row) { return 0xFF000000u | row << 12 | column; }

// A frame of width x height pixels with a scene bound to it (no camera yet).
// Frees the frame and every texture of the scene.
struct RenderTarget {
    peltoImage frame;
    kzoScene scene;

    RenderTarget(std::uint32_t width, std::uint32_t height);
    ~RenderTarget();
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    std::uint32_t at(int x, int y) const { return frame.pixels[y * static_cast<int>(frame.width) + x]; }
    int countNot(std::uint32_t value) const;
    void addTexturedMaterial(const peltoImage& texture);
};
