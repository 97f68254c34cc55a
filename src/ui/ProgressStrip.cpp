// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ProgressStrip.h"

#include <QAccessible>
#include <QEvent>

ProgressStrip::ProgressStrip(QWidget *parent)
    : QFrame(parent)
{}

void ProgressStrip::setBar(QWidget *bar)
{
    if (m_bar)
        m_bar->removeEventFilter(this);
    m_bar = bar;
    if (m_bar)
        m_bar->installEventFilter(this);
    reportValue();
}

int ProgressStrip::value() const
{
    if (!m_bar || m_bar->isHidden())
        return 0;
    const int inside = contentsRect().width();
    if (inside <= 0)
        return 0;
    return qBound(0, qRound(100.0 * m_bar->width() / inside), 100);
}

bool ProgressStrip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_bar) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            reportValue();
            break;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void ProgressStrip::reportValue()
{
    const int current = value();
    if (current == m_reported)
        return;
    m_reported = current;
    QAccessibleValueChangeEvent change(this, current);
    QAccessible::updateAccessibility(&change);
}
