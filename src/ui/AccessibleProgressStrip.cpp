// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AccessibleProgressStrip.h"

#include "ui/ProgressStrip.h"

QString AccessibleProgressStrip::valueText() const
{
    return QString::number(control()->value()) + QLatin1Char('%');
}

QVariant AccessibleProgressStrip::currentValue() const
{
    return control()->value();
}
