// kzoShot: renders a scene file off-screen exactly as the viewer would, frame
// by frame with the viewer's camera and key steps, and writes the last frame
// as a PNG. No window system is touched.
//
//   kzoShot [--frames N] [--hold KEY=N]... [--size WxH] SCENE.kzo OUT.png

#include <charconv>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/shot/PngFile.hpp"
#include "fileio/FileImport.hpp"
#include "pelto/Log.hpp"
#include "render/FrameStep.hpp"

namespace {

constexpr const char* usageLine = "usage: kzoShot [--frames N] [--hold KEY=N]... [--size WxH] SCENE.kzo OUT.png";

// The keys --hold can name, with the viewer's codes.
struct KeyName {
    const char* name;
    std::uint8_t code;
};
constexpr KeyName keyNames[] = {{"up", peltoKeyUp},         {"down", peltoKeyDown},     {"left", peltoKeyLeft},
                                {"right", peltoKeyRight},   {"insert", peltoKeyInsert}, {"delete", peltoKeyDelete}};

struct Hold {
    std::uint8_t code;
    long frames;
};

struct Options {
    long frames = 1;
    std::vector<Hold> holds;
    std::uint32_t width = 1280, height = 720;
    std::string scenePath, outPath;
};

[[noreturn]] void usage(const std::string& reason)
{
    std::cout.flush();
    std::cerr << "kzoShot: " << reason << "\n" << usageLine << std::endl;
    std::exit(2);
}

// A whole decimal number in min .. max, nothing else.
std::optional<long> number(std::string_view text, long min, long max)
{
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

Hold parseHold(std::string_view text)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        usage("--hold wants KEY=N, got \"" + std::string(text) + "\"");
    const std::string_view name = text.substr(0, equals);
    const std::optional<long> frames = number(text.substr(equals + 1), 0, 1000000);
    if (!frames)
        usage("--hold " + std::string(name) + " wants a frame count of 0 to 1000000");
    for (const KeyName& key : keyNames)
        if (name == key.name)
            return {key.code, *frames};
    usage("unknown key \"" + std::string(name) + "\" (up, down, left, right, insert, delete)");
}

void parseSize(std::string_view text, Options& options)
{
    const std::size_t x = text.find('x');
    const std::optional<long> width = x == std::string_view::npos ? std::nullopt : number(text.substr(0, x), 1, 16384);
    const std::optional<long> height = x == std::string_view::npos ? std::nullopt : number(text.substr(x + 1), 1, 16384);
    if (!width || !height)
        usage("--size wants WxH with each of 1 to 16384, got \"" + std::string(text) + "\"");
    options.width = static_cast<std::uint32_t>(*width);
    options.height = static_cast<std::uint32_t>(*height);
}

Options parse(int argc, char** argv)
{
    Options options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--frames" || arg == "--hold" || arg == "--size") {
            if (!hasValue)
                usage(std::string(arg) + " needs a value");
            const std::string_view value = argv[++i];
            if (arg == "--frames") {
                const std::optional<long> frames = number(value, 1, 1000000);
                if (!frames)
                    usage("--frames wants 1 to 1000000, got \"" + std::string(value) + "\"");
                options.frames = *frames;
            } else if (arg == "--hold") {
                options.holds.push_back(parseHold(value));
            } else {
                parseSize(value, options);
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage("unknown option " + std::string(arg));
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.size() != 2)
        usage("wants a scene file and an output file");
    options.scenePath = files[0];
    options.outPath = files[1];
    return options;
}

// Frame index 0 is the first: a key held for N frames is down in 0 .. N - 1.
peltoKeyState keysAt(const Options& options, long frame)
{
    peltoKeyState keys{};
    for (const Hold& hold : options.holds)
        if (frame < hold.frames)
            keys[hold.code] = 1;
    return keys;
}

std::string threeDecimals(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    DeleteLog();
    const Options options = parse(argc, argv);

    peltoImage frame;
    AllocImage(frame, options.width, options.height);
    kzoScene scene;
    if (const kzoSceneLoad loaded = LoadScene(ShortString(options.scenePath), scene, frame); !loaded) {
        if (loaded.fault != kzoSceneFault::Malformed)
            StopWith(*loaded.failure); // unreadable file or texture: as the loaders always stopped
        std::cout << "Cant read kzo file" << std::endl;
        return 1;
    }
    kzoAddViewerCamera(scene);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    for (long i = 0; i < options.frames; ++i) {
        const float seconds = std::chrono::duration<float>(Clock::now() - start).count();
        kzoFrameStep(scene, keysAt(options, i), frame, seconds);
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::cout << "rendered " << options.frames << " frames in " << threeDecimals(ms) << " ms ("
              << threeDecimals(ms / static_cast<double>(options.frames)) << " ms per frame)" << std::endl;

    WritePngFile(options.outPath, frame);
    kzoFreeScene(scene);
    FreeImage(frame);
    return 0;
}
