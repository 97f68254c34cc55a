// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AccessibleComboBox.h"

#include <QAbstractItemView>
#include <QComboBox>

namespace {

// Marks the current entry as the one selected item of the popup's list, as
// long as the popup is closed (while it is open, the selection is the entry
// the user is on). Qt selects it there only when the popup opens.
void selectCurrentEntry(QComboBox *box)
{
    QAbstractItemView *list = box->view();
    if (!list || !list->selectionModel() || list->isVisible())
        return;
    const QModelIndex entry =
        box->model()->index(box->currentIndex(), box->modelColumn(), box->rootModelIndex());
    list->selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
}

} // namespace

AccessibleComboBox::AccessibleComboBox(QComboBox *box)
    : AccessibleControl(box)
{
    selectCurrentEntry(box);
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [box] { selectCurrentEntry(box); });
}

QString AccessibleComboBox::valueText() const
{
    return control()->currentText();
}

int AccessibleComboBox::childCount() const
{
    return control()->view() ? 1 : 0;
}

QAccessibleInterface *AccessibleComboBox::child(int index) const
{
    if (index != 0 || !control()->view())
        return nullptr;
    // A popup left with Escape keeps the entry it was on selected.
    selectCurrentEntry(control());
    return QAccessible::queryAccessibleInterface(control()->view());
}

int AccessibleComboBox::indexOfChild(const QAccessibleInterface *child) const
{
    return child && control()->view() && child->object() == control()->view() ? 0 : -1;
}

QAccessibleInterface *AccessibleComboBox::childAt(int, int) const
{
    // The popup is a window of its own; the closed box has nothing inside.
    return nullptr;
}

QStringList AccessibleComboBox::actionNames() const
{
    return {showMenuAction(), pressAction()};
}

void AccessibleComboBox::doAction(const QString &actionName)
{
    if (actionName != showMenuAction() && actionName != pressAction())
        return;
    if (control()->view() && control()->view()->isVisible())
        control()->hidePopup();
    else
        control()->showPopup();
}

QString AccessibleComboBox::text(int startOffset, int endOffset) const
{
    const QString entry = control()->currentText();
    if (endOffset < 0 || endOffset > entry.size())
        endOffset = int(entry.size());
    startOffset = qBound(0, startOffset, endOffset);
    return entry.mid(startOffset, endOffset - startOffset);
}

int AccessibleComboBox::characterCount() const
{
    return int(control()->currentText().size());
}

void AccessibleComboBox::selection(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
}

int AccessibleComboBox::selectionCount() const
{
    return 0;
}

void AccessibleComboBox::addSelection(int, int)
{}

void AccessibleComboBox::removeSelection(int)
{}

void AccessibleComboBox::setSelection(int, int, int)
{}

int AccessibleComboBox::cursorPosition() const
{
    return 0;
}

void AccessibleComboBox::setCursorPosition(int)
{}

QRect AccessibleComboBox::characterRect(int) const
{
    return {};
}

int AccessibleComboBox::offsetAtPoint(const QPoint &) const
{
    return -1;
}

void AccessibleComboBox::scrollToSubstring(int, int)
{}

QString AccessibleComboBox::attributes(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}
