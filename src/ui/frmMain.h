// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controller/PlatformServices.h"
#include "platform/Dialogs.h"
#include "settings/RecentStations.h"
#include "settings/Settings.h"
#include "ui/frmMainControls.h"

#include <QWidget>

class BufferingController;
class TrayIcon;
struct SessionStop;
struct StationHeaders;
class frmAbout;
class frmFind;
class frmTitles;

// The program's working window: station, folders, buffer mode, status and the
// start button. It reads its controls, hands the work to the buffering
// controller, and turns the controller's reports into labels, the tray and
// message boxes. Its handlers carry the names of the controls and events
// they serve. Tests reach the controls by object name.
class frmMain final : public QWidget, private frmMainControls
{
    Q_OBJECT

public:
    explicit frmMain(const PlatformServices &services, QWidget *parent = nullptr);
    ~frmMain() override;

    // Ends the program as "Exit" does, even during a stream with a tray icon
    // (where closing the window only hides it): for the system ending the
    // program or the user's session, when the settings must be saved now.
    void exitProgram() { cmdExit_Click(); }

    frmAbout *aboutWindow() const { return m_about; }
    // The played-titles window, once opened.
    frmTitles *titlesWindow() const { return m_titles; }

signals:
    // The window has been unloaded: the program is to end.
    void unloaded();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void connectControls();
    void connectController();
    void Form_Load();
    void Form_Unload();
    void DisableControls();
    void EnableControls();
    void FormDrag();

    // Handlers
    void cmdStart_Click();
    void cmdExit_Click();
    void cmdAbout_Click();
    void cmdGTAfolder_Click();
    void cmdTemporary_Click();
    void lblFind_Click();
    void lblBitrate_Click();
    void opt56K_Click();
    void optDSL_Click();
    void optCustom_Click();
    void cmbRecent_Click(int index);

    // The recent list and the settings
    void LoadRecentStations();
    void LoadLastUsedStation();
    void SaveRecentStations();
    void SaveSettings(bool tellFailure);
    void selectPlayingStation(const QString &url);
    void showChosenStation(const QString &url);
    int recentSlotOf(const QString &url) const;
    void offerFoundGame();
    void AddRecentStation(const QString &title, const QString &url);

    // The controller's reports
    void showStationHeaders(const StationHeaders &headers);
    void sessionStopped(const SessionStop &stop);
    void showCurrentTitle(const QString &title);
    void showTitles();

    void enableStartButton();
    void updateTray();
    void message(MessageIcon icon, const QString &text);
    void messageLater(MessageIcon icon, const QString &text);

    PlatformServices m_services;
    Settings m_settings;
    RecentStations m_recent;
    BufferingController *m_controller = nullptr;
    frmAbout *m_about = nullptr;
    frmFind *m_find = nullptr;
    frmTitles *m_titles = nullptr;
    bool m_settingsFailureTold = false;

    // The keyboard focus waits on the window itself while "Cancel" cannot be
    // used yet, and goes back to it when it can.
    bool m_startFocusParked = false;

    TrayIcon *m_tray = nullptr;
    bool m_exiting = false; // Exit was chosen: closing ends the program
    bool m_toldAboutTray = false;
};
