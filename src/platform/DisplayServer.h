// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The display server a window-system start would use, tried before
// QApplication exists: Qt's X11 plugin aborts the process when it cannot
// connect, so the program asks first and can end with a short message instead.
class DisplayServer final
{
public:
    // True where windows need a display server that may be missing (X11 and
    // Wayland systems).
    static bool isRequired();

    // Connects to the X server `name` (as in DISPLAY; empty means the DISPLAY
    // variable) and disconnects. Returns why it failed, or an empty string
    // when the server answered and has the screen the name asks for.
    static QString connectionError(const QString &name);
};
