// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerSession.h"

ControllerSession::ControllerSession(const QString &componentFolder)
    : run(services.services(componentFolder))
{
    controller.setGameFolder(gameFolder);
    controller.setBufferFolder(bufferFolder);
    services.dialogs.messages.clear();
}
