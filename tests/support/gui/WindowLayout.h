// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QWidget>

// Layout faults of a fixed-size window, as text for a test's message: a
// control sticking out of its parent, sibling controls covering each other,
// and one-line label texts cut off by their label. `intended` names the pairs
// (control and sibling, or control and parent) the design lets overlap. Only the window's own named
// controls are looked at, not the parts Qt builds inside them.
inline QStringList layoutFaults(const QWidget &window,
                                const QList<QPair<QString, QString>> &intended = {})
{
    QStringList faults;
    const auto isControl = [](const QObject *object) {
        const auto *widget = qobject_cast<const QWidget *>(object);
        return widget && !widget->isWindow() && !widget->objectName().isEmpty() &&
               !widget->objectName().startsWith(QLatin1String("qt_"));
    };
    const auto allowed = [&intended](const QString &a, const QString &b) {
        return intended.contains({a, b}) || intended.contains({b, a});
    };

    QList<const QWidget *> parents{&window};
    while (!parents.isEmpty()) {
        const QWidget *parent = parents.takeFirst();
        QList<const QWidget *> siblings;
        for (const QObject *child : parent->children()) {
            if (isControl(child) && static_cast<const QWidget *>(child)->isVisibleTo(&window))
                siblings << static_cast<const QWidget *>(child);
        }
        for (qsizetype i = 0; i < siblings.size(); ++i) {
            const QWidget *control = siblings[i];
            parents << control;
            if (!parent->rect().contains(control->geometry()) &&
                !allowed(control->objectName(), parent->objectName())) {
                faults << QStringLiteral("%1 leaves %2")
                              .arg(control->objectName(), parent->objectName());
            }
            for (qsizetype j = i + 1; j < siblings.size(); ++j) {
                const QRect common = control->geometry() & siblings[j]->geometry();
                // A label's box may reach one pixel row into the control
                // below it: the design's label boxes are 255 twips tall on a
                // 240-twip grid.
                const bool labelEdge =
                    common.height() <= 1 && (qobject_cast<const QLabel *>(control) ||
                                             qobject_cast<const QLabel *>(siblings[j]));
                if (!common.isEmpty() && !labelEdge &&
                    !allowed(control->objectName(), siblings[j]->objectName())) {
                    faults << QStringLiteral("%1 overlaps %2")
                                  .arg(control->objectName(), siblings[j]->objectName());
                }
            }
            const auto *label = qobject_cast<const QLabel *>(control);
            if (label && !label->wordWrap() && label->pixmap().isNull()) {
                const int needed = label->fontMetrics().horizontalAdvance(label->text());
                const int room = label->contentsRect().width();
                if (needed > room) {
                    faults << QStringLiteral("%1 cuts its text (%2 pixels wide, room for %3)")
                                  .arg(control->objectName())
                                  .arg(needed)
                                  .arg(room);
                }
            }
        }
    }
    return faults;
}
