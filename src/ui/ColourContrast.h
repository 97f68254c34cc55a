// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

// Text colours that stay readable on the window's background, whatever the
// palette: contrast as the web accessibility guidelines measure it.
namespace ColourContrast {

// Normal-size text needs at least this contrast against its background.
constexpr double MinimumTextRatio = 4.5;

// Relative luminance of an sRGB colour, 0 (black) to 1 (white).
double relativeLuminance(const QColor &colour);

// Contrast ratio of two colours, 1 (same luminance) to 21 (black on white).
double ratio(const QColor &a, const QColor &b);

// True for a background on which dark text reads best.
bool isLight(const QColor &background);

// `preferred` when it reaches `minimum` against `background`; else
// `preferred` mixed towards white (dark background) or black (light
// background) just far enough to reach it.
QColor readableOn(const QColor &preferred, const QColor &background,
                  double minimum = MinimumTextRatio);

} // namespace ColourContrast
