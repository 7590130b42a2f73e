#pragma once
// Tolerant text-to-number conversion for hand-edited text files.
// A character at which the decimal pattern breaks is dropped and the rest read
// again, so "12a3" reads as 123 and "0.5x" as 0.5. A text that ends inside a
// number ("1e", "-") loses its last character until it reads ("1e" is 1).
// Nothing fails: a text without digits is 0.

#include <cstdint>
#include <string_view>

// Pattern: blanks, optional sign, digits. A digit that would take the value
// outside the 32-bit range is dropped like any other offending character.
std::int32_t ParseInt(std::string_view text);

// Commas read as decimal points; pattern: blanks, optional sign, digits, point,
// digits (at least one digit in all), then optionally e or E, optional sign,
// digits. The repaired text is converted to double, then rounded to float.
float ParseFloat(std::string_view text);
