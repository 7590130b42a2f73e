#pragma once
// Tolerant text-to-number conversion for hand-edited text files.
// A character at which the decimal pattern breaks is dropped and the rest read
// again, so "12a3" reads as 123 and "0.5x" as 0.5. A text that ends inside a
// number ("1e", "-") loses its last character until it reads ("1e" is 1).
// Nothing fails: a text without digits is 0.

#include <cstddef>
#include <cstdint>
#include <string_view>

// Pattern: blanks, optional sign, digits. A digit that would take the value
// outside the 32-bit range is dropped like any other offending character.
std::int32_t ParseInt(std::string_view text);

// Commas read as decimal points; pattern: blanks, optional sign, digits, point,
// digits (at least one digit in all), then optionally e or E, optional sign,
// digits. The repaired text is converted to double, then rounded to float.
float ParseFloat(std::string_view text);

// The plain number at the start of text, for readers that scan a line once:
// its length, with value set to what ParseInt / ParseFloat give that prefix
// alone; 0 (value untouched) when text does not start with one.
// peltoParseIntPrefix: an optional minus and 1 to 9 digits.
// peltoParseFloatPrefix: an optional minus, digits with at most one point among
// them (one digit at least), then optionally e or E, an optional sign and
// digits; values beyond the float range are left to ParseFloat.
std::size_t peltoParseFloatPrefix(std::string_view text, float& value);

inline std::size_t peltoParseIntPrefix(std::string_view text, std::int32_t& value)
{
    const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    std::size_t at = sign;
    std::int32_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (at - sign == 9)
            return 0; // ten digits may leave the 32-bit range
        magnitude = magnitude * 10 + (text[at] - '0');
    }
    if (at == sign)
        return 0;
    value = sign ? -magnitude : magnitude;
    return at;
}
