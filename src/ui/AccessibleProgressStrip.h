// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/AccessibleControl.h"

class ProgressStrip;

// Presents the progress strip as a progress bar with a value from 0 to 100.
// The bar drawn inside it is part of the picture, not a child to visit.
class AccessibleProgressStrip final
    : public AccessibleControl<ProgressStrip, QAccessible::ProgressBar, QAccessibleValueInterface,
                               QAccessible::ValueInterface>
{
public:
    using AccessibleControl::AccessibleControl;

    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    QString valueText() const override;
};
