// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTest>

// A window's control by its object name; fails the test when there is none.
template <typename Control> Control *control(const QObject &window, const char *name)
{
    Control *found = window.findChild<Control *>(QString::fromLatin1(name));
    if (!found)
        qFatal("No control %s of the expected type", name);
    return found;
}
