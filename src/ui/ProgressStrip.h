// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <QPointer>

// The sunken strip under the status line in which a bar grows as the current
// buffer file fills. The window sizes and shows the bar; the strip reads its
// value from the bar's width, so that assistive tools can tell the progress
// (see AccessibleProgressStrip).
class ProgressStrip final : public QFrame
{
    Q_OBJECT

public:
    explicit ProgressStrip(QWidget *parent = nullptr);

    // The bar, a child of the strip, whose width against the strip's inside
    // is the progress.
    void setBar(QWidget *bar);

    // 0..100 per cent; 0 while the bar is hidden.
    int value() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reportValue();

    QPointer<QWidget> m_bar;
    int m_reported = -1;
};
