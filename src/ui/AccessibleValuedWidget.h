// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

// A widget presented to screen readers whose value, as they read it, is the
// derived class's valueText().
class AccessibleValuedWidget : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return valueText();
        return QAccessibleWidget::text(t);
    }

protected:
    virtual QString valueText() const = 0;
};
