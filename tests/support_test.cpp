// The log, fatal errors, the tolerant parsers, files, images and pixel runs.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <sys/stat.h>

#include "pelto/base/Image.hpp"
#include "pelto/base/Log.hpp"
#include "pelto/base/ParseGeneral.hpp"
#include "pelto/base/Pixels.hpp"
#include "tests/support/Process.hpp"
#include "tests/support/Scratch.hpp"

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(Log, TwoLinesAreExactlySixBytes)
{
    ScratchDir dir;
    WorkingDirectory cwd(dir.path());
    LogLine("a");
    LogLine("b");
    EXPECT_EQ(readFile("logger.log"), bytesOf("a\r\nb\r\n"));
}

TEST(Log, DeleteLogRemovesAnOldLogAndToleratesNone)
{
    ScratchDir dir;
    WorkingDirectory cwd(dir.path());
    DeleteLog();
    EXPECT_FALSE(fileExists("logger.log"));
    LogLine("old run");
    DeleteLog();
    EXPECT_FALSE(fileExists("logger.log"));
}

TEST(Log, LogAndPrintWritesBothPlaces)
{
    ScratchDir dir;
    const ProcessResult r = runInChild([] { LogAndPrint("spot Bone arm not found!"); return 0; },
                                       inDirectory(dir.path()));
    EXPECT_EQ(r.out, "spot Bone arm not found!\n");
    EXPECT_EQ(readText(dir.file("logger.log")), "spot Bone arm not found!\r\n");
}

TEST(FatalError, EndsWithExitCodeOneAfterTheMessageAndTwoLogLines)
{
    ScratchDir dir;
    const ProcessResult r = runInChild([]() -> int { FatalError("Unsupported Device"); }, inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Unsupported Device\n");
    EXPECT_EQ(readText(dir.file("logger.log")), "MESSAGE: Unsupported Device\r\nUnsupported Device\r\n");
}

TEST(FatalError, MessageIsCutTo255Characters)
{
    ScratchDir dir;
    const std::string longMessage(300, 'x');
    const ProcessResult r = runInChild([&]() -> int { FatalError(longMessage); }, inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string(255, 'x') + "\n");
}

TEST(FatalError, HookReceivesTheMessageInsteadOfEndingTheProgram)
{
    ScratchDir dir;
    WorkingDirectory cwd(dir.path());
    peltoSetFatalErrorHook([](const std::string& message) { throw std::runtime_error(message); });
    try {
        FatalError("Error loading file!");
        FAIL() << "FatalError returned";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Error loading file!");
    }
    peltoSetFatalErrorHook(nullptr);
    EXPECT_FALSE(fileExists("logger.log")) << "a hooked stop logs nothing";
}

TEST(peltoIoError, UnwritableLogNamesTheFileAndExitsWithOne)
{
    ScratchDir dir;
    // A directory in the log's place cannot be opened for appending.
    ASSERT_EQ(mkdir(dir.file("logger.log").c_str(), 0755), 0);
    const ProcessResult r = runInChild([] { LogLine("x"); return 0; }, inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("./logger.log: ", 0), 0u) << r.err;
}

TEST(ReadWholeFile, MissingFileIsFalseAndLeavesTheBufferAlone)
{
    std::vector<std::uint8_t> buffer{1, 2, 3};
    EXPECT_FALSE(ReadWholeFile("/nonexistent/kzo/file", buffer));
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(ReadWholeFile, ReadsEveryByte)
{
    ScratchDir dir;
    const std::vector<std::uint8_t> bytes{0, 0xFF, 0xD8, 13, 10, 0};
    writeFile(dir.file("f.bin"), bytes);
    std::vector<std::uint8_t> buffer;
    EXPECT_TRUE(ReadWholeFile(dir.file("f.bin"), buffer));
    EXPECT_EQ(buffer, bytes);
    writeFile(dir.file("empty"), {});
    EXPECT_TRUE(ReadWholeFile(dir.file("empty"), buffer));
    EXPECT_TRUE(buffer.empty());
}

TEST(ReadWholeFile, ExistingButUnreadableIsAnInputOutputError)
{
    ScratchDir dir;
    const std::string path = dir.file("folder");
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    const ProcessResult r = runInChild([&] {
        std::vector<std::uint8_t> buffer;
        ReadWholeFile(path, buffer);
        return 0;
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, path + ": Is a directory\n");
}

// --- The tolerant parsers -------------------------------------------------

// The plain algorithm the parsers are built from: convert; on failure drop the
// character at the failing position (the last one when that position lies past
// the end) and convert again.
struct Scan {
    bool ok;
    std::size_t failAt;
};

Scan scanInteger(const std::string& t)
{
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    if (i >= t.size() || !std::isdigit(static_cast<unsigned char>(t[i])))
        return {false, i};
    std::int64_t value = 0;
    for (; i < t.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(t[i])))
            return {false, i};
        value = value * 10 + (t[i] - '0');
        if (value > (negative ? 2147483648LL : 2147483647LL))
            return {false, i};
    }
    return {true, 0};
}

Scan scanDecimal(const std::string& t)
{
    auto digit = [&](std::size_t i) { return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); };
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
        ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (digit(i))
        ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (digit(i))
            ++i, ++digits;
    }
    if (digits == 0)
        return {false, i};
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        if (!digit(i))
            return {false, i};
        while (digit(i))
            ++i;
    }
    if (i < t.size())
        return {false, i};
    return {true, 0};
}

