// libFuzzer target for the material library reader: any text gives materials
// whose names and texture names are single trimmed lines, whose colours are
// opaque and whose statements lie on lines of the text in order; a name looks
// up a material of that name.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "import/obj/MaterialLibrary.hpp"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool oneTrimmedLine(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return text.find_first_of("\r\n") == std::string_view::npos &&
           (text.empty() || (!blank(text.front()) && !blank(text.back())));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<kzoMtlMaterial> materials = kzoParseMaterialLibrary(text);
    const std::uint64_t lines = 1 + static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n')) +
                                static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\r'));
    std::uint64_t previous = 0;
    for (const kzoMtlMaterial& material : materials) {
        check(oneTrimmedLine(material.name) && oneTrimmedLine(material.texture));
        check(material.line > previous && material.line <= lines);
        check(material.textureLine == 0 || (material.textureLine > material.line && material.textureLine <= lines));
        check(material.textureLine != 0 || material.texture.empty());
        check(material.colour >> 24 == 0xFF && (material.hasColour || material.colour == 0xFF808080));
        const kzoMtlMaterial* found = kzoFindMtlMaterial(materials, material.name);
        check(found != nullptr && found->name == material.name && found->line <= material.line);
        previous = material.line;
    }
    return 0;
}
