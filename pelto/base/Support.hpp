#pragma once
// Small routines the units share: whole-file reads, angle conversion, number
// formatting, short strings and zero-terminated strings in byte output.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Names, paths and titles are short strings: at most 255 characters.
inline constexpr std::size_t peltoShortStringLength = 255;
std::string peltoShortString(std::string_view text);

// path itself, or "..." and its last characters when it is longer than most, so
// that a message naming the file keeps its reason within FatalError's 255.
std::string peltoPathTail(std::string_view path, std::size_t most = 120);

// Reads the whole file into buffer. A missing file (links followed) gives false
// and leaves buffer untouched. A file that exists but cannot be opened or read
// is an peltoIoError. A short read gives false with buffer holding the file's size
// (its tail zero). Files of 4 GiB or more are an peltoIoError (EFBIG).
bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>& buffer);

// How a whole-file read ended, for loaders that report failure as a value.
enum class peltoReadOutcome : std::uint8_t { Read, Missing, Short, Failed };
struct peltoFileRead {
    peltoReadOutcome outcome;
    int errorNumber; // errno of a Failed read, else 0
};

// ReadWholeFile without the stop: where it would call peltoIoError this gives Failed
// with the errno (the buffer's contents then unspecified) and closes the file.
peltoFileRead peltoTryReadWholeFile(const std::string& name, std::vector<std::uint8_t>& buffer);

// True when name is an existing file (links followed); directories are not files.
bool peltoFileExists(const std::string& name);

// degrees x pi/180, multiplied in double precision and rounded to float.
float DegToRad(float degrees);

// Fixed-point text with two decimals, right-aligned in 4 characters: 59.94, 5.00.
std::string FloatToStr2(float value);

// The characters of text, then one zero byte.
void WriteZString(std::vector<std::uint8_t>& file, std::string_view text);
