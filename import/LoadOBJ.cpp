#include "import/LoadOBJ.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/VertexKeys.hpp"
#include "pelto/Parse.hpp"
#include "pelto/Support.hpp"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A text quoted in a message, cut so that file, line and reason fit in the 255
// characters a fatal message keeps.
std::string quoted(std::string_view text)
{
    constexpr std::size_t keep = 40;
    if (text.size() <= keep)
        return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, keep)) + "...\"";
}

// Ends a load: thrown inside the reader, handed to the caller as a value.
struct Refusal {
    peltoFailure failure;
};

peltoFailure failureAt(std::string message, const std::string& file, std::uint64_t line)
{
    peltoFailure failure;
    failure.message = std::move(message);
    failure.file = file;
    failure.line = line;
    return failure;
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

// The lists of one load and the mesh they become. Each load starts with empty
// lists; text arrives in pieces of whole lines.
class ObjReader {
public:
    ObjReader(const std::string& fileName, std::int32_t materialIndex, kzoObjFaces faces)
        : fileName_(fileName), materialIndex_(materialIndex), faces_(faces)
    {
        kzoInitObject(object_, fileName, materialIndex);
    }

    // Reads every line of text that is known to be whole (all of them when
    // last); the number of bytes read. The rest starts an unended line.
    std::size_t readLines(std::string_view text, bool last)
    {
        const std::size_t whole = last ? text.size() : wholeLines(text);
        const char* at = text.data();
        const char* const end = at + whole;
        while (at < end) {
            ++lineNumber_;
            const char* next = readPlainLine(at, end);
            at = next ? next : readGeneralLine(at, end);
        }
        return whole;
    }

    // The object, or the failure of a face that had too few corners to split.
    kzoObject finish()
    {
        if (shortFace_.corners != 0)
            throw Refusal{failureAt(PathTail(fileName_) + ": face " + std::to_string(shortFace_.number) + " has " +
                                        std::to_string(shortFace_.corners) +
                                        (shortFace_.corners == 1 ? " corner" : " corners") +
                                        "; kzoWrite converts faces of 3 to 8 corners",
                                    fileName_, shortFace_.line)};
        object_.polyCount = static_cast<std::int32_t>(kzoMeshPolyCount(object_.mesh));
        return std::move(object_);
    }

private:
    // The length of the whole lines at the start of text: up to its last LF,
    // or its last CR once the byte after it is known (a CR LF is one end).
    static std::size_t wholeLines(std::string_view text)
    {
        for (std::size_t i = text.size(); i-- > 0;)
            if (text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size()))
                return i + 1;
        return 0;
    }

    static bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

    // Past the end of the line that holds at: LF, CR LF, a lone CR, or end.
    static const char* nextLine(const char* at, const char* end)
    {
        while (at < end && !isLineEnd(*at))
            ++at;
        if (at == end)
            return end;
        return at[0] == '\r' && at + 1 < end && at[1] == '\n' ? at + 2 : at + 1;
    }

    // The general path: every statement, every spelling, every refusal.
    const char* readGeneralLine(const char* at, const char* end)
    {
        const char* lineEnd = at;
        while (lineEnd < end && !isLineEnd(*lineEnd))
            ++lineEnd;
        readLine({at, static_cast<std::size_t>(lineEnd - at)});
        return nextLine(lineEnd, end);
    }

    // The fast path for the lines model files are made of: "v", "vt", "vn"
    // and "f" with plain numbers and indices inside the lists, read while the
    // line is scanned once. Anything else gives null with nothing changed,
    // and the line goes the general way, which gives the same result.
    const char* readPlainLine(const char* at, const char* end)
    {
        const std::size_t size = static_cast<std::size_t>(end - at);
        if (size >= 2 && at[0] == 'v' && isBlank(at[1]))
            return readPlainVector(at + 2, end, positions_);
        if (size >= 3 && at[0] == 'v' && at[1] == 'n' && isBlank(at[2]))
            return readPlainVector(at + 3, end, normals_);
        if (size >= 3 && at[0] == 'v' && at[1] == 't' && isBlank(at[2]))
            return readPlainUV(at + 3, end);
        if (size >= 2 && at[0] == 'f' && isBlank(at[1]))
            return readPlainFace(at + 2, end);
        return nullptr;
    }

    // The next value of a line: at its end (present false), a plain number
    // ending at a blank or the line's end, or null for anything else.
    static const char* plainValue(const char* at, const char* end, float& value, bool& present)
    {
        while (at < end && isBlank(*at))
            ++at;
        present = at < end && !isLineEnd(*at);
        if (!present)
            return at;
        at += ParseFloatPrefix({at, static_cast<std::size_t>(end - at)}, value);
        return at == end || isBlank(*at) || isLineEnd(*at) ? at : nullptr;
    }

    const char* readPlainVector(const char* at, const char* end, std::vector<obj_tVector>& list)
    {
        obj_tVector v;
        bool present = false;
        for (float* value : {&v.x, &v.y, &v.z})
            if (!(at = plainValue(at, end, *value, present)) || !present)
                return nullptr;
        list.push_back(v);
        return nextLine(at, end);
    }

    const char* readPlainUV(const char* at, const char* end)
    {
        obj_tTVector uv{0.0f, 0.0f};
        bool present = false;
        if (!(at = plainValue(at, end, uv.u, present)) || !present || !(at = plainValue(at, end, uv.v, present)))
            return nullptr;
        uvs_.push_back(uv);
        return nextLine(at, end);
    }

    // A plain index (an optional minus, 1 to 9 digits) into a list of count
    // entries, resolved as resolve() does; null when it is not one or is outside.
    static const char* plainIndex(const char* at, const char* end, std::size_t count, std::int32_t& index)
    {
        std::int32_t written = 0;
        const std::size_t length = ParseIntPrefix({at, static_cast<std::size_t>(end - at)}, written);
        const std::int64_t resolved = written < 0 ? static_cast<std::int64_t>(count) + 1 + written : written;
        if (length == 0 || resolved < 1 || resolved > static_cast<std::int64_t>(count))
            return nullptr;
        index = static_cast<std::int32_t>(resolved);
        return at + length;
    }

    const char* readPlainFace(const char* at, const char* end)
    {
        corners_.clear();
        for (;;) {
            while (at < end && isBlank(*at))
                ++at;
            if (at == end || isLineEnd(*at))
                break;
            Tface c{0, 0, 0};
            if (!(at = plainIndex(at, end, positions_.size(), c.vertexIndex)) || at == end || *at != '/' ||
                !(at = plainIndex(at + 1, end, uvs_.size(), c.uvIndex)))
                return nullptr;
            if (at < end && *at == '/' && !(at = plainIndex(at + 1, end, normals_.size(), c.normalIndex)))
                return nullptr;
            if (at < end && !isBlank(*at) && !isLineEnd(*at))
                return nullptr;
            corners_.push_back(c);
        }
        if (corners_.empty() || corners_.size() > static_cast<std::size_t>(kzoMaxVertex))
            return nullptr;
        addFace();
        return nextLine(at, end);
    }

    [[noreturn]] void refuse(const std::string& reason) const
    {
        throw Refusal{failureAt(PathTail(fileName_) + ":" + std::to_string(lineNumber_) + ": " + reason, fileName_,
                                lineNumber_)};
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
        const std::string_view vt =
            corner.substr(slash1 + 1, slash2 == std::string_view::npos ? slash2 : slash2 - slash1 - 1);
        Tface face{resolve(v, positions_.size(), "position", corner), resolve(vt, uvs_.size(), "texture", corner), 0};
        if (slash2 != std::string_view::npos)
            face.normalIndex = resolve(corner.substr(slash2 + 1), normals_.size(), "normal", corner);
        return face;
    }

    // The mesh vertex of a corner: made once per distinct (position, texture,
    // normal) index triple, from the lists as they stand.
    std::uint32_t vertexOf(const Tface& c)
    {
        const auto position = static_cast<std::uint32_t>(c.vertexIndex - 1);
        const std::uint64_t rest = std::uint64_t(static_cast<std::uint32_t>(c.uvIndex)) << 32 |
                                   static_cast<std::uint32_t>(c.normalIndex);
        std::uint32_t vertex = vertexKeys_.find(position, rest);
        if (vertex != kzoNoVertex)
            return vertex;
        if (detail_ == kzoNoVertex) {
            kzoVertexDetail white{};
            white.colour = {255, 255, 255, 255};
            detail_ = kzoMeshDetail(object_.mesh, white);
        }
        const obj_tVector& p = positions_[position];
        const obj_tTVector& t = uvs_[static_cast<std::size_t>(c.uvIndex - 1)];
        const obj_tVector n = c.normalIndex ? normals_[static_cast<std::size_t>(c.normalIndex - 1)] : obj_tVector{0, 0, 0};
        // The writer merges equal positions on all four components: one w for all.
        vertex = kzoMeshAppendVertexRow(object_.mesh, kzoMakeVector(p.x, p.y, p.z), {t.u, 1.0f - t.v},
                                        kzoMakeVector(n.x, n.y, n.z), detail_);
        vertexKeys_.add(position, rest, vertex);
        return vertex;
    }

    void addPolygon(std::span<const std::uint32_t> corners)
    {
        const std::vector<kzoVector>& positions = object_.mesh.positions;
        const kzoVector normal =
            kzoFaceNormal(corners.size(), [&](std::size_t i) -> const kzoVector& { return positions[corners[i]]; });
        kzoMeshAppendPolygon(object_.mesh, corners, static_cast<std::int32_t>(corners.size()), normal, materialIndex_);
    }

    void readFace(Fields& fields, std::string_view line)
    {
        corners_.clear();
        for (std::string_view corner = fields.next(); !corner.empty(); corner = fields.next())
            corners_.push_back(readCorner(corner));
        if (corners_.empty())
            refuse(quoted(line) + " is a face without corners");
        if (corners_.size() > static_cast<std::size_t>(kzoMaxVertex))
            throw Refusal{failureAt("kzoCreatePoly: v > kzoMaxVertex", fileName_, lineNumber_)};
        addFace();
    }

    // The face of corners_ (1 to 8, checked), as a polygon or its fan.
    void addFace()
    {
        ++faceCount_;

        std::uint32_t vertices[kzoMaxVertex];
        const std::size_t n = corners_.size();
        for (std::size_t i = 0; i < n; ++i)
            vertices[i] = vertexOf(corners_[i]);
        if (faces_ == kzoObjFaces::Whole) {
            addPolygon({vertices, n});
        } else if (n < 3) {
            if (shortFace_.corners == 0)
                shortFace_ = {faceCount_, n, lineNumber_};
        } else {
            for (std::size_t i = 1; i + 1 < n; ++i) {
                const std::uint32_t triangle[3] = {vertices[0], vertices[i], vertices[i + 1]};
                addPolygon(triangle);
            }
        }
    }

    const std::string& fileName_;
    const std::int32_t materialIndex_;
    const kzoObjFaces faces_;
    kzoObject object_;
    std::uint64_t lineNumber_ = 0;
    std::size_t faceCount_ = 0;
    std::vector<obj_tVector> positions_;
    std::vector<obj_tTVector> uvs_;
    std::vector<obj_tVector> normals_;
    Tfaces corners_;
    kzoVertexKeys vertexKeys_;
    std::uint32_t detail_ = kzoNoVertex; // the details row every vertex shares, once made
    struct {
        std::size_t number = 0, corners = 0;
        std::uint64_t line = 0;
    } shortFace_; // the first face too small to split, in Triangles
};

