// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/LeadingNumber.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isSkipped(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Exponents are clamped far beyond the range of a double, so that thousands of
// exponent digits neither overflow the count nor change the outcome.
constexpr qint64 ExponentClamp = 1'000'000'000'000LL;

struct ScannedNumber
{
    bool found = false;
    bool negative = false;
    std::string mantissa; // digits with an optional '.', leading zeros dropped
    qint64 exponent = 0;
    // Decimal magnitude without the exponent: the count of significant
    // integer digits, or minus the zeros that open the fraction. It tells an
    // overflow from an underflow when the value is out of range.
    qint64 magnitude = 0;
    qsizetype end = 0;
};

// Reads the leading number, passing over blanks, tabs and line feeds wherever
// they stand.
ScannedNumber scanNumber(const QString &text)
{
    ScannedNumber number;
    qsizetype pos = 0;
    const auto peek = [&]() -> char16_t {
        while (pos < text.size() && isSkipped(text.at(pos).unicode()))
            ++pos;
        return pos < text.size() ? text.at(pos).unicode() : u'\0';
    };

    char16_t c = peek();
    if (c == u'+' || c == u'-') {
        number.negative = c == u'-';
        ++pos;
    }

    qint64 integerDigits = 0;
    qint64 fractionZeros = 0;
    bool seenNonZero = false;
    while (isDigit(c = peek())) {
        number.found = true;
        if (c != u'0' || seenNonZero) {
            seenNonZero = true;
            ++integerDigits;
            number.mantissa.push_back(static_cast<char>(c));
        }
        ++pos;
    }
    if (number.mantissa.empty())
        number.mantissa.push_back('0');
    if (c == u'.') {
        ++pos;
        number.mantissa.push_back('.');
        while (isDigit(c = peek())) {
            number.found = true;
            if (c != u'0')
                seenNonZero = true;
            else if (!seenNonZero)
                ++fractionZeros;
            number.mantissa.push_back(static_cast<char>(c));
            ++pos;
        }
    }
    if (!number.found)
        return ScannedNumber{};
    number.magnitude = integerDigits > 0 ? integerDigits : -fractionZeros;

    // An "e" that no digit follows ends the number before it.
    if (c == u'e' || c == u'E') {
        const qsizetype beforeExponent = pos;
        ++pos;
        bool negativeExponent = false;
        c = peek();
        if (c == u'+' || c == u'-') {
            negativeExponent = c == u'-';
            ++pos;
        }
        bool exponentDigit = false;
        while (isDigit(c = peek())) {
            exponentDigit = true;
            number.exponent = std::min(number.exponent * 10 + (c - u'0'), ExponentClamp);
            ++pos;
        }
        if (negativeExponent)
            number.exponent = -number.exponent;
        if (!exponentDigit)
            pos = beforeExponent;
    }
    peek();
    number.end = pos;
    return number;
}

} // namespace

double leadingNumber(const QString &text)
{
    const ScannedNumber number = scanNumber(text);
    if (!number.found)
        return 0.0;

    const std::string digits = number.mantissa + 'e' + std::to_string(number.exponent);
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        value =
            number.magnitude + number.exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return number.negative ? -value : value;
}

qsizetype leadingNumberLength(const QString &text)
{
    return scanNumber(text).end;
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction < 0.5)
        return down;
    if (fraction > 0.5)
        return down + 1.0;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

std::optional<qint64> leadingInteger(const QString &text, qint64 minimum, qint64 maximum)
{
    // 2^63: every double below it in magnitude converts to qint64 safely.
    constexpr double Limit = 9223372036854775808.0;
    const double rounded = roundHalfEven(leadingNumber(text));
    if (!(rounded > -Limit && rounded < Limit))
        return std::nullopt;
    const auto value = static_cast<qint64>(rounded);
    if (value < minimum || value > maximum)
        return std::nullopt;
    return value;
}