std::string repair(std::string t, Scan (*scan)(const std::string&))
{
    for (;;) {
        if (t.empty())
            return t;
        const Scan s = scan(t);
        if (s.ok)
            return t;
        t.erase(s.failAt < t.size() ? s.failAt : t.size() - 1, 1);
    }
}

std::int32_t plainParseInt(const std::string& text)
{
    const std::string t = repair(text, scanInteger);
    return t.empty() ? 0 : static_cast<std::int32_t>(std::stoll(t));
}

float plainParseFloat(std::string text)
{
    for (char& c : text)
        if (c == ',')
            c = '.';
    const std::string t = repair(text, scanDecimal);
    return t.empty() ? 0.0f : static_cast<float>(std::strtod(t.c_str(), nullptr));
}

TEST(ParseInt, DropsEveryCharacterThatBreaksTheNumber)
{
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"12a3", 123}, {" 7;", 7}, {"", 0}, {"-", 0}, {"+-5", 5}, {"abc", 0}, {"  ", 0},
        {"-12", -12}, {"007", 7}, {"0x10", 10}, {"1 2", 12}, {"5 ", 5},
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"2147483648", 214748364}, {"21474836470", 2147483647}, {"99999999999", 999999999},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseFloat, DropsEveryCharacterThatBreaksTheNumber)
{
    const struct {
        const char* text;
        float value;
    } cases[] = {
        {"1,25", 1.25f}, {"", 0.0f}, {"0.5x", 0.5f}, {"1.5x", 1.5f}, {"1a2", 12.0f}, {"1ex5", 1e5f},
        {"1e", 1.0f}, {"-", 0.0f}, {"+-5", 5.0f}, {"1.5e+", 1.5f}, {".5", 0.5f}, {"5.", 5.0f},
        {".", 0.0f}, {"-.e", 0.0f}, {" -2.5E-1", -0.25f}, {"1,5", 1.5f}, {"1.2.3", 1.23f},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseFloat(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(ParseFloat("1e999"), INFINITY);
    EXPECT_EQ(ParseFloat("-1e999"), -INFINITY);
}

TEST(ParseFloat, ConvertsToDoubleFirstThenRoundsToFloat)
{
    // 1 + 2^-24 is a tie between two floats; the trailing 1 is lost in double,
    // so the tie goes to the even float 1.0 (a direct conversion would round up).
    EXPECT_EQ(ParseFloat("1.0000000596046447753906250000000001"), 1.0f);
    EXPECT_EQ(ParseFloat("0.1"), static_cast<float>(0.1));
}

TEST(Parse, OnePassEqualsTheDropAndRetryLoopOnRandomText)
{
    std::mt19937 random(7);
    const std::string alphabet = "0123456789+-.,eE x\t";
    for (int n = 0; n < 200000; ++n) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i)
            text += alphabet[random() % alphabet.size()];
        ASSERT_EQ(ParseInt(text), plainParseInt(text)) << '"' << text << '"';
        ASSERT_EQ(std::bit_cast<std::uint32_t>(ParseFloat(text)), std::bit_cast<std::uint32_t>(plainParseFloat(text)))
            << '"' << text << '"';
    }
}

// Plain decimals take the short road (one exact operation, or from_chars);
// it must give the general parser's bits: random digits and exponents, long
// mantissas, values at and a hair beside the midpoints between two floats
// (where converting straight to float would differ from double, then float),
// the ends of the float range, and integers of every length.
TEST(Parse, PlainNumbersGiveTheGeneralParsersBits)
{
    std::mt19937 random(11);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto digits = [&](int n) {
        std::string t;
        for (int i = 0; i < n; ++i)
            t += static_cast<char>('0' + pick(10));
        return t;
    };
    std::vector<std::string> texts;
    for (int n = 0; n < 300000; ++n) {
        std::string t = pick(2) ? "-" : "";
        const int whole = pick(4) ? pick(8) : pick(26), fraction = pick(3) ? pick(10) : pick(26);
        t += digits(whole);
        if (pick(5))
            t += "." + digits(fraction);
        if (pick(3) == 0)
            t += std::string(pick(2) ? "e" : "E") + (pick(2) ? "-" : pick(2) ? "+" : "") +
                 std::to_string(pick(4) ? pick(30) : pick(400));
        texts.push_back(t);
    }
    for (int n = 0; n < 100000; ++n) {
        // Midpoint of a random float and the next one up, exact in double, and beside it.
        const float f = std::bit_cast<float>(static_cast<std::uint32_t>(random()) & 0x7F7FFFFFu);
        const double middle = (double{f} + double{std::nextafter(f, INFINITY)}) / 2;
        char text[80];
        std::snprintf(text, sizeof text, "%.*g", 9 + pick(20), middle);
        texts.push_back(text);
        std::snprintf(text, sizeof text, "%.17e", std::nextafter(middle, pick(2) ? INFINITY : 0.0));
        texts.push_back(text);
    }
    for (const char* edge : {"3.4028235e38", "3.4028236e38", "1e39", "1.17549435e-38", "1.4e-45", "7e-46", "0.0", "-0",
                             "9007199254740993", "9007199254740992.5", "1e22", "1e23", "123456789012345678901234567890"})
        texts.push_back(edge);
    for (const std::string& text : texts) {
        float prefixValue = 0.0f;
        const std::size_t length = peltoParseFloatPrefix(text, prefixValue);
        const std::uint32_t general = std::bit_cast<std::uint32_t>(peltoParseFloatGeneral(text));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(ParseFloat(text)), general) << text;
        if (length == text.size()) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(prefixValue), general) << text;
        }
    }
    for (int n = 0; n < 200000; ++n) {
        const std::string text = (pick(3) ? "" : "-") + digits(1 + pick(pick(4) ? 9 : 14));
        ASSERT_EQ(ParseInt(text), peltoParseIntGeneral(text)) << text;
    }
}

