// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A label that reports a left click (press and release over it), used for the
// links and the bitrate line.
class ClickableLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickableLabel(QWidget *parent = nullptr);

    // The link colours for this label's background: dark blue and bright
    // blue where they read well (light palettes), else the palette's link
    // colour or a lighter blue with enough contrast.
    QColor linkColour() const;
    QColor hoverColour() const;

    QColor textColour() const;
    void setTextColour(const QColor &colour);
    void setUnderline(bool underline);

    // Link look: dark blue, underlined, hand cursor; bright blue while the
    // pointer is over it. The window turns it back when the pointer reaches
    // its own background (resetLinkOnBackground). A link takes the keyboard
    // focus (Tab), shows it with a focus frame and is followed with Enter or
    // Space.
    void makeLink();
    bool isLink() const { return m_link; }
    // Without the link's look: takes the keyboard focus (Tab), shows it with
    // a focus frame and is pressed with Enter or Space while `pressable`.
    void setPressable(bool pressable);
    bool isPressable() const { return m_link || m_pressable; }

    // Follows the label as a click would.
    void click() { emit clicked(); }

    // For a window's mouse move: a link left bright goes back to the link
    // colour when the pointer is over the window's own background.
    static void resetLinkOnBackground(QWidget *window, const QPoint &position,
                                      ClickableLabel *link);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool m_pressed = false;
    bool m_link = false;
    bool m_pressable = false;
    bool m_settingColour = false;
};
