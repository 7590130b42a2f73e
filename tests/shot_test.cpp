// kzoShot as a real process in a scratch directory: the bundled sample
// through kzoWrite and kzoShot, a hand-built quad, where they land and which
// texels they show, how held keys and the frame size change the picture, and
// the exit codes and messages of failed runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <png.h>
#include <string_view>

#include "import/image/ImageFile.hpp"
#include "pelto/base/Image.hpp"
#include "tests/support/ObjText.hpp"
#include "tests/support/Process.hpp"
#include "tests/support/RgbPng.hpp"
#include "tests/support/SceneBytes.hpp"
#include "tests/support/Scratch.hpp"
#include "tests/support/TestPng.hpp"

namespace {

const std::string shot = std::string(KZO_BINARY_DIR) + "/kzoShot";
const std::string writer = std::string(KZO_BINARY_DIR) + "/kzoWrite";
const std::string sampleObj = std::string(KZO_SOURCE_DIR) + "/assets/sample.obj";
const std::string sampleJpg = std::string(KZO_SOURCE_DIR) + "/assets/sample.jpg";

// Digits, a point and exactly three digits.
bool threeDecimals(std::string_view text)
{
    const std::size_t point = text.find('.');
    if (point == 0 || point == std::string_view::npos || text.size() != point + 4)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i != point && !std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

// "rendered N frames in T ms (M ms per frame)" with T and M to three decimals.
bool timingLine(std::string_view line, long frames)
{
    const std::string head = "rendered " + std::to_string(frames) + " frames in ";
    if (line.substr(0, head.size()) != head)
        return false;
    line.remove_prefix(head.size());
    const std::size_t ms = line.find(" ms (");
    const std::string_view tail = " ms per frame)";
    if (ms == std::string_view::npos || line.size() < tail.size() || line.substr(line.size() - tail.size()) != tail)
        return false;
    return threeDecimals(line.substr(0, ms))
           && threeDecimals(line.substr(ms + 5, line.size() - tail.size() - (ms + 5)));
}

// The sample converted in dir: dir/test.kzo.
void convertSample(const ScratchDir& dir)
{
    const ProcessResult r = runProcess(writer, {sampleObj, sampleJpg}, inDirectory(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_TRUE(fileExists(dir.file("test.kzo")));
}

RgbImage shoot(const ScratchDir& dir, const std::vector<std::string>& options, ProcessResult* result = nullptr)
{
    std::vector<std::string> args = options;
    args.insert(args.end(), {"test.kzo", "out.png"});
    const ProcessResult r = runProcess(shot, args, inDirectory(dir.path()));
    if (result)
        *result = r;
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    return readPng(dir.file("out.png"));
}

// A textured square of side 4 at z = 0 facing the camera, UV (0, 0) at its
// top-left corner, written by hand in the converter's encodings: at 90 pixels
// per unit it spans columns 460..819 and rows 180..539 of a 1280 x 720 frame.
const std::string quadTexture = std::string(KZO_SHARED_DIR) + "/jpeg/photo_160x120_444_q90.jpg";

void writeQuadScene(const ScratchDir& dir)
{
    SceneFileBytes f;
    f.header(4096, 1, 1, -1).sceneSection("quad", 1, 1).material("material-textured", 128, 128, 128, quadTexture);
    f.str("square").i32(2).i32(0).i32(4);
    for (const auto& [x, y] : {std::pair{-2, 2}, std::pair{-2, -2}, std::pair{2, -2}, std::pair{2, 2}})
        f.i16(static_cast<std::int16_t>(x * 4096)).i16(static_cast<std::int16_t>(y * 4096)).i16(0);
    f.align().i32(4);
    for (const auto& [u, v] : {std::pair{0, 0}, std::pair{0, 119}, std::pair{159, 119}, std::pair{159, 0}})
        f.u8(static_cast<std::uint8_t>(u)).u8(static_cast<std::uint8_t>(v));
    for (const std::uint16_t corner : {0, 1, 2, 0, 2, 3})
        f.u16(corner).u16(corner);
    f.align().align();
    writeFile(dir.file("test.kzo"), f.bytes);
}

// Leftmost and one past the rightmost drawn column of row y.
std::pair<int, int> rowExtent(const RgbImage& image, std::uint32_t y)
{
    int left = -1, right = -1;
    for (std::uint32_t x = 0; x < image.width; ++x)
        if (image.at(x, y) != 0) {
            if (left < 0)
                left = static_cast<int>(x);
            right = static_cast<int>(x) + 1;
        }
    return {left, right};
}

TEST(Shot, QuadSceneLandsWhereTheViewerCameraPutsIt)
{
    ScratchDir dir;
    writeQuadScene(dir);
    ProcessResult r;
    const RgbImage image = shoot(dir, {}, &r);
    ASSERT_EQ(image.width, 1280u);
    ASSERT_EQ(image.height, 720u);
    const std::vector<std::string> lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 12u) << r.out;
    EXPECT_EQ(lines.front(), "Loading file test.kzo");
    EXPECT_TRUE(timingLine(lines.back(), 1)) << lines.back();
    EXPECT_FALSE(timingLine("rendered 1 frames in 2.5 ms (2.500 ms per frame)", 1));
    EXPECT_EQ(rowExtent(image, 360), (std::pair{460, 820}));
    EXPECT_EQ(image.at(640, 179), 0u);
    EXPECT_NE(image.at(640, 180), 0u);
    EXPECT_NE(image.at(640, 539), 0u);
    EXPECT_EQ(image.at(640, 540), 0u);
    // The top-left corner carries UV (0, 0): texel (0, 0) of the texture.
    peltoImage texture;
    LoadImage(texture, quadTexture);
    EXPECT_EQ(image.at(460, 180), texture.pixels[0] & 0xFFFFFF);
    FreeImage(texture);
}

TEST(Shot, HeldKeysMoveTheQuadLikeTheViewer)
{
    ScratchDir dir;
    writeQuadScene(dir);
    // Up for 30 frames: 3 units nearer, 17 from the eye: 360 / (0.20002 x 17)
    // = 105.9 pixels per unit, so x = +-2 lands at 428.3 and 851.7.
    const RgbImage nearer = shoot(dir, {"--frames", "30", "--hold", "up=30"});
    EXPECT_EQ(rowExtent(nearer, 360), (std::pair{428, 852}));
    // Right for 10 frames: the object moves by -1 along x, 90 pixels left.
    const RgbImage moved = shoot(dir, {"--frames", "12", "--hold", "right=10"});
    EXPECT_EQ(rowExtent(moved, 360), (std::pair{370, 730}));
}

TEST(Shot, SizeOptionSetsTheFrame)
{
    ScratchDir dir;
    writeQuadScene(dir);
    const RgbImage image = shoot(dir, {"--size", "320x180"});
    EXPECT_EQ(image.width, 320u);
    EXPECT_EQ(image.height, 180u);
    // A quarter of the frame width: 22.5 pixels per unit, columns 115..204.
    EXPECT_EQ(rowExtent(image, 90), (std::pair{115, 205}));
}

TEST(Shot, SampleFrontVertexShowsTheTexelItsCoordinatesSelect)
{
    ScratchDir dir;
    convertSample(dir);
    const RgbImage image = shoot(dir, {});
    ASSERT_EQ(image.width, 1280u);
    // The pebble's front vertex (0, 0, 2.6), ring 16 of 32 and segment 48 of
    // 64, projects to the centre of the frame. Its coordinates (0.75, 0.5) are
    // stored as round(0.75 x 255) = 191 and round(0.5 x 255) = 128 and read
    // back as 191 / 256 and 128 / 256; the renderer then takes column
    // round(255 x 191 / 256) = 190 and row round(255 x 0.5) = 128 (a tie).
    peltoImage texture;
    LoadImage(texture, sampleJpg);
    ASSERT_EQ(texture.width, 256u);
    EXPECT_EQ(image.at(640, 360), texture.pixels[190 + 128 * 256] & 0xFFFFFF);
    FreeImage(texture);
}

// The converter and the reader take a PNG texture wherever they take a JPEG:
// the sample's texels as a 16-bit interlaced RGBA PNG (low bytes and alpha
// varying) give the frame of the JPEG, bit for bit.
TEST(Shot, PngTextureOfTheSameTexelsGivesTheSameFrame)
{
    peltoImage texture;
    LoadImage(texture, sampleJpg);
    TestPng png;
    png.colour = TestPngColour::Rgba;
    png.bitDepth = 16;
    png.interlaced = true;
    png.width = texture.width;
    png.height = texture.height;
    for (std::size_t i = 0; i < std::size_t{texture.width} * texture.height; ++i) {
        std::uint8_t r, g, b, a;
        peltoSplitRGBA(texture.pixels[i], r, g, b, a);
        const auto low = static_cast<std::uint16_t>(i * 37 % 256);
        for (const std::uint8_t high : {r, g, b, static_cast<std::uint8_t>(i % 251)})
            png.samples.push_back(static_cast<std::uint16_t>(high << 8 | low));
    }
    FreeImage(texture);

    ScratchDir jpegDir, pngDir;
    convertSample(jpegDir);
    writeFile(pngDir.file("sample.png"), encodeTestPng(png));
    const ProcessResult r = runProcess(writer, {sampleObj, "sample.png"}, inDirectory(pngDir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(splitLines(r.out).front(), "Using Texture sample.png");
    const RgbImage fromJpeg = shoot(jpegDir, {}), fromPng = shoot(pngDir, {});
    EXPECT_GT(fromPng.nonBlack(), 300000);
    EXPECT_EQ(fromPng.rgb, fromJpeg.rgb);
}

// The pebble's half-axes are 5.2 (x), 2.9 (y) and 2.6 (z). Seen from 20 units
// its outline is an ellipse of half-axes 5.2 f / sqrt(20^2 - 2.6^2) = 472.0
// and 2.9 f / 19.83 = 263.2 pixels (f = 360 / 0.20002 = 1799.8 pixels at unit
// distance), pi x 472.0 x 263.2 = 390,300 pixels. The fill rule leaves half a
// pixel along the outline's 2,300 pixels, and the texture's darkest texels
// (its lettering band, about (18, 25, 31)) are not black, so the count lies
// within 1.5 % below and 1 % above.
TEST(Shot, SampleCoversTheAreaOfItsOutline)
{
    ScratchDir dir;
    convertSample(dir);
    const int covered = shoot(dir, {}).nonBlack();
    EXPECT_GE(covered, 384400);
    EXPECT_LE(covered, 394200);
    // Up held for 30 frames: 17 units away, half-axes 5.2 f / sqrt(17^2 -
    // 2.6^2) = 557.1 and 310.7 pixels: 543,800 pixels.
    const int nearer = shoot(dir, {"--frames", "30", "--hold", "up=30"}).nonBlack();
    EXPECT_GE(nearer, 535600);
    EXPECT_LE(nearer, 549200);
}

// Pixels of each of the sample's side colours in the left and right halves
// of the frame: blue marks the front (+z), yellow the left (-x), red the
// right (+x) and green the back.
struct SideColours {
    int blue[2]{}, yellow[2]{}, red[2]{}, green[2]{};
};

SideColours sideColours(const RgbImage& image)
{
    SideColours c;
    for (std::uint32_t y = 0; y < image.height; ++y)
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.at(x, y);
            const int r = static_cast<int>(p >> 16), g = static_cast<int>(p >> 8 & 0xFF), b = static_cast<int>(p & 0xFF);
            const int half = x < image.width / 2 ? 0 : 1;
            if (r > b + 60 && g > b + 60)
                ++c.yellow[half];
            else if (g > r + 60 && g > b + 30)
                ++c.green[half];
            else if (b > r + 60 && b > g + 30)
                ++c.blue[half];
            else if (r > g + 60 && r > b + 60)
                ++c.red[half];
        }
    return c;
}

TEST(Shot, TurnKeysTurnThePebbleTheWayTheViewerDoes)
{
    ScratchDir dir;
    convertSample(dir);
    const SideColours front = sideColours(shoot(dir, {}));
    EXPECT_GT(front.blue[0] + front.blue[1], 150000);
    EXPECT_GT(front.yellow[0], 10000);
    EXPECT_EQ(front.yellow[1], 0);
    EXPECT_GT(front.red[1], 10000);
    // Insert, 2 radians about +Y: +X turns away from the eye, so the left
    // side (-x) comes round to the right half and the back shows on the left.
    const SideColours insert = sideColours(shoot(dir, {"--frames", "20", "--hold", "insert=20"}));
    EXPECT_GT(insert.yellow[1], 50000);
    EXPECT_GT(insert.green[0], 30000);
    EXPECT_LT(insert.blue[0] + insert.blue[1], 1000);
    // Delete turns the other way: the right side comes round to the left half.
    const SideColours del = sideColours(shoot(dir, {"--frames", "20", "--hold", "delete=20"}));
    EXPECT_GT(del.red[0], 50000);
    EXPECT_GT(del.green[1], 30000);
    EXPECT_LT(del.blue[0] + del.blue[1], 1000);
}

// --fit places the model as the viewer's F does. The sample at a hundred
// times its size would reach beyond the farthest depth the frame keeps, so the
// fit also scales it about the eye: the picture is the one of the sample.
TEST(Shot, FitShowsTheSampleAtAHundredTimesItsSizeAsTheSampleItself)
{
    ScratchDir dir;
    writeText(dir.file("big.obj"), scaledObjText(sampleObj, 100));
    ASSERT_EQ(runProcess(writer, {"-o", "big.kzo", "big.obj", sampleJpg}, inDirectory(dir.path())).exitCode, 0);
    convertSample(dir);
    const RgbImage small = shoot(dir, {"--fit"});
    ASSERT_EQ(runProcess(shot, {"--fit", "big.kzo", "big.png"}, inDirectory(dir.path())).exitCode, 0);
    const RgbImage big = readPng(dir.file("big.png"));
    ASSERT_EQ(big.width, small.width);
    // The bounding sphere's radius is the long half-axis, 5.2: it is fitted at
    // D = 5.2 sqrt(1 + T^2) / T = 32.95 (T = 0.8 x 0.20002), where the outline
    // of the 2.9 half-axis lies 1799.8 x 2.9 / sqrt(D^2 - 2.6^2) = 158.9 rows
    // above and below row 360, and that of the 5.2 one 1799.8 x 5.2 /
    // sqrt(D^2 - 2.9^2) = 285.0 columns either side of column 640.
    int top = -1, bottom = -1, left = 1280, right = -1;
    for (int y = 0; y < 720; ++y) {
        const auto [l, r] = rowExtent(small, static_cast<std::uint32_t>(y));
        if (l < 0)
            continue;
        top = top < 0 ? y : top;
        bottom = y;
        left = std::min(left, l);
        right = std::max(right, r);
    }
    EXPECT_NEAR(top, 201, 1);
    EXPECT_NEAR(bottom, 518, 1);
    EXPECT_NEAR(left, 355, 1);
    EXPECT_NEAR(right, 925, 1);
    const int covered = small.nonBlack();
    EXPECT_EQ(big.nonBlack(), covered);
    int differing = 0;
    for (std::uint32_t y = 0; y < 720; ++y)
        for (std::uint32_t x = 0; x < 1280; ++x)
            differing += big.at(x, y) != small.at(x, y) ? 1 : 0;
    EXPECT_LT(differing, covered / 200) << "texture rounding only";
}

// --turn y=DEG and x=DEG turn the pebble the way dragging right and down do:
// y brings the left side (yellow) round to the front, x tips the front (blue)
// down and shows the top pole (white) in the middle, the back (green) above.
TEST(Shot, TurnsApplyInOrderAboutTheVerticalAndHorizontalAxes)
{
    ScratchDir dir;
    convertSample(dir);
    // The colour most pixels of the 21 x 21 box around (x, y) have, past the grid lines and labels.
    const auto colour = [](const RgbImage& image, std::uint32_t x, std::uint32_t y) {
        std::map<char, int> counts;
        for (std::uint32_t v = y - 10; v <= y + 10; ++v)
            for (std::uint32_t u = x - 10; u <= x + 10; ++u) {
                const std::uint32_t p = image.at(u, v);
                const int r = static_cast<int>(p >> 16), g = static_cast<int>(p >> 8 & 0xFF), b = static_cast<int>(p & 0xFF);
                const char c = r > 200 && g > 200 && b > 200 ? 'w'
                               : r > b + 60 && g > b + 60    ? 'y'
                               : g > r + 60 && g > b + 30    ? 'g'
                               : b > r + 60 && b > g + 30    ? 'b'
                                                             : '?';
                ++counts[c];
            }
        return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    };
    for (const std::vector<std::string>& turns :
         {std::vector<std::string>{"--turn", "y=90"}, std::vector<std::string>{"--turn", "y=45", "--turn=y=45"}}) {
        const RgbImage image = shoot(dir, turns);
        EXPECT_EQ(colour(image, 640, 250), 'y') << turns.size();
        EXPECT_EQ(colour(image, 640, 470), 'y') << turns.size();
    }
    const RgbImage tipped = shoot(dir, {"--turn", "x=90"});
    EXPECT_EQ(colour(tipped, 640, 360), 'w');
    EXPECT_EQ(colour(tipped, 640, 500), 'b');
    EXPECT_EQ(colour(tipped, 660, 200), 'g');
    // In order: turned about y first, the left side is what tips down.
    const RgbImage both = shoot(dir, {"--turn", "y=90", "--turn", "x=90"});
    EXPECT_EQ(colour(both, 640, 500), 'y');
}

TEST(Shot, FailedRunsSayWhyAndLeaveNoOutput)
{
    ScratchDir dir;
    writeText(dir.file("not.kzo"), "plain text, not a scene file\n");
    const ProcessResult notScene = runProcess(shot, {"not.kzo", "out.png"}, inDirectory(dir.path()));
    EXPECT_EQ(notScene.exitCode, 1);
    EXPECT_EQ(notScene.out, "Loading file not.kzo\nCant read kzo file\n");
    EXPECT_EQ(notScene.err, "kzoShot: not.kzo: not a kzo scene file (it does not begin with \"KZO\")\n");
    // A scene file cut short: the reader's reason, once more on standard error.
    writeFile(dir.file("cut.kzo"), {'K', 'Z', 'O', 1, 0, 16});
    const ProcessResult cut = runProcess(shot, {"cut.kzo", "out.png"}, inDirectory(dir.path()));
    EXPECT_EQ(cut.exitCode, 1);
    const std::vector<std::string> cutLines = splitLines(cut.out);
    ASSERT_GE(cutLines.size(), 2u);
    EXPECT_EQ(cutLines.back(), "Cant read kzo file");
    EXPECT_EQ(cut.err, "kzoShot: " + cutLines[cutLines.size() - 2].substr(std::string("ERROR: ").size()) + "\n");
    EXPECT_EQ(cut.err, "kzoShot: cut.kzo: truncated at byte 6 while reading the number format\n");

    const ProcessResult missing = runProcess(shot, {"none.kzo", "out.png"}, inDirectory(dir.path()));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "none.kzo: No such file or directory\n");

    writeQuadScene(dir);
    const ProcessResult noFolder = runProcess(shot, {"test.kzo", "missing/out.png"}, inDirectory(dir.path()));
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_NE(noFolder.err.find("missing/out.png: No such file or directory"), std::string::npos) << noFolder.err;

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"test.kzo"}, {"--frames", "0", "test.kzo", "o.png"},
                                               {"--frames", "x", "test.kzo", "o.png"},
                                               {"--hold", "space=3", "test.kzo", "o.png"},
                                               {"--hold", "up", "test.kzo", "o.png"},
                                               {"--size", "12x", "test.kzo", "o.png"},
                                               {"--bogus", "test.kzo", "o.png"},
                                               {"a.kzo", "b.png", "c.png"}}) {
        const ProcessResult usage = runProcess(shot, args, inDirectory(dir.path()));
        EXPECT_EQ(usage.exitCode, 2);
        EXPECT_NE(usage.err.find("usage: kzoShot [--frames N] [--hold KEY=N]... [--size WxH] SCENE.kzo OUT.png"),
                  std::string::npos);
    }
    std::vector<std::string> left = listDir(dir.path());
    std::erase(left, "test.kzo");
    std::erase(left, "not.kzo");
    std::erase(left, "cut.kzo");
    std::erase(left, "logger.log");
    EXPECT_TRUE(left.empty()) << left.front();
}

TEST(Shot, FailedWriteLeavesWhatWasThereAndNoTemporaryFile)
{
    ScratchDir dir;
    writeQuadScene(dir);
    // A folder named out.png cannot be replaced by the picture.
    ASSERT_EQ(runProcess("/bin/mkdir", {dir.file("out.png")}).exitCode, 0);
    writeText(dir.file("out.png/keep.txt"), "older work");
    const ProcessResult r = runProcess(shot, {"test.kzo", "out.png"}, inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("out.png: "), std::string::npos) << r.err;
    EXPECT_EQ(readText(dir.file("out.png/keep.txt")), "older work");
    std::vector<std::string> left = listDir(dir.path());
    std::erase(left, "logger.log");
    EXPECT_EQ(left, (std::vector<std::string>{"out.png", "test.kzo"}));
}

} // namespace
