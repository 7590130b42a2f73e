// Decoding speed of our JPEG decoder beside the system's libjpeg-turbo
// (accurate integer IDCT, pixel-replication upsampling: the same work as ours)
// on the same files in one run. Both write the picture as 0xAARRGGBB words
// (the peer's BGRA output) into fresh memory on every decode, as a texture load
// does; BM_LibjpegRgbReused is the peer's best case, R G B bytes into one
// buffer kept across decodes. BM_LoadImage adds reading the file and handing
// the picture to a peltoImage. The set-up writes a photo-like picture as PPM
// into a temporary folder and encodes it with cjpeg at quality 90: baseline
// 4:2:0, 4:4:4 and grey, and progressive 4:2:0. Rates are in Mpixel/s.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "import/image/ImageFile.hpp"
#include "import/jpeg/Jpeg.hpp"
#include "tests/support/JpegReference.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Kind { Yuv420, Yuv444, Grey, Progressive };

const char* cjpegOptions(Kind kind)
{
    switch (kind) {
    case Kind::Yuv420: return "-quality 90";
    case Kind::Yuv444: return "-quality 90 -sample 1x1";
    case Kind::Grey: return "-quality 90 -grayscale";
    case Kind::Progressive: return "-quality 90 -progressive";
    }
    return "";
}

Bytes readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A scratch folder for the bench's files, removed at exit.
const std::string& scratchFolder()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/kzo-jpeg-bench.XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp failed");
        std::atexit([] { std::filesystem::remove_all(scratchFolder()); });
        return std::string(pattern);
    }();
    return folder;
}

// The cjpeg file of a side x side photo-like picture, made once per kind and side.
const std::string& benchPath(Kind kind, int side)
{
    static std::map<std::pair<Kind, int>, std::string> paths;
    std::string& path = paths[{kind, side}];
    if (!path.empty())
        return path;
    const std::string ppm = scratchFolder() + "/photo" + std::to_string(side) + ".ppm";
    if (!std::filesystem::exists(ppm)) {
        const Bytes pixels = portablePixmap(side, side, 3, photoPixels(side, side, 3, 2024));
        std::ofstream(ppm, std::ios::binary).write(reinterpret_cast<const char*>(pixels.data()),
                                                   static_cast<std::streamsize>(pixels.size()));
    }
    const std::string jpg = scratchFolder() + "/photo" + std::to_string(side) + "_" + std::to_string(int(kind)) + ".jpg";
    const std::string command = std::string("cjpeg ") + cjpegOptions(kind) + " -outfile '" + jpg + "' '" + ppm + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("cjpeg failed: " + command);
    path = jpg;
    return path;
}

const Bytes& benchFile(Kind kind, int side)
{
    static std::map<std::pair<Kind, int>, Bytes> files;
    Bytes& file = files[{kind, side}];
    if (file.empty())
        file = readAll(benchPath(kind, side));
    return file;
}

void setRate(benchmark::State& state, Kind kind, int side)
{
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(side) * side / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = double(benchFile(kind, side).size());
}

void BM_Kzo(benchmark::State& state, Kind kind, int side)
{
    const Bytes& file = benchFile(kind, side);
    for (auto _ : state) {
        const auto decoder = std::make_unique<kzoJpegDecoder>();
        if (!decoder->Decode(file.data(), static_cast<std::int32_t>(file.size())))
            state.SkipWithError(decoder->GetFailure().c_str());
        std::free(decoder->TakePixels());
    }
    setRate(state, kind, side);
}

// libjpeg-turbo into fresh 0xAARRGGBB words (its BGRA order in memory).
void BM_Libjpeg(benchmark::State& state, Kind kind, int side)
{
    const Bytes& file = benchFile(kind, side);
    for (auto _ : state) {
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors); // the bench's own files: an error ends the run
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.dct_method = JDCT_ISLOW;
        cinfo.do_fancy_upsampling = FALSE;
        cinfo.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&cinfo);
        const std::size_t rowBytes = std::size_t(cinfo.output_width) * 4;
        auto* pixels = static_cast<std::uint8_t*>(std::malloc(rowBytes * cinfo.output_height));
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels + std::size_t(cinfo.output_scanline) * rowBytes;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    setRate(state, kind, side);
}

void BM_LibjpegRgbReused(benchmark::State& state, Kind kind, int side)
{
    const Bytes& file = benchFile(kind, side);
    ReferenceImage image;
    std::string error;
    for (auto _ : state) {
        if (!referenceDecode(file, image, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.pixels.data());
    }
    setRate(state, kind, side);
}

void BM_LoadImage(benchmark::State& state, Kind kind, int side)
{
    const std::string& path = benchPath(kind, side);
    for (auto _ : state) {
        peltoImage image;
        LoadImage(image, path);
        benchmark::DoNotOptimize(image.pixels);
        FreeImage(image);
    }
    setRate(state, kind, side);
}

} // namespace

BENCHMARK_CAPTURE(BM_Kzo, 420_1024, Kind::Yuv420, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libjpeg, 420_1024, Kind::Yuv420, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibjpegRgbReused, 420_1024, Kind::Yuv420, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Kzo, 420_4096, Kind::Yuv420, 4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libjpeg, 420_4096, Kind::Yuv420, 4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibjpegRgbReused, 420_4096, Kind::Yuv420, 4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadImage, 420_4096, Kind::Yuv420, 4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Kzo, 444_1024, Kind::Yuv444, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libjpeg, 444_1024, Kind::Yuv444, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Kzo, 444_4096, Kind::Yuv444, 4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libjpeg, 444_4096, Kind::Yuv444, 4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Kzo, grey_1024, Kind::Grey, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libjpeg, grey_1024, Kind::Grey, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Kzo, grey_4096, Kind::Grey, 4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libjpeg, grey_4096, Kind::Grey, 4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Kzo, progressive_1024, Kind::Progressive, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libjpeg, progressive_1024, Kind::Progressive, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
