#include "import/obj/ModelMaterial.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "import/obj/MaterialLibrary.hpp"
#include "import/obj/ObjReader.hpp"
#include "pelto/base/Support.hpp"

namespace {

// A material as found, with the library that defines it.
struct Defined {
    const kzoMtlMaterial* material = nullptr;
    const std::string* library = nullptr;
};

struct Library {
    std::string path;
    std::vector<kzoMtlMaterial> materials;
};

std::string joined(const std::string& relativeTo, const std::string& name)
{
    if (name.starts_with('/'))
        return name;
    const std::size_t slash = relativeTo.rfind('/');
    return (slash == std::string::npos ? std::string() : relativeTo.substr(0, slash + 1)) + name;
}

std::string where(const std::string& file, std::uint64_t line)
{
    return peltoPathTail(file) + ":" + std::to_string(line);
}

std::vector<std::string> blankSeparated(const std::string& text)
{
    std::vector<std::string> words;
    kzoObjFields fields(text);
    for (std::string_view word = fields.next(); !word.empty(); word = fields.next())
        words.emplace_back(word);
    return words;
}

// The libraries of every mtllib line that can be read; a warning for each
// that cannot.
std::vector<Library> readLibraries(const std::string& objPath, const kzoObjMaterials& materials,
                                   std::vector<std::string>& warnings)
{
    std::vector<Library> libraries;
    for (const kzoObjLibraryLine& line : materials.libraries)
        for (const std::string& path : kzoMaterialLibraryPaths(objPath, line.names)) {
            std::vector<std::uint8_t> bytes;
            const peltoFileRead read = peltoTryReadWholeFile(path, bytes);
            if (read.outcome == peltoReadOutcome::Read) {
                const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
                libraries.push_back({path, kzoParseMaterialLibrary(text)});
                continue;
            }
            const int error = read.outcome == peltoReadOutcome::Missing ? ENOENT
                              : read.outcome == peltoReadOutcome::Short ? EIO
                                                                        : read.errorNumber;
            warnings.push_back(where(objPath, line.line) + ": material library " + peltoPathTail(path) + ": " +
                               std::strerror(error));
        }
    return libraries;
}

Defined find(const std::vector<Library>& libraries, const std::string& name)
{
    for (const Library& library : libraries)
        if (const kzoMtlMaterial* material = kzoFindMtlMaterial(library.materials, name))
            return {material, &library.path};
    return {};
}

std::string texturePath(const Defined& defined)
{
    return defined.material->texture.empty() ? std::string() : kzoResolvePath(*defined.library, defined.material->texture);
}

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// One line when faces use materials whose textures differ.
void warnOfOtherTextures(const std::string& objPath, const std::vector<Library>& libraries,
                         const kzoObjMaterials& materials, const kzoModelMaterial& chosen,
                         std::vector<std::string>& warnings)
{
    std::vector<std::string> textures{chosen.texturePath};
    for (const kzoObjMaterialUse& use : materials.used)
        if (const Defined defined = find(libraries, use.name); defined.material) {
            const std::string path = texturePath(defined);
            if (std::find(textures.begin(), textures.end(), path) == textures.end())
                textures.push_back(path);
        }
    if (textures.size() < 2)
        return;
    warnings.push_back(peltoPathTail(objPath) + ": faces use " + std::to_string(materials.used.size()) +
                       " materials with " + std::to_string(textures.size()) +
                       " different textures; all faces take the first material's, " + quoted(chosen.name) + " (" +
                       (chosen.texturePath.empty() ? "no texture" : peltoPathTail(chosen.texturePath)) + ")");
}

} // namespace

std::string kzoResolvePath(const std::string& relativeTo, const std::string& name)
{
    const std::string path = joined(relativeTo, name);
    if (name.find('\\') == std::string::npos || peltoFileExists(path))
        return path;
    std::string slashes = name;
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    const std::string other = joined(relativeTo, slashes);
    return peltoFileExists(other) ? other : path;
}

std::vector<std::string> kzoMaterialLibraryPaths(const std::string& objPath, const std::string& names)
{
    const std::string whole = kzoResolvePath(objPath, names);
    const std::vector<std::string> words = blankSeparated(names);
    if (words.size() < 2 || peltoFileExists(whole))
        return {whole};
    std::vector<std::string> paths;
    for (const std::string& word : words)
        paths.push_back(kzoResolvePath(objPath, word));
    // None of them there either: it was most likely one name with spaces.
    if (std::none_of(paths.begin(), paths.end(), [](const std::string& path) { return peltoFileExists(path); }))
        return {whole};
    return paths;
}

kzoModelMaterial kzoFindModelMaterial(const std::string& objPath, const kzoObjMaterials& materials)
{
    kzoModelMaterial chosen;
    // Many files name a material ("usemtl Default") and no library: nothing
    // there to read, nothing skipped.
    if (materials.used.empty() || materials.libraries.empty())
        return chosen;
    const std::vector<Library> libraries = readLibraries(objPath, materials, chosen.warnings);
    const kzoObjMaterialUse& first = materials.used.front();
    const Defined defined = find(libraries, first.name);
    if (!defined.material) {
        // A library that could not be read has had its warning, and may be
        // where the material is: one line is enough.
        if (!chosen.warnings.empty())
            return chosen;
        std::string read;
        for (const Library& library : libraries)
            read += (read.empty() ? "" : ", ") + peltoPathTail(library.path);
        chosen.warnings.push_back(where(objPath, first.line) + ": material " + quoted(first.name) +
                                  " is defined in none of " + read);
        return chosen;
    }
    chosen.name = first.name;
    if (defined.material->hasColour)
        chosen.colour = defined.material->colour;
    if (defined.material->textureLine != 0 && defined.material->texture.empty())
        chosen.warnings.push_back(where(*defined.library, defined.material->textureLine) + ": map_Kd names no file");
    chosen.texturePath = texturePath(defined);
    warnOfOtherTextures(objPath, libraries, materials, chosen, chosen.warnings);
    return chosen;
}
