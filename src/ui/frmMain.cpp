// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmMain.h"

#include "audio/AudioPipeline.h"
#include "audio/TitleHistory.h"
#include "bufferfiles/BufferFolderCleanup.h"
#include "game/GameFolder.h"
#include "game/GameInstallationFinder.h"
#include "game/ReportBackup.h"
#include "handoff/FileOperations.h"
#include "net/SocketModule.h"
#include "platform/FolderCheck.h"
#include "platform/Shell.h"
#include "station/StationAddress.h"
#include "station/StreamSession.h"
#include "ui/Accessibility.h"
#include "ui/BufferModes.h"
#include "ui/ClickableLabel.h"
#include "ui/ColourContrast.h"
#include "ui/GameFolderChooser.h"
#include "ui/ProgressStrip.h"
#include "ui/Resources.h"
#include "ui/TrayIcon.h"
#include "ui/Twips.h"
#include "ui/VersionCaption.h"
#include "ui/WidgetLook.h"
#include "ui/WindowFont.h"
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
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <exception>
#include <functional>
#include <utility>

namespace {

using Twips::place;
using Twips::px;
using WidgetLook::setBold;
using WidgetLook::setTextColour;

// A text box the user cannot type into, with the button-face background.
void makeReadOnlyBox(QLineEdit *box)
{
    box->setReadOnly(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    box->setPalette(palette);
}

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

const QString WelcomeText = QStringLiteral(
    "In order to replace the GTA III or Vice City MP3 radio with live Internet radio, please "
    "configure the settings below and click the Start Buffering button at the bottom.");

const QString FoldersOverlapText = QStringLiteral(
    "The temporary files folder and the GTA MP3s folder must be separate: neither may be, "
    "contain or lie inside the other, as Tavrix deletes the MP3 files of its temporary files "
    "folder.\n\nTemporary files: %1\nGTA MP3s: %2");

const QColor VersionGrey(138, 138, 138);
// The high bitrate warning: red, darkened or lightened as far as the
// window's background needs for readable text.
QColor warningColour(const QPalette &palette)
{
    return ColourContrast::readableOn(QColor(255, 0, 0), palette.color(QPalette::Window));
}

// The window's client area: 6990 x 7605 twips.
constexpr QSize ClientSize(466, 507);

// The separators under the three section headings and above the bottom row
// (layout y in twips), drawn two pixels thick from x 120 to 6840.
constexpr int SeparatorTops[] = {2040, 4680, 6120, 6960};

// A full progress bar, in pixels (6690 twips).
constexpr double FullBarWidth = 6690.0 / 15.0;

// Progress labels are redrawn at most this often: a fast station delivers
// thousands of arrivals a second.
constexpr int ProgressIntervalMs = 100;

// Folder paths are kept with a trailing separator, as file names are
// appended to them directly.
QString withTrailingSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

// The per-user default buffer folder: the user's cache folder + "tavrix/".
QString DefaultBufferFolder()
{
    return withTrailingSeparator(
               QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)) +
           QStringLiteral("tavrix/");
}

} // namespace

frmMain::frmMain(const PlatformServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_settings(services.settingsFile)
    , m_handOff(*services.files, *this)
    , m_progressDisplay(std::chrono::milliseconds(ProgressIntervalMs), this,
                        [this] { showPendingProgress(); })
    , m_titleDisplay(std::chrono::milliseconds(ProgressIntervalMs), this,
                     [this] { showCurrentTitle(); })
{
    loadResources();
    Accessibility::install();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tavrix"));
    setWindowIcon(programIcon());
    setFont(WindowFont::standard());
    setFixedSize(ClientSize);
    setMouseTracking(true);
    if (QScreen *screen = this->screen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, ClientSize,
                                        screen->availableGeometry()));

    buildControls();

    m_tmrMain = new QTimer(this);
    m_tmrMain->setObjectName(QStringLiteral("tmrMain"));
    m_tmrMain->setInterval(1000);
    connect(m_tmrMain, &QTimer::timeout, this, &frmMain::tmrMain_Timer);

    m_session = new StreamSession(
        SocketModule::create(m_services.componentFolder, &m_socketLoadError), this);
    connect(m_session, &StreamSession::headersRead, this, &frmMain::showStationHeaders);
    connect(m_session, &StreamSession::progress, this, &frmMain::showProgress);
    connect(m_session, &StreamSession::stopped, this, &frmMain::sessionStopped);
    connect(m_session, &StreamSession::socketErrorMessage, this,
            [this](const QString &description) { message(MessageIcon::Stop, description); });
    // The session's audio path tells the station's format and titles, and
    // when its audio cannot be used.
    if (const AudioPipeline *audio = m_session->audio()) {
        connect(audio, &AudioPipeline::formatKnown, this, &frmMain::showAudioFormat);
        connect(audio, &AudioPipeline::titleChanged, this, &frmMain::showStreamTitle);
        connect(audio, &AudioPipeline::refused, this, &frmMain::audioRefused);
    }
    // Asked from the event loop, not from inside the connection's report.
    connect(m_session, &StreamSession::certificateRejected, this, &frmMain::askToTrustCertificate,
            Qt::QueuedConnection);
    connect(m_session, &StreamSession::reconnecting, this, &frmMain::showReconnecting);
    connect(m_session, &StreamSession::reconnected, this, &frmMain::showReconnected);
    m_session->setCertificateTrust([this](const QString &hostPort) {
        return QByteArray::fromHex(m_settings.trustedCertificate(hostPort).toLatin1());
    });
    m_session->setAskForTitles(true);

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
    // The About window clears m_about when it goes; let it go while this
    // window is still whole.
    delete m_about;
}

