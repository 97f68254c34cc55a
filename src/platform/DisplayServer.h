// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

// The display server a window-system start would use, tried before
// QApplication exists: Qt's X11 plugin aborts the process when it cannot
// connect, so the program asks first and can end with a short message instead.
//
// The connection stays open while the object lives. An X server that loses
// its last client resets itself, and a reset that starts when this check
// disconnects would meet QApplication's own connection a moment later; so the
// check is kept until QApplication has connected.
class DisplayServer final
{
public:
    // True where windows need a display server that may be missing (X11 and
    // Wayland systems).
    static bool isRequired();

    // Connects to the X server `name` (as in DISPLAY; empty means the DISPLAY
    // variable).
    explicit DisplayServer(const QString &name);
    ~DisplayServer();
    DisplayServer(const DisplayServer &) = delete;
    DisplayServer &operator=(const DisplayServer &) = delete;

    // Why the connection failed, or an empty string when the server answered
    // and has the screen the name asks for.
    QString connectionError() const { return m_error; }

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    QString m_error;
};
