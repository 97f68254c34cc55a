// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmMain.h"

#include "controller/BufferingController.h"
#include "platform/FolderCheck.h"
#include "station/StreamSession.h"
#include "ui/Accessibility.h"
#include "ui/ClickableLabel.h"
#include "ui/ElidingComboBox.h"
#include "ui/GameFolderChooser.h"
#include "ui/ProgressStrip.h"
#include "ui/Resources.h"
#include "ui/TrayIcon.h"
#include "ui/VersionCaption.h"
#include "ui/WidgetLook.h"
#include "ui/frmAbout.h"
#include "ui/frmFind.h"
#include "ui/frmTitles.h"
#include "util/LeadingNumber.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <exception>
#include <functional>

namespace {

using WidgetLook::setBold;

// Runs one load step; a step that fails is skipped so that the window still
// loads and the next step runs.
void skipOnError(const std::function<void()> &step)
{
    try {
        step();
    } catch (const std::exception &error) {
        qWarning("Load step skipped: %s", error.what());
    } catch (...) {
        qWarning("Load step skipped");
    }
}

} // namespace

frmMain::frmMain(const PlatformServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_settings(services.settingsFile)
{
    loadResources();
    Accessibility::install();
    build(this);
    m_controller = new BufferingController(m_services, this, m_settings, this);
    connectControls();
    connectController();

    // The desktop session is ending: the program may be ended without its
    // windows being closed.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this] { SaveSettings(false); });

    m_tray = new TrayIcon(this, this);
    connect(m_tray, &TrayIcon::startRequested, cmdStart, &QPushButton::click);
    connect(m_tray, &TrayIcon::exitRequested, this, &frmMain::cmdExit_Click);
    connect(m_tray, &TrayIcon::titlesRequested, this, &frmMain::showTitles);
    if (TrayIcon::available())
        m_tray->show();

    Form_Load();
    updateTray();
}

frmMain::~frmMain()
{
    // The About window clears m_about when it goes, and the controller uses
    // this window's settings: both go while this window is still whole.
    delete m_about;
    delete m_controller;
}

void frmMain::connectControls()
{
    imgTop->installEventFilter(this);
    // The played titles: from the label's menu, a double click on it, or Ctrl+T.
    auto *titlesAction = new QAction(QStringLiteral("Played Titles..."), lblWelcome);
    connect(titlesAction, &QAction::triggered, this, &frmMain::showTitles);
    lblWelcome->addAction(titlesAction);
    lblWelcome->installEventFilter(this);
    auto *titlesShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this);
    connect(titlesShortcut, &QShortcut::activated, this, &frmMain::showTitles);

    connect(lblFind, &ClickableLabel::clicked, this, &frmMain::lblFind_Click);
    connect(cmdTemporary, &QPushButton::clicked, this, &frmMain::cmdTemporary_Click);
    // Only the user's choice copies an address into the address box, never
    // a selection made by the program or merely opening the list.
    connect(cmbRecent, &QComboBox::activated, this, &frmMain::cmbRecent_Click);
    // Selecting a mode, by click, keyboard or code, applies it.
    connect(opt56K, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            opt56K_Click();
    });
    connect(optDSL, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optDSL_Click();
    });
    connect(optCustom, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optCustom_Click();
    });
    connect(lblBitrate, &ClickableLabel::clicked, this, &frmMain::lblBitrate_Click);
    connect(cmdGTAfolder, &QPushButton::clicked, this, &frmMain::cmdGTAfolder_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(chkStart, &QCheckBox::toggled, m_controller, &BufferingController::setAutoStartGame);
    connect(cmdStart, &QPushButton::clicked, this, &frmMain::cmdStart_Click);
    // Enter in the address box starts, as the start button would.
    connect(txtURL, &QLineEdit::returnPressed, cmdStart, &QPushButton::click);
}

void frmMain::connectController()
{
    connect(m_controller, &BufferingController::statusChanged, lblStatus, &QLabel::setText);
    connect(m_controller, &BufferingController::welcomeChanged, lblWelcome, &QLabel::setText);
    connect(m_controller, &BufferingController::bufferFolderChanged, this,
            [this](const QString &folder) { showFolder(txtBufferPath, folder); });
    connect(m_controller, &BufferingController::gameFolderChanged, this,
            [this](const QString &folder) { showFolder(txtRadioPath, folder); });
    connect(m_controller, &BufferingController::settingsChanged, this,
            [this] { SaveSettings(true); });
    connect(m_controller, &BufferingController::starting, this, [this] {
        DisableControls();
        m_tray->setTitle(QString());
    });
    connect(m_controller, &BufferingController::stationAnswered, this,
            &frmMain::showStationHeaders);
    connect(m_controller, &BufferingController::progressChanged, this,
            [this](qint64 bytes, qint64 fileSizeBytes) { showProgress(bytes, fileSizeBytes); });
    connect(m_controller, &BufferingController::titleChanged, this, &frmMain::showCurrentTitle);
    connect(m_controller, &BufferingController::stopped, this, &frmMain::sessionStopped);
    connect(m_controller, &BufferingController::notice, this,
            [this](const QString &text) { m_tray->notify(QStringLiteral("Tavrix"), text); });
    connect(m_controller, &BufferingController::ticked, this, &frmMain::updateTray);
}

