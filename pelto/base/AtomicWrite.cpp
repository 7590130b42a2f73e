#include "pelto/base/AtomicWrite.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "pelto/base/Log.hpp"

namespace {

// Removes the temporary file and stops, keeping the errno of the failure.
[[noreturn]] void giveUp(const std::string& fileName, const std::string& temporary, int fd, int error)
{
    if (fd >= 0)
        close(fd);
    unlink(temporary.c_str());
    peltoIoError(fileName, error);
}

// A name no other writer uses: O_EXCL refuses one that exists (a leftover of a
// killed run, or another process), and the counter moves on.
int createTemporary(const std::string& fileName, std::string& temporary)
{
    for (unsigned attempt = 0;; ++attempt) {
        temporary = fileName + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        // 0666 under the umask: the same permissions a plain create would give.
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST || attempt >= 1000)
            return fd;
    }
}

} // namespace

void peltoWriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes)
{
    std::string temporary;
    const int fd = createTemporary(fileName, temporary);
    if (fd < 0)
        peltoIoError(fileName, errno);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            giveUp(fileName, temporary, fd, errno);
        }
        if (written == 0) // no progress on a regular file: the device is full
            giveUp(fileName, temporary, fd, ENOSPC);
        done += static_cast<std::size_t>(written);
    }
    // Flushed before the rename: a crash never leaves an empty file in place of a good one.
    if (fsync(fd) != 0)
        giveUp(fileName, temporary, fd, errno);
    if (close(fd) != 0)
        giveUp(fileName, temporary, -1, errno);
    if (std::rename(temporary.c_str(), fileName.c_str()) != 0)
        giveUp(fileName, temporary, -1, errno);
}
