// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayServer.h"

// Windows has no display server to reach: the window system is always there.
bool DisplayServer::isRequired()
{
    return false;
}

QString DisplayServer::connectionError(const QString &)
{
    return {};
}
