// Decoding speed of our baseline decoder beside the system's libjpeg (accurate
// integer IDCT, pixel-replication upsampling: the same work as ours) on the
// same files in one run. The set-up writes a photo-like 1024 x 1024 and
// 4096 x 4096 picture as PPM into a temporary folder and encodes each with
// "cjpeg -quality 90" (baseline, 4:2:0). Rates are in Mpixel/s.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "import/Jpeg.hpp"
#include "tests/support/JpegReference.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The cjpeg file of a side x side photo-like picture, made once per side.
const Bytes& benchFile(int side)
{
    static std::map<int, Bytes> files;
    Bytes& file = files[side];
    if (!file.empty())
        return file;
    char pattern[] = "/tmp/kzo-jpeg-bench.XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    const std::string dir = pattern;
    const std::string ppm = dir + "/photo.ppm";
    const std::string jpg = dir + "/photo.jpg";
    const Bytes pixels = portablePixmap(side, side, 3, photoPixels(side, side, 3, 2024));
    std::ofstream(ppm, std::ios::binary).write(reinterpret_cast<const char*>(pixels.data()),
                                               static_cast<std::streamsize>(pixels.size()));
    const std::string command = "cjpeg -quality 90 -outfile '" + jpg + "' '" + ppm + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("cjpeg failed: " + command);
    file = readAll(jpg);
    std::filesystem::remove_all(dir);
    // SOF0 right after the tables: a baseline frame, 2 x 2 luma factors.
    const std::size_t frame = std::string(file.begin(), file.end()).find("\xFF\xC0");
    if (frame == std::string::npos || file[frame + 11] != 0x22)
        throw std::runtime_error("cjpeg did not write a baseline 4:2:0 file");
    return file;
}

void setRate(benchmark::State& state, int side)
{
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(side) * side / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = double(benchFile(side).size());
}

void BM_KzoDecode(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const Bytes& file = benchFile(side);
    for (auto _ : state) {
        const auto decoder = std::make_unique<kzoJpegDecoder>();
        if (!decoder->Decode(file.data(), static_cast<std::int32_t>(file.size())))
            state.SkipWithError(decoder->GetFailure().c_str());
        benchmark::DoNotOptimize(decoder->GetImage());
    }
    setRate(state, side);
}

void BM_LibjpegDecode(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const Bytes& file = benchFile(side);
    ReferenceImage image;
    std::string error;
    for (auto _ : state) {
        if (!referenceDecode(file, image, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.pixels.data());
    }
    setRate(state, side);
}

} // namespace

BENCHMARK(BM_KzoDecode)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegDecode)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
