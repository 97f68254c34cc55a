// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

// A drop-down list of a fixed width whose entries may be longer than it: the
// current entry and the entries of the open list are cut with "…", and each
// entry's whole text is its tooltip (the list's own tooltip is the current
// entry). What assistive tools read stays the whole text.
class ElidingComboBox final : public QComboBox
{
    Q_OBJECT

public:
    explicit ElidingComboBox(QWidget *parent = nullptr);

    // Adds the entries with their whole text as their tooltip.
    void addEntries(const QStringList &texts);

protected:
    void initStyleOption(QStyleOptionComboBox *option) const override;
};
