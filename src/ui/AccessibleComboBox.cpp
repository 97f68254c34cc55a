// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AccessibleComboBox.h"

#include <QAbstractItemView>
#include <QComboBox>

AccessibleComboBox::AccessibleComboBox(QComboBox *box)
    : QAccessibleWidget(box, QAccessible::ComboBox)
{}

QString AccessibleComboBox::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return box()->currentText();
    return QAccessibleWidget::text(t);
}

int AccessibleComboBox::childCount() const
{
    return box()->view() ? 1 : 0;
}

QAccessibleInterface *AccessibleComboBox::child(int index) const
{
    if (index != 0 || !box()->view())
        return nullptr;
    return QAccessible::queryAccessibleInterface(box()->view());
}

int AccessibleComboBox::indexOfChild(const QAccessibleInterface *child) const
{
    return child && box()->view() && child->object() == box()->view() ? 0 : -1;
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
    if (box()->view() && box()->view()->isVisible())
        box()->hidePopup();
    else
        box()->showPopup();
}

QComboBox *AccessibleComboBox::box() const
{
    return static_cast<QComboBox *>(object());
}
