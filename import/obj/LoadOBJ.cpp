#include "import/obj/LoadOBJ.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "import/obj/ObjReader.hpp"
#include "pelto/base/Support.hpp"

namespace {

kzoObjLoad refused(peltoFailure failure)
{
    kzoObjLoad load;
    load.failure = std::move(failure);
    return load;
}

// Pieces of 256 KiB keep the text being read in cache and the memory of a load
// independent of the file's size; a longer line grows the piece.
constexpr std::size_t pieceSize = 256 * 1024;

// Feeds the file to reader; a failure when the system refuses a read.
std::optional<peltoFailure> readInPieces(int fd, const std::string& name, std::uint64_t size, kzoObjReader& reader)
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
        // A file that changes size while it is read cannot be read whole.
        if (last && total != size)
            return kzoObjFailure("UNABLE to open " + name, name, 0);
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
        kzoObjReader reader(fileName, materialIndex, faces);
        reader.readLines(text, true);
        return reader.finish();
    } catch (const kzoObjRefusal& refusal) {
        return refused(refusal.failure);
    }
}

kzoObjLoad kzoLoadOBJ(const std::string& fileName, std::int32_t materialIndex, kzoObjFaces faces)
{
    const std::string name = peltoShortString(fileName);
    // Checked first, so that a file that exists but cannot be read is refused
    // with the same message as a missing one.
    if (!peltoFileExists(name) || access(name.c_str(), R_OK) != 0)
        return refused(kzoObjFailure("UNABLE to open " + name, name, 0));
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return refused(peltoIoFailure(name, errno));
    struct stat info;
    std::optional<peltoFailure> failure;
    if (fstat(fd, &info) != 0)
        failure = peltoIoFailure(name, errno);
    else if (static_cast<std::uint64_t>(info.st_size) > UINT32_MAX)
        failure = peltoIoFailure(name, EFBIG); // as every whole-file read of the system
    kzoObjLoad load;
    try {
        kzoObjReader reader(name, materialIndex, faces);
        if (!failure)
            failure = readInPieces(fd, name, static_cast<std::uint64_t>(info.st_size), reader);
        if (!failure)
            load = reader.finish();
    } catch (const kzoObjRefusal& refusal) {
        failure = refusal.failure;
    }
    if (close(fd) != 0 && !failure)
        failure = peltoIoFailure(name, errno);
    if (failure)
        return refused(std::move(*failure));
    return load;
}
