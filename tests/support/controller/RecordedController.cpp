// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordedController.h"

#include <QTimer>

RecordedController::RecordedController(const PlatformServices &platform)
    : settings(platform.settingsFile)
    , controller(platform, settings, nullptr)
{
    QObject::connect(&controller, &BufferingController::statusChanged, &controller,
                     [this](const QString &text) { statuses << text; });
    QObject::connect(&controller, &BufferingController::welcomeChanged, &controller,
                     [this](const QString &text) { welcomes << text; });
    QObject::connect(&controller, &BufferingController::stopped, &controller,
                     [this](const SessionStop &stop) { stops << stop; });
    QObject::connect(&controller, &BufferingController::bufferFolderChanged, &controller,
                     [this](const QString &folder) { bufferFolder = folder; });
    QObject::connect(&controller, &BufferingController::gameFolderChanged, &controller,
                     [this](const QString &folder) { gameFolder = folder; });
    QObject::connect(&controller, &BufferingController::settingsChanged, &controller,
                     [this] { settings.sync(); });
    controller.loadFolders();
}

QTimer *RecordedController::handOffTimer() const
{
    return controller.findChild<QTimer *>(QStringLiteral("tmrMain"));
}

void RecordedController::tick(int count)
{
    for (int i = 0; i < count; ++i)
        QMetaObject::invokeMethod(handOffTimer(), "timeout");
}

void RecordedController::start(const QString &address, bool small, bool autoStartGame)
{
    controller.start(
        address, small ? BufferModes::Choice{BufferModes::Mode::Custom, 0} : BufferModes::Choice{},
        autoStartGame);
    handOffTimer()->stop();
}
