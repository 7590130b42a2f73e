#include "pelto/Parse.hpp"

#include <charconv>
#include <cstdlib>
#include <string>

// Both parsers run the pattern as one pass over the text. Dropping the
// character at which the pattern breaks and reading the text again from the
// start reaches the same state as skipping that character, so one pass gives
// the same result as the drop-and-retry loop (tests compare the two).

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSign(char c) { return c == '+' || c == '-'; }

} // namespace

std::int32_t ParseInt(std::string_view text)
{
    enum { Start, Signed, Digits } state = Start;
    bool negative = false;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        switch (state) {
        case Start:
            if (isBlank(c))
                break;
            if (isSign(c)) {
                negative = c == '-';
                state = Signed;
            } else if (isDigit(c)) {
                magnitude = c - '0';
                state = Digits;
            }
            break;
        case Signed:
            if (isDigit(c)) {
                magnitude = c - '0';
                state = Digits;
            }
            break;
        case Digits:
            if (isDigit(c)) {
                const std::int64_t next = magnitude * 10 + (c - '0');
                const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
                if (next <= limit)
                    magnitude = next;
            }
            break;
        }
    }
    // A text that ends before its first digit loses characters until it is empty.
    if (state != Digits)
        return 0;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

float ParseFloat(std::string_view text)
{
    enum State { Start, Signed, Integer, PointOnly, Fraction, Exponent, ExponentSign, ExponentDigits };
    State state = Start;
    std::string kept;              // the repaired text, blanks and '+' left out
    std::size_t acceptedLength = 0; // longest prefix of kept that reads as a number
    bool accepted = false;

    auto keep = [&](char c, State next, bool accepting) {
        if (c != '+')
            kept.push_back(c);
        state = next;
        if (accepting) {
            acceptedLength = kept.size();
            accepted = true;
        }
    };

    for (char c : text) {
        if (c == ',')
            c = '.';
        const bool digit = isDigit(c);
        const bool point = c == '.';
        const bool exponent = c == 'e' || c == 'E';
        switch (state) {
        case Start:
            if (isBlank(c))
                break;
            if (isSign(c))
                keep(c, Signed, false);
            else if (digit)
                keep(c, Integer, true);
            else if (point)
                keep(c, PointOnly, false);
            break;
        case Signed:
            if (digit)
                keep(c, Integer, true);
            else if (point)
                keep(c, PointOnly, false);
            break;
        case Integer:
            if (digit)
                keep(c, Integer, true);
            else if (point)
                keep(c, Fraction, true);
            else if (exponent)
                keep(c, Exponent, false);
            break;
        case PointOnly:
            if (digit)
                keep(c, Fraction, true);
            break;
        case Fraction:
            if (digit)
                keep(c, Fraction, true);
            else if (exponent)
                keep(c, Exponent, false);
            break;
        case Exponent:
            if (isSign(c))
                keep(c, ExponentSign, false);
            else if (digit)
                keep(c, ExponentDigits, true);
            break;
        case ExponentSign:
            if (digit)
                keep(c, ExponentDigits, true);
            break;
        case ExponentDigits:
            if (digit)
                keep(c, ExponentDigits, true);
            break;
        }
    }
    if (!accepted)
        return 0.0f;
    kept.resize(acceptedLength);

    double value = 0.0;
    const char* first = kept.data();
    const char* last = first + kept.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
        value = std::strtod(kept.c_str(), nullptr); // out of range: +-inf or +-0, as strtod rounds
    return static_cast<float>(value);
}