kzoObjLoad refused(const Refusal& refusal)
{
    kzoObjLoad load;
    load.failure = refusal.failure;
    return load;
}

// Pieces of 256 KiB keep the text being read in cache and the memory of a load
// independent of the file's size; a longer line grows the piece.
constexpr std::size_t pieceSize = 256 * 1024;

// Feeds the file to reader; a failure when the system refuses a read.
std::optional<peltoFailure> readInPieces(int fd, const std::string& name, std::uint64_t size, ObjReader& reader)
{
    std::vector<char> piece(pieceSize);
    std::size_t held = 0;
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t got = read(fd, piece.data() + held, piece.size() - held);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return peltoIoFailure(name, errno);
        }
        held += static_cast<std::size_t>(got);
        total += static_cast<std::uint64_t>(got);
        const bool last = got == 0;
        // A file that shrinks while it is read cannot be read whole.
        if (last && total != size)
            return failureAt("UNABLE to open " + name, name, 0);
        const std::size_t used = reader.readLines({piece.data(), held}, last);
        if (last)
            return std::nullopt;
        std::memmove(piece.data(), piece.data() + used, held - used);
        held -= used;
        if (held == piece.size())
            piece.resize(piece.size() * 2);
    }
}

} // namespace

kzoObjLoad kzoParseOBJ(std::string_view text, const std::string& fileName, std::int32_t materialIndex,
                       kzoObjFaces faces)
{
    try {
        ObjReader reader(fileName, materialIndex, faces);
        reader.readLines(text, true);
        return {reader.finish(), std::nullopt};
    } catch (const Refusal& refusal) {
        return refused(refusal);
    }
}

