// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ColourContrast.h"

#include <QtMath>

namespace ColourContrast {

namespace {

double linearChannel(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : qPow((channel + 0.055) / 1.055, 2.4);
}

QColor mix(const QColor &from, const QColor &to, double amount)
{
    const auto channel = [amount](int a, int b) { return qRound(a + (b - a) * amount); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

} // namespace

double relativeLuminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linearChannel(rgb.redF()) + 0.7152 * linearChannel(rgb.greenF()) +
           0.0722 * linearChannel(rgb.blueF());
}

double ratio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

bool isLight(const QColor &background)
{
    // Where black and white text would have the same contrast.
    return relativeLuminance(background) > 0.179;
}

QColor readableOn(const QColor &preferred, const QColor &background, double minimum)
{
    if (ratio(preferred, background) >= minimum)
        return preferred;
    const QColor target = isLight(background) ? QColor(Qt::black) : QColor(Qt::white);
    // Twenty steps of 5 %: the last one is the target itself, which reaches
    // at least 4.58:1 against any background.
    for (int step = 1; step <= 20; ++step) {
        const QColor candidate = mix(preferred.toRgb(), target, step / 20.0);
        if (ratio(candidate, background) >= minimum)
            return candidate;
    }
    return target;
}

} // namespace ColourContrast
