// The four clippers: what they keep, where they cut, what a cut vertex
// carries, and that no polygon outgrows its nine slots.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "render/pipeline/Clip.hpp"
#include "tests/support/SceneBuilders.hpp"

namespace {

kzoViewPort viewPort1280x720()
{
    kzoViewPort vp;
    kzoInitViewPort(vp, peltoImage{nullptr, 1280, 720});
    return vp;
}

kzoVertex vertexAt(float x, float y, float z, float w)
{
    kzoVertex v{};
    v.position = {x, y, z, w};
    v.screenX = kzoRoundToInt(x);
    v.screenY = kzoRoundToInt(y);
    return v;
}

// A polygon with a normal and material index the clippers must carry over.
kzoPoly polygonOf(std::initializer_list<kzoVertex> vertices)
{
    kzoPoly p = ::polygonOf(vertices);
    p.normal = {0, 0, 1, 1};
    p.materialIndex = 7;
    return p;
}

bool sameVertex(const kzoVertex& a, const kzoVertex& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

using Clipper = bool (*)(kzoPoly&, const kzoPoly&, const kzoViewPort&);

TEST(Clip, TriangleInsideEveryPlanePassesEachClipperUnchanged)
{
    const kzoViewPort vp = viewPort1280x720();
    // Inside in clip space (0.1 <= z <= 1000, -1000 <= w <= -0.1) and on screen.
    const kzoPoly source = polygonOf({vertexAt(10, 20, 5, -2), vertexAt(1279, 30, 6, -3), vertexAt(40, 719, 7, -4)});
    for (const Clipper clip : {kzoClipDepth, kzoClipW, kzoClipX, kzoClipY}) {
        kzoPoly result{};
        ASSERT_TRUE(clip(result, source, vp));
        ASSERT_EQ(result.vertexCount, 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(sameVertex(result.vertices[i], source.vertices[i])) << i;
        EXPECT_EQ(result.materialIndex, 7);
        EXPECT_EQ(result.normal.z, 1.0f);
    }
}

TEST(Clip, VertexBeyondClipRightBecomesQuadWithTwoVerticesOnTheEdge)
{
    const kzoViewPort vp = viewPort1280x720();
    const kzoPoly source = polygonOf({vertexAt(1200, 100, 5, -2), vertexAt(1400, 200, 5, -2), vertexAt(1200, 300, 5, -2)});
    kzoPoly result{};
    ASSERT_TRUE(kzoClipX(result, source, vp));
    ASSERT_EQ(result.vertexCount, 4);
    // Walk order: vertex 0 kept, the cut on edge 0-1, the cut on edge 1-2, vertex 2.
    EXPECT_TRUE(sameVertex(result.vertices[0], source.vertices[0]));
    EXPECT_EQ(result.vertices[1].position.x, 1279.0f);
    EXPECT_EQ(result.vertices[2].position.x, 1279.0f);
    EXPECT_EQ(result.vertices[1].screenX, 1279);
    EXPECT_FLOAT_EQ(result.vertices[1].position.y, 139.5f);
    EXPECT_FLOAT_EQ(result.vertices[2].position.y, 260.5f);
    EXPECT_EQ(result.vertices[1].screenY, 140);
    EXPECT_TRUE(sameVertex(result.vertices[3], source.vertices[2]));
}

TEST(Clip, EachClipperCutsAtItsOwnBoundsAndDropsWhatLiesOutside)
{
    const kzoViewPort vp = viewPort1280x720();
    struct Case {
        const char* name;
        Clipper clip;
        kzoPoly source;
        int expectedCount;
        int axis;
        float bound; // every new vertex lies exactly here
    };
    const Case cases[] = {
        {"left of clipLeft", kzoClipX, polygonOf({vertexAt(-30, 10, 5, -2), vertexAt(-1, 10, 5, -2), vertexAt(-5, 90, 5, -2)}), 0, 0, 0},
        {"below clipBottom", kzoClipY, polygonOf({vertexAt(3, 720, 5, -2), vertexAt(9, 800, 5, -2), vertexAt(1, 721, 5, -2)}), 0, 1, 0},
        {"on clipLeft is inside", kzoClipX, polygonOf({vertexAt(0, 10, 5, -2), vertexAt(0, 20, 5, -2), vertexAt(30, 15, 5, -2)}), 3, 0, 0},
        {"nearer than near (w > -0.1)", kzoClipW, polygonOf({vertexAt(0, 0, 5, -0.05f), vertexAt(1, 0, 5, -0.05f), vertexAt(0, 1, 5, -0.01f)}), 0, 3, 0},
        {"straddles near", kzoClipW, polygonOf({vertexAt(0, 0, 5, -0.05f), vertexAt(1, 0, 5, -2), vertexAt(0, 1, 5, -2)}), 4, 3, -0.1f},
        {"straddles far (w < -1000)", kzoClipW, polygonOf({vertexAt(0, 0, 5, -2000), vertexAt(1, 0, 5, -2), vertexAt(0, 1, 5, -2)}), 4, 3, -1000},
        {"beyond depth far", kzoClipDepth, polygonOf({vertexAt(0, 0, 1001, -2), vertexAt(1, 0, 1002, -2), vertexAt(0, 1, 5000, -2)}), 0, 2, 0},
        {"straddles depth near", kzoClipDepth, polygonOf({vertexAt(0, 0, -1, -2), vertexAt(1, 0, 5, -2), vertexAt(0, 1, 5, -2)}), 4, 2, 0.1f},
        {"straddles both x planes", kzoClipX, polygonOf({vertexAt(-100, 10, 5, -2), vertexAt(1500, 10, 5, -2), vertexAt(640, 500, 5, -2)}), 5, 0, 0},
    };
    for (const Case& c : cases) {
        kzoPoly result{};
        ASSERT_TRUE(c.clip(result, c.source, vp)) << c.name;
        ASSERT_EQ(result.vertexCount, c.expectedCount) << c.name;
        if (c.expectedCount == 4) {
            const float cut1 = c.axis == 2 ? result.vertices[0].position.z : result.vertices[0].position.w;
            const float cut2 = c.axis == 2 ? result.vertices[1].position.z : result.vertices[1].position.w;
            EXPECT_EQ(cut1, c.bound) << c.name;
            EXPECT_EQ(cut2, c.bound) << c.name;
        }
    }
}

TEST(Clip, CutVertexInterpolatesEveryAttributeFromTheInsideEnd)
{
    const kzoViewPort vp = viewPort1280x720();
    kzoVertex outside = vertexAt(-10, 0, 5, -2);
    outside.texCoord = {0.0f, 1.0f};
    outside.normal = {1, 0, 0, 1};
    outside.colour = {0, 255, 10, 255};
    outside.spare[0] = 4.0f;
    kzoVertex in1 = vertexAt(10, 0, 5, -2);
    in1.texCoord = {1.0f, 0.0f};
    in1.colour = {255, 0, 11, 255};
    kzoVertex in2 = vertexAt(10, 100, 5, -2);
    in2.texCoord = {1.0f, 0.0f};
    in2.colour = {255, 0, 11, 255};
    const kzoPoly source = polygonOf({outside, in1, in2});
    kzoPoly result{};
    ASSERT_TRUE(kzoClipX(result, source, vp));
    ASSERT_EQ(result.vertexCount, 4);
    // Edge (prev = outside, cur = in1): t = (0 - 10) / (-10 - 10) = 0.5.
    const kzoVertex& cut = result.vertices[0];
    EXPECT_EQ(cut.position.x, 0.0f);
    EXPECT_EQ(cut.texCoord.x, 0.5f);
    EXPECT_EQ(cut.texCoord.y, 0.5f);
    EXPECT_EQ(cut.normal.x, 0.5f);
    EXPECT_EQ(cut.spare[0], 2.0f);
    // cur + Ceil((prev - cur) x t): 255 + Ceil(-127.5) = 128; 0 + Ceil(127.5) = 128;
    // 11 + Ceil(-0.5) = 11 (Ceil(-0.5) is -0).
    EXPECT_EQ(cut.colour.r, 128);
    EXPECT_EQ(cut.colour.g, 128);
    EXPECT_EQ(cut.colour.b, 11);
    EXPECT_EQ(cut.colour.a, 255);
    EXPECT_EQ(cut.screenX, 0);
}

kzoPoly regularPolygon(int n, float cx, float cy, float radius)
{
    kzoPoly p{};
    for (int i = 0; i < n; ++i) {
        const double a = 2 * 3.14159265358979 * i / n;
        p.vertices[i] = vertexAt(cx + radius * static_cast<float>(std::cos(a)), cy - radius * static_cast<float>(std::sin(a)), 5, -2);
    }
    p.vertexCount = n;
    return p;
}

TEST(Clip, PolygonThatWouldOutgrowTheNineSlotsIsRefusedNotOverrun)
{
    const kzoViewPort vp = viewPort1280x720();
    // A convex octagon across both x planes needs 8 + 2 = 10 vertices.
    const kzoPoly octagon = regularPolygon(8, 640, 360, 700);
    kzoPoly result{};
    result.vertexCount = 5;
    EXPECT_FALSE(kzoClipX(result, octagon, vp));
    EXPECT_EQ(result.vertexCount, 0);
    // A zigzag of 9 vertices alternating across clipLeft: every edge crosses.
    kzoPoly zigzag{};
    for (int i = 0; i < 9; ++i)
        zigzag.vertices[i] = vertexAt(i % 2 ? -50.0f : 50.0f, 10.0f * i, 5, -2);
    zigzag.vertexCount = 9;
    EXPECT_FALSE(kzoClipX(result, zigzag, vp));
    EXPECT_EQ(result.vertexCount, 0);
    // Six vertices across both planes fit: 6 + 2 = 8.
    EXPECT_TRUE(kzoClipX(result, regularPolygon(6, 640, 360, 700), vp));
    EXPECT_EQ(result.vertexCount, 8);
}

} // namespace
