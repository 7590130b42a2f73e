#pragma once
// From the X keyboard to the platform virtual keys MapKey takes: the keysym of
// each listed key (the X protocol's numbers, spelled out here so that this file
// needs no X header) and the per-keycode table built from the server's keymap.

#include <array>
#include <cstdint>

// Every keysym the library knows; any other gives 0 (no virtual key).
std::uint8_t peltoVirtualKeyOfKeysym(std::uint32_t keysym);

// The two keysyms of one keycode in group 1: level 1 (unshifted) and level 2.
struct peltoKeycodeSyms {
    std::uint32_t level1 = 0;
    std::uint32_t level2 = 0;
};
using peltoKeyboardMap = std::array<peltoKeycodeSyms, 256>;

// Virtual key per X keycode, 0 for keys without one. A keycode goes by its
// level-1 keysym; a keypad key whose level 1 is a navigation keysym (KP_Home,
// KP_Up, ... the keypad with Num Lock off) goes by its level-2 digit instead, so
// the keypad digits keep their codes whatever Num Lock says, as a physical key
// state should.
std::array<std::uint8_t, 256> peltoBuildKeycodeTable(const peltoKeyboardMap& map);
