#include "tests/x11/X11Harness.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <png.h>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#include "tests/support/Scratch.hpp"

namespace {

constexpr std::size_t xwdHeaderBytes = 100; // 25 big-endian 32-bit fields

std::uint32_t bigEndian32(const std::vector<std::uint8_t>& file, std::size_t offset)
{
    if (offset + 4 > file.size())
        throw std::runtime_error("xwd: truncated at byte " + std::to_string(offset));
    return (std::uint32_t{file[offset]} << 24) | (std::uint32_t{file[offset + 1]} << 16)
           | (std::uint32_t{file[offset + 2]} << 8) | file[offset + 3];
}

// The 8-bit value of a channel under mask (top bits of a wider channel).
std::uint32_t channel(std::uint32_t pixel, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    int bits = 0;
    while ((mask >> (shift + bits)) & 1)
        ++bits;
    const std::uint32_t value = (pixel & mask) >> shift;
    if (bits >= 8)
        return value >> (bits - 8);
    // A narrow channel repeats its top bits below them: 5 bits 0x1F give 0xFF.
    std::uint32_t wide = value << (8 - bits);
    if (2 * bits > 8)
        wide |= value >> (2 * bits - 8);
    return wide;
}

void pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

TestImage decodeXwd(const std::vector<std::uint8_t>& file)
{
    const auto field = [&](int index) { return bigEndian32(file, 4 * static_cast<std::size_t>(index)); };
    const std::uint32_t headerSize = field(0);
    if (field(1) != 7 || headerSize < xwdHeaderBytes)
        throw std::runtime_error("xwd: not a version 7 window dump");
    if (field(2) != 2)
        throw std::runtime_error("xwd: not a Z-pixmap dump");
    TestImage image;
    image.width = field(4);
    image.height = field(5);
    const bool msbFirst = field(7) == 1;
    const std::uint32_t bitsPerPixel = field(11);
    const std::uint32_t bytesPerLine = field(12);
    const std::uint32_t masks[3] = {field(14), field(15), field(16)};
    const std::uint32_t colours = field(19);
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        throw std::runtime_error("xwd: " + std::to_string(bitsPerPixel) + " bits per pixel");
    const std::size_t start = headerSize + std::size_t{colours} * 12;
    const std::uint32_t bytes = bitsPerPixel / 8;
    if (bytesPerLine < image.width * bytes || start + std::size_t{bytesPerLine} * image.height > file.size())
        throw std::runtime_error("xwd: pixel data truncated");
    image.pixels.resize(std::size_t{image.width} * image.height);
    for (std::uint32_t y = 0; y < image.height; ++y)
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::uint8_t* p = file.data() + start + std::size_t{y} * bytesPerLine + x * bytes;
            std::uint32_t value = 0;
            for (std::uint32_t b = 0; b < bytes; ++b)
                value |= std::uint32_t{p[b]} << (8 * (msbFirst ? bytes - 1 - b : b));
            image.pixels[std::size_t{y} * image.width + x] =
                (channel(value, masks[0]) << 16) | (channel(value, masks[1]) << 8) | channel(value, masks[2]);
        }
    return image;
}

TestImage readPng(const std::string& path)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw std::runtime_error(path + ": " + png.message);
    png.format = PNG_FORMAT_BGRA;
    TestImage image{png.width, png.height, std::vector<std::uint32_t>(std::size_t{png.width} * png.height)};
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr))
        throw std::runtime_error(path + ": " + png.message);
    // BGRA bytes read as little-endian words are 0xAARRGGBB; the alpha goes.
    for (std::uint32_t& pixel : image.pixels)
        pixel &= 0xFFFFFF;
    return image;
}

std::string fixtureDisplay(const std::string& fixture)
{
    const std::string path = std::string(KZO_BINARY_DIR) + "/" + fixture + "-fixture/display";
    if (!fileExists(path))
        throw std::runtime_error("no Xvfb fixture: run the window tests through ctest (" + path + ")");
    std::string display = readText(path);
    while (!display.empty() && (display.back() == '\n' || display.back() == ' '))
        display.pop_back();
    return display;
}

