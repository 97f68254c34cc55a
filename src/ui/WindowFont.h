// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QStringList>

// The windows were laid out for MS Sans Serif and Tahoma at 8.25 pt. Where
// those are missing (Linux), the Arial-metric sans serifs come closest in
// width; DejaVu Sans, the usual fallback, is too wide for the fixed layout.
namespace WindowFont {

inline QFont withFirstChoice(const QString &family)
{
    QFont font;
    font.setFamilies({family, QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

// The default text font of the windows.
inline QFont standard()
{
    return withFirstChoice(QStringLiteral("MS Sans Serif"));
}

inline QFont tahoma()
{
    return withFirstChoice(QStringLiteral("Tahoma"));
}

} // namespace WindowFont
