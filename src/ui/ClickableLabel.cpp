#include "ui/ClickableLabel.h"

#include <QMouseEvent>

ClickableLabel::ClickableLabel(QWidget *parent)
    : QLabel(parent)
{}

QColor ClickableLabel::textColour() const
{
    return palette().color(QPalette::WindowText);
}

void ClickableLabel::setTextColour(const QColor &colour)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

void ClickableLabel::setUnderline(bool underline)
{
    QFont f = font();
    f.setUnderline(underline);
    setFont(f);
}

void ClickableLabel::makeLink()
{
    setTextColour(linkColour());
    setUnderline(true);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    m_link = true;
}

void ClickableLabel::resetLinkOnBackground(QWidget *window, const QPoint &position,
                                           ClickableLabel *link)
{
    // Passing over another control leaves the link bright; only the window's
    // own background turns it back.
    if (!window->childAt(position) && link->textColour() == hoverColour())
        link->setTextColour(linkColour());
}

void ClickableLabel::enterEvent(QEnterEvent *event)
{
    if (m_link)
        setTextColour(hoverColour());
    QLabel::enterEvent(event);
}

void ClickableLabel::mouseMoveEvent(QMouseEvent *event)
{
    if (m_link)
        setTextColour(hoverColour());
    QLabel::mouseMoveEvent(event);
}

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        if (rect().contains(event->position().toPoint()))
            emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}
