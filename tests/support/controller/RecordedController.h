// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controller/BufferingController.h"
#include "settings/Settings.h"
#include "stream/StreamSession.h"

#include <QStringList>

class QTimer;

// A buffering controller as a window holds it: its settings written when
// they change, and what it asks to show recorded.
struct RecordedController
{
    Settings settings;
    BufferingController controller;
    QStringList statuses; // every status line, oldest first
    QStringList welcomes; // every welcome label text, oldest first
    QList<SessionStop> stops;
    QString bufferFolder; // the folders as shown
    QString gameFolder;

    explicit RecordedController(const PlatformServices &platform);

    QString status() const { return statuses.isEmpty() ? QString() : statuses.last(); }
    // The one-second timer, run by hand in tests.
    QTimer *handOffTimer() const;
    void tick(int count = 1);
    // Starts with the smallest custom size when `small`, else in the 56K
    // mode; the hand-off timer is stopped again at once.
    void start(const QString &address, bool small = false, bool autoStartGame = true);
};
