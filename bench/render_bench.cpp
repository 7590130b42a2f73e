// Frames of the software renderer alone (clear, then render; no presentation)
// at 1280 x 720 (the bundled sample, UV spheres of 2k to 1M triangles, a
// sphere of radius 8 that overfills the frame, a full-frame quad), beside
// Mesa's software rasterizer through OSMesa drawing the same triangles with
// the same screen mapping, nearest texels, depth test and back-face culling. Before timing a scene, the two frames' coverage masks
// must agree on at least 99 % of the pixels.
//
// Run with LP_NUM_THREADS=0 for one Mesa thread (ours has one), and without
// for Mesa's default. Times are wall-clock, as Mesa may run threads. Besides
// the mean, each run reports its frames' median, its slowest frame and the
// first frame drawn after the scene was built (first_ms), which pays for the
// renderer's working memory; for ours also in the drawing thread's processor
// time (thread_*), which leaves out the time other processes held the core.

#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <GL/osmesa.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "apps/viewer/FrameStep.hpp"
#include "import/image/ImageFile.hpp"
#include "import/obj/LoadOBJ.hpp"
#include "pelto/base/Pixels.hpp"
#include "render/pipeline/Render.hpp"
#include "render/pipeline/RenderPlain.hpp"

namespace {

constexpr std::uint32_t frameWidth = 1280, frameHeight = 720;

// Triangles as unrolled corners: what both renderers draw.
struct Corner {
    float x, y, z, u, v;
};
using Mesh = std::vector<Corner>;

// A UV sphere of the given radius at the origin, counter-clockwise from outside.
Mesh uvSphere(int stacks, int slices, float radius)
{
    const double pi = 3.14159265358979323846;
    const auto at = [&](int i, int j) {
        const double theta = pi * i / stacks, phi = 2 * pi * j / slices;
        return Corner{static_cast<float>(radius * std::sin(theta) * std::cos(phi)),
                      static_cast<float>(radius * std::cos(theta)),
                      static_cast<float>(-radius * std::sin(theta) * std::sin(phi)),
                      static_cast<float>(static_cast<double>(j) / slices), static_cast<float>(static_cast<double>(i) / stacks)};
    };
    Mesh mesh;
    for (int i = 0; i < stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            const Corner a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            if (i > 0)
                mesh.insert(mesh.end(), {a, b, d});
            if (i + 1 < stacks)
                mesh.insert(mesh.end(), {b, c, d});
        }
    return mesh;
}

// A quad covering the whole frame at distance 10 from the viewer's eye (z = 10):
// 180 pixels per unit there, so +-4 x +-2.5 units reach past every edge.
Mesh fullFrameQuad()
{
    const Corner a{-4, -2.5f, 10, 0, 1}, b{4, -2.5f, 10, 1, 1}, c{4, 2.5f, 10, 1, 0}, d{-4, 2.5f, 10, 0, 0};
    return {a, b, c, a, c, d};
}

// The bundled sample as the converter reads it: the OBJ's triangles.
Mesh sampleMesh()
{
    const kzoObject obj = kzoLoadOBJ(std::string(KZO_SOURCE_DIR) + "/assets/sample.obj", 0).object;
    Mesh mesh;
    for (std::size_t f = 0; f < kzoMeshPolyCount(obj.mesh); ++f) {
        if (obj.mesh.vertexCounts[f] != 3)
            continue;
        for (const std::uint32_t v : kzoMeshCorners(obj.mesh, f)) {
            const kzoVector& p = obj.mesh.positions[v];
            const kzoVector2& uv = obj.mesh.texCoords[v];
            mesh.push_back({p.x, p.y, p.z, uv.x, uv.y});
        }
    }
    return mesh;
}

std::vector<std::uint32_t> sampleTexture()
{
    peltoImage image;
    LoadImage(image, std::string(KZO_SOURCE_DIR) + "/assets/sample.jpg");
    std::vector<std::uint32_t> texels(image.pixels, image.pixels + std::size_t{image.width} * image.height);
    FreeImage(image);
    return texels;
}

std::vector<std::uint32_t> codedTexture(std::uint32_t size)
{
    std::vector<std::uint32_t> texels(std::size_t{size} * size);
    for (std::uint32_t r = 0; r < size; ++r)
        for (std::uint32_t c = 0; c < size; ++c)
            texels[c + r * size] = 0xFF000000u | ((c * 7) & 0xFF) << 16 | ((r * 5) & 0xFF) << 8 | ((c ^ r) & 0xFF);
    return texels;
}

// Both textures, the coded one and the sample's, are 256 x 256.
constexpr std::uint32_t textureSize = 256;

// Our renderer on one mesh: a scene bound to its own frame.
struct KzoSide {
    peltoImage frame;
    kzoScene scene;