void frmMain::buildControls()
{
    imgTop = place(new QLabel(this), "imgTop", Twips::rect(0, 0, 7020, 1200));
    imgTop->setPixmap(imageForRatio(QStringLiteral(":/images/banner.png"), devicePixelRatioF()));
    imgTop->installEventFilter(this);

    lblVersion = place(new QLabel(QStringLiteral("Version 1.0.0"), this), "lblVersion",
                       Twips::rect(5400, 120, 1455, 255));
    lblVersion->setFont(WindowFont::tahoma());
    setBold(lblVersion, true);
    setTextColour(lblVersion, VersionGrey);
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignTop);

    lblWelcome =
        place(new QLabel(WelcomeText, this), "lblWelcome", Twips::rect(120, 1300, 6735, 495));
    lblWelcome->setTextFormat(Qt::PlainText);
    lblWelcome->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblWelcome->setWordWrap(true);
    // The played titles: from the label's menu, a double click on it, or Ctrl+T.
    auto *titlesAction = new QAction(QStringLiteral("Played Titles..."), lblWelcome);
    connect(titlesAction, &QAction::triggered, this, &frmMain::showTitles);
    lblWelcome->addAction(titlesAction);
    lblWelcome->setContextMenuPolicy(Qt::ActionsContextMenu);
    lblWelcome->installEventFilter(this);
    auto *titlesShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this);
    connect(titlesShortcut, &QShortcut::activated, this, &frmMain::showTitles);

    lblTitle = place(new QLabel(QStringLiteral("Radio station settings"), this), "lblTitle",
                     Twips::rect(120, 1800, 6735, 255));
    setBold(lblTitle, true);

    lblFullUrl = place(new QLabel(QStringLiteral("Full URL of the radio to play:"), this),
                       "lblFullUrl", Twips::rect(120, 2160, 2535, 255));
    txtURL = place(new QLineEdit(this), "txtURL", Twips::rect(120, 2400, 3255, 285));
    lblFullUrl->setBuddy(txtURL);

    lblFind = place(new ClickableLabel(this), "lblFind", Twips::rect(2880, 2160, 435, 195));
    lblFind->setText(QStringLiteral("Find..."));
    lblFind->makeLink();
    // The link grows to its text where the font is wider than the layout's
    // box, as it is with the sans serif fonts Linux has.
    lblFind->resize(qMax(lblFind->width(), lblFind->sizeHint().width()), lblFind->height());
    lblFind->setAccessibleDescription(QStringLiteral("Opens a directory of radio stations"));
    connect(lblFind, &ClickableLabel::clicked, this, &frmMain::lblFind_Click);

    lblTemporary = place(new QLabel(QStringLiteral("Temporary files location:"), this),
                         "lblTemporary", Twips::rect(3480, 2160, 3375, 255));
    txtBufferPath = place(new QLineEdit(this), "txtBufferPath", Twips::rect(3480, 2400, 2895, 285));
    makeReadOnlyBox(txtBufferPath);
    lblTemporary->setBuddy(txtBufferPath);
    cmdTemporary = place(new QPushButton(QStringLiteral("..."), this), "cmdTemporary",
                         Twips::rect(6480, 2400, 375, 285));
    connect(cmdTemporary, &QPushButton::clicked, this, &frmMain::cmdTemporary_Click);
    cmdTemporary->setAccessibleName(QStringLiteral("Choose the temporary files folder"));
    cmdTemporary->setToolTip(cmdTemporary->accessibleName());

    lblRecent = place(new QLabel(QStringLiteral("Recently used stations list:"), this), "lblRecent",
                      Twips::rect(120, 2760, 6735, 255));
    cmbRecent = place(new QComboBox(this), "cmbRecent", Twips::rect(120, 3000, 6735, 315));
    cmbRecent->setEditable(false);
    // Named after its label, like the text boxes (see AccessibleComboBox).
    lblRecent->setBuddy(cmbRecent);
    // Only the user's choice copies an address into the address box, never
    // a selection made by the program or merely opening the list.
    connect(cmbRecent, &QComboBox::activated, this, &frmMain::cmbRecent_Click);

    lblBuffer = place(
        new QLabel(QStringLiteral(
                       "The buffer size must be chosen based on the radio bandwidth you select. "),
                   this),
        "lblBuffer", Twips::rect(120, 3480, 6735, 255));

    Picture1 = place(new QWidget(this), "Picture1", Twips::rect(120, 3720, 6735, 735));
    optDSL = place(new QRadioButton(QStringLiteral("DSL/Cable/LAN mode"), Picture1), "optDSL",
                   Twips::rect(0, 30, 2175, 255));
    opt56K = place(new QRadioButton(QStringLiteral("56K/ISDN mode"), Picture1), "opt56K",
                   Twips::rect(2280, 30, 2175, 255));
    optCustom = place(new QRadioButton(QStringLiteral("Custom (use carefully)"), Picture1),
                      "optCustom", Twips::rect(4560, 0, 2175, 255));
    cmbBuffer = place(new QComboBox(Picture1), "cmbBuffer", Twips::rect(4560, 315, 1215, 315));
    for (const BufferModes::CustomSize &size : BufferModes::CustomSizes)
        cmbBuffer->addItem(QString::fromLatin1(size.text));
    cmbBuffer->setEnabled(false);
    cmbBuffer->setAccessibleName(QStringLiteral("Custom prebuffering size"));
    lblBufferSize = place(
        new QLabel(QStringLiteral("Prebuffering size set to 256 KB of data per file."), Picture1),
        "lblBufferSize", Twips::rect(0, 345, 4455, 255));
    opt56K->setChecked(true);
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

    lblAdvanced = place(new QLabel(QStringLiteral("Status"), this), "lblAdvanced",
                        Twips::rect(120, 4440, 6735, 255));
    setBold(lblAdvanced, true);

    lblServerName = place(new QLabel(this), "lblServerName", Twips::rect(120, 4800, 6735, 210));
    lblGenre = place(new QLabel(this), "lblGenre", Twips::rect(120, 5040, 2175, 210));
    lblURL = place(new QLabel(this), "lblURL", Twips::rect(2400, 5040, 2895, 210));
    lblBitrate = place(new ClickableLabel(this), "lblBitrate", Twips::rect(5400, 5040, 1485, 195));
    connect(lblBitrate, &ClickableLabel::clicked, this, &frmMain::lblBitrate_Click);
    lblStatus = place(new QLabel(QStringLiteral("Streaming not activated."), this), "lblStatus",
                      Twips::rect(120, 5280, 6735, 210));
    // Station texts come from the network and stored texts from the settings:
    // they are shown as they are, never interpreted as markup.
    for (QLabel *label :
         {lblServerName, lblGenre, lblURL, static_cast<QLabel *>(lblBitrate), lblStatus}) {
        label->setTextFormat(Qt::PlainText);
    }

    picStatusBar =
        place(new ProgressStrip(this), "picStatusBar", Twips::rect(120, 5535, 6735, 200));
    picStatusBar->setAccessibleName(QStringLiteral("Buffer file progress"));
    picStatusBar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picStatusBar->setLineWidth(1);
    shpBar = place(new QFrame(picStatusBar), "shpBar",
                   Twips::rect(0, 0, 6700, 165).translated(picStatusBar->contentsRect().topLeft()));
    shpBar->setAutoFillBackground(true);
    QPalette barPalette = shpBar->palette();
    barPalette.setColor(QPalette::Window, barPalette.color(QPalette::Highlight));
    shpBar->setPalette(barPalette);
    shpBar->setFixedWidth(px(15));
    shpBar->hide();
    picStatusBar->setBar(shpBar);

    lblGTA = place(new QLabel(QStringLiteral("GTA Settings"), this), "lblGTA",
                   Twips::rect(120, 5880, 6735, 255));
    setBold(lblGTA, true);
    lblGTAfolder = place(new QLabel(QStringLiteral("MP3s folder:"), this), "lblGTAfolder",
                         Twips::rect(120, 6240, 1695, 255));
    txtRadioPath = place(new QLineEdit(this), "txtRadioPath", Twips::rect(120, 6480, 6255, 285));
    makeReadOnlyBox(txtRadioPath);
    lblGTAfolder->setBuddy(txtRadioPath);
    cmdGTAfolder = place(new QPushButton(QStringLiteral("..."), this), "cmdGTAfolder",
                         Twips::rect(6480, 6480, 375, 285));
    connect(cmdGTAfolder, &QPushButton::clicked, this, &frmMain::cmdGTAfolder_Click);
    cmdGTAfolder->setAccessibleName(QStringLiteral("Choose the GTA MP3s folder"));
    cmdGTAfolder->setToolTip(cmdGTAfolder->accessibleName());

    cmdAbout = place(new QPushButton(QStringLiteral("About..."), this), "cmdAbout",
                     Twips::rect(120, 7080, 1095, 375));
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    cmdExit = place(new QPushButton(QStringLiteral("Exit"), this), "cmdExit",
                    Twips::rect(1320, 7080, 1095, 375));
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    chkStart = place(new QCheckBox(QStringLiteral("Auto start GTA"), this), "chkStart",
                     Twips::rect(2880, 7140, 1575, 255));
    chkStart->setChecked(true);
    cmdStart = place(new QPushButton(QStringLiteral("Start Buffering"), this), "cmdStart",
                     Twips::rect(4920, 7080, 1935, 375));
    connect(cmdStart, &QPushButton::clicked, this, &frmMain::cmdStart_Click);
    // Enter in the address box starts, as the start button would.
    connect(txtURL, &QLineEdit::returnPressed, cmdStart, &QPushButton::click);

    // Label texts start at the top of the label, as in the layout.
    for (QLabel *label : findChildren<QLabel *>()) {
        if (label->alignment() == (Qt::AlignLeft | Qt::AlignVCenter))
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    // Keyboard order of the controls that take the focus.
    QWidget *const tabOrder[] = {txtURL,   lblFind,   txtBufferPath, txtRadioPath, cmdStart,
                                 cmdExit,  cmbRecent, cmdTemporary,  cmdGTAfolder, cmdAbout,
                                 chkStart, cmbBuffer, optCustom,     opt56K,       optDSL};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void frmMain::Form_Load()
{
    skipOnError([this] { lblVersion->setText(VersionCaption()); });
    skipOnError([this] { cmbBuffer->setCurrentIndex(0); });
    skipOnError([this] { LoadFolderSettings(); });
    skipOnError([this] { LoadRecentStations(); });
    skipOnError([this] { UseDefaultBufferFolderIfNeeded(); });
    skipOnError([this] { LoadLastUsedStation(); });
    skipOnError([this] { setRadioPath(m_radioPath); });
    skipOnError([this] { showFolderProblemsAtLoad(); });
    // Asked once the window is up, not before it appears.
    skipOnError([this] { QTimer::singleShot(0, this, &frmMain::offerFoundGame); });
}

void frmMain::Form_Unload()
{
    m_session->cancel();
    recordTitles();
    // The program may be ending on a signal: no message box holds it up.
    SaveSettings(false);
    m_tmrMain->stop();
    if (m_about)
        m_about->hide();
    emit unloaded();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // With a tray icon, closing the window during a stream keeps the stream
    // going in the tray (said once); Exit always ends the program.
    if (!m_exiting && m_tray->isVisible() && m_session->isStreaming()) {
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
        m_session->isStreaming()) {
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
    txtURL->setEnabled(false);
    cmdTemporary->setEnabled(false);
    cmbRecent->setEnabled(false);
    optDSL->setEnabled(false);
    opt56K->setEnabled(false);
    optCustom->setEnabled(false);
    cmbBuffer->setEnabled(false);
    cmdGTAfolder->setEnabled(false);
    cmdStart->setText(QStringLiteral("Cancel"));
    shpBar->setFixedWidth(px(15));
    // "Cancel" becomes usable once the station's header block has been read.
    cmdStart->setEnabled(false);
    chkStart->setEnabled(false);
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
    const QString station = m_session->isStreaming() ? m_session->stationUrl() : QString();
    m_tray->setStatus(station, lblStatus->text());
    m_tray->setStartAction(cmdStart->text(), cmdStart->isEnabled());
}

void frmMain::EnableControls()
{
    txtURL->setEnabled(true);
    cmdTemporary->setEnabled(true);
    cmbRecent->setEnabled(true);
    optDSL->setEnabled(true);
    opt56K->setEnabled(true);
    optCustom->setEnabled(true);
    cmbBuffer->setEnabled(optCustom->isChecked());
    cmdGTAfolder->setEnabled(true);
    cmdStart->setText(QStringLiteral("Start Buffering"));
    shpBar->setFixedWidth(px(15));
    m_flbBufferPath.refresh();
    m_handOff.endSession();
    lblWelcome->setText(WelcomeText);
    setBold(lblWelcome, false);
    setBitrateWarning(false);
    enableStartButton();
    chkStart->setEnabled(true);
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
        !m_streamTitle.isEmpty()) {
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

    // The black line under the banner.
    painter.setPen(Qt::black);
    painter.drawLine(0, px(1200), px(7080), px(1200));

    // The separators: an etched line, two pixels thick.
    for (const int top : SeparatorTops)
        WidgetLook::drawEtchedLine(painter, palette(), px(120), px(6840), px(top));

    // The frame round "Auto start GTA".
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(Twips::rect(2520, 7080, 2295, 375).adjusted(0, 0, -1, -1));
}

void frmMain::lblFind_Click()
{
    if (!m_find) {
        m_find = new frmFind(m_services, m_settings.directoryServer(), this);
        connect(m_find, &frmFind::stationChosen, txtURL, &QLineEdit::setText);
        // The directory counts a click for its station once it plays; the
        // inputs are locked while a stream runs, so txtURL is its address.
        connect(m_session, &StreamSession::headersRead, m_find,
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
    m_prebufferKB = BufferModes::ModemKB;
}

void frmMain::optDSL_Click()
{
    lblBufferSize->setText(QStringLiteral("Prebuffering size set to 1024 KB of data per file."));
    cmbBuffer->setEnabled(false);
    m_prebufferKB = BufferModes::BroadbandKB;
}

void frmMain::optCustom_Click()
{
    // The size is read from the list when a stream starts.
    lblBufferSize->setText(QStringLiteral("Prebuffering size set to:"));
    cmbBuffer->setEnabled(true);
}

void frmMain::setBitrateWarning(bool high)
{
    if (high) {
        lblBitrate->setTextColour(warningColour(palette()));
        lblBitrate->setUnderline(true);
        lblBitrate->setCursor(Qt::PointingHandCursor);
    } else {
        // The hand cursor, once set, stays: only the look goes back.
        lblBitrate->setTextColour(palette().color(QPalette::ButtonText));
        lblBitrate->setUnderline(false);
    }
    lblBitrate->adjustSize();
}

void frmMain::lblBitrate_Click()
{
    if (lblBitrate->textColour() != warningColour(palette()))
        return;
    m_services.dialogs->showMessage(
        this, MessageIcon::Information, MessageButtons::Ok,
        QStringLiteral("Radio with high bitrate warning"),
        QStringLiteral("The selected radio has a high bitrate. Make sure your connection is fast "
                       "enough to stream it in time (at least 256 or 512 Kbps depending on the "
                       "bitrate and network performance), and also use the DSL/Cable/LAN mode "
                       "buffer size setting."));
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

// Folders and the recent list

void frmMain::setRadioPath(const QString &folder)
{
    m_radioPath = folder;
    txtRadioPath->setText(m_radioPath);
    const QString exe = GameFolder::findGameExecutable(m_radioPath);
    if (!exe.isEmpty())
        m_gameExe = exe;
    m_gameFileNames = GameFolder::gameFileNames(m_radioPath);
    m_handOff.setFolders({m_bufferPath, m_gameFileNames});
}

void frmMain::setBufferPath(const QString &folder)
{
    m_bufferPath = folder;
    txtBufferPath->setText(m_bufferPath);
    m_flbBufferPath.setFolder(m_bufferPath);
    m_handOff.setFolders({m_bufferPath, m_gameFileNames});
}

void frmMain::LoadFolderSettings()
{
    setBufferPath(withTrailingSeparator(m_settings.bufferPath()));
    setRadioPath(withTrailingSeparator(m_settings.radioPath()));
}

void frmMain::UseDefaultBufferFolderIfNeeded()
{
    // A stored folder that cannot be used is shown as the problem it is, not
    // replaced behind the user's back.
    if (!m_bufferPath.isEmpty())
        return;
    // The default is not stored: it is worked out again at every start until
    // the user picks a folder. Only the last level is created.
    const QString folder = DefaultBufferFolder();
    if (!QFileInfo::exists(folder))
        QDir().mkdir(folder);
    setBufferPath(folder);
}

QString frmMain::bufferFolderProblem() const
{
    const QString problem = FolderCheck::problem(m_bufferPath);
    if (problem.isEmpty())
        return {};
    return QStringLiteral("The buffer folder %1 %2. Please choose another folder for the "
                          "temporary files.")
        .arg(m_bufferPath, problem);
}

QString frmMain::gameFolderProblem() const
{
    const QString problem = FolderCheck::problem(m_radioPath);
    if (problem.isEmpty())
        return {};
    return QStringLiteral("The GTA MP3s folder %1 %2. Please fix it or choose the folder "
                          "again.")
        .arg(m_radioPath, problem);
}

void frmMain::showFolderProblemsAtLoad()
{
    // Told in the status line; "Start Buffering" refuses with a message box
    // until the folder is fixed or another is chosen.
    if (!m_bufferPath.isEmpty() && !bufferFolderProblem().isEmpty())
        lblStatus->setText(bufferFolderProblem());
    else if (!m_radioPath.isEmpty() && !gameFolderProblem().isEmpty())
        lblStatus->setText(gameFolderProblem());
}

QList<GameInstallation> frmMain::findGames() const
{
    if (m_services.homeFolder.isEmpty())
        return {};
    const GameSearch search =
        GameInstallationFinder(m_services.homeFolder, m_services.environment).find();
    for (const QString &problem : search.problems)
        qWarning("Looking for the game: %s", qPrintable(problem));
    return search.installations;
}

// First run: the one game found on this computer is offered once.
void frmMain::offerFoundGame()
{
    if (!m_radioPath.isEmpty() || m_settings.discoveryAsked())
        return;
    const QList<GameInstallation> found = findGames();
    if (found.size() != 1)
        return;
    m_settings.setDiscoveryAsked(true);
    SaveSettings(true);
    const QString folder =
        GameFolderChooser(*m_services.dialogs, this, found, m_services.homeFolder).offerOnlyGame();
    if (!folder.isEmpty())
        useGameFolder(withTrailingSeparator(folder));
}

void frmMain::cmdGTAfolder_Click()
{
    const QString chosen = withTrailingSeparator(
        GameFolderChooser(*m_services.dialogs, this, findGames(), m_services.homeFolder)
            .choose(QStringLiteral("Select the location of the GTA MP3s folder...")));
    if (!chosen.isEmpty())
        useGameFolder(chosen);
}

void frmMain::useGameFolder(const QString &chosen)
{
    if (FolderCheck::overlap(chosen, m_bufferPath)) {
        message(MessageIcon::Stop, FoldersOverlapText.arg(m_bufferPath, chosen));
        return;
    }

    const QString report = GameFolder::findReport(chosen);
    if (report.isEmpty()) {
        message(MessageIcon::Stop,
                QStringLiteral("The selected folder does not contain the MP3Report.txt file. "
                               "Please select the correct folder."));
        return;
    }

    const QString previousRadioPath = m_radioPath;
    setRadioPath(chosen);

    // The game's own report is copied to the data folder before the first
    // rewrite; without that copy the report is left alone.
    const ReportBackup backup(ReportBackup::defaultDataFolder());
    message(MessageIcon::Information,
            QStringLiteral("The MP3Report file will be rebuilt and set its attributes to "
                           "read-only now. To manually modify it later, remove the Read Only "
                           "attribute from the file Properties dialog.\n\nThe game's original "
                           "report is kept in %1")
                .arg(backup.copyPathFor(report)));

    QString error;
    if (!GameFolder::writeReport(report, backup, &error)) {
        // The game would not play the program's files from this folder: keep
        // the folder that was in use before.
        setRadioPath(previousRadioPath);
        message(MessageIcon::Stop,
                QStringLiteral("The MP3Report.txt file could not be rewritten:\n\n") + error);
        return;
    }
    m_settings.setRadioPath(m_radioPath);
    SaveSettings(true);
}

void frmMain::cmdTemporary_Click()
{
    const QString chosen = withTrailingSeparator(m_services.dialogs->pickFolder(
        this, QStringLiteral("Select an EMPTY FOLDER to store the temporary buffered MP3s..."),
        m_bufferPath));
    if (chosen.isEmpty())
        return;
    const QString problem = FolderCheck::problem(chosen);
    if (!problem.isEmpty()) {
        message(MessageIcon::Stop,
                QStringLiteral("The folder %1 %2. Please choose another folder for the temporary "
                               "files.")
                    .arg(chosen, problem));
        return;
    }
    if (FolderCheck::overlap(chosen, m_radioPath)) {
        message(MessageIcon::Stop, FoldersOverlapText.arg(chosen, m_radioPath));
        return;
    }

    // While the deletion question is open the timer keeps ticking; the
    // hand-off must not take the user's MP3 files there for buffer files.
    m_bufferQuestionOpen = true;
    setBufferPath(chosen);
    if (!EmptyBufferPath())
        setBufferPath(QString());
    m_bufferQuestionOpen = false;
    m_settings.setBufferPath(m_bufferPath);
    SaveSettings(true);
}

bool frmMain::EmptyBufferPath()
{
    m_flbBufferPath.refresh();
    bool accepted = true;
    if (m_flbBufferPath.count() > 0) {
        const MessageAnswer answer = m_services.dialogs->showMessage(
            this, MessageIcon::Exclamation, MessageButtons::OkCancel, QStringLiteral("Tavrix"),
            QStringLiteral("All MP3 files in the following folder will be deleted now. Your own "
                           "MP3s are moved to the trash, where you can restore them; Tavrix's "
                           "own buffer files (000_strm.mp3, ...) are deleted. Press OK to "
                           "proceed.\n\n") +
                m_bufferPath);
        if (answer == MessageAnswer::Ok) {
            const QList<BufferFolderCleanup::Failure> failures =
                BufferFolderCleanup::clear(m_bufferPath, m_flbBufferPath.names());
            if (!failures.isEmpty()) {
                // An MP3 left behind would be taken for a buffer file.
                QStringList lines;
                for (const BufferFolderCleanup::Failure &failure : failures)
                    lines << failure.path + QStringLiteral(": ") + failure.reason;
                message(MessageIcon::Stop,
                        QStringLiteral("These files could not be removed:\n\n") +
                            lines.join(QLatin1Char('\n')) +
                            QStringLiteral("\n\nTavrix will not operate until all MP3 files are "
                                           "removed from the selected folder."));
                accepted = false;
            }
        } else {
            message(MessageIcon::Stop,
                    QStringLiteral("Tavrix will not operate until all MP3 files are removed from "
                                   "the selected folder."));
            accepted = false;
        }
    }
    m_flbBufferPath.refresh();
    return accepted;
}

void frmMain::LoadRecentStations()
{
    cmbRecent->addItems(m_recent.load(m_settings));
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
    const QString file = m_settings.fileName();
    const QString folder = QFileInfo(file).absolutePath();
    QString problem = FolderCheck::problem(folder);
    problem = problem.isEmpty()
                  ? QStringLiteral("the file cannot be written")
                  : QStringLiteral("its folder ") + folder + QLatin1Char(' ') + problem;
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
        cmbRecent->addItem(title);
}

// The station playing becomes the selected one of the recent list, stored as
// "LastUsed" at once. It is selected without a user's choice, so the address
// box is left alone.
void frmMain::selectPlayingStation(const QString &url)
{
    for (int slot = 0; slot < m_recent.count() && slot < cmbRecent->count(); ++slot) {
        if (m_recent.url(slot) == url) {
            cmbRecent->setCurrentIndex(slot);
            break;
        }
    }
    SaveSettings(true);
}

void frmMain::cmbRecent_Click(int index)
{
    if (index >= 0)
        txtURL->setText(m_recent.url(index));
}

// The stream session

void frmMain::cmdStart_Click()
{
    if (m_session->isStreaming()) {
        m_session->cancel();
        recordTitles();
        m_progressDisplay.cancel();
        m_handOff.streamEnded();
        lblStatus->setText(QStringLiteral("Buffering of files interrupted by user."));
        EnableControls();
        return;
    }

    if (m_bufferPath.isEmpty() || m_radioPath.isEmpty()) {
        message(MessageIcon::Exclamation,
                QStringLiteral("Please select the buffer and GTA MP3s folders and retry."));
        return;
    }
    // Everything is checked before anything is deleted.
    for (const QString &problem : {bufferFolderProblem(), gameFolderProblem()}) {
        if (!problem.isEmpty()) {
            lblStatus->setText(problem);
            message(MessageIcon::Stop, problem);
            return;
        }
    }
    if (FolderCheck::overlap(m_bufferPath, m_radioPath)) {
        message(MessageIcon::Stop, FoldersOverlapText.arg(m_bufferPath, m_radioPath));
        return;
    }
    const StationAddressParse parsed = parseStationAddress(txtURL->text());
    if (!parsed.address) {
        message(MessageIcon::Stop, QStringLiteral("Please enter a valid URL.\n\n"
                                                  "Example: http://198.51.100.20:8000/stream"));
        return;
    }
    if (!m_session->hasSocket()) {
        message(MessageIcon::Stop,
                QStringLiteral("Tavrix cannot connect to a station: its network component "
                               "could not be loaded.\n\n") +
                    SocketModule::pathIn(m_services.componentFolder) + QStringLiteral("\n") +
                    m_socketLoadError);
        return;
    }

    // Only the program's own two files are removed from the game folder; the
    // user's MP3 files there are left alone. The buffer folder is the
    // program's own and is emptied of MP3 files.
    for (const QString &gameFile : m_gameFileNames) {
        if (!gameFile.isEmpty())
            m_services.files->remove(gameFile);
    }
    m_flbBufferPath.refresh();
    const QStringList bufferFiles = m_flbBufferPath.names();
    for (const QString &name : bufferFiles)
        m_services.files->remove(m_bufferPath + name);
    m_flbBufferPath.refresh();

    if (optCustom->isChecked()) {
        const int item = cmbBuffer->currentIndex();
        if (item >= 0 && item < int(BufferModes::CustomSizes.size()))
            m_prebufferKB = BufferModes::CustomSizes[size_t(item)].kilobytes;
    } else if (optDSL->isChecked()) {
        m_prebufferKB = BufferModes::BroadbandKB;
    } else if (opt56K->isChecked()) {
        m_prebufferKB = BufferModes::ModemKB;
    }

    DisableControls();
    lblStatus->setText(QStringLiteral("Connecting to ") + parsed.url + QStringLiteral("..."));
    m_handOffFailureTold = false;
    m_handOff.startSession(chkStart->checkState() == Qt::Checked);
    if (!m_tmrMain->isActive())
        m_tmrMain->start();
    m_pendingBytes = -1;
    m_conversionNote.clear();
    m_streamTitle.clear();
    m_titleDisplay.cancel();
    m_history.reset();
    m_tray->setTitle(QString());
    m_session->start(*parsed.address, m_bufferPath, m_prebufferKB);
}

void frmMain::showStationHeaders(const StationHeaders &headers)
{
    lblServerName->setText(QStringLiteral("Name: ") + headers.name);
    lblGenre->setText(QStringLiteral("Genre: ") + headers.genre);
    lblURL->setText(QStringLiteral("URL: ") + headers.url);
    setBitrateWarning(leadingNumber(headers.bitrate) > 60);
    lblBitrate->setText(QStringLiteral("Bitrate: ") + headers.bitrate + QStringLiteral(" Kbps"));
    lblBitrate->adjustSize();

    if (m_handOff.autoStartPending()) {
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

void frmMain::showProgress(qint64 bytes, qint64 fileSizeBytes)
{
    m_pendingBytes = bytes;
    m_pendingFileSize = fileSizeBytes;
    m_progressDisplay.request();
}

void frmMain::showPendingProgress()
{
    if (m_pendingBytes < 0)
        return;
    const qint64 filled = m_pendingBytes;
    m_pendingBytes = -1;

    if (m_handOff.showsBufferingStatus()) {
        lblStatus->setText(QStringLiteral("Buffering ") + m_handOff.nextGameFile() +
                           QStringLiteral(" [ ") + QString::number(filled / 1024) +
                           QStringLiteral(" KB ]") + m_conversionNote);
    }
    if (m_pendingFileSize > 0) {
        const double width =
            double(filled) * 100.0 / double(m_pendingFileSize) * FullBarWidth / 100.0;
        const int pixels = qBound(1, int(width + 0.5), picStatusBar->width());
        if (shpBar->width() != pixels)
            shpBar->setFixedWidth(pixels);
    }
    if (shpBar->isHidden())
        shpBar->show();
}

void frmMain::sessionStopped(const SessionStop &stop)
{
    // The last progress is shown before the session's final word.
    m_progressDisplay.flush();
    recordTitles();
    // The session's final word stays in the status line; files already
    // written still go to the game.
    m_handOff.streamEnded();
    switch (stop.reason) {
    case SessionStop::Reason::Refused:
        m_tray->notify(QStringLiteral("Tavrix"), stop.status);
        if (!stop.message.isEmpty())
            message(MessageIcon::Stop, stop.message);
        lblStatus->setText(stop.status);
        shpBar->hide();
        picStatusBar->setBar(shpBar);
        EnableControls();
        return;
    case SessionStop::Reason::FileError:
        // The inputs stay locked until the user presses "Cancel", which is
        // usable now whatever stage the response had reached.
        enableStartButton();
        lblStatus->setText(stop.status);
        m_tray->notify(QStringLiteral("Tavrix"), stop.status);
        message(MessageIcon::Stop, stop.message);
        return;
    case SessionStop::Reason::Closed:
    case SessionStop::Reason::Failed:
        enableStartButton();
        lblStatus->setText(stop.status);
        m_tray->notify(QStringLiteral("Tavrix"), stop.status);
        return;
    }
}

void frmMain::showAudioFormat(const QString &codec, bool converted)
{
    m_conversionNote =
        converted ? QStringLiteral(" (") + codec + QStringLiteral(" \u2192 MP3)") : QString();
}

// Every title goes into the history, with the time it came; the window, the
// tray, the notification and the history file take them at most every
// ProgressIntervalMs, as the progress: a station's titles can come faster
// than anyone reads them.
void frmMain::showStreamTitle(const QString &title, const QString &)
{
    if (!m_session->isStreaming())
        return;
    m_streamTitle = title;
    if (!title.isEmpty()) {
        if (!m_history)
            m_history.emplace(TitleHistory::defaultDataFolder(), m_session->stationUrl());
        m_unrecordedTitles.append({QDateTime::currentDateTimeUtc(), title});
    }
    m_titleDisplay.request();
}

// Writes the titles that came since the last time into the history.
void frmMain::recordTitles()
{
    if (m_unrecordedTitles.isEmpty() || !m_history)
        return;
    if (m_history->append(std::exchange(m_unrecordedTitles, {})) == TitleHistory::Outcome::Failed)
        qWarning("Played titles not kept: %s", qPrintable(m_history->errorString()));
}

void frmMain::showCurrentTitle()
{
    recordTitles();
    if (!m_session->isStreaming())
        return;
    m_tray->setTitle(m_streamTitle);
    updateTray();
    if (m_streamTitle.isEmpty())
        return;
    const QString text = QStringLiteral("Now playing: ") + m_streamTitle;
    lblWelcome->setText(
        lblWelcome->fontMetrics().elidedText(text, Qt::ElideRight, lblWelcome->width()));
    lblWelcome->setToolTip(WidgetLook::plainToolTip(text));
    m_tray->notify(QStringLiteral("Now playing"), m_streamTitle);
    if (m_history && m_titles && m_titles->isVisible())
        m_titles->setTitles(m_session->stationUrl(), m_history->entries());
}

// The station's audio cannot be converted: the session ends as for a
// station that is not available.
void frmMain::audioRefused(const QString &reason)
{
    const QString url = m_session->stationUrl();
    m_session->cancel();
    sessionStopped({SessionStop::Reason::Refused,
                    QStringLiteral("Could not connect to ") + url + QStringLiteral("."),
                    QStringLiteral("Server is unavailable.\n\n") + reason});
}

void frmMain::showTitles()
{
    recordTitles();
    const QString station = m_session->isStreaming() ? m_session->stationUrl()
                                                     : parseStationAddress(txtURL->text()).url;
    if (!m_titles)
        m_titles = new frmTitles(this);
    m_titles->setTitles(station,
                        TitleHistory(TitleHistory::defaultDataFolder(), station).entries());
    m_titles->show();
    m_titles->raise();
    m_titles->activateWindow();
}

// A certificate that failed verification is trusted only on the user's word,
// for this host and port; a trusted one that changed is asked about again.
void frmMain::askToTrustCertificate(const QString &host, quint16 port, const QString &reasons,
                                    const QByteArray &sha256)
{
    const QString hostPort = StreamSession::hostPort(host, port);
    const QString fingerprint = QString::fromLatin1(sha256.toHex(':').toUpper());
    const bool changed = !m_settings.trustedCertificate(hostPort).isEmpty();
    const QString text =
        (changed ? QStringLiteral("The certificate of %1 has CHANGED since you trusted it, and "
                                  "it cannot be verified: %2")
                 : QStringLiteral("The certificate of %1 cannot be verified: %2")) +
        QStringLiteral("\n\nSHA-256 fingerprint:\n%3\n\nTrust this certificate for %1?");
    const MessageAnswer answer = m_services.dialogs->showMessage(
        this, MessageIcon::Exclamation, MessageButtons::YesNo, QStringLiteral("Tavrix"),
        text.arg(hostPort, reasons, fingerprint));
    if (answer != MessageAnswer::Yes)
        return;
    m_settings.setTrustedCertificate(hostPort, QString::fromLatin1(sha256.toHex()));
    SaveSettings(true);
    if (!m_session->isStreaming())
        cmdStart_Click();
}

void frmMain::showReconnecting(int seconds, int attempt, const QString &why)
{
    m_progressDisplay.flush();
    const QString text = QStringLiteral("Connection to %1 lost; reconnecting in %2 s (attempt "
                                        "%3)…")
                             .arg(m_session->stationUrl())
                             .arg(seconds)
                             .arg(attempt);
    lblStatus->setText(text);
    if (attempt == 1)
        m_tray->notify(QStringLiteral("Tavrix"), why + u' ' + text);
}

void frmMain::showReconnected()
{
    const QString text = QStringLiteral("Reconnected to ") + m_session->stationUrl() + u'.';
    lblStatus->setText(text);
    m_tray->notify(QStringLiteral("Tavrix"), text);
}

// Hand-off

void frmMain::tmrMain_Timer()
{
    if (m_bufferQuestionOpen)
        return;
    m_handOff.tick();
    updateTray();
}

void frmMain::setStatusText(const QString &text)
{
    lblStatus->setText(text);
}

void frmMain::setWelcomeText(const QString &text)
{
    lblWelcome->setText(text);
}

void frmMain::handOffBlocked(const QString &reason)
{
    emit gameNotReceivingAudio(reason);
    if (m_handOffFailureTold)
        return;
    m_handOffFailureTold = true;
    messageLater(MessageIcon::Exclamation,
                 QStringLiteral("The game is not receiving new audio:\n\n%1\n\nMake sure the GTA "
                                "MP3s folder exists and can be written, or choose it again. The "
                                "buffered files wait and go to the game as soon as the folder "
                                "takes them.")
                     .arg(reason));
}

bool frmMain::autoStartChecked() const
{
    return chkStart->checkState() == Qt::Checked;
}

// The game starts the way it was installed (Steam, a Wine prefix, wine);
// the shell works that out from the executable's place.
void frmMain::LaunchGame()
{
    const QString gameDirectory = GameFolder::gameDirectory(m_radioPath);
    LaunchResult result{false, QStringLiteral("neither gta3.exe nor gta-vc.exe was found beside "
                                              "the GTA MP3s folder")};
    if (!m_gameExe.isEmpty() && !gameDirectory.isEmpty())
        result = m_services.shell->launchProgram(m_gameExe, gameDirectory);
    lblWelcome->setText(result.started
                            ? QStringLiteral("Do not close this program until you have finished "
                                             "with your game or want to stop streaming the radio.")
                            : QStringLiteral("Could not start the game: ") + result.error);
}
