// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

class QComboBox;

// Presents a drop-down list that cannot be typed into the way screen readers
// expect: named after what it is (its accessible name, else the text of the
// label whose buddy it is) with the current entry as its value. Qt's own
// interface on Linux gives the current entry as the name too, so the list is
// announced as "Harbour Lights Radio, combo box" and the label is lost.
// The popup's list is its one child; it can be opened and closed.
class AccessibleComboBox final : public QAccessibleWidget
{
public:
    explicit AccessibleComboBox(QComboBox *box);

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    QComboBox *box() const;
};
