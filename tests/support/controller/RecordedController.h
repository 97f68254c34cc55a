// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controller/BufferingController.h"
#include "controller/PlatformServices.h"
#include "settings/Settings.h"
#include "station/StreamSession.h"

#include <QStringList>
#include <QTimer>

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

    explicit RecordedController(const PlatformServices &platform)
        : settings(platform.settingsFile)
        , controller(platform, nullptr, settings)
    {
        using C = BufferingController;
        QObject::connect(&controller, &C::statusChanged,
                         [this](const QString &s) { statuses << s; });
        QObject::connect(&controller, &C::welcomeChanged,
                         [this](const QString &s) { welcomes << s; });
        QObject::connect(&controller, &C::stopped, [this](const SessionStop &s) { stops << s; });
        QObject::connect(&controller, &C::bufferFolderChanged,
                         [this](const QString &folder) { bufferFolder = folder; });
        QObject::connect(&controller, &C::gameFolderChanged,
                         [this](const QString &folder) { gameFolder = folder; });
        QObject::connect(&controller, &C::settingsChanged, [this] { settings.sync(); });
        controller.loadFolders();
    }

    QString status() const { return statuses.isEmpty() ? QString() : statuses.last(); }
    // The one-second timer, run by hand in tests.
    QTimer *handOffTimer() const
    {
        return controller.findChild<QTimer *>(QStringLiteral("tmrMain"));
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i)
            QMetaObject::invokeMethod(handOffTimer(), "timeout");
    }
    // Starts with the smallest custom size when `small`, else in the 56K
    // mode; the hand-off timer is stopped again at once.
    void start(const QString &address, bool small = false)
    {
        controller.start(address,
                         small ? BufferModes::Choice{BufferModes::Mode::Custom, 0}
                               : BufferModes::Choice{},
                         true);
        handOffTimer()->stop();
    }
};
