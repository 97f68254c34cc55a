// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsLocation.h"

QString SettingsLocation::defaultLocation()
{
    return QSettings(QStringLiteral("TAVRIX"), QStringLiteral("TAVRIX")).fileName();
}

QSettings::Format SettingsLocation::formatFor(const QString &)
{
    // The native format is the INI-style file TAVRIX.conf.
    return QSettings::NativeFormat;
}
