#include "pelto/base/Support.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pelto/base/Log.hpp"

std::string peltoShortString(std::string_view text)
{
    return std::string(text.substr(0, peltoShortStringLength));
}

std::string peltoPathTail(std::string_view path, std::size_t most)
{
    if (path.size() <= most)
        return std::string(path);
    return "..." + std::string(path.substr(path.size() - (most - 3)));
}

bool peltoFileExists(const std::string& name)
{
    struct stat info;
    return stat(name.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

peltoFileRead peltoTryReadWholeFile(const std::string& name, std::vector<std::uint8_t>& buffer)
{
    struct stat info;
    if (stat(name.c_str(), &info) != 0)
        return {peltoReadOutcome::Missing, 0};

    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {peltoReadOutcome::Failed, errno};
    const auto failed = [fd](int errorNumber) {
        close(fd);
        return peltoFileRead{peltoReadOutcome::Failed, errorNumber};
    };
    if (fstat(fd, &info) != 0)
        return failed(errno);
    if (S_ISDIR(info.st_mode))
        return failed(EISDIR);
    if (static_cast<std::uint64_t>(info.st_size) > UINT32_MAX)
        return failed(EFBIG);

    buffer.assign(static_cast<std::size_t>(info.st_size), 0);
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = read(fd, buffer.data() + done, buffer.size() - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return failed(errno);
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    if (close(fd) != 0)
        return {peltoReadOutcome::Failed, errno};
    return {done == buffer.size() ? peltoReadOutcome::Read : peltoReadOutcome::Short, 0};
}

bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>& buffer)
{
    const peltoFileRead result = peltoTryReadWholeFile(name, buffer);
    if (result.outcome == peltoReadOutcome::Failed)
        peltoIoError(name, result.errorNumber);
    return result.outcome == peltoReadOutcome::Read;
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
