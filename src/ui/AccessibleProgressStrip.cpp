// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AccessibleProgressStrip.h"

#include "ui/ProgressStrip.h"

AccessibleProgressStrip::AccessibleProgressStrip(ProgressStrip *strip)
    : QAccessibleWidget(strip, QAccessible::ProgressBar)
{}

void *AccessibleProgressStrip::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString AccessibleProgressStrip::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return QString::number(strip()->value()) + QLatin1Char('%');
    return QAccessibleWidget::text(t);
}

QVariant AccessibleProgressStrip::currentValue() const
{
    return strip()->value();
}

ProgressStrip *AccessibleProgressStrip::strip() const
{
    return static_cast<ProgressStrip *>(widget());
}
