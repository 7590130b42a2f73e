// The viewport for a 1280 x 720 frame: bounds, projection, depth buffer,
// shared storage and the projection of clip-space vertices.

#include <gtest/gtest.h>

#include "render/viewport/ViewPort.hpp"

namespace {

kzoViewPort viewPort1280x720()
{
    kzoViewPort vp;
    kzoInitViewPort(vp, peltoImage{nullptr, 1280, 720});
    return vp;
}

TEST(ViewPort, BoundsCentreAndBuffersOfA1280x720Frame)
{
    const kzoViewPort vp = viewPort1280x720();
    EXPECT_EQ(vp.width, 1280u);
    EXPECT_EQ(vp.height, 720u);
    EXPECT_EQ(vp.clipLeft, 0u);
    EXPECT_EQ(vp.clipRight, 1279u);
    EXPECT_EQ(vp.clipTop, 0u);
    EXPECT_EQ(vp.clipBottom, 719u);
    EXPECT_EQ(vp.near, 0.1f);
    EXPECT_EQ(vp.far, 1000.0f);
    EXPECT_EQ(vp.centerX, 640.0f);
    EXPECT_EQ(vp.centerY, 360.0f);
    EXPECT_EQ(vp.depthClearLimit, -2147479644);
    EXPECT_EQ(vp.depthClearCounter, 0);
    ASSERT_EQ(vp.depthBuffer.size(), 921600u);
    for (const float depth : vp.depthBuffer)
        ASSERT_EQ(depth, 0.1f);
    EXPECT_EQ(vp.leftSide.size(), 720u);
    EXPECT_EQ(vp.rightSide.size(), 720u);
    EXPECT_EQ(vp.leftSide[719].offset, 0);
}

TEST(ViewPort, ProjectionOfA1280x720Frame)
{
    const kzoMatrix& p = viewPort1280x720().projection;
    EXPECT_EQ(p[0][0], 0.5625f);
    EXPECT_EQ(p[1][1], 1.0f);
    EXPECT_EQ(p[2][2], -1.0001999139785767f);
    EXPECT_EQ(p[2][3], (2000.0f * 0.1f) / (1000.0f - 0.1f));
    EXPECT_NEAR(p[2][3], 0.20002f, 1e-7);
    EXPECT_EQ(p[3][2], 1.0f);
    EXPECT_EQ(p[3][3], 0.0f);
    EXPECT_EQ(p[0][1], 0.0f);
    EXPECT_EQ(p[3][0], 0.0f);
}

TEST(ViewPort, ProjectsViewSpacePointsToPixels)
{
    const kzoViewPort vp = viewPort1280x720();
    const struct {
        kzoVector view;
        float x, y;
        std::int32_t pixelX, pixelY;
    } cases[] = {
        {kzoMakeVector(1, 0, -10), 819.982f, 360, 820, 360},
        {kzoMakeVector(0, 1, -10), 640, 180.018f, 640, 180},
    };
    for (const auto& c : cases) {
        kzoVertex v{};
        v.position = kzoTransform(vp.projection, c.view);
        v.texCoord = {0.5f, 1.0f};
        v.colour = {1, 2, 3, 4};
        const kzoVertex s = kzoProjectVertex(v, vp.centerX, vp.centerY);
        EXPECT_NEAR(s.position.x, c.x, 1e-3);
        EXPECT_NEAR(s.position.y, c.y, 1e-3);
        EXPECT_NEAR(s.position.z, 5.50045f, 1e-5);
        EXPECT_NEAR(s.position.w, 0.49995f, 1e-5);
        EXPECT_EQ(s.texCoord.x, 0.5f * s.position.w);
        EXPECT_EQ(s.texCoord.y, s.position.w);
        EXPECT_EQ(s.screenX, c.pixelX);
        EXPECT_EQ(s.screenY, c.pixelY);
        EXPECT_EQ(s.colour.b, 3);
    }
}

TEST(ViewPort, DepthGrowsTowardsTheEye)
{
    const kzoViewPort vp = viewPort1280x720();
    float previous = 0;
    for (const float d : {1000.0f, 100.0f, 10.0f, 1.0f, 0.5f}) {
        kzoVertex v{};
        v.position = kzoTransform(vp.projection, kzoMakeVector(0, 0, -d));
        const float depth = kzoProjectVertex(v, vp.centerX, vp.centerY).position.z;
        EXPECT_GT(depth, previous) << d;
        EXPECT_GT(depth, vp.near);
        previous = depth;
    }
}

TEST(ViewPort, CopiesShareTheDepthBufferAndSideTables)
{
    kzoViewPort vp = viewPort1280x720();
    kzoViewPort working = vp;
    working.depthBuffer[1234] = 7.5f;
    working.leftSide[3].offset = 99;
    EXPECT_EQ(vp.depthBuffer[1234], 7.5f);
    EXPECT_EQ(vp.leftSide[3].offset, 99);
    EXPECT_TRUE(vp.rightSide.sharesWith(working.rightSide));
}

TEST(ViewPort, EveryFrameStartsWithAClearedDepthBuffer)
{
    kzoViewPort vp = viewPort1280x720();
    for (int frame = 0; frame < 2; ++frame) {
        vp.depthBuffer[0] = 9;
        vp.depthBuffer[921599] = 9;
        kzoStartFrame(vp);
        EXPECT_EQ(vp.depthBuffer[0], 0.1f);
        EXPECT_EQ(vp.depthBuffer[921599], 0.1f);
        EXPECT_EQ(vp.depthClearCounter, 0);
    }
}

} // namespace
