// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The current user's folder for files that live only while a program runs
// (locks, local sockets): XDG_RUNTIME_DIR on Linux, the user's temporary
// folder on Windows (where Qt's runtime location would be the home folder).
QString runtimeFolder();
