#include "pelto/display/Keysyms.hpp"

#include "pelto/display/VirtualKeys.hpp"

namespace {

struct KeysymKey {
    std::uint32_t keysym;
    std::uint8_t virtualKey;
};

// Keysym numbers of the X protocol (Latin-1 keysyms equal their character code).
constexpr KeysymKey namedKeysyms[] = {
    {0x002d, peltoVkOemMinus},  {0x003d, peltoVkOemPlus},    {0x005b, peltoVkOem4},      // - = [
    {0x005d, peltoVkOem6},      {0x005c, peltoVkOem5},       {0x003b, peltoVkOem1},      // ] \ ;
    {0x0027, peltoVkOem7},      {0x0060, peltoVkOem3},       {0x002c, peltoVkOemComma},  // ' ` ,
    {0x002e, peltoVkOemPeriod}, {0x002f, peltoVkOem2},       {0x003c, peltoVkOem102},    // . / <
    {0xff0d, peltoVkReturn},    {0xff09, peltoVkTab},        {0x0020, peltoVkSpace},
    {0xff08, peltoVkBack},      {0xff1b, peltoVkEscape},
    {0xffe1, peltoVkLShift},    {0xffe2, peltoVkRShift},     {0xffe3, peltoVkLControl},
    {0xffe4, peltoVkRControl},  {0xffe9, peltoVkLMenu},      {0xffea, peltoVkRMenu},     // Alt_L/R
    {0xffe5, peltoVkCapital},
    {0xff51, peltoVkLeft},      {0xff52, peltoVkUp},         {0xff53, peltoVkRight},
    {0xff54, peltoVkDown},      {0xff63, peltoVkInsert},     {0xff50, peltoVkHome},
    {0xff55, peltoVkPrior},     {0xffff, peltoVkDelete},     {0xff57, peltoVkEnd},
    {0xff56, peltoVkNext},      {0xff13, peltoVkPause},      {0xff14, peltoVkScroll},
    {0xff7f, peltoVkNumLock},
    {0xffaa, peltoVkMultiply},  {0xffab, peltoVkAdd},        {0xffac, peltoVkSeparator},
    {0xffad, peltoVkSubtract},  {0xffae, peltoVkDecimal},    {0xffaf, peltoVkDivide},
};

constexpr std::uint32_t keysymA = 0x0061;   // a..z: the level-1 keysyms of the letter keys
constexpr std::uint32_t keysym0 = 0x0030;   // 0..9
constexpr std::uint32_t keysymF1 = 0xffbe;  // F1..F12
constexpr std::uint32_t keysymKp0 = 0xffb0; // KP_0..KP_9
// KP_Home (0xff95) .. KP_Delete (0xff9f): the keypad's Num Lock-off level.
constexpr std::uint32_t keypadNavigationFirst = 0xff95;
constexpr std::uint32_t keypadNavigationLast = 0xff9f;

std::uint8_t offset(std::uint8_t base, std::uint32_t keysym, std::uint32_t first)
{
    return static_cast<std::uint8_t>(base + (keysym - first));
}

} // namespace

std::uint8_t peltoVirtualKeyOfKeysym(std::uint32_t keysym)
{
    if (keysym >= keysymA && keysym < keysymA + 26)
        return offset(peltoVkA, keysym, keysymA);
    if (keysym >= keysym0 && keysym < keysym0 + 10)
        return offset(peltoVk0, keysym, keysym0);
    if (keysym >= keysymF1 && keysym < keysymF1 + 12)
        return offset(peltoVkF1, keysym, keysymF1);
    if (keysym >= keysymKp0 && keysym < keysymKp0 + 10)
        return offset(peltoVkNumpad0, keysym, keysymKp0);
    for (const KeysymKey& key : namedKeysyms)
        if (key.keysym == keysym)
            return key.virtualKey;
    return 0;
}

std::array<std::uint8_t, 256> peltoBuildKeycodeTable(const peltoKeyboardMap& map)
{
    std::array<std::uint8_t, 256> table{};
    for (std::size_t keycode = 0; keycode < map.size(); ++keycode) {
        const peltoKeycodeSyms& syms = map[keycode];
        const bool keypadNavigation =
            syms.level1 >= keypadNavigationFirst && syms.level1 <= keypadNavigationLast;
        table[keycode] = peltoVirtualKeyOfKeysym(keypadNavigation ? syms.level2 : syms.level1);
    }
    return table;
}
