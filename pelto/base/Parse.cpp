#include "pelto/base/Parse.hpp"

#include <charconv>
#include <cstdlib>
#include <string>

#include "pelto/base/ParseGeneral.hpp"

// Both parsers run the pattern as one pass over the text. Dropping the
// character at which the pattern breaks and reading the text again from the
// start reaches the same state as skipping that character, so one pass gives
// the same result as the drop-and-retry loop (tests compare the two).

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSign(char c) { return c == '+' || c == '-'; }

} // namespace

std::int32_t peltoParseIntGeneral(std::string_view text)
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

float peltoParseFloatGeneral(std::string_view text)
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

namespace {

// Exact powers of ten: 10^22 is the largest that a double holds exactly.
constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool isDigitChar(char c) { return c >= '0' && c <= '9'; }

} // namespace

// A plain decimal: an optional minus, digits with at most one point among them
// (one digit at least), then optionally e or E, an optional sign and digits.
// peltoParseFloatGeneral keeps every character of such a text (a plus in the
// exponent aside, which changes no value) and reads all of it, so its result is
// the correctly rounded double of the decimal number, rounded to float. When the
// digits form an integer m < 2^53 and the exponent e lies in -22..22, both m and
// 10^|e| are exact doubles and m x 10^e (or m / 10^-e) is one correctly rounded
// operation, the same double; every other plain decimal goes to from_chars,
// which rounds correctly too, and is left to peltoParseFloatGeneral when out of range.
std::size_t peltoParseFloatPrefix(std::string_view text, float& value)
{
    const char* const first = text.data();
    const char* const end = first + text.size();
    const char* at = first;
    const bool negative = at < end && *at == '-';
    if (negative)
        ++at;
    // Every digit goes into mantissa; past 19 digits it may wrap, and such a
    // number takes the from_chars road instead.
    std::uint64_t mantissa = 0;
    const char* const digitsStart = at;
    while (at < end && isDigitChar(*at))
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at++ - '0');
    int digits = static_cast<int>(at - digitsStart);
    int fraction = 0;
    if (at < end && *at == '.') {
        const char* const fractionStart = ++at;
        while (at < end && isDigitChar(*at))
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at++ - '0');
        fraction = static_cast<int>(at - fractionStart);
        digits += fraction;
    }
    if (digits == 0)
        return 0;
    // An exponent counts only with its digits; "1e" is the number 1 and an e.
    int exponent = 0;
    if (at < end && (*at == 'e' || *at == 'E')) {
        const char* e = at + 1;
        const bool negativeExponent = e < end && *e == '-';
        if (e < end && (*e == '-' || *e == '+'))
            ++e;
        if (e < end && isDigitChar(*e)) {
            for (; e < end && isDigitChar(*e); ++e)
                if (exponent < 100000)
                    exponent = exponent * 10 + (*e - '0');
            if (negativeExponent)
                exponent = -exponent;
            at = e;
        }
    }
    const int power = exponent - fraction;
    double result = 0.0;
    if (digits <= 19 && mantissa == 0) {
        result = negative ? -0.0 : 0.0;
    } else if (digits <= 19 && mantissa <= (std::uint64_t{1} << 53) && power >= -22 && power <= 22) {
        const double m = static_cast<double>(mantissa);
        const double magnitude = power < 0 ? m / exactPowersOfTen[-power] : m * exactPowersOfTen[power];
        result = negative ? -magnitude : magnitude;
    } else {
        const auto [stop, error] = std::from_chars(first, at, result);
        if (error != std::errc() || stop != at)
            return 0;
    }
    value = static_cast<float>(result);
    return static_cast<std::size_t>(at - first);
}

std::int32_t ParseInt(std::string_view text)
{
    std::int32_t value = 0;
    if (!text.empty() && peltoParseIntPrefix(text, value) == text.size())
        return value;
    return peltoParseIntGeneral(text);
}

float ParseFloat(std::string_view text)
{
    float value = 0.0f;
    if (!text.empty() && peltoParseFloatPrefix(text, value) == text.size())
        return value;
    return peltoParseFloatGeneral(text);
}
