// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QWidget>

// Small pieces of look shared by the windows.
namespace WidgetLook {

// A tooltip that shows `text` as it is. Qt draws a tooltip that looks like
// markup as rich text, so a station's "<b>" would turn bold: the text is
// escaped inside explicit rich text instead.
inline QString plainToolTip(const QString &text)
{
    return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

inline void setBold(QWidget *widget, bool bold)
{
    QFont font = widget->font();
    font.setBold(bold);
    widget->setFont(font);
}

inline void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// A separator: an etched horizontal line two pixels thick.
inline void drawEtchedLine(QPainter &painter, const QPalette &palette, int left, int right, int top)
{
    painter.setPen(palette.color(QPalette::Mid));
    painter.drawLine(left, top, right, top);
    painter.setPen(palette.color(QPalette::Light));
    painter.drawLine(left, top + 1, right, top + 1);
}

} // namespace WidgetLook
