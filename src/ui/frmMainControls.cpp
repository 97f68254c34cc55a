// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmMainControls.h"

#include "controller/BufferModes.h"
#include "ui/ClickableLabel.h"
#include "ui/ColourContrast.h"
#include "ui/ElidingComboBox.h"
#include "ui/ElidingLabel.h"
#include "ui/ProgressStrip.h"
#include "ui/Resources.h"
#include "ui/Twips.h"
#include "ui/WidgetLook.h"
#include "ui/WindowFont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>

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

const QColor VersionGrey(138, 138, 138);

// The window's client area: 6990 x 7605 twips.
constexpr QSize ClientSize(466, 507);

// The separators under the three section headings and above the bottom row
// (layout y in twips), drawn two pixels thick from x 120 to 6840.
constexpr int SeparatorTops[] = {2040, 4680, 6120, 6960};

// A full progress bar, in pixels (6690 twips).
constexpr double FullBarWidth = 6690.0 / 15.0;

// The high bitrate warning: red, darkened or lightened as far as the
// window's background needs for readable text.
QColor warningColour(const QPalette &palette)
{
    return ColourContrast::readableOn(QColor(255, 0, 0), palette.color(QPalette::Window));
}

} // namespace

const char *const frmMainControls::WelcomeText =
    "In order to replace the GTA III or Vice City MP3 radio with live Internet radio, please "
    "configure the settings below and click the Start Buffering button at the bottom.";

