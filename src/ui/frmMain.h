// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/TitleHistory.h"
#include "bufferfiles/FolderListing.h"
#include "game/GameInstallation.h"
#include "handoff/HandOffMachine.h"
#include "platform/Dialogs.h"
#include "settings/RecentStations.h"
#include "settings/Settings.h"
#include "ui/PlatformServices.h"
#include "util/ThrottledCall.h"

#include <QWidget>
#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class ClickableLabel;
class ProgressStrip;
class TrayIcon;
class StreamSession;
struct SessionStop;
struct StationHeaders;
class frmAbout;
class frmFind;
class frmTitles;

// The program's working window: station, folders, buffer mode, status and the
// start button. It reads its controls, hands the work to the stream session
// and the hand-off machine, and turns their reports into labels and message
// boxes. Its handlers carry the names of the controls and events they serve.
// Tests reach the controls by object name.
class frmMain final : public QWidget, private HandOffListener
{
    Q_OBJECT

public:
    explicit frmMain(const PlatformServices &services, QWidget *parent = nullptr);
    ~frmMain() override;

    frmAbout *aboutWindow() const { return m_about; }
    // The played-titles window, once opened.
    frmTitles *titlesWindow() const { return m_titles; }

signals:
    // The window has been unloaded: the program is to end.
    void unloaded();
    // Finished buffer files cannot go into the game folder: the game gets no
    // new audio. `reason` names the file, the target and the system's reason.
    // Emitted at each new reason; the window itself shows one message box per
    // session.
    void gameNotReceivingAudio(const QString &reason);

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildControls();
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
    void tmrMain_Timer();
    void cmbRecent_Click(int index);

    // Folders and the recent list
    void setRadioPath(const QString &folder);
    void setBufferPath(const QString &folder);
    void LoadFolderSettings();
    void LoadRecentStations();
    void UseDefaultBufferFolderIfNeeded();
    void LoadLastUsedStation();
    void SaveRecentStations();
    void SaveSettings(bool tellFailure);
    QString bufferFolderProblem() const;
    QString gameFolderProblem() const;
    void showFolderProblemsAtLoad();
    void selectPlayingStation(const QString &url);
    bool EmptyBufferPath();
    QList<GameInstallation> findGames() const;
    void offerFoundGame();
    void useGameFolder(const QString &chosen);
    void AddRecentStation(const QString &title, const QString &url);

    // The session's reports
    void showStationHeaders(const StationHeaders &headers);
    void showProgress(qint64 bytes, qint64 fileSizeBytes);
    void showPendingProgress();
    void sessionStopped(const SessionStop &stop);
    void showAudioFormat(const QString &codec, bool converted);
    void showStreamTitle(const QString &title, const QString &url);
    void showCurrentTitle();
    void recordTitles();
    void audioRefused(const QString &reason);
    void showTitles();
    void askToTrustCertificate(const QString &host, quint16 port, const QString &reasons,
                               const QByteArray &sha256);
    void showReconnecting(int seconds, int attempt, const QString &why);
    void showReconnected();

    void setBitrateWarning(bool high);
    void enableStartButton();
    void updateTray();
    void message(MessageIcon icon, const QString &text);
    void messageLater(MessageIcon icon, const QString &text);

    // Hand-off
    void setStatusText(const QString &text) override;
    void setWelcomeText(const QString &text) override;
    bool autoStartChecked() const override;
    void LaunchGame() override;
    void handOffBlocked(const QString &reason) override;

    PlatformServices m_services;
    Settings m_settings;
    RecentStations m_recent;
    FolderListing m_flbBufferPath;
    StreamSession *m_session = nullptr;
    QString m_socketLoadError;
    HandOffMachine m_handOff;
    frmAbout *m_about = nullptr;
    frmFind *m_find = nullptr;
    frmTitles *m_titles = nullptr;
    QString m_conversionNote; // " (AAC → MP3)" while a station is converted
    QString m_streamTitle;    // what the station plays now
    // The played titles of the session's station, made at its first title.
    std::optional<TitleHistory> m_history;
    QList<PlayedTitle> m_unrecordedTitles; // shown next, then written to m_history

    QString m_radioPath;  // ends with '/'; empty while none is chosen
    QString m_bufferPath; // ends with '/'; empty while none is chosen
    std::array<QString, 2> m_gameFileNames;
    QString m_gameExe;
    qint32 m_prebufferKB = 0;
    bool m_bufferQuestionOpen = false;
    bool m_settingsFailureTold = false;
    bool m_handOffFailureTold = false; // in this session

    // The progress is shown at most every ProgressIntervalMs; the last value
    // waits in m_pendingBytes meanwhile.
    ThrottledCall m_progressDisplay;
    qint64 m_pendingBytes = -1;
    qint64 m_pendingFileSize = 0;
    // The same for the station's title (m_streamTitle).
    ThrottledCall m_titleDisplay;

    QTimer *m_tmrMain = nullptr;

    // The keyboard focus waits on the window itself while "Cancel" cannot be
    // used yet, and goes back to it when it can.
    bool m_startFocusParked = false;

    TrayIcon *m_tray = nullptr;
    bool m_exiting = false; // Exit was chosen: closing ends the program
    bool m_toldAboutTray = false;

    QLabel *imgTop = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblWelcome = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblFullUrl = nullptr;
    QLineEdit *txtURL = nullptr;
    ClickableLabel *lblFind = nullptr;
    QLabel *lblTemporary = nullptr;
    QLineEdit *txtBufferPath = nullptr;
    QPushButton *cmdTemporary = nullptr;
    QLabel *lblRecent = nullptr;
    QComboBox *cmbRecent = nullptr;
    QLabel *lblBuffer = nullptr;
    QWidget *Picture1 = nullptr;
    QRadioButton *opt56K = nullptr;
    QRadioButton *optDSL = nullptr;
    QRadioButton *optCustom = nullptr;
    QComboBox *cmbBuffer = nullptr;
    QLabel *lblBufferSize = nullptr;
    QLabel *lblAdvanced = nullptr;
    QLabel *lblServerName = nullptr;
    QLabel *lblGenre = nullptr;
    QLabel *lblURL = nullptr;
    ClickableLabel *lblBitrate = nullptr;
    QLabel *lblStatus = nullptr;
    ProgressStrip *picStatusBar = nullptr;
    QFrame *shpBar = nullptr;
    QLabel *lblGTA = nullptr;
    QLabel *lblGTAfolder = nullptr;
    QLineEdit *txtRadioPath = nullptr;
    QPushButton *cmdGTAfolder = nullptr;
    QPushButton *cmdAbout = nullptr;
    QPushButton *cmdExit = nullptr;
    QCheckBox *chkStart = nullptr;
    QPushButton *cmdStart = nullptr;
};