void frmMain::Form_Load()
{
    skipOnError([this] { lblVersion->setText(VersionCaption()); });
    skipOnError([this] { cmbBuffer->setCurrentIndex(0); });
    skipOnError([this] { m_controller->loadFolders(); });
    skipOnError([this] { LoadRecentStations(); });
    skipOnError([this] { LoadLastUsedStation(); });
    // Asked once the window is up, not before it appears.
    skipOnError([this] { QTimer::singleShot(0, this, &frmMain::offerFoundGame); });
}

void frmMain::Form_Unload()
{
    m_controller->shutDown();
    // The program may be ending on a signal: no message box holds it up.
    SaveSettings(false);
    if (m_about)
        m_about->hide();
    emit unloaded();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // With a tray icon, closing the window during a stream keeps the stream
    // going in the tray (said once); Exit always ends the program.
    if (!m_exiting && m_tray->isVisible() && m_controller->isStreaming()) {
        hide();
        event->ignore();
        if (!m_toldAboutTray) {
            m_toldAboutTray = m_tray->notify(
                QStringLiteral("Tavrix"),
                QStringLiteral("Tavrix keeps streaming. Use the tray icon to show the window "
                               "or to exit."));
        }
        return;
    }
    // No confirmation, even during a stream: closing always succeeds.
    Form_Unload();
    event->accept();
}

void frmMain::changeEvent(QEvent *event)
{
    // Minimised during a stream, the window waits in the tray.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray->isVisible() &&
        m_controller->isStreaming()) {
        QTimer::singleShot(0, this, &QWidget::hide);
    }
    QWidget::changeEvent(event);
}

void frmMain::cmdExit_Click()
{
    m_exiting = true;
    close();
}

void frmMain::DisableControls()
{
    // Disabling the focused control hands the focus to the next one: from
    // the start button that is "Exit", where the next Space would end the
    // program. The focus waits on the window until "Cancel" can be used.
    m_startFocusParked = cmdStart->hasFocus() || txtURL->hasFocus();
    if (m_startFocusParked)
        setFocus(Qt::OtherFocusReason);
    // "Cancel" becomes usable once the station's header block has been read.
    lockInputs(true);
    updateTray();
}

void frmMain::enableStartButton()
{
    cmdStart->setEnabled(true);
    if (m_startFocusParked && (focusWidget() == this || !focusWidget()))
        cmdStart->setFocus(Qt::OtherFocusReason);
    m_startFocusParked = false;
    updateTray();
}

void frmMain::updateTray()
{
    const QString station = m_controller->isStreaming() ? m_controller->stationUrl() : QString();
    m_tray->setStatus(station, lblStatus->text());
    m_tray->setStartAction(cmdStart->text(), cmdStart->isEnabled());
}

void frmMain::EnableControls()
{
    lockInputs(false);
    lblWelcome->setText(QString::fromLatin1(WelcomeText));
    setBold(lblWelcome, false);
    showBitrateWarning(false);
    enableStartButton();
}

void frmMain::FormDrag()
{
    // The window system moves the window with the pointer until the button
    // is released; where it cannot (no window manager), nothing happens.
    if (QWindow *handle = windowHandle())
        handle->startSystemMove();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == imgTop && event->type() == QEvent::MouseButtonPress) {
        FormDrag();
        return true;
    }
    if (watched == lblWelcome && event->type() == QEvent::MouseButtonDblClick &&
        !m_controller->streamTitle().isEmpty()) {
        showTitles();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::mouseMoveEvent(QMouseEvent *event)
{
    ClickableLabel::resetLinkOnBackground(this, event->position().toPoint(), lblFind);
    QWidget::mouseMoveEvent(event);
}

void frmMain::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, palette());
}

void frmMain::lblFind_Click()
{
    if (!m_find) {
        m_find = new frmFind(m_services, m_settings.directoryServer(), this);
        connect(m_find, &frmFind::stationChosen, this, &frmMain::showChosenStation);
        // The directory counts a click for its station once it plays; the
        // inputs are locked while a stream runs, so txtURL is its address.
        connect(m_controller, &BufferingController::stationAnswered, m_find,
                [this] { m_find->stationStarted(txtURL->text()); });
    }
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
}

