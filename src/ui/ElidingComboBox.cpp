// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ElidingComboBox.h"

#include <QAbstractItemView>
#include <QStyle>
#include <QStyleOptionComboBox>

ElidingComboBox::ElidingComboBox(QWidget *parent)
    : QComboBox(parent)
{
    view()->setTextElideMode(Qt::ElideRight);
    connect(this, &QComboBox::currentIndexChanged, this,
            [this] { setToolTip(currentIndex() >= 0 ? currentText() : QString()); });
}

void ElidingComboBox::addEntries(const QStringList &texts)
{
    for (const QString &text : texts) {
        addItem(text);
        setItemData(count() - 1, text, Qt::ToolTipRole);
    }
}

void ElidingComboBox::initStyleOption(QStyleOptionComboBox *option) const
{
    QComboBox::initStyleOption(option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, option, QStyle::SC_ComboBoxEditField, this);
    option->currentText =
        fontMetrics().elidedText(option->currentText, Qt::ElideRight, field.width());
}
