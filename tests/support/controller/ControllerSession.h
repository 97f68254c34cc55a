// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordedController.h"
#include "SessionFolders.h"

// A buffering controller with a session's game and buffer folders chosen.
struct ControllerSession : SessionFolders
{
    RecordedController run;
    BufferingController &controller = run.controller;

    explicit ControllerSession(
        const QString &componentFolder = QStringLiteral(TAVRIX_COMPONENT_DIR))
        : run(services.services(componentFolder))
    {
        controller.setGameFolder(gameFolder);
        controller.setBufferFolder(bufferFolder);
        services.dialogs.messages.clear();
    }

    QString status() const { return run.status(); }
    QTimer *handOffTimer() const { return run.handOffTimer(); }
    void start(const QString &address, bool small = false) { run.start(address, small); }
};
