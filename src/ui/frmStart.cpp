// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmStart.h"

#include "net/SocketModule.h"
#include "platform/Shell.h"
#include "ui/ClickableLabel.h"
#include "ui/Links.h"
#include "ui/Twips.h"
#include "ui/WidgetLook.h"
#include "ui/WindowFont.h"
#include "ui/frmMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace {

using Twips::place;
using Twips::px;

// The window's client area: 4365 x 2295 twips.
constexpr QSize ClientSize(291, 153);

// The two separators (layout y in twips), from x 120 to 4200.
constexpr int SeparatorTops[] = {360, 1680};

} // namespace

frmStart::frmStart(const PlatformServices &services, std::function<void()> endProgram)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_endProgram(std::move(endProgram))
{
    setObjectName(QStringLiteral("frmStart"));
    setWindowTitle(QStringLiteral("Missing Files Detected"));
    setFont(WindowFont::standard());
    setFixedSize(ClientSize);
    setMouseTracking(true);
    buildControls();
    Form_Load();
}

frmStart::~frmStart() = default;

void frmStart::defaultEndProgram()
{
    QCoreApplication::exit(0);
}

void frmStart::buildControls()
{
    lblTitle = place(new QLabel(QStringLiteral("The following required file is missing:"), this),
                     "lblTitle", Twips::rect(120, 120, 3495, 255));
    WidgetLook::setBold(lblTitle, true);

    lblFile1 = place(new QLabel(this), "lblFile1", Twips::rect(120, 480, 4095, 255));
    lblFile1->setTextFormat(Qt::PlainText);

    lblInfo = place(new QLabel(QStringLiteral("The above component comes with the program. Please "
                                              "copy it into the program's own folder, next to "
                                              "the program file."),
                               this),
                    "lblInfo", Twips::rect(120, 960, 4095, 615));
    lblInfo->setWordWrap(true);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblSite = place(new ClickableLabel(this), "lblSite", Twips::rect(120, 1920, 585, 195));
    lblSite->setText(QStringLiteral("Website"));
    lblSite->makeLink();
    lblSite->adjustSize();
    connect(lblSite, &ClickableLabel::clicked, this, &frmStart::lblSite_Click);

    cmdIgnore = place(new QPushButton(QStringLiteral("Ignore"), this), "cmdIgnore",
                      Twips::rect(1920, 1800, 1095, 375));
    // Enter always means "Exit", even while "Ignore" has the focus.
    cmdIgnore->setAutoDefault(false);
    connect(cmdIgnore, &QPushButton::clicked, this, &frmStart::cmdIgnore_Click);

    cmdExit = place(new QPushButton(QStringLiteral("Exit"), this), "cmdExit",
                    Twips::rect(3120, 1800, 1095, 375));
    cmdExit->setDefault(true);
    connect(cmdExit, &QPushButton::clicked, this, &frmStart::cmdExit_Click);

    for (QLabel *label : {lblTitle, lblFile1})
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    setTabOrder(cmdIgnore, cmdExit);
}

void frmStart::Form_Load()
{
    m_componentPath = SocketModule::pathIn(m_services.componentFolder);
    // A folder or anything else that is not a plain, visible file of that
    // name cannot be loaded as the component.
    const QFileInfo component(m_componentPath);
    if (component.isFile() && !component.isHidden()) {
        showMainWindow();
        return;
    }

    // The path as it is: on a case-sensitive file system another letter
    // case would name a different file. A path too long for the line is
    // shortened in the middle; the tooltip holds it whole.
    const QString shown =
        lblFile1->fontMetrics().elidedText(m_componentPath, Qt::ElideMiddle, lblFile1->width() - 2);
    lblFile1->setText(shown);
    lblFile1->setToolTip(m_componentPath);
    if (QScreen *screen = this->screen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, ClientSize,
                                        screen->availableGeometry()));
    show();
}

void frmStart::showMainWindow()
{
    m_main = std::make_unique<frmMain>(m_services);
    connect(m_main.get(), &frmMain::unloaded, this, [this] { m_endProgram(); });
    m_main->show();
}

void frmStart::cmdIgnore_Click()
{
    hide();
    showMainWindow();
}

void frmStart::cmdExit_Click()
{
    hide();
    m_endProgram();
}

void frmStart::lblSite_Click()
{
    m_services.shell->OpenDocument(Links::productPage());
}

void frmStart::reject()
{
    // Esc, like Enter, is "Exit".
    cmdExit_Click();
}

void frmStart::closeEvent(QCloseEvent *event)
{
    // The close box of the dialog ends the program: no other window is open.
    event->accept();
    if (isVisible())
        cmdExit_Click();
}

void frmStart::mouseMoveEvent(QMouseEvent *event)
{
    ClickableLabel::resetLinkOnBackground(this, event->position().toPoint(), lblSite);
    QDialog::mouseMoveEvent(event);
}

void frmStart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (const int top : SeparatorTops)
        WidgetLook::drawEtchedLine(painter, palette(), px(120), px(4200), px(top));
}