void frmMain::cmdAbout_Click()
{
    if (!m_about) {
        m_about = new frmAbout(m_services, this);
        connect(m_about, &QObject::destroyed, this, [this] { m_about = nullptr; });
    }
    m_about->exec();
}

void frmMain::opt56K_Click()
{
    lblBufferSize->setText(QStringLiteral("Prebuffering size set to 256 KB of data per file."));
    cmbBuffer->setEnabled(false);
}

void frmMain::optDSL_Click()
{
    lblBufferSize->setText(QStringLiteral("Prebuffering size set to 1024 KB of data per file."));
    cmbBuffer->setEnabled(false);
}

void frmMain::optCustom_Click()
{
    // The size is read from the list when a stream starts.
    lblBufferSize->setText(QStringLiteral("Prebuffering size set to:"));
    cmbBuffer->setEnabled(true);
}

void frmMain::lblBitrate_Click()
{
    if (!bitrateWarningShown())
        return;
    m_services.dialogs->showMessage(this, MessageIcon::Information, MessageButtons::Ok,
                                    QStringLiteral("Radio with high bitrate warning"),
                                    highBitrateExplanation());
}

void frmMain::message(MessageIcon icon, const QString &text)
{
    m_services.dialogs->showMessage(this, icon, MessageButtons::Ok, QStringLiteral("Tavrix"), text);
}

// For reports that arrive inside a timer or socket handler: the message box's
// own event loop then does not run inside that handler.
void frmMain::messageLater(MessageIcon icon, const QString &text)
{
    QTimer::singleShot(0, this, [this, icon, text] { message(icon, text); });
}

void frmMain::LoadRecentStations()
{
    cmbRecent->addEntries(m_recent.load(m_settings));
    cmbRecent->setCurrentIndex(-1);
}

void frmMain::LoadLastUsedStation()
{
    const int index = RecentStations::lastUsedIndex(m_settings.lastUsed());
    if (index < cmbRecent->count())
        cmbRecent->setCurrentIndex(index);
    txtURL->setText(m_recent.url(index));
}

void frmMain::SaveRecentStations()
{
    m_recent.save(m_settings, cmbRecent->currentIndex());
}

// Settings are written when they change, so that a program ended by a signal,
// a lost display or a crash keeps them. A file that cannot be written is told
// once per run.
void frmMain::SaveSettings(bool tellFailure)
{
    SaveRecentStations();
    if (m_settings.sync())
        return;
    const QString file = QDir::toNativeSeparators(m_settings.fileName());
    const QString folder = QFileInfo(m_settings.fileName()).absolutePath();
    QString problem = FolderCheck::problem(folder);
    problem = problem.isEmpty() ? QStringLiteral("the file cannot be written")
                                : QStringLiteral("its folder ") + QDir::toNativeSeparators(folder) +
                                      QLatin1Char(' ') + problem;
    const QString text = QStringLiteral("Tavrix cannot save its settings in %1: %2.\n\nThe "
                                        "folders and stations chosen now will be forgotten when "
                                        "Tavrix ends.")
                             .arg(file, problem);
    qWarning("%s", qPrintable(text));
    if (!tellFailure || m_settingsFailureTold)
        return;
    m_settingsFailureTold = true;
    messageLater(MessageIcon::Exclamation, text);
}

void frmMain::AddRecentStation(const QString &title, const QString &url)
{
    if (m_recent.add(title, url))
        cmbRecent->addEntries({title});
}

// The station playing becomes the selected one of the recent list, stored as
// "LastUsed" at once. It is selected without a user's choice, so the address
// box is left alone.
void frmMain::selectPlayingStation(const QString &url)
{
    const int slot = recentSlotOf(url);
    if (slot >= 0)
        cmbRecent->setCurrentIndex(slot);
    SaveSettings(true);
}

// A station picked in Find goes into the address box; the recent list then
// shows that station when it holds it, and no entry otherwise, rather than
// the station picked before.
void frmMain::showChosenStation(const QString &url)
{
    txtURL->setText(url);
    cmbRecent->setCurrentIndex(recentSlotOf(url));
}

int frmMain::recentSlotOf(const QString &url) const
{
    for (int slot = 0; slot < m_recent.count() && slot < cmbRecent->count(); ++slot) {
        if (m_recent.url(slot) == url)
            return slot;
    }
    return -1;
}

void frmMain::cmbRecent_Click(int index)
{
    if (index >= 0)
        txtURL->setText(m_recent.url(index));
}

// The buffering run

