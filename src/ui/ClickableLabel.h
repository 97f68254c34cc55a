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

    // Link look: dark blue, underlined, hand cursor.
    void makeLink();

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};
