// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The program's icon in the desktop's system tray: a tooltip with the station
// and its status, a menu (Show/Hide, Start/Cancel, Exit) and desktop
// notifications while the window is hidden. The owner decides whether to
// show it (where available()) and answers the menu's requests.
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    // `window` is the window Show/Hide acts on.
    explicit TrayIcon(QWidget *window, QObject *parent = nullptr);
    ~TrayIcon() override;

    // A system tray exists on this desktop.
    static bool available();

    void show();
    bool isVisible() const;

    // The tooltip: program, station (left out when empty), the title it
    // plays (see setTitle()) and status.
    void setStatus(const QString &station, const QString &status);
    // The title the station plays now; empty when none.
    void setTitle(const QString &title);
    QString toolTip() const;

    // The text of the start button ("Start Buffering" or "Cancel") and
    // whether it can be used now.
    void setStartAction(const QString &text, bool enabled);

    QMenu *menu() const { return m_menu.get(); }
    QAction *showHideAction() const { return m_showHide; }
    QAction *startAction() const { return m_start; }
    QAction *titlesAction() const { return m_titles; }
    QAction *exitAction() const { return m_exit; }

    // Shows a desktop notification, only while the icon is in the tray and
    // the window is hidden or minimised (else the window tells). Returns
    // whether it was shown.
    bool notify(const QString &title, const QString &text);

signals:
    void startRequested();
    // "Played Titles" was chosen.
    void titlesRequested();
    void exitRequested();

private:
    bool windowShown() const;
    void toggleWindow();
    void updateShowHideText();
    void updateToolTip();

    QPointer<QWidget> m_window;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon *m_icon = nullptr;
    QAction *m_showHide = nullptr;
    QAction *m_start = nullptr;
    QAction *m_titles = nullptr;
    QString m_station;
    QString m_status;
    QString m_title;
    QAction *m_exit = nullptr;
};
