#include <array>
#include <utility>

#include "pelto/display/Input.hpp"
#include "pelto/display/VirtualKeys.hpp"

namespace {

using Pair = std::pair<std::uint8_t, std::uint8_t>; // virtual key, library code

// Letters and digits run in their ASCII order, the library codes do not.
constexpr std::uint8_t letterCodes[26] = {200, 11, 8,  2,  14, 3,  5,  4,  34, 38, 40, 37, 46,
                                          45,  31, 35, 12, 15, 1,  17, 32, 9,  13, 7,  16, 6};
constexpr std::uint8_t digitCodes[10] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};
constexpr std::uint8_t functionCodes[12] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
// Numpad 0..7 are 82..89; 90 is skipped, so 8 and 9 are 91 and 92.
constexpr std::uint8_t numpadCodes[10] = {82, 83, 84, 85, 86, 87, 88, 89, 91, 92};

constexpr Pair namedKeys[] = {
    {peltoVkOemMinus, 27},  {peltoVkOemPlus, 130},   {peltoVkOem4, 33},     {peltoVkOem6, 30},
    {peltoVkOem5, 42},      {peltoVkOem1, 41},       {peltoVkOem7, 140},    {peltoVkOem3, 141},
    {peltoVkOemComma, 43},  {peltoVkOemPeriod, 47},  {peltoVkOem2, 44},     {peltoVkOem102, 150},
    {peltoVkReturn, 36},    {peltoVkTab, 48},        {peltoVkSpace, 49},    {peltoVkBack, 51},
    {peltoVkEscape, 53},    {peltoVkLShift, 56},     {peltoVkCapital, 57},  {peltoVkLMenu, 58},
    {peltoVkLControl, 59},  {peltoVkRShift, 60},     {peltoVkRMenu, 61},    {peltoVkRControl, 62},
    {peltoVkLeft, 123},     {peltoVkRight, 124},     {peltoVkDown, 125},    {peltoVkUp, 126},
    {peltoVkInsert, 114},   {peltoVkHome, 115},      {peltoVkPrior, 116},   {peltoVkDelete, 117},
    {peltoVkEnd, 119},      {peltoVkNext, 121},      {peltoVkPause, 113},   {peltoVkScroll, 107},
    {peltoVkNumLock, 71},   {peltoVkMultiply, 67},   {peltoVkAdd, 69},      {peltoVkSeparator, 81},
    {peltoVkSubtract, 78},  {peltoVkDecimal, 95},    {peltoVkDivide, 75},
};

constexpr std::array<std::uint8_t, 256> buildTable()
{
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 26; ++i)
        table[peltoVkA + i] = letterCodes[i];
    for (int i = 0; i < 10; ++i) {
        table[peltoVk0 + i] = digitCodes[i];
        table[peltoVkNumpad0 + i] = numpadCodes[i];
    }
    for (int i = 0; i < 12; ++i)
        table[peltoVkF1 + i] = functionCodes[i];
    for (const Pair& pair : namedKeys)
        table[pair.first] = pair.second;
    return table;
}

constexpr std::array<std::uint8_t, 256> keyTable = buildTable();

} // namespace

std::uint8_t MapKey(std::uint8_t virtualKey)
{
    return keyTable[virtualKey];
}
