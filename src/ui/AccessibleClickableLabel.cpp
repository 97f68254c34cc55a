// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AccessibleClickableLabel.h"

#include "ui/ClickableLabel.h"

AccessibleClickableLabel::AccessibleClickableLabel(ClickableLabel *label)
    : QAccessibleWidget(label, QAccessible::StaticText)
{}

QAccessible::Role AccessibleClickableLabel::role() const
{
    if (label()->isLink())
        return QAccessible::Link;
    return label()->isPressable() ? QAccessible::Button : QAccessible::StaticText;
}

QString AccessibleClickableLabel::text(QAccessible::Text t) const
{
    QString text = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && text.isEmpty())
        text = label()->text();
    return text;
}

QStringList AccessibleClickableLabel::actionNames() const
{
    if (!label()->isPressable())
        return QAccessibleWidget::actionNames();
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void AccessibleClickableLabel::doAction(const QString &actionName)
{
    if (actionName == pressAction() && label()->isPressable() && label()->isEnabled())
        label()->click();
    else
        QAccessibleWidget::doAction(actionName);
}

ClickableLabel *AccessibleClickableLabel::label() const
{
    return static_cast<ClickableLabel *>(widget());
}
