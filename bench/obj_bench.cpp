// OBJ loading and conversion on generated models of about 10k, 100k and 1M
// triangles: the kzo loader alone, the loader plus the scene file writer into
// memory (what kzoWrite does between reading and writing), and tinyobjloader
// parsing the same text in the same binary. Bytes processed are the OBJ text,
// so the MB/s columns compare directly.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <streambuf>
#include <string>
#include <tiny_obj_loader.h>

#include "fileio/FileExport.hpp"
#include "import/LoadOBJ.hpp"

namespace {

// A sphere of rings x segments quads, each written as two triangles, with a
// seam column and pole rows of their own so that UVs run 0..1: about
// 2 x rings x segments triangles, positions within +-2 (fixed point holds them).
std::string sphereText(int rings, int segments)
{
    std::string text;
    char line[256];
    const double pi = 3.14159265358979323846;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const double theta = pi * r / rings, phi = 2 * pi * s / segments;
            const double x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
            std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn %.6f %.6f %.6f\n", 1.5 * x, 1.5 * y,
                          1.5 * z, double(s) / segments, 1.0 - double(r) / rings, x, y, z);
            text += line;
        }
    const int stride = segments + 1;
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = r * stride + s + 1, b = a + 1, c = a + stride, d = c + 1;
            std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a,
                          c, c, c, b, b, b, b, b, b, c, c, c, d, d, d);
            text += line;
        }
    return text;
}

// Models by triangle count, made once.
const std::string& model(int triangles)
{
    static std::map<int, std::string> made;
    auto it = made.find(triangles);
    if (it == made.end()) {
        const int side = static_cast<int>(std::lround(std::sqrt(triangles / 2.0)));
        it = made.emplace(triangles, sphereText(side, side)).first;
    }
    return it->second;
}

// Swallows the writer's progress lines.
struct NullBuffer : std::streambuf {
    int overflow(int c) override { return c; }
};

void setCounters(benchmark::State& state, const std::string& text)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.counters["OBJ_MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_KzoLoad(benchmark::State& state)
{
    const std::string& text = model(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        kzoObject obj = kzoParseOBJ(text, "bench.obj", 0);
        benchmark::DoNotOptimize(obj.mesh.corners.data());
    }
    setCounters(state, text);
}

void BM_KzoLoadAndConvert(benchmark::State& state)
{
    const std::string& text = model(static_cast<int>(state.range(0)));
    NullBuffer nothing;
    std::ostream lines(&nothing);
    std::size_t fileSize = 0;
    for (auto _ : state) {
        kzoScene scene;
        kzoInitScene(scene, "first2", peltoImage{}, false);
        kzoAddObject(scene, kzoParseOBJ(text, "bench.obj", 0));
        kzoMaterial material;
        kzoInitMaterial(material, "material-textured", 1);
        kzoSetMaterialTexture(material, peltoImage{nullptr, 256, 256}, "bench.jpg");
        kzoAddMaterial(scene, material);
        const std::vector<std::uint8_t> bytes =
            kzoEncodeScene(scene, {true, kzoIndexSize4Byte, kzoTextureMode8Bit, -1}, lines);
        fileSize = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounters(state, text);
    state.counters["kzo_MB"] = static_cast<double>(fileSize) / 1e6;
}

void BM_TinyObjLoader(benchmark::State& state)
{
    const std::string& text = model(static_cast<int>(state.range(0)));
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    for (auto _ : state) {
        tinyobj::ObjReader reader;
        if (!reader.ParseFromString(text, "", config))
            state.SkipWithError("tinyobjloader refused the model");
        benchmark::DoNotOptimize(reader.GetAttrib().vertices.data());
    }
    setCounters(state, text);
}

} // namespace

// 1M triangles keep about 2.7 GB of polygons (each face is a full 1356-byte
// polygon plus its render copy): a few iterations are enough at that size.
BENCHMARK(BM_KzoLoad)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_KzoLoadAndConvert)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TinyObjLoader)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
