#include "import/obj/MaterialLibrary.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "import/obj/ObjReader.hpp"
#include "pelto/base/Parse.hpp"

namespace {

bool sameWord(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return (x >= 'A' && x <= 'Z' ? x - 'A' + 'a' : x) == (y >= 'A' && y <= 'Z' ? y - 'A' + 'a' : y);
    });
}

// The run of non-blanks at the start of text (after its blanks), and text
// moved past it.
std::string_view nextWord(std::string_view& text)
{
    text = kzoObjTrimmed(text);
    const std::string_view word = kzoObjFirstRun(text);
    text.remove_prefix(word.size());
    return word;
}

bool isNumber(std::string_view word)
{
    if (word.starts_with('+'))
        word.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return !word.empty() && error == std::errc() && end == word.data() + word.size();
}

// Kd's value as a byte: clamped to 0..1, times 255, rounded to nearest (ties
// to even); NaN is 0.
std::uint8_t colourByte(float value)
{
    const float clamped = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    return static_cast<std::uint8_t>(std::nearbyint(static_cast<double>(clamped) * 255.0));
}

void readColour(std::string_view values, kzoMtlMaterial& material)
{
    const std::string_view r = nextWord(values), g = nextWord(values), b = nextWord(values);
    if (r.empty() || sameWord(r, "spectral") || sameWord(r, "xyz") || (!g.empty() && b.empty()))
        return;
    const std::uint8_t red = colourByte(ParseFloat(r));
    const std::uint8_t green = g.empty() ? red : colourByte(ParseFloat(g));
    const std::uint8_t blue = g.empty() ? red : colourByte(ParseFloat(b));
    material.hasColour = true;
    material.colour = 0xFF000000u | std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue;
}

// How many values an option of map_Kd takes: fixed, or (variable) one to three numbers.
struct OptionValues {
    std::size_t count;
    bool variable;
};

bool optionValues(std::string_view option, OptionValues& values)
{
    static constexpr std::string_view one[] = {"-blendu", "-blendv", "-bm",      "-boost",
                                                "-cc",     "-clamp",  "-colorspace", "-imfchan",
                                                "-texres", "-type"};
    static constexpr std::string_view upToThree[] = {"-o", "-s", "-t"};
    for (const std::string_view name : one)
        if (sameWord(option, name))
            return values = {1, false}, true;
    if (sameWord(option, "-mm"))
        return values = {2, false}, true;
    for (const std::string_view name : upToThree)
        if (sameWord(option, name))
            return values = {3, true}, true;
    return false;
}

// The file name of a map_Kd statement: its options and their values skipped,
// the rest of the line.
std::string textureName(std::string_view rest)
{
    for (;;) {
        rest = kzoObjTrimmed(rest);
        std::string_view after = rest;
        OptionValues values{};
        if (!optionValues(nextWord(after), values))
            return std::string(rest);
        for (std::size_t i = 0; i < values.count; ++i) {
            std::string_view peek = after;
            const std::string_view value = nextWord(peek);
            if (value.empty() || (values.variable && !isNumber(value)))
                break;
            after = peek;
        }
        rest = after;
    }
}

} // namespace

std::vector<kzoMtlMaterial> kzoParseMaterialLibrary(std::string_view text)
{
    std::vector<kzoMtlMaterial> materials;
    std::uint64_t lineNumber = 0;
    const char* const end = text.data() + text.size();
    for (const char* at = text.data(); at < end;) {
        const char* lineEnd = at;
        while (lineEnd < end && !kzoObjLineEnd(*lineEnd))
            ++lineEnd;
        std::string_view rest(at, static_cast<std::size_t>(lineEnd - at));
        at = kzoObjNextLine(lineEnd, end);
        ++lineNumber;
        const std::string_view keyword = nextWord(rest);
        if (sameWord(keyword, "newmtl")) {
            materials.push_back({});
            materials.back().name = kzoObjTrimmed(rest);
            materials.back().line = lineNumber;
        } else if (materials.empty()) {
            continue;
        } else if (sameWord(keyword, "Kd") && !materials.back().hasColour) {
            readColour(rest, materials.back());
        } else if (sameWord(keyword, "map_Kd") && materials.back().textureLine == 0) {
            materials.back().texture = textureName(rest);
            materials.back().textureLine = lineNumber;
        }
    }
    return materials;
}

const kzoMtlMaterial* kzoFindMtlMaterial(const std::vector<kzoMtlMaterial>& materials, std::string_view name)
{
    for (const kzoMtlMaterial& material : materials)
        if (material.name == name)
            return &material;
    return nullptr;
}
