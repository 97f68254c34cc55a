// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A one-line label of a fixed size that shows a text too long for it cut
// with "…", and the whole text as its tooltip. text() and what assistive
// tools read stay the whole text.
class ElidingLabel final : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    // Whether the text is cut at the label's current width.
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
};
