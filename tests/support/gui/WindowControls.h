// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QWidget>

// A window's control by its object name; fails the test when there is none.
template <typename Control> Control *control(const QObject &window, const char *name)
{
    Control *found = window.findChild<Control *>(QString::fromLatin1(name));
    if (!found)
        qFatal("No control %s of the expected type", name);
    return found;
}

// The text a window's text box shows.
inline QString shown(const QObject &window, const char *box)
{
    return control<QLineEdit>(window, box)->text();
}

inline void click(const QObject &window, const char *button)
{
    control<QPushButton>(window, button)->click();
}

// A widget's tooltip as the user reads it: rich text drawn, plain text as is.
inline QString shownToolTip(const QWidget *widget)
{
    if (!Qt::mightBeRichText(widget->toolTip()))
        return widget->toolTip();
    QTextDocument document;
    document.setHtml(widget->toolTip());
    return document.toPlainText();
}
