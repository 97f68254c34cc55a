// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Tries the X server a window-system start would use, before QApplication
// exists: Qt's X11 plugin aborts the process when it cannot connect, so the
// program asks first and can end with a short message instead.
class X11Display final
{
public:
    // Connects to `name` (as in DISPLAY; empty means the DISPLAY variable)
    // and disconnects. Returns why it failed, or an empty string when the
    // server answered and has the screen the name asks for.
    static QString connectionError(const QString &name);
};
