// kzoShot: renders a scene file off-screen exactly as the viewer would, frame
// by frame with the viewer's camera and key steps, and writes the last frame
// as a PNG. No window system is touched.
//
//   kzoShot [--frames N] [--hold KEY=N]... [--size WxH] [--fit] [--turn AXIS=DEG]...
//           SCENE.kzo OUT.png

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/cli/CommandLine.hpp"
#include "apps/png/PngFile.hpp"
#include "apps/viewer/FrameStep.hpp"
#include "apps/viewer/SceneRefusal.hpp"
#include "pelto/base/Log.hpp"
#include "pelto/base/Support.hpp"

namespace {

enum OptionIndex { framesOption, holdOption, sizeOption, fitOption, turnOption };

constexpr kzoOptionSyntax optionSpecs[] = {
    {nullptr, "--frames", "N", "render N frames, 1 to 1000000 (default 1); the last one is written"},
    {nullptr, "--hold", "KEY=N", "hold KEY (up, down, left, right, insert, delete) for the first N frames"},
    {nullptr, "--size", "WxH", "frame width and height, each 1 to 16384 (default 1280x720)"},
    {nullptr, "--fit", nullptr, "before the first frame, fit the first object to the view (the viewer's F)"},
    {nullptr, "--turn", "AXIS=DEG", "before the first frame, turn the first object DEG degrees about x or y"},
};

constexpr kzoProgramSyntax program = {
    "kzoShot",
    "usage: kzoShot [--frames N] [--hold KEY=N]... [--size WxH] SCENE.kzo OUT.png\n"
    "       kzoShot [--fit] [--turn AXIS=DEG]... [OPTIONS] SCENE.kzo OUT.png\n",
    "Renders a scene file off-screen exactly as kzoView shows it, with the viewer's\n"
    "camera and keys, and writes the last frame as an 8-bit RGB PNG. Before the\n"
    "first frame the --turn turns apply in the order given, in the directions of the\n"
    "viewer's drag (y brings the front round to the right, x tips it down), then\n"
    "--fit.\n",
    optionSpecs,
};

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

// A turn of the first object before the first frame, in radians.
struct Turn {
    char axis; // 'x' or 'y'
    float radians;
};

struct Options {
    long frames = 1;
    std::vector<Hold> holds;
    std::uint32_t width = 1280, height = 720;
    bool fit = false;
    std::vector<Turn> turns;
    std::string scenePath, outPath;
};

[[noreturn]] void usage(const std::string& reason)
{
    kzoUsageError(program, reason);
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

// x=DEG or y=DEG, DEG a finite decimal number of degrees.
Turn parseTurn(std::string_view text)
{
    const bool axisNamed = text.size() > 2 && (text[0] == 'x' || text[0] == 'y') && text[1] == '=';
    float degrees = 0;
    const std::string_view value = axisNamed ? text.substr(2) : std::string_view{};
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), degrees);
    if (!axisNamed || error != std::errc() || end != value.data() + value.size() || !std::isfinite(degrees))
        usage("--turn wants x=DEG or y=DEG with DEG a number of degrees, got \"" + std::string(text) + "\"");
    return {text[0], DegToRad(degrees)};
}

// The output is a PNG file, and its name says so: case-insensitive ".png".
bool endsInPng(std::string_view path)
{
    if (path.size() < 4)
        return false;
    std::string tail(path.substr(path.size() - 4));
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".png";
}

Options parse(int argc, char** argv)
{
    const kzoCommandLine line = kzoParseCommandLine(program, argc, argv);
    Options options;
    for (const kzoGivenOption& given : line.options) {
        const std::string_view value = given.value;
        switch (given.option) {
        case framesOption: {
            const std::optional<long> frames = number(value, 1, 1000000);
            if (!frames)
                usage("--frames wants 1 to 1000000, got \"" + std::string(value) + "\"");
            options.frames = *frames;
            break;
        }
        case holdOption:
            options.holds.push_back(parseHold(value));
            break;
        case sizeOption:
            parseSize(value, options);
            break;
        case fitOption:
            options.fit = true;
            break;
        case turnOption:
            options.turns.push_back(parseTurn(value));
            break;
        default:
            break;
        }
    }
    if (line.arguments.size() != 2)
        usage("wants a scene file and an output file");
    options.scenePath = line.arguments[0];
    options.outPath = line.arguments[1];
    if (!endsInPng(options.outPath))
        usage("the output file is a PNG picture and its name must end in .png, got \"" + options.outPath + "\"");
    return options;
}

// The turns, then the fit, on the first object of a scene that has one.
void placeFirstObject(const Options& options, kzoScene& scene)
{
    if (scene.objectCount < 1 || scene.objects.empty())
        return;
    for (const Turn& turn : options.turns) {
        if (turn.axis == 'y')
            kzoTurnAboutVertical(scene.objects[0], turn.radians);
        else
            kzoTurnAboutHorizontal(scene.objects[0], turn.radians);
    }
    if (options.fit)
        kzoFitFirstObject(scene);
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
    std::string reason;
    if (!kzoLoadSceneOrReason(peltoShortString(options.scenePath), scene, frame, reason)) {
        std::cout << "Cant read kzo file" << std::endl;
        std::cerr << "kzoShot: " << reason << std::endl;
        FreeImage(frame);
        return 1;
    }
    kzoAddViewerCamera(scene);
    placeFirstObject(options, scene);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    for (long i = 0; i < options.frames; ++i) {
        const float seconds = std::chrono::duration<float>(Clock::now() - start).count();
        kzoFrameStep(scene, keysAt(options, i), frame, seconds);
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::cout << "rendered " << options.frames << " frames in " << threeDecimals(ms) << " ms ("
              << threeDecimals(ms / static_cast<double>(options.frames)) << " ms per frame)" << std::endl;

    kzoWritePngFile(options.outPath, frame);
    kzoFreeScene(scene);
    FreeImage(frame);
    return 0;
}
