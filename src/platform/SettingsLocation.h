// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>

// Where settings live on this system. On Linux a settings location is an INI
// file (~/.config/TAVRIX/TAVRIX.conf by default); on Windows the default is
// the current user's registry key for application settings,
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\TAVRIX, and a file
// path handed in (tests, a second settings location) is an INI file.
namespace SettingsLocation {

// The user's default settings location.
QString defaultLocation();

// The QSettings format that reads and writes `location`.
QSettings::Format formatFor(const QString &location);

// Whether `location` names a registry key ("HKEY_..."), not a file.
bool isRegistryKey(const QString &location);

// Names `location` the same way however it is spelled (for files: the
// canonical path; a file that does not exist yet counts from its deepest
// existing folder).
QString identity(const QString &location);

} // namespace SettingsLocation
