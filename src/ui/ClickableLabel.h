#pragma once

#include <QLabel>

// A label that reports a left click (press and release over it), used for the
// links and the bitrate line.
class ClickableLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickableLabel(QWidget *parent = nullptr);

    static QColor linkColour() { return QColor(0, 0, 192); }
    static QColor hoverColour() { return QColor(0, 0, 255); }

    QColor textColour() const;
    void setTextColour(const QColor &colour);
    void setUnderline(bool underline);

    // Link look: dark blue, underlined, hand cursor; bright blue while the
    // pointer is over it. The window turns it back when the pointer reaches
    // its own background (resetLinkOnBackground).
    void makeLink();
    bool isLink() const { return m_link; }

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

private:
    bool m_pressed = false;
    bool m_link = false;
};
