// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

// The windows were designed in twips; 15 twips make one pixel at 96 dpi.
namespace Twips {

inline int px(int twips)
{
    return (twips + 7) / 15;
}

// A control's rectangle from its layout position in twips. The edges are
// converted, so that controls that touch in the layout still touch.
inline QRect rect(int left, int top, int width, int height)
{
    return QRect(QPoint(px(left), px(top)), QPoint(px(left + width) - 1, px(top + height) - 1));
}

// Names a control after its layout name and puts it in place.
template <typename Control>
Control *place(Control *control, const char *name, const QRect &geometry)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    return control;
}

} // namespace Twips
