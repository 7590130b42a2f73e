#pragma once
// The scene file reader's input, internal to fileio/: little-endian fields from
// a read position that never leaves the file. The bytes are held whole (a file
// in memory) or read from an open file as decoding reaches them, through a
// window of 256 KiB, so that a file's largest part, its triangles, passes
// through a small buffer instead of being held whole.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A malformed file: the reason, ending with where it was found, and that byte.
struct kzoSceneDecodeError {
    std::string reason;
    std::size_t byteOffset;
};

// The system refused a read of the file, or the file ended before the size it
// had when it was opened (EIO): it changed while it was read.
struct kzoSceneReadError {
    int errorNumber;
};

class kzoSceneInput {
public:
    explicit kzoSceneInput(std::span<const std::uint8_t> bytes);
    // The open file fd of size bytes, read from its current offset 0.
    kzoSceneInput(int fd, std::uint64_t size);

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return size_ - position_; }

    // What is being read, for the message when the bytes run out.
    void expect(std::string what) { what_ = std::move(what); }

    // Throws kzoSceneDecodeError "truncated at byte <size> while reading <what>"
    // unless count more bytes are in the file.
    void need(std::uint64_t count) const;

    // The next count bytes; the position moves past them. The pointer is valid
    // until the next call on the input.
    const std::uint8_t* take(std::size_t count);

    // The next whole units of unit bytes each, at least one and at most most of
    // them, as many as the window holds; the position moves past them. For
    // long runs of records: one call a window instead of one a record.
    std::span<const std::uint8_t> takeUnits(std::size_t unit, std::size_t most);

    // The next count bytes as a copy of their own.
    std::vector<std::uint8_t> copy(std::size_t count);

    std::uint8_t byte() { return *take(1); }
    std::uint16_t u16();
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32();
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    float single();

    // Bytes up to the next zero (consumed), the first 255 kept, then
    // (kept length + 1) mod 4 padding bytes.
    std::string string();

    // The writer's alignment: as many bytes as the position's remainder mod 4.
    void align();

    void skip(std::size_t count);

private:
    // Makes bytes [position, position + count) available in the window.
    void fill(std::size_t count);
    const std::uint8_t* at() const { return window_ + (position_ - windowStart_); }

    const std::uint8_t* window_ = nullptr; // holds bytes [windowStart_, windowEnd_)
    std::size_t windowStart_ = 0, windowEnd_ = 0;
    std::size_t position_ = 0;
    std::size_t size_ = 0;
    int fd_ = -1;                       // -1: the bytes are held whole
    std::vector<std::uint8_t> storage_; // the window of a file being read
    std::string what_;
};

// Little-endian fields of bytes already taken.
inline std::uint16_t kzoLe16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

inline std::uint32_t kzoLe32(const std::uint8_t* at)
{
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 | std::uint32_t{at[3]} << 24;
}
