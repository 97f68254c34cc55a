// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The files directly in `folder` (a path ending in "/") that are held open,
// as `folder` + file name. On Linux: the ones this process holds, from
// /proc/self/fd. On Windows: the ones any process holds, which refuse to be
// opened without sharing.
QStringList openFilesIn(const QString &folder);
