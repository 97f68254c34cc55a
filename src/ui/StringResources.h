// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The program's compiled-in string table: 1 is the legal notice line of the
// About window, 2 the author's name that follows it. Unknown ids give the
// empty text.
inline QString stringResource(int id)
{
    switch (id) {
    case 1:
        return QStringLiteral("(C) 2026 created by:");
    case 2:
        return QStringLiteral("Tavrix Makers");
    default:
        return {};
    }
}
