// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/AccessibleControl.h"

class QComboBox;

// Presents a drop-down list that cannot be typed into the way screen readers
// expect: named after what it is (its accessible name, else the text of the
// label whose buddy it is) with the current entry as its value. Qt's own
// interface on Linux gives the current entry as the name too, so the list is
// announced as "Harbour Lights Radio, combo box" and the label is lost.
// The current entry is also the list's read-only text, and its item in the
// popup's list is the selected one, which is where screen readers on Linux
// look for it. The popup's list is its one child; it can be opened and closed.
class AccessibleComboBox final
    : public AccessibleControl<QComboBox, QAccessible::ComboBox, QAccessibleTextInterface,
                               QAccessible::TextInterface>
{
public:
    explicit AccessibleComboBox(QComboBox *box);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

    // The text: the current entry, with neither a cursor nor a selection.
    using AccessibleValuedWidget::text;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    QString valueText() const override;
};
