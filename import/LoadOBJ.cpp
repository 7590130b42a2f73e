#include "import/LoadOBJ.hpp"

#include <unistd.h>

#include "pelto/Log.hpp"
#include "pelto/Support.hpp"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A text quoted in a message, cut so that file, line and reason fit in the 255
// characters FatalError keeps.
std::string quoted(std::string_view text)
{
    constexpr std::size_t keep = 40;
    if (text.size() <= keep)
        return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, keep)) + "...\"";
}

// The values of one line, one run of non-blank characters at a time.
class Fields {
public:
    explicit Fields(std::string_view line) : line_(line) {}

    // The next run, empty at the end of the line.
    std::string_view next()
    {
        while (at_ < line_.size() && isBlank(line_[at_]))
            ++at_;
        const std::size_t start = at_;
        while (at_ < line_.size() && !isBlank(line_[at_]))
            ++at_;
        return line_.substr(start, at_ - start);
    }

private:
    std::string_view line_;
    std::size_t at_ = 0;
};

// The lists and buffers of one load. Each load starts with empty lists; the
// vertex buffer is reused from face to face.
class ObjReader {
public:
    ObjReader(const std::string& fileName, std::int32_t materialIndex)
        : fileName_(fileName), materialIndex_(materialIndex)
    {
        kzoInitObject(object_, fileName, materialIndex);
    }

    kzoObject read(std::string_view text)
    {
        reserveFaces(text);
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = at;
            while (end < text.size() && text[end] != '\n' && text[end] != '\r')
                ++end;
            ++lineNumber_;
            readLine(text.substr(at, end - at));
            if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
                ++end;
            at = end + 1;
        }
        return std::move(object_);
    }

private:
    // One pass over the text for the lines that start with "f" and a blank, so
    // the polygon lists are allocated once instead of copied as they grow.
    void reserveFaces(std::string_view text)
    {
        std::size_t faces = 0;
        for (std::size_t i = 0; i + 1 < text.size(); ++i)
            if (text[i] == 'f' && isBlank(text[i + 1]) && (i == 0 || text[i - 1] == '\n' || text[i - 1] == '\r'))
                ++faces;
        kzoMeshReserve(object_.mesh, 0, faces, 3 * faces);
    }

    [[noreturn]] void refuse(const std::string& reason) const
    {
        FatalError(PathTail(fileName_) + ":" + std::to_string(lineNumber_) + ": " + reason);
    }

    void readLine(std::string_view line)
    {
        std::size_t keywordEnd = 0;
        while (keywordEnd < line.size() && !isBlank(line[keywordEnd]))
            ++keywordEnd;
        const std::string_view keyword = line.substr(0, keywordEnd);
        Fields fields(line.substr(keywordEnd));
        if (keyword == "v")
            positions_.push_back(readVector(fields, line));
        else if (keyword == "vn")
            normals_.push_back(readVector(fields, line));
        else if (keyword == "vt")
            uvs_.push_back(readUV(fields, line));
        else if (keyword == "f")
            readFace(fields, line);
    }

    obj_tVector readVector(Fields& fields, std::string_view line) const
    {
        const std::string_view x = fields.next(), y = fields.next(), z = fields.next();
        if (z.empty())
            refuse(quoted(line) + " needs three values");
        return {ParseFloat(x), ParseFloat(y), ParseFloat(z)};
    }

    obj_tTVector readUV(Fields& fields, std::string_view line) const
    {
        const std::string_view u = fields.next(), v = fields.next();
        if (u.empty())
            refuse(quoted(line) + " needs a value");
        return {ParseFloat(u), ParseFloat(v)};
    }

    // A 1-based index into a list of count entries; negative ones count back
    // from the last entry read so far.
    std::int32_t resolve(std::string_view field, std::size_t count, const char* list, std::string_view corner) const
    {
        const std::int64_t written = ParseInt(field);
        const std::int64_t index = written < 0 ? static_cast<std::int64_t>(count) + 1 + written : written;
        if (index < 1 || index > static_cast<std::int64_t>(count))
            refuse("face corner " + quoted(corner) + ": " + list + " index " + std::to_string(written) +
                   " is outside the " + std::to_string(count) + " read so far");
        return static_cast<std::int32_t>(index);
    }

    Tface readCorner(std::string_view corner) const
    {
        const std::size_t slash1 = corner.find('/');
        const std::size_t slash2 = slash1 == std::string_view::npos ? slash1 : corner.find('/', slash1 + 1);
        if (slash1 == std::string_view::npos || slash2 == slash1 + 1)
            refuse("face corner " + quoted(corner) + " has no texture index (kzoWrite needs v/vt or v/vt/vn)");
        if (slash2 != std::string_view::npos && corner.find('/', slash2 + 1) != std::string_view::npos)
            refuse("face corner " + quoted(corner) + " has more than three fields");
        const std::string_view v = corner.substr(0, slash1);
        const std::string_view vt = corner.substr(slash1 + 1, slash2 == std::string_view::npos ? slash2 : slash2 - slash1 - 1);
        Tface face{resolve(v, positions_.size(), "position", corner), resolve(vt, uvs_.size(), "texture", corner), 0};
        if (slash2 != std::string_view::npos)
            face.normalIndex = resolve(corner.substr(slash2 + 1), normals_.size(), "normal", corner);
        return face;
    }

    void readFace(Fields& fields, std::string_view line)
    {
        corners_.clear();
        for (std::string_view corner = fields.next(); !corner.empty(); corner = fields.next())
            corners_.push_back(readCorner(corner));
        if (corners_.empty())
            refuse(quoted(line) + " is a face without corners");

        vertices_.resize(corners_.size());
        for (std::size_t i = 0; i < corners_.size(); ++i) {
            const Tface& c = corners_[i];
            const obj_tVector& p = positions_[static_cast<std::size_t>(c.vertexIndex - 1)];
            const obj_tTVector& t = uvs_[static_cast<std::size_t>(c.uvIndex - 1)];
            const obj_tVector n = c.normalIndex ? normals_[static_cast<std::size_t>(c.normalIndex - 1)] : obj_tVector{0, 0, 0};
            kzoVertex& vertex = vertices_[i];
            kzoMakeVertex(vertex, p.x, p.y, p.z, n.x, n.y, n.z, t.u, 1.0f - t.v, 255, 255, 255, 255);
            // The writer merges equal positions on all four components: one w for all.
            vertex.position.w = 1.0f;
        }
        kzoCreatePoly(poly_, vertices_, materialIndex_);
        kzoAddPoly(object_, poly_);
    }

    const std::string& fileName_;
    const std::int32_t materialIndex_;
    kzoObject object_;
    std::size_t lineNumber_ = 0;
    std::vector<obj_tVector> positions_;
    std::vector<obj_tTVector> uvs_;
    std::vector<obj_tVector> normals_;
    Tfaces corners_;
    std::vector<kzoVertex> vertices_;
    kzoPoly poly_{};
};

} // namespace

kzoObject kzoParseOBJ(std::string_view text, const std::string& fileName, std::int32_t materialIndex)
{
    return ObjReader(fileName, materialIndex).read(text);
}

kzoObject kzoLoadOBJ(const std::string& fileName, std::int32_t materialIndex)
{
    const std::string name = ShortString(fileName);
    std::vector<std::uint8_t> bytes;
    // Checked first, so that a file that exists but cannot be read is refused
    // with the same message as a missing one.
    if (!FileExists(name) || access(name.c_str(), R_OK) != 0 || !ReadWholeFile(name, bytes))
        FatalError("UNABLE to open " + name);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return kzoParseOBJ(text, name, materialIndex);
}
