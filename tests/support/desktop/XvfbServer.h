// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryFile>

// An X server of the test's own: Xvfb on a display it picks itself, with a
// log of its errors and of every client that connects and leaves.
class XvfbServer final
{
public:
    enum class LastClientLeaving {
        KeepsState, // -noreset: what tests normally want
        Resets,     // as an X server does by default
    };

    explicit XvfbServer(LastClientLeaving behaviour = LastClientLeaving::KeepsState);
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    static bool isInstalled();

    // Starts the server and waits until it takes connections. A server that
    // keeps its state must also answer a client (xdpyinfo); one that resets
    // is not asked, since that client's leaving would reset it.
    bool start();
    QString failure() const { return m_failure; }
    QString display() const { return m_display; }

    // The environment of a program a user of the test's own starts on this
    // server: PATH, DISPLAY, and HOME and the XDG folders inside `folder`
    // (home/ and runtime/, made here).
    QProcessEnvironment userEnvironment(const QString &folder) const;

    // How many times the process `pid` has connected so far.
    int connectionsFrom(qint64 pid) const;
    // Everything the server has written: errors and client comings and goings.
    QString log() const;

private:
    LastClientLeaving m_behaviour;
    QProcess m_process;
    QTemporaryFile m_log;
    QString m_display;
    QString m_failure;
};
