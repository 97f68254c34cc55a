#include "ui/AccessibleLink.h"

#include "ui/ClickableLabel.h"

AccessibleLink::AccessibleLink(ClickableLabel *link)
    : QAccessibleWidget(link, QAccessible::Link)
{}

QString AccessibleLink::text(QAccessible::Text t) const
{
    QString text = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && text.isEmpty())
        text = static_cast<const ClickableLabel *>(widget())->text();
    return text;
}

QStringList AccessibleLink::actionNames() const
{
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void AccessibleLink::doAction(const QString &actionName)
{
    if (actionName == pressAction() && widget()->isEnabled())
        static_cast<ClickableLabel *>(widget())->click();
    else
        QAccessibleWidget::doAction(actionName);
}
