#pragma once
// Small routines the units share: whole-file reads, angle conversion, number
// formatting, short strings and zero-terminated strings in byte output.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pelto/Failure.hpp"

// Names, paths and titles are short strings: at most 255 characters.
inline constexpr std::size_t peltoShortStringLength = 255;
std::string ShortString(std::string_view text);

// path itself, or "..." and its last characters when it is longer than most, so
// that a message naming the file keeps its reason within FatalError's 255.
std::string PathTail(std::string_view path, std::size_t most = 120);

// Reads the whole file into buffer. A missing file (links followed) gives false
// and leaves buffer untouched. A file that exists but cannot be opened or read
// is an IoError. A short read gives false with buffer holding the file's size
// (its tail zero). Files of 4 GiB or more are an IoError (EFBIG).
bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>& buffer);

// ReadWholeFile as a value: nothing when buffer holds the whole file, otherwise
// the input/output failure "name: reason" (ENOENT for a missing file, EIO for
// a short read, else the system's errno). Never ends the program.
[[nodiscard]] std::optional<peltoFailure> ReadFileBytes(const std::string& name, std::vector<std::uint8_t>& buffer);

// True when name is an existing file (links followed); directories are not files.
bool FileExists(const std::string& name);

// degrees x pi/180, multiplied in double precision and rounded to float.
float DegToRad(float degrees);

// Fixed-point text with two decimals, right-aligned in 4 characters: 59.94, 5.00.
std::string FloatToStr2(float value);

// The characters of text, then one zero byte.
void WriteZString(std::vector<std::uint8_t>& file, std::string_view text);
