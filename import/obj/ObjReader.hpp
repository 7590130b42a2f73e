#pragma once
// The OBJ loader's reader, internal to import/ (LoadOBJ.hpp is the public
// face): the lists of one load and the indexed mesh they become, fed whole
// lines. Each line goes the plain way (ObjPlainLines.cpp) when it is one of
// the "v", "vt", "vn" or "f" lines model files are made of, and the general
// way (ObjReader.cpp) otherwise; both give the same result.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/TriangleNormals.hpp"
#include "core/VertexKeys.hpp"
#include "import/obj/LoadOBJ.hpp"

// Ends a load: thrown inside the reader, handed to the caller as a value.
struct kzoObjRefusal {
    peltoFailure failure;
};

peltoFailure kzoObjFailure(std::string message, const std::string& file, std::uint64_t line);

class kzoObjReader {
public:
    // fileName is kept by reference and names the object and the messages.
    kzoObjReader(const std::string& fileName, std::int32_t materialIndex, kzoObjFaces faces);

    // Reads every line of text that is known to be whole (all of them when
    // last); the number of bytes read. The rest starts an unended line.
    std::size_t readLines(std::string_view text, bool last);

    // The object and what the file said of materials and texture indices, or
    // (kzoObjRefusal) the face that had too few corners to split.
    kzoObjLoad finish();

private:
    // ObjPlainLines.cpp: a line read in one scan, or null with nothing changed.
    const char* readPlainLine(const char* at, const char* end);
    const char* readPlainVector(const char* at, const char* end, std::vector<obj_tVector>& list);
    const char* readPlainUV(const char* at, const char* end);
    const char* readPlainFace(const char* at, const char* end);

    // ObjReader.cpp: every statement, every spelling, every refusal.
    const char* readGeneralLine(const char* at, const char* end);
    void readLine(std::string_view line);
    obj_tVector readVector(std::string_view x, std::string_view y, std::string_view z, std::string_view line) const;
    void readFace(std::string_view corners, std::string_view line);
    void useMaterial(std::string_view name);
    Tface readCorner(std::string_view corner) const;
    std::int32_t resolve(std::string_view field, std::size_t count, const char* list, std::string_view corner) const;
    [[noreturn]] void refuse(const std::string& reason) const;

    // The face of corners_ (at least one; at most 8 for Whole, checked) as one
    // polygon or its fan.
    void addFace();
    void noteMaterial();
    std::uint32_t vertexOf(const Tface& corner);
    void addPolygon(const std::uint32_t* corners, std::size_t count);

    const std::string& fileName_;
    const std::int32_t materialIndex_;
    const kzoObjFaces faces_;
    kzoObject object_;
    kzoMeshTriangleBatch triangles_{object_.mesh, materialIndex_};
    std::uint64_t lineNumber_ = 0;
    std::vector<obj_tVector> positions_;
    std::vector<obj_tTVector> uvs_;
    std::vector<obj_tVector> normals_;
    Tfaces corners_;
    std::vector<std::uint32_t> faceVertices_; // of a face of more than kzoMaxVertex corners
    kzoVertexKeys vertexKeys_;
    std::uint32_t detail_ = kzoNoVertex; // the details row every vertex shares, once made
    struct {
        std::size_t number = 0, corners = 0;
        std::uint64_t line = 0;
    } shortFace_; // the first face too small to split, in Triangles
    kzoObjMaterials materials_;
    std::string material_;          // of the faces that follow: the last usemtl's name
    bool materialNoted_ = true;     // material_ is empty or already in materials_.used
    kzoObjFaceTally tally_;
};

// Characters of a line: values are separated by runs of these.
inline bool kzoObjBlank(char c) { return c == ' ' || c == '\t'; }
inline bool kzoObjLineEnd(char c) { return c == '\n' || c == '\r'; }

// The run of non-blanks text begins with: a line's keyword.
inline std::string_view kzoObjFirstRun(std::string_view text)
{
    std::size_t end = 0;
    while (end < text.size() && !kzoObjBlank(text[end]))
        ++end;
    return text.substr(0, end);
}

// text without the blanks at either end.
inline std::string_view kzoObjTrimmed(std::string_view text)
{
    while (!text.empty() && kzoObjBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && kzoObjBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A text quoted in a message, cut so that file, line and reason fit in the 255
// characters a fatal message keeps.
inline std::string kzoObjQuoted(std::string_view text)
{
    constexpr std::size_t keep = 40;
    if (text.size() <= keep)
        return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, keep)) + "...\"";
}

// The values of one line, one run of non-blank characters at a time.
class kzoObjFields {
public:
    explicit kzoObjFields(std::string_view line) : line_(line) {}

    // The next run, empty at the end of the line.
    std::string_view next()
    {
        while (at_ < line_.size() && kzoObjBlank(line_[at_]))
            ++at_;
        const std::size_t start = at_;
        while (at_ < line_.size() && !kzoObjBlank(line_[at_]))
            ++at_;
        return line_.substr(start, at_ - start);
    }

private:
    std::string_view line_;
    std::size_t at_ = 0;
};

// Past the end of the line at is in: LF, CR LF, a lone CR, or end.
inline const char* kzoObjNextLine(const char* at, const char* end)
{
    while (at < end && !kzoObjLineEnd(*at))
        ++at;
    if (at == end)
        return end;
    return at[0] == '\r' && at + 1 < end && at[1] == '\n' ? at + 2 : at + 1;
}