// --- Small helpers ------------------------------------------------------------

TEST(Support, FloatToStr2RoundsToTwoDecimalsInFourColumns)
{
    EXPECT_EQ(FloatToStr2(59.9444f), "59.94");
    EXPECT_EQ(FloatToStr2(100.0f), "100.00");
    EXPECT_EQ(FloatToStr2(5.0f), "5.00");
    EXPECT_EQ(FloatToStr2(0.004f), "0.00");
    EXPECT_EQ(FloatToStr2(60.0f), "60.00");
}

TEST(Support, WriteZStringEndsWithOneZeroByte)
{
    std::vector<std::uint8_t> out;
    WriteZString(out, "ab");
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x61, 0x62, 0x00}));
    out.clear();
    WriteZString(out, "");
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x00}));
}

TEST(Support, DegToRadMultipliesInDouble)
{
    EXPECT_EQ(DegToRad(180.0f), 3.14159274f);
    EXPECT_EQ(DegToRad(45.0f), static_cast<float>(45.0 * 0.017453292519943295));
}

TEST(Support, ShortStringKeeps255Characters)
{
    EXPECT_EQ(peltoShortString(std::string(300, 'p')).size(), 255u);
    EXPECT_EQ(peltoShortString("test.kzo"), "test.kzo");
}

TEST(Support, PathTailKeepsTheEndOfALongPath)
{
    EXPECT_EQ(peltoPathTail("models/spot.obj"), "models/spot.obj");
    const std::string longPath = std::string(200, 'd') + "/end.obj";
    const std::string tail = peltoPathTail(longPath);
    EXPECT_EQ(tail.size(), 120u);
    EXPECT_EQ(tail, "..." + longPath.substr(longPath.size() - 117));
    EXPECT_EQ(peltoPathTail(std::string(120, 'p')), std::string(120, 'p'));
}

// --- Images and pixel runs ----------------------------------------------------

TEST(Image, AllocImageGivesZeroedPixelsAndFreeImageKeepsTheSize)
{
    peltoImage image;
    AllocImage(image, 2, 3);
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.height, 3u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(image.pixels[i], 0u);
    FreeImage(image);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.height, 3u);
}

TEST(Image, PackAndSplitColours)
{
    EXPECT_EQ(peltoRGBA(128, 128, 128, 255), 0xFF808080u);
    std::uint8_t r, g, b, a;
    peltoSplitRGBA(0x11223344u, r, g, b, a);
    EXPECT_EQ(a, 0x11);
    EXPECT_EQ(r, 0x22);
    EXPECT_EQ(g, 0x33);
    EXPECT_EQ(b, 0x44);
}

TEST(Pixels, FillAndCopyTouchExactlyCountPixels)
{
    for (std::size_t count : {0u, 1u, 2u, 3u, 8u, 9u}) {
        std::vector<std::uint32_t> pixels(12, 0xDEADBEEF);
        FillPixels(pixels.data() + 1, count, 0x01020304u);
        EXPECT_EQ(pixels[0], 0xDEADBEEFu);
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(pixels[1 + i], 0x01020304u);
        EXPECT_EQ(pixels[1 + count], 0xDEADBEEFu) << count;

        std::vector<std::uint32_t> source(count);
        for (std::size_t i = 0; i < count; ++i)
            source[i] = static_cast<std::uint32_t>(i * 7 + 1);
        std::vector<std::uint32_t> copy(12, 0xDEADBEEF);
        CopyPixels(source.data(), copy.data() + 1, count);
        EXPECT_EQ(copy[0], 0xDEADBEEFu);
        EXPECT_TRUE(std::equal(source.begin(), source.end(), copy.begin() + 1));
        EXPECT_EQ(copy[1 + count], 0xDEADBEEFu) << count;
    }
}

} // namespace
