// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Tries the X server a window-system start would use, before QApplication
// exists: Qt's X11 plugin aborts the process when it cannot connect, so the
// program asks first and can end with a short message instead. Windows has
// no display server; there is nothing to try.
class X11Display final
{
public:
    // Whether this system's window-system start needs a display server
    // (true on X11 and Wayland systems, where QApplication aborts without one).
    static bool isNeeded();

    // Connects to `name` (as in DISPLAY; empty means the DISPLAY variable)
    // and disconnects. Returns why it failed, or an empty string when the
    // server answered and has the screen the name asks for.
    static QString connectionError(const QString &name);
};
