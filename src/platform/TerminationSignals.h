// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGHUP and SIGINT into a Qt signal on the event loop, so the
// program can end in order (settings saved, session closed) when the system,
// the terminal or the user ends it. The handler only writes the signal's
// number into a pipe; the event loop reads it. After the first signal the
// default actions are back: a second one ends the program at once should the
// orderly end hang. On Windows, which has no such signals for a window
// program, the end of the user's session is reported instead, while Windows
// still waits for the answer (signalNumber 0). One instance per process.
class TerminationSignals final : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up.
    bool isInstalled() const { return m_installed; }

signals:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
    bool m_installed = false;
};
