// OBJ conversion on generated UV spheres of radius 3.5 with 10k, 100k and 1M
// triangles (1000 x 501 vertices for 1M), beside tinyobjloader parsing the same
// file in the same binary:
//   KzoLoad         the loader alone, faces split into triangles (text in memory)
//   KzoConvert      kzoWrite's whole conversion but the texture and the file
//                   write: the OBJ file read and loaded, the tables, the choice
//                   of encodings and the scene file's bytes
//   KzoLoadScene    the viewer's LoadScene of the scene file KzoConvert makes
//                   (a stand-in 256 x 256 texture, a 1280 x 720 frame)
//   TinyObjLoader   tinyobjloader's parse alone of the same OBJ file
// Bytes processed are the OBJ text, so the MB/s columns compare directly.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <ostream>
#include <streambuf>
#include <string>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include "bench/SphereObj.hpp"
#include "fileio/ChooseSettings.hpp"
#include "fileio/FileExport.hpp"
#include "fileio/FileImport.hpp"
#include "import/obj/LoadOBJ.hpp"
#include "pelto/base/AtomicWrite.hpp"

namespace {

// Swallows progress lines.
struct NullBuffer : std::streambuf {
    int overflow(int c) override { return c; }
};

// A model and its files, made once per size: the OBJ text, the OBJ file and
// the scene file the conversion makes of it.
struct Model {
    std::string text;
    std::string objFile;
    std::string sceneFile;
};

std::vector<std::uint8_t> convert(const std::string& objFile)
{
    kzoScene scene;
    kzoInitScene(scene, "first2", peltoImage{}, false);
    kzoObjLoad load = kzoLoadOBJ(objFile, 0, kzoObjFaces::Triangles);
    kzoAddObject(scene, std::move(load.object));
    kzoMaterial material;
    kzoInitMaterial(material, "material-textured", 1);
    kzoSetMaterialTexture(material, peltoImage{nullptr, 256, 256}, "bench.jpg");
    kzoAddMaterial(scene, material);
    const kzoSceneTables tables = kzoTabulateScene(scene, kzoExportSettings{}.zFactor);
    NullBuffer nothing;
    std::ostream lines(&nothing);
    return kzoEncodeTables(scene, tables, kzoChooseExportSettings(scene, tables), lines).bytes;
}

// Spheres of 2 x segments x segments / 2 triangles.
const Model& model(int segments)
{
    static std::map<int, Model> made;
    auto it = made.find(segments);
    if (it == made.end()) {
        Model m;
        m.text = SphereObjText(segments, segments / 2 + 1, 3.5);
        const std::string stem = "/tmp/kzo_obj_bench_" + std::to_string(getpid()) + "_" + std::to_string(segments);
        m.objFile = stem + ".obj";
        m.sceneFile = stem + ".kzo";
        peltoWriteFileAtomically(m.objFile, {reinterpret_cast<const std::uint8_t*>(m.text.data()), m.text.size()});
        peltoWriteFileAtomically(m.sceneFile, convert(m.objFile));
        it = made.emplace(segments, std::move(m)).first;
    }
    return it->second;
}

void setCounters(benchmark::State& state, const std::string& text)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.counters["OBJ_MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_KzoLoad(benchmark::State& state)
{
    const Model& m = model(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        kzoObjLoad load = kzoParseOBJ(m.text, "bench.obj", 0, kzoObjFaces::Triangles);
        benchmark::DoNotOptimize(load.object.mesh.corners.data());
    }
    setCounters(state, m.text);
}

void BM_KzoConvert(benchmark::State& state)
{
    const Model& m = model(static_cast<int>(state.range(0)));
    std::size_t fileSize = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> bytes = convert(m.objFile);
        fileSize = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounters(state, m.text);
    state.counters["kzo_MB"] = static_cast<double>(fileSize) / 1e6;
}

void BM_KzoLoadScene(benchmark::State& state)
{
    const Model& m = model(static_cast<int>(state.range(0)));
    peltoImage frame;
    AllocImage(frame, 1280, 720);
    NullBuffer nothing;
    std::streambuf* const console = std::cout.rdbuf(&nothing);
    const kzoTextureLoader texture = [](const std::string&) {
        kzoImageFile file;
        file.status = kzoImageFileStatus::Loaded;
        AllocImage(file.image, 256, 256);
        return file;
    };
    for (auto _ : state) {
        kzoScene scene;
        if (!LoadScene(m.sceneFile, scene, frame, texture))
            state.SkipWithError("the scene file was refused");
        benchmark::DoNotOptimize(scene.objects.data());
        state.PauseTiming(); // releasing the scene is not reading it
        kzoFreeScene(scene);
        scene = kzoScene{};
        state.ResumeTiming();
    }
    std::cout.rdbuf(console);
    FreeImage(frame);
    setCounters(state, m.text);
}

void BM_TinyObjLoader(benchmark::State& state)
{
    const Model& m = model(static_cast<int>(state.range(0)));
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    for (auto _ : state) {
        tinyobj::ObjReader reader;
        if (!reader.ParseFromFile(m.objFile, config))
            state.SkipWithError("tinyobjloader refused the model");
        benchmark::DoNotOptimize(reader.GetAttrib().vertices.data());
    }
    setCounters(state, m.text);
}

// Segments 100, 316 and 1000: 10,000, 99,856 and 1,000,000 triangles.
void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
}

BENCHMARK(BM_KzoLoad)->Apply(sizes);
BENCHMARK(BM_KzoConvert)->Apply(sizes);
BENCHMARK(BM_KzoLoadScene)->Apply(sizes);
BENCHMARK(BM_TinyObjLoader)->Apply(sizes);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const int segments : {100, 316, 1000}) {
        const std::string stem = "/tmp/kzo_obj_bench_" + std::to_string(getpid()) + "_" + std::to_string(segments);
        std::remove((stem + ".obj").c_str());
        std::remove((stem + ".kzo").c_str());
    }
    return 0;
}