std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

ProcessOptions onDisplay(const std::string& dir, const std::string& display)
{
    ProcessOptions options = inDirectory(dir);
    options.setEnv.push_back("DISPLAY=" + display);
    options.timeoutSeconds = 60;
    return options;
}

unsigned long waitForWindow(const std::string& display, const std::string& titleRegex, int timeoutSeconds)
{
    ScratchDir dir;
    for (int tenth = 0; tenth < timeoutSeconds * 10; ++tenth) {
        const ProcessResult r = runProcess(findProgram("xdotool"), {"search", "--name", titleRegex},
                                           onDisplay(dir.path(), display));
        const std::vector<std::string> lines = splitLines(r.out);
        if (r.exitCode == 0 && !lines.empty())
            return std::stoul(lines.front());
        pause(100);
    }
    return 0;
}

TestImage captureWindow(const std::string& display, unsigned long window)
{
    ScratchDir dir;
    const ProcessResult r =
        runProcess(findProgram("xwd"), {"-id", std::to_string(window), "-nobdrs", "-silent", "-out", "capture.xwd"},
                   onDisplay(dir.path(), display));
    if (r.exitCode != 0)
        throw std::runtime_error("xwd failed: " + r.err);
    return decodeXwd(readFile(dir.file("capture.xwd")));
}

std::string firstDifference(const TestImage& a, const TestImage& b)
{
    if (a.width != b.width || a.height != b.height)
        return "size " + std::to_string(a.width) + "x" + std::to_string(a.height) + " vs " + std::to_string(b.width)
               + "x" + std::to_string(b.height);
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        if ((a.pixels[i] & 0xFFFFFF) != (b.pixels[i] & 0xFFFFFF)) {
            std::ostringstream text;
            text << i % a.width << "," << i / a.width << ": " << std::hex << (a.pixels[i] & 0xFFFFFF) << " vs "
                 << (b.pixels[i] & 0xFFFFFF);
            return text.str();
        }
    return "";
}

TestImage waitForPicture(const std::string& display, unsigned long window, const TestImage& expected,
                         int timeoutSeconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    TestImage capture = captureWindow(display, window);
    while (!firstDifference(capture, expected).empty() && std::chrono::steady_clock::now() < end) {
        pause(200);
        capture = captureWindow(display, window);
    }
    return capture;
}

bool xdotool(const std::string& display, const std::vector<std::string>& args)
{
    ScratchDir dir;
    return runProcess(findProgram("xdotool"), args, onDisplay(dir.path(), display)).exitCode == 0;
}

void holdKey(const std::string& display, const std::string& key, int holdMilliseconds)
{
    xdotool(display, {"keydown", key});
    pause(holdMilliseconds);
    xdotool(display, {"keyup", key});
}

bool sendDeleteWindow(const std::string& display, unsigned long window)
{
    ScratchDir dir;
    const std::string helper = std::string(KZO_BINARY_DIR) + "/tests/x11/kzo_send_delete_window";
    return runProcess(helper, {std::to_string(window)}, onDisplay(dir.path(), display)).exitCode == 0;
}

std::string showsPictureThenCloses(const std::string& program, const std::vector<std::string>& args,
                                   const std::string& dir, const std::string& display, const TestImage& expected)
{
    ChildProcess child = startProcess(program, args, onDisplay(dir, display));
    const unsigned long window = waitForWindow(display, peltoTitleRegex, 30);
    if (window == 0) {
        const ProcessResult r = waitProcess(child, 0);
        return "no window; exit " + std::to_string(r.exitCode) + ", output: " + r.out + r.err;
    }
    const std::string difference = firstDifference(waitForPicture(display, window, expected, 60), expected);
    sendDeleteWindow(display, window);
    const ProcessResult r = waitProcess(child, 30);
    if (!difference.empty())
        return "picture differs at " + difference;
    if (r.exitCode != 0 || !r.err.empty())
        return "after the close button: exit " + std::to_string(r.exitCode) + ", " + r.err;
    return "";
}