void frmMainControls::build(QWidget *window)
{
    window->setObjectName(QStringLiteral("frmMain"));
    window->setWindowTitle(QStringLiteral("Tavrix"));
    window->setWindowIcon(programIcon());
    window->setFont(WindowFont::standard());
    window->setFixedSize(ClientSize);
    window->setMouseTracking(true);
    if (QScreen *screen = window->screen())
        window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, ClientSize,
                                                screen->availableGeometry()));

    imgTop = place(new QLabel(window), "imgTop", Twips::rect(0, 0, 7020, 1200));
    imgTop->setPixmap(
        imageForRatio(QStringLiteral(":/images/banner.png"), window->devicePixelRatioF()));

    lblVersion = place(new QLabel(QStringLiteral("Version 1.0.0"), window), "lblVersion",
                       Twips::rect(5400, 120, 1455, 255));
    lblVersion->setFont(WindowFont::tahoma());
    setBold(lblVersion, true);
    setTextColour(lblVersion, VersionGrey);
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignTop);

    lblWelcome = place(new QLabel(QString::fromLatin1(WelcomeText), window), "lblWelcome",
                       Twips::rect(120, 1300, 6735, 495));
    lblWelcome->setTextFormat(Qt::PlainText);
    lblWelcome->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblWelcome->setWordWrap(true);
    lblWelcome->setContextMenuPolicy(Qt::ActionsContextMenu);

    lblTitle = place(new QLabel(QStringLiteral("Radio station settings"), window), "lblTitle",
                     Twips::rect(120, 1800, 6735, 255));
    setBold(lblTitle, true);

    lblFullUrl = place(new QLabel(QStringLiteral("Full URL of the radio to play:"), window),
                       "lblFullUrl", Twips::rect(120, 2160, 2535, 255));
    txtURL = place(new QLineEdit(window), "txtURL", Twips::rect(120, 2400, 3255, 285));
    lblFullUrl->setBuddy(txtURL);

    lblFind = place(new ClickableLabel(window), "lblFind", Twips::rect(2880, 2160, 435, 195));
    lblFind->setText(QStringLiteral("Find..."));
    lblFind->makeLink();
    // The link grows to its text where the font is wider than the layout's
    // box, as it is with the sans serif fonts Linux has.
    lblFind->resize(qMax(lblFind->width(), lblFind->sizeHint().width()), lblFind->height());
    lblFind->setAccessibleDescription(QStringLiteral("Opens a directory of radio stations"));

    lblTemporary = place(new QLabel(QStringLiteral("Temporary files location:"), window),
                         "lblTemporary", Twips::rect(3480, 2160, 3375, 255));
    txtBufferPath =
        place(new QLineEdit(window), "txtBufferPath", Twips::rect(3480, 2400, 2895, 285));
    makeReadOnlyBox(txtBufferPath);
    lblTemporary->setBuddy(txtBufferPath);
    cmdTemporary = place(new QPushButton(QStringLiteral("..."), window), "cmdTemporary",
                         Twips::rect(6480, 2400, 375, 285));
    cmdTemporary->setAccessibleName(QStringLiteral("Choose the temporary files folder"));
    cmdTemporary->setToolTip(cmdTemporary->accessibleName());

    lblRecent = place(new QLabel(QStringLiteral("Recently used stations list:"), window),
                      "lblRecent", Twips::rect(120, 2760, 6735, 255));
    cmbRecent = place(new ElidingComboBox(window), "cmbRecent", Twips::rect(120, 3000, 6735, 315));
    cmbRecent->setEditable(false);
    // Named after its label, like the text boxes (see AccessibleComboBox).
    lblRecent->setBuddy(cmbRecent);

    lblBuffer = place(
        new QLabel(QStringLiteral(
                       "The buffer size must be chosen based on the radio bandwidth you select. "),
                   window),
        "lblBuffer", Twips::rect(120, 3480, 6735, 255));

    Picture1 = place(new QWidget(window), "Picture1", Twips::rect(120, 3720, 6735, 735));
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

    lblAdvanced = place(new QLabel(QStringLiteral("Status"), window), "lblAdvanced",
                        Twips::rect(120, 4440, 6735, 255));
    setBold(lblAdvanced, true);

    lblServerName = place(new QLabel(window), "lblServerName", Twips::rect(120, 4800, 6735, 210));
    lblGenre = place(new QLabel(window), "lblGenre", Twips::rect(120, 5040, 2175, 210));
    lblURL = place(new QLabel(window), "lblURL", Twips::rect(2400, 5040, 2895, 210));
    lblBitrate =
        place(new ClickableLabel(window), "lblBitrate", Twips::rect(5400, 5040, 1485, 195));
    lblStatus = place(new ElidingLabel(QStringLiteral("Streaming not activated."), window),
                      "lblStatus", Twips::rect(120, 5280, 6735, 210));
    // Station texts come from the network and stored texts from the settings:
    // they are shown as they are, never interpreted as markup.
    for (QLabel *label :
         {lblServerName, lblGenre, lblURL, static_cast<QLabel *>(lblBitrate), lblStatus}) {
        label->setTextFormat(Qt::PlainText);
    }

    picStatusBar =
        place(new ProgressStrip(window), "picStatusBar", Twips::rect(120, 5535, 6735, 200));
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

    lblGTA = place(new QLabel(QStringLiteral("GTA Settings"), window), "lblGTA",
                   Twips::rect(120, 5880, 6735, 255));
    setBold(lblGTA, true);
    lblGTAfolder = place(new QLabel(QStringLiteral("MP3s folder:"), window), "lblGTAfolder",
                         Twips::rect(120, 6240, 1695, 255));
    txtRadioPath = place(new QLineEdit(window), "txtRadioPath", Twips::rect(120, 6480, 6255, 285));
    makeReadOnlyBox(txtRadioPath);
    lblGTAfolder->setBuddy(txtRadioPath);
    cmdGTAfolder = place(new QPushButton(QStringLiteral("..."), window), "cmdGTAfolder",
                         Twips::rect(6480, 6480, 375, 285));
    cmdGTAfolder->setAccessibleName(QStringLiteral("Choose the GTA MP3s folder"));
    cmdGTAfolder->setToolTip(cmdGTAfolder->accessibleName());

    cmdAbout = place(new QPushButton(QStringLiteral("About..."), window), "cmdAbout",
                     Twips::rect(120, 7080, 1095, 375));
    cmdExit = place(new QPushButton(QStringLiteral("Exit"), window), "cmdExit",
                    Twips::rect(1320, 7080, 1095, 375));
    chkStart = place(new QCheckBox(QStringLiteral("Auto start GTA"), window), "chkStart",
                     Twips::rect(2880, 7140, 1575, 255));
    chkStart->setChecked(true);
    cmdStart = place(new QPushButton(QStringLiteral("Start Buffering"), window), "cmdStart",
                     Twips::rect(4920, 7080, 1935, 375));

    // Label texts start at the top of the label, as in the layout.
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->alignment() == (Qt::AlignLeft | Qt::AlignVCenter))
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    // Keyboard order of the controls that take the focus.
    QWidget *const tabOrder[] = {txtURL,   lblFind,   txtBufferPath, txtRadioPath, cmdStart,
                                 cmdExit,  cmbRecent, cmdTemporary,  cmdGTAfolder, cmdAbout,
                                 chkStart, cmbBuffer, optCustom,     opt56K,       optDSL};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void frmMainControls::paint(QPainter &painter, const QPalette &palette)
{
    // The black line under the banner.
    painter.setPen(Qt::black);
    painter.drawLine(0, px(1200), px(7080), px(1200));

    // The separators: an etched line, two pixels thick.
    for (const int top : SeparatorTops)
        WidgetLook::drawEtchedLine(painter, palette, px(120), px(6840), px(top));

    // The frame round "Auto start GTA".
    painter.setPen(palette.color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(Twips::rect(2520, 7080, 2295, 375).adjusted(0, 0, -1, -1));
}

void frmMainControls::lockInputs(bool locked)
{
    for (QWidget *input : std::initializer_list<QWidget *>{txtURL, cmdTemporary, cmbRecent, optDSL,
                                                           opt56K, optCustom})
        input->setEnabled(!locked);
    cmbBuffer->setEnabled(!locked && optCustom->isChecked());
    cmdGTAfolder->setEnabled(!locked);
    cmdStart->setText(locked ? QStringLiteral("Cancel") : QStringLiteral("Start Buffering"));
    shpBar->setFixedWidth(px(15));
    if (locked)
        cmdStart->setEnabled(false);
    chkStart->setEnabled(!locked);
}

void frmMainControls::showProgress(qint64 bytes, qint64 fileSizeBytes)
{
    if (fileSizeBytes > 0) {
        const double width = double(bytes) * 100.0 / double(fileSizeBytes) * FullBarWidth / 100.0;
        const int pixels = qBound(1, int(width + 0.5), picStatusBar->width());
        if (shpBar->width() != pixels)
            shpBar->setFixedWidth(pixels);
    }
    if (shpBar->isHidden())
        shpBar->show();
}

// The warning explains itself on a click, with Enter or Space once it has
// the keyboard focus, as its tooltip and as its description to screen
// readers.
void frmMainControls::showBitrateWarning(bool high)
{
    const QPalette palette = lblBitrate->window()->palette();
    if (high) {
        lblBitrate->setTextColour(warningColour(palette));
        lblBitrate->setUnderline(true);
        lblBitrate->setCursor(Qt::PointingHandCursor);
    } else {
        // The hand cursor, once set, stays: only the look goes back.
        lblBitrate->setTextColour(palette.color(QPalette::ButtonText));
        lblBitrate->setUnderline(false);
    }
    lblBitrate->setPressable(high);
    lblBitrate->setToolTip(high ? WidgetLook::plainToolTip(highBitrateExplanation()) : QString());
    lblBitrate->setAccessibleDescription(high ? highBitrateExplanation() : QString());
    lblBitrate->adjustSize();
}

bool frmMainControls::bitrateWarningShown() const
{
    return lblBitrate->textColour() == warningColour(lblBitrate->window()->palette());
}

QString frmMainControls::highBitrateExplanation()
{
    return QStringLiteral(
        "The selected radio has a high bitrate. Make sure your connection is fast enough to stream "
        "it in time (at least 256 or 512 Kbps depending on the bitrate and network performance), "
        "and also use the DSL/Cable/LAN mode buffer size setting.");
}

// Shown the system's way (C:\Games\GTA3\mp3\ on Windows).
void frmMainControls::showFolder(QLineEdit *box, const QString &folder)
{
    const QString shown = QDir::toNativeSeparators(folder);
    box->setText(shown);
    box->setToolTip(WidgetLook::plainToolTip(shown));
}
