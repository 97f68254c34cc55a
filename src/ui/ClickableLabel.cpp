// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ClickableLabel.h"

#include "ui/ColourContrast.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace {

// The link colours of the light look.
const QColor DarkBlue(0, 0, 192);
const QColor BrightBlue(0, 0, 255);

} // namespace

ClickableLabel::ClickableLabel(QWidget *parent)
    : QLabel(parent)
{}

QColor ClickableLabel::textColour() const
{
    return palette().color(QPalette::WindowText);
}

void ClickableLabel::setTextColour(const QColor &colour)
{
    // Setting the palette reports a palette change, which must not re-apply
    // the link colour over this one.
    m_settingColour = true;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
    m_settingColour = false;
}

QColor ClickableLabel::linkColour() const
{
    const QColor background = palette().color(QPalette::Window);
    if (ColourContrast::ratio(DarkBlue, background) >= ColourContrast::MinimumTextRatio)
        return DarkBlue;
    const QColor themed = palette().color(QPalette::Link);
    if (ColourContrast::ratio(themed, background) >= ColourContrast::MinimumTextRatio)
        return themed;
    return ColourContrast::readableOn(DarkBlue, background);
}

QColor ClickableLabel::hoverColour() const
{
    const QColor background = palette().color(QPalette::Window);
    if (ColourContrast::isLight(background))
        return ColourContrast::readableOn(BrightBlue, background);
    // On a dark background "brighter" means lighter, which only adds contrast.
    return linkColour().lighter(130);
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
    setFocusPolicy(Qt::StrongFocus);
    m_link = true;
}

void ClickableLabel::setPressable(bool pressable)
{
    m_pressable = pressable;
    if (!m_link)
        setFocusPolicy(pressable ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void ClickableLabel::resetLinkOnBackground(QWidget *window, const QPoint &position,
                                           ClickableLabel *link)
{
    // Passing over another control leaves the link bright; only the window's
    // own background turns it back.
    if (!window->childAt(position) && link->textColour() == link->hoverColour())
        link->setTextColour(link->linkColour());
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

void ClickableLabel::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (isPressable() && !event->isAutoRepeat() &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        event->accept();
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickableLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!isPressable() || !hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void ClickableLabel::changeEvent(QEvent *event)
{
    // A new palette (a theme switched between light and dark) brings the
    // link colour for its background.
    if (m_link && !m_settingColour && event->type() == QEvent::PaletteChange)
        setTextColour(underMouse() ? hoverColour() : linkColour());
    QLabel::changeEvent(event);
}
