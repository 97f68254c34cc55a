// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsLocation.h"

QString SettingsLocation::defaultLocation()
{
    // The key where programs of this family always kept their settings, so
    // folders and stations stored there before are found.
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\TAVRIX");
}

QSettings::Format SettingsLocation::formatFor(const QString &location)
{
    return isRegistryKey(location) ? QSettings::NativeFormat : QSettings::IniFormat;
}