    explicit KzoSide(const Mesh& mesh, const std::vector<std::uint32_t>& texels)
    {
        AllocImage(frame, frameWidth, frameHeight);
        kzoInitScene(scene, "bench", frame, true);
        kzoMaterial mat;
        kzoInitMaterial(mat, "material-textured", 1);
        peltoImage texture;
        AllocImage(texture, textureSize, textureSize);
        std::memcpy(texture.pixels, texels.data(), texels.size() * 4);
        kzoSetMaterialTexture(mat, texture, "coded");
        kzoAddMaterial(scene, mat);
        kzoObject obj;
        kzoInitObject(obj, "mesh", 0);
        for (std::size_t i = 0; i + 2 < mesh.size(); i += 3) {
            kzoVertex v[3]{};
            for (int k = 0; k < 3; ++k) {
                const Corner& c = mesh[i + static_cast<std::size_t>(k)];
                kzoMakeVertex(v[k], c.x, c.y, c.z, 0, 0, 0, c.u, c.v, 128, 128, 128, 255);
            }
            kzoPoly p{};
            kzoCreatePoly(p, v, 0);
            kzoAddPoly(obj, p);
        }
        kzoAddObject(scene, std::move(obj));
        kzoAddViewerCamera(scene);
        scene.view = scene.cameras[0].matrix;
    }
    ~KzoSide()
    {
        kzoFreeScene(scene);
        FreeImage(frame);
    }

    void render(bool plain)
    {
        FillPixels(frame.pixels, std::size_t{frameWidth} * frameHeight, 0);
        if (plain)
            kzoRenderScenePlain(scene, 0.0f);
        else
            kzoRenderScene(scene, 0.0f);
    }
    bool covered(std::size_t x, std::size_t y) const { return frame.pixels[y * frameWidth + x] != 0; }
};

// Mesa's software rasterizer on the same mesh. Its projection gives our screen
// mapping: x and y scales 0.5625 / 0.20002 and 1 / 0.20002 with w = distance,
// depth between 0.49995 and 998.80, the distances our clippers keep.
struct MesaSide {
    OSMesaContext context = nullptr;
    std::vector<std::uint8_t> buffer;
    std::vector<float> positions, uvs;
    GLuint texture = 0;

    MesaSide(const Mesh& mesh, const std::vector<std::uint32_t>& texels)
        : buffer(std::size_t{frameWidth} * frameHeight * 4)
    {
        context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        if (!context || !OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, frameWidth, frameHeight))
            return;
        for (const Corner& c : mesh) {
            positions.insert(positions.end(), {c.x, c.y, c.z});
            uvs.insert(uvs.end(), {c.u, c.v});
        }
        glViewport(0, 0, frameWidth, frameHeight);
        const float n = 0.1f / 0.20002f, f = 999.0f / 1.0002f;
        const float projection[16] = {0.5625f / 0.20002f, 0, 0, 0, 0, 1.0f / 0.20002f, 0, 0,
                                      0, 0, -(f + n) / (f - n), -1, 0, 0, -2 * f * n / (f - n), 0};
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(projection);
        // Our view matrix is row-major for row vectors: the same 16 floats are
        // GL's column-major matrix for column vectors.
        glMatrixMode(GL_MODELVIEW);
        const kzoMatrix view = kzoTranslation(0, 0, -20);
        glLoadMatrixf(&view.m[0][0]);
        // Our texel is round((size - 1) u), GL's nearest floor(size u'): u' =
        // ((size - 1) u + 0.5) / size selects the same one.
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glTranslatef(0.5f / textureSize, 0.5f / textureSize, 0);
        glScalef((textureSize - 1.0f) / textureSize, (textureSize - 1.0f) / textureSize, 1);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, textureSize, textureSize, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CCW);
        glClearColor(0, 0, 0, 0);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, positions.data());
        glTexCoordPointer(2, GL_FLOAT, 0, uvs.data());
    }
    ~MesaSide()
    {
        if (context)
            OSMesaDestroyContext(context);
    }
    bool ready() const { return context != nullptr; }

    void render()
    {
        OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, frameWidth, frameHeight);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(positions.size() / 3));
        glFinish();
    }
    // GL's rows run bottom up.
    bool covered(std::size_t x, std::size_t y) const
    {
        const std::uint8_t* p = &buffer[((frameHeight - 1 - y) * frameWidth + x) * 4];
        return (p[0] | p[1] | p[2] | p[3]) != 0;
    }
};

// One call's wall-clock time and the calling thread's processor time, in
// milliseconds. Ours draws on the calling thread, so its processor time is
// its frame without the time other processes held the core (on a shared,
// loaded machine a wall-clock frame may include tens of milliseconds of that).
struct FrameTime {
    double wall, thread;
};

double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

template <class Draw>
FrameTime timed(const Draw& draw)
{
    const auto start = std::chrono::steady_clock::now();
    const double threadStart = threadMs();
    draw();
    const double thread = threadMs() - threadStart;
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(), thread};
}

struct BenchScene {
    std::unique_ptr<KzoSide> kzo;
    std::unique_ptr<MesaSide> mesa;
    double agreement = 0; // share of pixels whose coverage agrees
    double coveredPixels = 0;
    std::size_t triangles = 0;
    FrameTime kzoFirst{}, mesaFirst{};
};