kzoObjLoad kzoLoadOBJ(const std::string& fileName, std::int32_t materialIndex, kzoObjFaces faces)
{
    const std::string name = ShortString(fileName);
    const Refusal unable{failureAt("UNABLE to open " + name, name, 0)};
    // Checked first, so that a file that exists but cannot be read is refused
    // with the same message as a missing one.
    if (!FileExists(name) || access(name.c_str(), R_OK) != 0)
        return refused(unable);
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return refused({peltoIoFailure(name, errno)});
    struct stat info;
    std::optional<peltoFailure> failure;
    if (fstat(fd, &info) != 0)
        failure = peltoIoFailure(name, errno);
    else if (static_cast<std::uint64_t>(info.st_size) > UINT32_MAX)
        failure = peltoIoFailure(name, EFBIG); // as every whole-file read of the system
    kzoObjLoad load;
    try {
        ObjReader reader(name, materialIndex, faces);
        if (!failure)
            failure = readInPieces(fd, name, static_cast<std::uint64_t>(info.st_size), reader);
        if (!failure)
            load.object = reader.finish();
    } catch (const Refusal& refusal) {
        failure = refusal.failure;
    }
    if (close(fd) != 0 && !failure)
        failure = peltoIoFailure(name, errno);
    if (failure)
        return refused({*failure});
    return load;
}
