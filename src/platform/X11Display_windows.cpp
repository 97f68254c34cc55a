// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11Display.h"

bool X11Display::isNeeded()
{
    return false;
}

QString X11Display::connectionError(const QString &)
{
    return {};
}
