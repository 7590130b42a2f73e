#include "fileio/SceneInput.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "fileio/SceneFormat.hpp"
#include "pelto/base/Support.hpp"

namespace {

// Large enough that a window refill is rare next to the work on its bytes,
// small enough to stay in cache.
constexpr std::size_t windowSize = 256 * 1024;

} // namespace

kzoSceneInput::kzoSceneInput(std::span<const std::uint8_t> bytes)
    : window_(bytes.data()), windowEnd_(bytes.size()), size_(bytes.size())
{
}

kzoSceneInput::kzoSceneInput(int fd, std::uint64_t size)
    : size_(static_cast<std::size_t>(size)), fd_(fd), storage_(windowSize)
{
    window_ = storage_.data();
}

void kzoSceneInput::need(std::uint64_t count) const
{
    if (count > remaining())
        throw kzoSceneDecodeError{"truncated at byte " + std::to_string(size_) + " while reading " + what_, size_};
}

void kzoSceneInput::fill(std::size_t count)
{
    if (position_ + count <= windowEnd_)
        return;
    // Keep what is left from the position on, at the front.
    const std::size_t kept = windowEnd_ - position_;
    if (count > storage_.size())
        storage_.resize(std::max(count, storage_.size() * 2));
    std::memmove(storage_.data(), storage_.data() + (position_ - windowStart_), kept);
    window_ = storage_.data();
    windowStart_ = position_;
    while (windowEnd_ < position_ + count) {
        const std::size_t room = std::min(storage_.size() - (windowEnd_ - windowStart_), size_ - windowEnd_);
        const ssize_t got = read(fd_, storage_.data() + (windowEnd_ - windowStart_), room);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw kzoSceneReadError{errno};
        if (got == 0)
            throw kzoSceneReadError{EIO};
        windowEnd_ += static_cast<std::size_t>(got);
    }
}

const std::uint8_t* kzoSceneInput::take(std::size_t count)
{
    need(count);
    fill(count);
    const std::uint8_t* bytes = at();
    position_ += count;
    return bytes;
}

std::span<const std::uint8_t> kzoSceneInput::takeUnits(std::size_t unit, std::size_t most)
{
    need(unit);
    fill(unit);
    const std::size_t units = std::min(most, (windowEnd_ - position_) / unit);
    return {take(units * unit), units * unit};
}

std::vector<std::uint8_t> kzoSceneInput::copy(std::size_t count)
{
    need(count);
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t done = 0; done < count;) {
        const std::size_t part = std::min(count - done, std::max<std::size_t>(windowSize, windowEnd_ - position_));
        std::memcpy(bytes.data() + done, take(part), part);
        done += part;
    }
    return bytes;
}

std::uint16_t kzoSceneInput::u16() { return kzoLe16(take(2)); }
std::uint32_t kzoSceneInput::u32() { return kzoLe32(take(4)); }
float kzoSceneInput::single() { return std::bit_cast<float>(u32()); }

std::string kzoSceneInput::string()
{
    std::string text;
    std::size_t length = 0; // up to the zero
    for (;;) {
        if (remaining() == 0)
            need(1);
        fill(1);
        const std::uint8_t* from = at();
        const std::size_t available = windowEnd_ - position_;
        const void* zero = std::memchr(from, 0, available);
        const std::size_t run = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - from) : available;
        const std::size_t keep = std::min(run, peltoShortStringLength - std::min(length, peltoShortStringLength));
        text.append(reinterpret_cast<const char*>(from), keep);
        length += run;
        position_ += run;
        if (zero) {
            ++position_;
            break;
        }
    }
    skip(kzoStringPadding(text.size()));
    return text;
}

void kzoSceneInput::align() { skip(kzoAlignmentPadding(position_)); }

void kzoSceneInput::skip(std::size_t count)
{
    need(count);
    while (count > 0) {
        const std::size_t part = std::min(count, std::max<std::size_t>(1, windowEnd_ - position_));
        take(part);
        count -= part;
    }
}
