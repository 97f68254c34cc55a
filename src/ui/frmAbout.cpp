// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmAbout.h"

#include "platform/MemoryStatus.h"
#include "platform/Shell.h"
#include "ui/ClickableLabel.h"
#include "ui/Links.h"
#include "ui/Resources.h"
#include "ui/StringResources.h"
#include "ui/Twips.h"
#include "ui/VersionCaption.h"
#include "ui/WindowFont.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace {

using Twips::px;

// A label's place from its layout position in twips. Labels size themselves
// to their text, so only the top left corner is kept.
template <typename Label> Label *placeLabel(Label *label, const char *name, int left, int top)
{
    label->setObjectName(QLatin1String(name));
    label->move(px(left), px(top));
    return label;
}

ClickableLabel *link(QWidget *parent, const QString &text)
{
    auto *label = new ClickableLabel(parent);
    label->setText(text);
    label->makeLink();
    return label;
}

// The window's client area: 6165 x 5025 twips.
constexpr QSize ClientSize(411, 335);

} // namespace

frmAbout::frmAbout(const PlatformServices &services, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_services(services)
{
    loadResources();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About..."));
    setFont(WindowFont::tahoma());
    setFixedSize(ClientSize);
    // Centred on the main window when it is loaded; hidden and shown again,
    // it stays where the user left it.
    if (owner)
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, ClientSize,
                                        owner->window()->geometry()));

    buildControls();

    m_tmrMemo = new QTimer(this);
    m_tmrMemo->setObjectName(QStringLiteral("tmrMemo"));
    m_tmrMemo->setInterval(1000);
    connect(m_tmrMemo, &QTimer::timeout, this, &frmAbout::Memo);
    m_tmrMemo->start();

    Form_Load();
}

void frmAbout::buildControls()
{
    piTop = placeLabel(new ClickableLabel(this), "piTop", 0, 0);
    piTop->setPixmap(
        imageForRatio(QStringLiteral(":/images/about-banner.png"), devicePixelRatioF()));
    piTop->setFixedSize(px(6180), px(1200));
    piTop->setCursor(Qt::PointingHandCursor);
    connect(piTop, &ClickableLabel::clicked, this, &frmAbout::piTop_Click);

    lblTitle = placeLabel(new QLabel(QStringLiteral("Tavrix"), this), "lblTitle", 1440, 1320);
    QPalette black = lblTitle->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblTitle->setPalette(black);

    imgIcon = placeLabel(new QLabel(this), "imgIcon", 480, 1440);
    imgIcon->setPixmap(programIcon().pixmap(QSize(32, 32), devicePixelRatioF()));
    imgIcon->setFixedSize(px(480), px(480));

    lblVersion =
        placeLabel(new QLabel(QStringLiteral("Version ---"), this), "lblVersion", 1440, 1560);
    lblFor = placeLabel(new QLabel(QStringLiteral("For GTA III / Vice City"), this), "lblFor", 1440,
                        1800);
    lblCopy = placeLabel(new QLabel(this), "lblCopy", 1440, 2040);
    lblCorvath = placeLabel(link(this, QString()), "lblCorvath", 3240, 2040);
    connect(lblCorvath, &ClickableLabel::clicked, this, &frmAbout::lblCorvath_Click);
    lblFree = placeLabel(new QLabel(this), "lblFree", 1440, 2280);
    lblWebsite = placeLabel(link(this, QStringLiteral("Tavrix website")), "lblWebsite", 1440, 2520);
    connect(lblWebsite, &ClickableLabel::clicked, this, &frmAbout::lblWebsite_Click);
    lblVisit = placeLabel(
        new QLabel(QStringLiteral("This program is hosted at the Oribel server. Please visit:"),
                   this),
        "lblVisit", 1440, 2880);
    lblOribel = placeLabel(link(this, Links::makerHomePageShort()), "lblOribel", 1440, 3120);
    connect(lblOribel, &ClickableLabel::clicked, this, &frmAbout::lblOribel_Click);
    lblMemo = placeLabel(new QLabel(QStringLiteral("..."), this), "lblMemo", 1440, 4200);
    for (QLabel *label : {lblCopy, static_cast<QLabel *>(lblCorvath), lblMemo})
        label->setTextFormat(Qt::PlainText);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(px(4920), px(4560), px(1140), px(340));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
}

void frmAbout::Form_Load()
{
    lblVersion->setText(VersionCaption());
    lblCopy->setText(stringResource(1));
    lblCorvath->setText(stringResource(2));
    for (QLabel *label : findChildren<QLabel *>()) {
        if (label != piTop && label != imgIcon)
            label->adjustSize();
    }
    // The author's name follows the notice line; a wider font than the
    // layout's must not let the two overlap.
    const int afterNotice = lblCopy->geometry().right() + 1 + fontMetrics().horizontalAdvance(u' ');
    lblCorvath->move(qMax(lblCorvath->x(), afterNotice), lblCorvath->y());
    Memo();
}

void frmAbout::Memo()
{
    lblMemo->setText(memoryLine(readMemoryStatus()));
    lblMemo->adjustSize();
}

void frmAbout::cmdOK_Click()
{
    // Hidden, not unloaded: the next "About..." shows this same window.
    accept();
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    // The close box unloads the window; the next "About..." creates it anew.
    QDialog::closeEvent(event);
    if (event->isAccepted())
        deleteLater();
}

void frmAbout::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor grey(128, 128, 128);
    painter.setPen(Qt::white);
    painter.drawLine(0, px(1200), px(6240), px(1200));
    painter.setPen(grey);
    painter.drawLine(0, px(1215), px(6240), px(1215));
    painter.drawLine(px(1440), px(4080), px(6000), px(4080));
    painter.setPen(Qt::white);
    painter.drawLine(px(1440), px(4095), px(6000), px(4095));
}

void frmAbout::piTop_Click()
{
    m_services.shell->OpenDocument(Links::productPage());
}

void frmAbout::lblWebsite_Click()
{
    m_services.shell->OpenDocument(Links::productPage());
}

void frmAbout::lblOribel_Click()
{
    m_services.shell->OpenDocument(Links::makerHomePage());
}

void frmAbout::lblCorvath_Click()
{
    m_services.shell->OpenDocument(Links::authorMail());
}
