// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RuntimeFolder.h"

#include <QDir>

QString runtimeFolder()
{
    return QDir::tempPath();
}
