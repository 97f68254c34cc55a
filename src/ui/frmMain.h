#pragma once

#include "handoff/HandOffMachine.h"
#include "platform/Dialogs.h"
#include "platform/FolderListing.h"
#include "platform/PlatformServices.h"
#include "settings/SettingsStore.h"
#include "stream/SessionState.h"
#include "stream/SocketComponent.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class ClickableLabel;
class frmAbout;

// The program's working window: station, folders, buffer mode, status and the
// start button. Its handlers carry the names of the controls and events they
// serve; the logic that needs no widget lives in the core classes.
//
// The implementation is split by concern: frmMain.cpp (layout, load and
// unload, control states, links, modes), frmMain_Folders.cpp (the two
// folders and the recent list), frmMain_Stream.cpp (start, connection and
// response) and frmMain_HandOff.cpp (hand-off timer and game launch).
class frmMain final : public QWidget,
                      private SocketComponentListener,
                      private SocketErrorDisplay,
                      private HandOffWindow
{
    Q_OBJECT

public:
    explicit frmMain(const PlatformServices &services, QWidget *parent = nullptr);
    ~frmMain() override;

    SessionState &state() { return m_state; }
    const FolderListing &flbBufferPath() const { return m_flbBufferPath; }
    QTimer *tmrMain() const { return m_tmrMain; }
    QTimer *tmrRecent() const { return m_tmrRecent; }
    SocketComponent *socket() const { return m_sck.get(); }

    // Procedures called by the handlers.
    void DisableControls();
    void EnableControls();
    void FormDrag(QWidget *window);
    void EmptyBufferPath();

    // Handlers, public so that tests drive them as the events would.
    void cmdStart_Click();
    void cmdGTAfolder_Click();
    void cmdTemporary_Click();
    void cmdAbout_Click();
    void lblBitrate_Click();
    void opt56K_Click();
    void optDSL_Click();
    void optCustom_Click();
    void tmrMain_Timer();
    void tmrRecent_Timer();

    // The station line turns into a clickable warning for a high bitrate.
    void setBitrateWarning(bool high);

    frmAbout *aboutWindow() const { return m_about; }

signals:
    // The window has been unloaded: the program is to end.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildControls();
    void Form_Load();
    void Form_Unload();
    void cmdExit_Click();
    void lblFind_Click();
    void txtRadioPath_Change();
    void txtBufferPath_Change();
    void setRadioPathText(const QString &text);
    void setBufferPathText(const QString &text);
    // Load steps, run in this order by Form_Load, each skipped on failure.
    void LoadFolderSettings();             // read both folders, show them
    void LoadRecentStations();             // fill the recent list
    void UseDefaultBufferFolderIfNeeded(); // default buffer folder when none is usable
    void LoadLastUsedStation();            // select "LastUsed", its address into txtURL
    void BuildGameFileNames();
    void SaveRecentStations();  // unload step
    void cmbRecent_GotFocus();  // starts tmrRecent
    void cmbRecent_LostFocus(); // stops tmrRecent
    void AddRecentStation(const QString &title, const QString &url);
    void showStationHeaders();
    void writeAudio(QByteArrayView audio);
    void endSessionOnFileError();
    void refuseStation();
    void connectionEnded();
    void message(MessageIcon icon, const QString &text);

    // Socket events
    void Sck_Connect() override;
    void Sck_DataArrival(qint32 bytesTotal) override;
    void Sck_Close() override;
    void Sck_Error(qint16 number, const QString &description, bool &cancelDisplay) override;
    void showSocketError(qint16 number, const QString &description) override;

    // Hand-off
    void setStatusText(const QString &text) override;
    void setWelcomeText(const QString &text) override;
    bool autoStartChecked() const override;
    void LaunchGame() override;

    PlatformServices m_services;
    SessionState m_state;
    SettingsStore m_settings;
    FolderListing m_flbBufferPath;
    std::unique_ptr<SocketComponent> m_sck;
    QString m_socketLoadError;
    HandOffMachine m_handOff;
    bool m_bufferQuestionOpen = false;
    frmAbout *m_about = nullptr;

public:
    // Controls, named as their object names.
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
    QFrame *picStatusBar = nullptr;
    QFrame *shpBar = nullptr;
    QLabel *lblGTA = nullptr;
    QLabel *lblGTAfolder = nullptr;
    QLineEdit *txtRadioPath = nullptr;
    QPushButton *cmdGTAfolder = nullptr;
    QPushButton *cmdAbout = nullptr;
    QPushButton *cmdExit = nullptr;
    QCheckBox *chkStart = nullptr;
    QPushButton *cmdStart = nullptr;

private:
    QTimer *m_tmrRecent = nullptr;
    QTimer *m_tmrMain = nullptr;
};
