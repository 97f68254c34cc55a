// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// The leading number of a text, as used for ports, bitrates and the stored
// "LastUsed" index: spaces, tabs and line feeds are skipped wherever they
// stand; the rest is read as a decimal number with an optional sign, fraction
// and exponent, stopping at the first character that cannot continue it. A
// text that does not begin with a number gives 0.
double leadingNumber(const QString &text);

// How many characters of `text` the leading number takes, blanks within and
// right after it included; 0 when the text does not begin with a number.
qsizetype leadingNumberLength(const QString &text);

// Rounds to the nearest integer, halves to the even neighbour.
double roundHalfEven(double value);

// leadingNumber() rounded half-to-even, or nothing when the result does not
// fit into [minimum, maximum].
std::optional<qint64> leadingInteger(const QString &text, qint64 minimum, qint64 maximum);
