#pragma once
// The virtual-key codes MapKey translates: one number per physical key,
// independent of the window system (letters and digits are their ASCII codes),
// so the key table keeps one numbering whatever platform fills it.
// The X11 side reaches them through the keysym table (Keysyms.hpp).

#include <cstdint>

inline constexpr std::uint8_t peltoVkBack = 0x08;
inline constexpr std::uint8_t peltoVkTab = 0x09;
inline constexpr std::uint8_t peltoVkReturn = 0x0D;
inline constexpr std::uint8_t peltoVkShift = 0x10; // either shift; maps to code 0
inline constexpr std::uint8_t peltoVkControl = 0x11;
inline constexpr std::uint8_t peltoVkMenu = 0x12;
inline constexpr std::uint8_t peltoVkPause = 0x13;
inline constexpr std::uint8_t peltoVkCapital = 0x14;
inline constexpr std::uint8_t peltoVkEscape = 0x1B;
inline constexpr std::uint8_t peltoVkSpace = 0x20;
inline constexpr std::uint8_t peltoVkPrior = 0x21;
inline constexpr std::uint8_t peltoVkNext = 0x22;
inline constexpr std::uint8_t peltoVkEnd = 0x23;
inline constexpr std::uint8_t peltoVkHome = 0x24;
inline constexpr std::uint8_t peltoVkLeft = 0x25;
inline constexpr std::uint8_t peltoVkUp = 0x26;
inline constexpr std::uint8_t peltoVkRight = 0x27;
inline constexpr std::uint8_t peltoVkDown = 0x28;
inline constexpr std::uint8_t peltoVkInsert = 0x2D;
inline constexpr std::uint8_t peltoVkDelete = 0x2E;
inline constexpr std::uint8_t peltoVk0 = 0x30; // '0'..'9' follow
inline constexpr std::uint8_t peltoVkA = 0x41; // 'A'..'Z' follow
inline constexpr std::uint8_t peltoVkNumpad0 = 0x60; // ..0x69 numpad 9
inline constexpr std::uint8_t peltoVkMultiply = 0x6A;
inline constexpr std::uint8_t peltoVkAdd = 0x6B;
inline constexpr std::uint8_t peltoVkSeparator = 0x6C;
inline constexpr std::uint8_t peltoVkSubtract = 0x6D;
inline constexpr std::uint8_t peltoVkDecimal = 0x6E;
inline constexpr std::uint8_t peltoVkDivide = 0x6F;
inline constexpr std::uint8_t peltoVkF1 = 0x70; // ..0x7B F12
inline constexpr std::uint8_t peltoVkNumLock = 0x90;
inline constexpr std::uint8_t peltoVkScroll = 0x91;
inline constexpr std::uint8_t peltoVkLShift = 0xA0;
inline constexpr std::uint8_t peltoVkRShift = 0xA1;
inline constexpr std::uint8_t peltoVkLControl = 0xA2;
inline constexpr std::uint8_t peltoVkRControl = 0xA3;
inline constexpr std::uint8_t peltoVkLMenu = 0xA4;
inline constexpr std::uint8_t peltoVkRMenu = 0xA5;
inline constexpr std::uint8_t peltoVkOem1 = 0xBA;      // ; :
inline constexpr std::uint8_t peltoVkOemPlus = 0xBB;   // = +
inline constexpr std::uint8_t peltoVkOemComma = 0xBC;
inline constexpr std::uint8_t peltoVkOemMinus = 0xBD;
inline constexpr std::uint8_t peltoVkOemPeriod = 0xBE;
inline constexpr std::uint8_t peltoVkOem2 = 0xBF;      // / ?
inline constexpr std::uint8_t peltoVkOem3 = 0xC0;      // ` ~
inline constexpr std::uint8_t peltoVkOem4 = 0xDB;      // [ {
inline constexpr std::uint8_t peltoVkOem5 = 0xDC;      // \ |
inline constexpr std::uint8_t peltoVkOem6 = 0xDD;      // ] }
inline constexpr std::uint8_t peltoVkOem7 = 0xDE;      // ' "
inline constexpr std::uint8_t peltoVkOem102 = 0xE2;    // the extra < > key of 105-key boards