BenchScene& scene(const std::string& name)
{
    static std::map<std::string, BenchScene> scenes;
    auto found = scenes.find(name);
    if (found != scenes.end())
        return found->second;
    const std::map<std::string, std::function<Mesh()>> makers = {
        {"sample", sampleMesh},
        {"sphere2k", [] { return uvSphere(32, 32, 3.5f); }},
        {"sphere20k", [] { return uvSphere(100, 100, 3.5f); }},
        {"sphere200k", [] { return uvSphere(316, 316, 3.5f); }},
        {"sphere1M", [] { return uvSphere(501, 1000, 3.5f); }}, // 2 x 1000 x 500 triangles
        {"sphereR8", [] { return uvSphere(100, 100, 8.0f); }}, // 20k triangles past every edge
        {"quad", fullFrameQuad},
    };
    const Mesh mesh = makers.at(name)();
    const std::vector<std::uint32_t> texels = name == "sample" ? sampleTexture() : codedTexture(textureSize);
    BenchScene& s = scenes[name];
    s.triangles = mesh.size() / 3;
    // Each side's first frame right after its scene is built, as a program
    // draws its first frame after loading.
    s.kzo = std::make_unique<KzoSide>(mesh, texels);
    s.kzoFirst = timed([&] { s.kzo->render(false); });
    s.mesa = std::make_unique<MesaSide>(mesh, texels);
    if (s.mesa->ready())
        s.mesaFirst = timed([&] { s.mesa->render(); });
    std::size_t agree = 0, covered = 0;
    for (std::size_t y = 0; y < frameHeight; ++y)
        for (std::size_t x = 0; x < frameWidth; ++x) {
            const bool ours = s.kzo->covered(x, y);
            covered += ours ? 1 : 0;
            agree += ours == s.mesa->covered(x, y) ? 1 : 0;
        }
    s.agreement = static_cast<double>(agree) / (frameWidth * frameHeight);
    s.coveredPixels = static_cast<double>(covered);
    return s;
}

// Median and slowest of the frames of one run, and the scene's first frame:
// wall clock, and with threadToo the drawing thread's processor time.
void setFrameCounters(benchmark::State& state, std::vector<FrameTime> frames, FrameTime first, bool threadToo)
{
    if (frames.empty())
        return;
    const auto counters = [&](const char* prefix, double FrameTime::*member) {
        std::sort(frames.begin(), frames.end(),
                  [&](const FrameTime& a, const FrameTime& b) { return a.*member < b.*member; });
        state.counters[std::string(prefix) + "median_ms"] = frames[frames.size() / 2].*member;
        state.counters[std::string(prefix) + "max_ms"] = frames.back().*member;
        state.counters[std::string(prefix) + "first_ms"] = first.*member;
    };
    counters("", &FrameTime::wall);
    if (threadToo)
        counters("thread_", &FrameTime::thread);
}

void setCounters(benchmark::State& state, const BenchScene& s)
{
    state.counters["triangles"] = static_cast<double>(s.triangles);
    state.counters["covered_px"] = s.coveredPixels;
    state.counters["agree_%"] = 100.0 * s.agreement;
    state.counters["Mpx/s"] =
        benchmark::Counter(s.coveredPixels * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void kzoFrames(benchmark::State& state, const std::string& name, bool plain)
{
    BenchScene& s = scene(name);
    std::vector<FrameTime> frames;
    for (auto _ : state) {
        frames.push_back(timed([&] { s.kzo->render(plain); }));
        benchmark::DoNotOptimize(s.kzo->frame.pixels[0]);
    }
    setCounters(state, s);
    setFrameCounters(state, frames, s.kzoFirst, true);
}

void mesaFrames(benchmark::State& state, const std::string& name)
{
    BenchScene& s = scene(name);
    if (!s.mesa->ready()) {
        state.SkipWithError("no OSMesa context");
        return;
    }
    if (s.agreement < 0.99) {
        state.SkipWithError(("coverage agrees on only " + std::to_string(100 * s.agreement) + " % of pixels").c_str());
        return;
    }
    std::vector<FrameTime> frames;
    for (auto _ : state)
        frames.push_back(timed([&] { s.mesa->render(); }));
    setCounters(state, s);
    setFrameCounters(state, frames, s.mesaFirst, false);
}

const bool registered = [] {
    for (const char* name : {"sample", "sphere2k", "sphere20k", "sphere200k", "sphere1M", "sphereR8", "quad"}) {
        const std::string n = name;
        benchmark::RegisterBenchmark(("kzo/" + n).c_str(), [n](benchmark::State& st) { kzoFrames(st, n, false); })
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("kzo_plain/" + n).c_str(), [n](benchmark::State& st) { kzoFrames(st, n, true); })
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("osmesa/" + n).c_str(), [n](benchmark::State& st) { mesaFrames(st, n); })
            ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
