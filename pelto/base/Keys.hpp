#pragma once
// The library's key codes and the key-state array a program polls once per
// frame: keys[code] is 1 while that key is down. Code 0 collects every key
// without a code of its own. The window side of pelto fills the array; a
// program without a window (kzoShot, tests) fills it itself.

#include <array>
#include <cstdint>

using peltoKeyState = std::array<std::uint8_t, 256>;

inline constexpr std::uint8_t peltoKeyF = 3;
inline constexpr std::uint8_t peltoKeyQ = 12;
inline constexpr std::uint8_t peltoKeyR = 15;
inline constexpr std::uint8_t peltoKeyEscape = 53;
inline constexpr std::uint8_t peltoKeyInsert = 114;
inline constexpr std::uint8_t peltoKeyHome = 115;
inline constexpr std::uint8_t peltoKeyDelete = 117;
inline constexpr std::uint8_t peltoKeyLeft = 123;
inline constexpr std::uint8_t peltoKeyRight = 124;
inline constexpr std::uint8_t peltoKeyDown = 125;
inline constexpr std::uint8_t peltoKeyUp = 126;
inline constexpr std::uint8_t peltoKeyA = 200;
