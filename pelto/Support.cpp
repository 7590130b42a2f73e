#include "pelto/Support.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pelto/Log.hpp"

std::string ShortString(std::string_view text)
{
    return std::string(text.substr(0, peltoShortStringLength));
}

std::string PathTail(std::string_view path, std::size_t most)
{
    if (path.size() <= most)
        return std::string(path);
    return "..." + std::string(path.substr(path.size() - (most - 3)));
}

bool FileExists(const std::string& name)
{
    struct stat info;
    return stat(name.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

namespace {

// Why a whole-file read stopped short of the file.
enum class Shortfall { None, Missing, ShortRead, Refused };

// The read both ReadWholeFile and ReadFileBytes make. Refused: the system
// refused it with error (the file exists).
Shortfall readWhole(const std::string& name, std::vector<std::uint8_t>& buffer, int& error)
{
    struct stat info;
    if (stat(name.c_str(), &info) != 0)
        return Shortfall::Missing;

    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return Shortfall::Refused;
    }
    auto refuse = [&](int code) {
        close(fd);
        error = code;
        return Shortfall::Refused;
    };
    if (fstat(fd, &info) != 0)
        return refuse(errno);
    if (S_ISDIR(info.st_mode))
        return refuse(EISDIR);
    if (static_cast<std::uint64_t>(info.st_size) > UINT32_MAX)
        return refuse(EFBIG);

    buffer.assign(static_cast<std::size_t>(info.st_size), 0);
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = read(fd, buffer.data() + done, buffer.size() - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return refuse(errno);
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    if (close(fd) != 0) {
        error = errno;
        return Shortfall::Refused;
    }
    return done == buffer.size() ? Shortfall::None : Shortfall::ShortRead;
}

} // namespace

bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>& buffer)
{
    int error = 0;
    const Shortfall shortfall = readWhole(name, buffer, error);
    if (shortfall == Shortfall::Refused)
        IoError(name, error);
    return shortfall == Shortfall::None;
}

std::optional<peltoFailure> ReadFileBytes(const std::string& name, std::vector<std::uint8_t>& buffer)
{
    int error = 0;
    switch (readWhole(name, buffer, error)) {
    case Shortfall::None:
        return std::nullopt;
    case Shortfall::Missing:
        return peltoIoFailure(name, ENOENT);
    case Shortfall::ShortRead:
        return peltoIoFailure(name, EIO);
    case Shortfall::Refused:
        break;
    }
    return peltoIoFailure(name, error);
}

float DegToRad(float degrees)
{
    return static_cast<float>(static_cast<double>(degrees) * 0.017453292519943295);
}

std::string FloatToStr2(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%4.2f", static_cast<double>(value));
    return text;
}

void WriteZString(std::vector<std::uint8_t>& file, std::string_view text)
{
    file.insert(file.end(), text.begin(), text.end());
    file.push_back(0);
}
