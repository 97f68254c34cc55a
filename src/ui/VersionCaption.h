// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "util/Version.h"

#include <QString>

// "Version <major>.<minor>.<patch>" of this build, shown by the main window's
// banner and by the About window.
inline QString VersionCaption()
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(TAVRIX_VERSION_MAJOR)
        .arg(TAVRIX_VERSION_MINOR)
        .arg(TAVRIX_VERSION_PATCH);
}