void frmMain::cmdStart_Click()
{
    if (m_controller->isStreaming()) {
        m_controller->cancel();
        EnableControls();
        return;
    }
    BufferModes::Choice fileSize;
    if (optCustom->isChecked())
        fileSize = {BufferModes::Mode::Custom, cmbBuffer->currentIndex()};
    else if (optDSL->isChecked())
        fileSize.mode = BufferModes::Mode::Broadband;
    m_controller->start(txtURL->text(), fileSize, chkStart->checkState() == Qt::Checked);
}

void frmMain::showStationHeaders(const StationHeaders &headers)
{
    lblServerName->setText(QStringLiteral("Name: ") + headers.name);
    lblGenre->setText(QStringLiteral("Genre: ") + headers.genre);
    lblURL->setText(QStringLiteral("URL: ") + headers.url);
    showBitrateWarning(leadingNumber(headers.bitrate) > 60);
    // A station that names no bitrate (HLS) gets the label without a value.
    lblBitrate->setText(headers.bitrate.isEmpty() ? QStringLiteral("Bitrate:")
                                                  : QStringLiteral("Bitrate: ") + headers.bitrate +
                                                        QStringLiteral(" Kbps"));
    lblBitrate->adjustSize();

    if (m_controller->autoStartPending()) {
        lblWelcome->setText(QStringLiteral("GTA will be started automatically after the first "
                                           "MP3 file was buffered.\nPlease wait a few "
                                           "moments..."));
        setBold(lblWelcome, true);
    }
    enableStartButton();

    // The session names a station without a name after its host; a station
    // without a bitrate is listed by its name alone.
    const QString title =
        headers.bitrate.isEmpty()
            ? headers.name
            : headers.name + QStringLiteral(" [") + headers.bitrate + QStringLiteral(" Kbps]");
    AddRecentStation(title, txtURL->text());
    // The station that plays is the one the next start shows.
    selectPlayingStation(txtURL->text());
}

void frmMain::sessionStopped(const SessionStop &stop)
{
    if (stop.endsSession()) {
        // The window is at rest behind the message.
        m_tray->notify(QStringLiteral("Tavrix"), stop.status);
        lblStatus->setText(stop.status);
        shpBar->hide();
        picStatusBar->setBar(shpBar);
        EnableControls();
        if (!stop.message.isEmpty())
            message(MessageIcon::Stop, stop.message);
        return;
    }
    // After a file error the inputs stay locked until the user presses
    // "Cancel", which is usable now whatever stage the response had reached.
    enableStartButton();
    lblStatus->setText(stop.status);
    m_tray->notify(QStringLiteral("Tavrix"), stop.status);
    if (stop.reason == SessionStop::Reason::FileError)
        message(MessageIcon::Stop, stop.message);
}

void frmMain::showCurrentTitle(const QString &title)
{
    m_tray->setTitle(title);
    updateTray();
    if (title.isEmpty())
        return;
    const QString text = QStringLiteral("Now playing: ") + title;
    lblWelcome->setText(
        lblWelcome->fontMetrics().elidedText(text, Qt::ElideRight, lblWelcome->width()));
    lblWelcome->setToolTip(WidgetLook::plainToolTip(text));
    m_tray->notify(QStringLiteral("Now playing"), title);
    const std::optional<BufferingController::PlayedTitles> titles = m_controller->sessionTitles();
    if (titles && m_titles && m_titles->isVisible())
        m_titles->setTitles(titles->station, titles->entries);
}

void frmMain::showTitles()
{
    const BufferingController::PlayedTitles titles = m_controller->playedTitles(txtURL->text());
    if (!m_titles)
        m_titles = new frmTitles(this);
    m_titles->setTitles(titles.station, titles.entries);
    m_titles->show();
    m_titles->raise();
    m_titles->activateWindow();
}

// Folders

// First run: the one game found on this computer is offered once.
void frmMain::offerFoundGame()
{
    const QList<GameInstallation> found = m_controller->gameToOffer();
    if (found.isEmpty())
        return;
    const QString folder =
        GameFolderChooser(*m_services.dialogs, this, found, m_services.homeFolder).offerOnlyGame();
    if (!folder.isEmpty())
        m_controller->setGameFolder(folder);
}

void frmMain::cmdGTAfolder_Click()
{
    const QString chosen =
        GameFolderChooser(*m_services.dialogs, this, m_controller->findGames(),
                          m_services.homeFolder)
            .choose(QStringLiteral("Select the location of the GTA MP3s folder..."));
    if (!chosen.isEmpty())
        m_controller->setGameFolder(chosen);
}

void frmMain::cmdTemporary_Click()
{
    const QString chosen = m_services.dialogs->pickFolder(
        this, QStringLiteral("Select an EMPTY FOLDER to store the temporary buffered MP3s..."),
        m_controller->bufferFolder());
    if (!chosen.isEmpty())
        m_controller->setBufferFolder(chosen);
}
