// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's own behaviour: its layout, the locking and unlocking of
// the inputs around a stream, the buffer modes and their file sizes, the bitrate warning, the
// "Find..." link, the recent list's follower and the unload.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "WindowLayout.h"
#include "ui/ClickableLabel.h"
#include "ui/ColourContrast.h"
#include "ui/ElidingComboBox.h"
#include "ui/ElidingLabel.h"
#include "ui/Links.h"
#include "ui/frmFind.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const QString WelcomeText = QStringLiteral(
    "In order to replace the GTA III or Vice City MP3 radio with live Internet radio, please "
    "configure the settings below and click the Start Buffering button at the bottom.");

const QString BitrateWarningText = QStringLiteral(
    "The selected radio has a high bitrate. Make sure your connection is fast enough to stream "
    "it in time (at least 256 or 512 Kbps depending on the bitrate and network performance), and "
    "also use the DSL/Cable/LAN mode buffer size setting.");

QColor textColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::WindowText);
}

// The high bitrate warning: a red that reads on the window's background.
bool isWarningRed(const QWidget *widget)
{
    const QColor colour = textColour(widget);
    return colour.red() >= 200 && colour.green() < 40 && colour.blue() < 40 &&
           ColourContrast::ratio(colour, widget->window()->palette().color(QPalette::Window)) >=
               4.5;
}

// The controls a stream locks.
const char *const LockedNames[] = {"txtURL",   "cmdTemporary", "cmbRecent", "optDSL",
                                   "opt56K",   "optCustom",    "cmbBuffer", "cmdGTAfolder",
                                   "cmdStart", "chkStart"};

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout();
    void initialState();
    void tabFocusReachesEveryControl();
    void lockedWhileStreaming_data();
    void lockedWhileStreaming();
    void bufferModes();
    void bitrateWarning_data();
    void bitrateWarning();
    void findLink();
    void longTextsAreCut();
    void unload_data();
    void unload();

private:
    template <typename Control> Control *get(const char *name)
    {
        return control<Control>(*m_window, name);
    }

    std::unique_ptr<TestServices> m_test;
    std::unique_ptr<frmMain> m_window;
};

void MainWindowTest::init()
{
    m_test = std::make_unique<TestServices>();
    m_window = std::make_unique<frmMain>(m_test->services());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void MainWindowTest::cleanup()
{
    m_window.reset();
    m_test.reset();
}

void MainWindowTest::layout()
{
    frmMain &w = *m_window;
    QCOMPARE(w.windowTitle(), QStringLiteral("Tavrix"));
    QCOMPARE(w.size(), QSize(466, 507));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowIcon().isNull());

    // The places the rest of the layout hangs on (design twips / 15).
    QCOMPARE(get<QLineEdit>("txtURL")->geometry(), QRect(8, 160, 217, 19));
    QCOMPARE(get<QPushButton>("cmdStart")->geometry(), QRect(328, 472, 129, 25));
    QCOMPARE(get<QFrame>("picStatusBar")->geometry(), QRect(8, 369, 449, 13));

    // The design lets the banner run two pixels past the window and puts the
    // version on the banner.
    const QStringList faults = layoutFaults(w, {{"imgTop", "frmMain"}, {"imgTop", "lblVersion"}});
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));

    for (const QWidget *control : w.findChildren<QWidget *>()) {
        if (!control->objectName().isEmpty() && !control->objectName().startsWith("qt_") &&
            control->objectName() != QLatin1String("shpBar") && !control->isWindow()) {
            QVERIFY2(control->isVisibleTo(&w), qPrintable(control->objectName()));
        }
    }
    QVERIFY(!get<QLabel>("imgTop")->pixmap().isNull());
}

void MainWindowTest::initialState()
{
    // Buffer modes
    QVERIFY(get<QRadioButton>("opt56K")->isChecked());
    QVERIFY(!get<QRadioButton>("optDSL")->isChecked());
    QVERIFY(!get<QRadioButton>("optCustom")->isChecked());
    auto *sizeList = get<QComboBox>("cmbBuffer");
    QVERIFY(!sizeList->isEnabled());
    QVERIFY(!sizeList->isEditable());
    QStringList sizes;
    for (int i = 0; i < sizeList->count(); ++i)
        sizes << sizeList->itemText(i);
    QCOMPARE(sizes, QStringList({"128 KB", "512 KB", "1024 KB", "2048 KB", "3076 KB", "4096 KB"}));
    QCOMPARE(sizeList->currentIndex(), 0);
    QCOMPARE(get<QLabel>("lblBufferSize")->text(),
             QStringLiteral("Prebuffering size set to 256 KB of data per file."));

    // Inputs
    auto *address = get<QLineEdit>("txtURL");
    QVERIFY(address->isEnabled() && !address->isReadOnly());
    for (const char *name : {"txtBufferPath", "txtRadioPath"}) {
        const auto *box = get<QLineEdit>(name);
        QVERIFY(box->isReadOnly());
        QCOMPARE(box->palette().color(QPalette::Base), box->palette().color(QPalette::Button));
    }
    QVERIFY(!get<QComboBox>("cmbRecent")->isEditable());
    QCOMPARE(get<QCheckBox>("chkStart")->checkState(), Qt::Checked);
    QCOMPARE(get<QPushButton>("cmdStart")->text(), QStringLiteral("Start Buffering"));
    QVERIFY(get<QPushButton>("cmdStart")->isEnabled());

    // Status area
    QVERIFY(get<QFrame>("shpBar")->isHidden());
    QCOMPARE(get<QLabel>("lblStatus")->text(), QStringLiteral("Streaming not activated."));
    QCOMPARE(get<QLabel>("lblWelcome")->text(), WelcomeText);
    for (const char *name : {"lblServerName", "lblGenre", "lblURL", "lblBitrate"})
        QCOMPARE(get<QLabel>(name)->text(), QString());

    // Look
    for (const char *heading : {"lblTitle", "lblAdvanced", "lblGTA"})
        QVERIFY2(get<QLabel>(heading)->font().bold(), heading);
    QVERIFY(!get<QLabel>("lblWelcome")->font().bold());
    auto *version = get<QLabel>("lblVersion");
    QVERIFY(version->font().bold());
    QCOMPARE(textColour(version), QColor(138, 138, 138));
    QVERIFY(version->alignment() & Qt::AlignRight);
    QVERIFY(version->text().startsWith(QStringLiteral("Version ")));
    auto *find = get<ClickableLabel>("lblFind");
    QCOMPARE(textColour(find), QColor(0, 0, 192));
    QVERIFY(find->font().underline());
    QCOMPARE(find->cursor().shape(), Qt::PointingHandCursor);

    // The hand-off timer waits for the first start.
    QVERIFY(!get<QTimer>("tmrMain")->isActive());
}

void MainWindowTest::tabFocusReachesEveryControl()
{
    frmMain &w = *m_window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // Every usable control that takes the keyboard focus is one tab stop;
    // the option buttons are one tab stop together (the arrow keys move
    // among them).
    QSet<QString> expected;
    QSet<QString> options;
    for (const QWidget *control : w.findChildren<QWidget *>()) {
        if (control->objectName().isEmpty() || !(control->focusPolicy() & Qt::TabFocus) ||
            !control->isEnabled() || !control->isVisibleTo(&w))
            continue;
        if (qobject_cast<const QRadioButton *>(control))
            options << control->objectName();
        else
            expected << control->objectName();
    }
    QVERIFY(expected.size() >= 10);
    QCOMPARE(options.size(), 3);

    for (const Qt::KeyboardModifiers direction : {Qt::NoModifier, Qt::ShiftModifier}) {
        get<QLineEdit>("txtURL")->setFocus(Qt::TabFocusReason);
        QSet<QString> reached{QStringLiteral("txtURL")};
        int optionStops = 0;
        for (int i = 0; i < 2 * (expected.size() + 1); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, direction);
            const QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            if (focus->objectName() == QLatin1String("txtURL"))
                break;
            QVERIFY2(!reached.contains(focus->objectName()), qPrintable(focus->objectName()));
            if (options.contains(focus->objectName()))
                ++optionStops;
            else
                reached << focus->objectName();
        }
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtURL"));
        QCOMPARE(reached, expected);
        QCOMPARE(optionStops, 1);
    }
}

void MainWindowTest::lockedWhileStreaming_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("item"); // of the custom sizes; -1: none chosen
    QTest::addColumn<int>("fileSizeKB");
    QTest::addColumn<bool>("audio");

    QTest::newRow("56K, no audio yet") << "opt56K" << -1 << 256 << false;
    QTest::newRow("56K, audio arrived") << "opt56K" << -1 << 256 << true;
    QTest::newRow("DSL, audio arrived") << "optDSL" << -1 << 1024 << true;
    QTest::newRow("custom 128 KB, audio arrived") << "optCustom" << 0 << 128 << true;
    QTest::newRow("custom 512 KB, audio arrived") << "optCustom" << 1 << 512 << true;
    QTest::newRow("custom, no audio yet") << "optCustom" << 0 << 128 << false;
}

void MainWindowTest::lockedWhileStreaming()
{
    QFETCH(QString, mode);
    QFETCH(int, item);
    QFETCH(int, fileSizeKB);
    QFETCH(bool, audio);

    MainWindowSession session;
    auto *option = session.window->findChild<QRadioButton *>(mode);
    QVERIFY(option);
    QTest::mouseClick(option, Qt::LeftButton);
    QVERIFY(option->isChecked());
    const bool listUsable = mode == QLatin1String("optCustom");
    QCOMPARE(session.get<QComboBox>("cmbBuffer")->isEnabled(), listUsable);
    if (item >= 0)
        session.get<QComboBox>("cmbBuffer")->setCurrentIndex(item);

    ScriptedStation station;
    station.chunks = {icyHeader("Lock FM", "", "", "128")};
    if (audio)
        station.chunks << audioBytes(64 * 1024);
    session.start(station.address());

    // Everything that would change the session is locked; "Cancel" waits for
    // the station's header block.
    for (const char *name : LockedNames)
        QVERIFY2(!session.get<QWidget>(name)->isEnabled(), name);
    QVERIFY(session.get<QPushButton>("cmdAbout")->isEnabled());
    QVERIFY(session.get<QPushButton>("cmdExit")->isEnabled());
    auto *start = session.get<QPushButton>("cmdStart");
    QCOMPARE(start->text(), QStringLiteral("Cancel"));
    auto *bar = session.get<QFrame>("shpBar");
    QCOMPARE(bar->width(), 1);

    QTRY_VERIFY(start->isEnabled());
    auto *welcome = session.get<QLabel>("lblWelcome");
    QCOMPARE(welcome->text(), QStringLiteral("GTA will be started automatically after the first "
                                             "MP3 file was buffered.\nPlease wait a few "
                                             "moments..."));
    QVERIFY(welcome->font().bold());
    auto *bitrate = session.get<ClickableLabel>("lblBitrate");
    QVERIFY(isWarningRed(bitrate));
    if (audio) {
        // The bar shows 64 KB as a share of the mode's file size (446 pixels
        // full).
        QTRY_COMPARE(bar->width(), qRound(64.0 / fileSizeKB * 446.0));
        QVERIFY(bar->isVisible());
        QTRY_VERIFY(session.status().endsWith(QStringLiteral(" [ 64 KB ]")));
    }
    // The first buffer file is made with the first audio.
    QCOMPARE(session.openBufferFiles().isEmpty(), !audio);

    session.clickStart();
    for (const char *name : LockedNames) {
        if (qstrcmp(name, "cmbBuffer") != 0)
            QVERIFY2(session.get<QWidget>(name)->isEnabled(), name);
    }
    QCOMPARE(session.get<QComboBox>("cmbBuffer")->isEnabled(), listUsable);
    QVERIFY(option->isChecked());
    QCOMPARE(start->text(), QStringLiteral("Start Buffering"));
    QCOMPARE(session.status(), QStringLiteral("Buffering of files interrupted by user."));
    QCOMPARE(bar->width(), 1);
    QCOMPARE(bar->isVisibleTo(session.window.get()), audio);
    QCOMPARE(welcome->text(), WelcomeText);
    QVERIFY(!welcome->font().bold());
    QCOMPARE(textColour(bitrate), session.window->palette().color(QPalette::ButtonText));
    QVERIFY(!bitrate->font().underline());
    QCOMPARE(bitrate->cursor().shape(), Qt::PointingHandCursor);
    // The connection and the buffer file are closed.
    QVERIFY(session.openBufferFiles().isEmpty());
    auto *client = station.findChild<QTcpSocket *>();
    QVERIFY(client);
    QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(session.services.dialogs.messages.size(), 0);
}

void MainWindowTest::bufferModes()
{
    auto *sizeText = get<QLabel>("lblBufferSize");
    auto *sizeList = get<QComboBox>("cmbBuffer");
    auto *custom = get<QRadioButton>("optCustom");

    QTest::mouseClick(custom, Qt::LeftButton);
    QCOMPARE(sizeText->text(), QStringLiteral("Prebuffering size set to:"));
    QVERIFY(sizeList->isEnabled());
    sizeList->setCurrentIndex(4);
    QCOMPARE(sizeList->currentText(), QStringLiteral("3076 KB"));

    QTest::mouseClick(get<QRadioButton>("optDSL"), Qt::LeftButton);
    QCOMPARE(sizeText->text(),
             QStringLiteral("Prebuffering size set to 1024 KB of data per file."));
    QVERIFY(!sizeList->isEnabled());

    QTest::mouseClick(get<QRadioButton>("opt56K"), Qt::LeftButton);
    QCOMPARE(sizeText->text(), QStringLiteral("Prebuffering size set to 256 KB of data per file."));
    QVERIFY(!sizeList->isEnabled());

    // Back in custom mode the list offers the item chosen before.
    QTest::mouseClick(custom, Qt::LeftButton);
    QCOMPARE(sizeText->text(), QStringLiteral("Prebuffering size set to:"));
    QVERIFY(sizeList->isEnabled());
    QCOMPARE(sizeList->currentIndex(), 4);

    // The keyboard selects a mode just as the mouse does.
    custom->setFocus();
    QTest::keyClick(custom, Qt::Key_Left);
    QVERIFY(!custom->isChecked());
    QVERIFY(!sizeList->isEnabled());
    QVERIFY(sizeText->text().endsWith(QStringLiteral("KB of data per file.")));
}

void MainWindowTest::bitrateWarning_data()
{
    QTest::addColumn<QByteArray>("bitrate");
    QTest::addColumn<bool>("warns");
    QTest::newRow("64") << QByteArray("64") << true;
    QTest::newRow("320 with text after") << QByteArray("320kbit") << true;
    QTest::newRow("60") << QByteArray("60") << false;
    QTest::newRow("none") << QByteArray() << false;
}

void MainWindowTest::bitrateWarning()
{
    QFETCH(QByteArray, bitrate);
    QFETCH(bool, warns);

    MainWindowSession session;
    ScriptedDialogs &dialogs = session.services.dialogs;
    auto *line = session.get<ClickableLabel>("lblBitrate");

    // Before any station has answered the line does nothing.
    QTest::mouseClick(line, Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), 0);

    ScriptedStation station;
    station.chunks = {icyHeader("Rate FM", "", "", bitrate)};
    session.start(station.address());
    QTRY_VERIFY(session.get<QPushButton>("cmdStart")->isEnabled());
    // A station that names no bitrate leaves the line without a value.
    QCOMPARE(line->text(), bitrate.isEmpty()
                               ? QStringLiteral("Bitrate:")
                               : QStringLiteral("Bitrate: ") + QString::fromLatin1(bitrate) +
                                     QStringLiteral(" Kbps"));
    // The line is as wide as its text, and the whole text is clickable.
    QVERIFY(line->width() >= line->fontMetrics().horizontalAdvance(line->text()));

    if (!warns) {
        QCOMPARE(textColour(line), session.window->palette().color(QPalette::ButtonText));
        QVERIFY(!line->font().underline());
        QTest::mouseClick(line, Qt::LeftButton);
        QCOMPARE(dialogs.messages.size(), 0);
        QCOMPARE(line->focusPolicy(), Qt::NoFocus);
        QVERIFY(line->toolTip().isEmpty());
        return;
    }
    QVERIFY(isWarningRed(line));
    QVERIFY(line->font().underline());
    QCOMPARE(line->cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(line->width() - 2, line->height() / 2));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Information);
    QCOMPARE(dialogs.messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(dialogs.messages[0].title, QStringLiteral("Radio with high bitrate warning"));
    QCOMPARE(dialogs.messages[0].text, BitrateWarningText);

    // A press that leaves the line before the release is no click.
    QTest::mousePress(line, Qt::LeftButton);
    QTest::mouseRelease(line, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(dialogs.messages.size(), 1);

    // The keyboard reaches it and Enter explains; the tooltip and the
    // screen reader's description say the same.
    QCOMPARE(line->focusPolicy(), Qt::StrongFocus);
    line->setFocus();
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(dialogs.messages.size(), 2);
    QCOMPARE(dialogs.messages[1].text, BitrateWarningText);
    QCOMPARE(line->accessibleDescription(), BitrateWarningText);
    QVERIFY(line->toolTip().contains(QStringLiteral("DSL/Cable/LAN")));
}

void MainWindowTest::findLink()
{
    auto *find = get<ClickableLabel>("lblFind");
    const QColor dark(0, 0, 192);
    const QColor bright(0, 0, 255);

    QTest::mouseMove(find);
    QTRY_COMPARE(textColour(find), bright);

    // Leaving it for a neighbouring control or the banner keeps it bright.
    QTest::mouseMove(get<QLabel>("lblFullUrl"));
    QTest::mouseMove(get<QLineEdit>("txtURL"));
    QTest::mouseMove(get<QLabel>("imgTop"));
    QCOMPARE(textColour(find), bright);

    // The window's own background turns it dark again.
    QTest::mouseMove(m_window.get(), QPoint(3, 300));
    QTRY_COMPARE(textColour(find), dark);

    // The link opens the station search, not the web site.
    QTest::mouseClick(find, Qt::LeftButton);
    QVERIFY(m_test->shell.documents.isEmpty());
    QTRY_VERIFY(m_window->findChild<frmFind *>(QStringLiteral("frmFind")));

    // A station picked there replaces the address, and the recent list no
    // longer shows the station picked before it.
    auto *recent = get<QComboBox>("cmbRecent");
    auto *url = get<QLineEdit>("txtURL");
    recent->setCurrentIndex(1);
    emit recent->activated(1);
    const QString listed = url->text();
    auto *search = m_window->findChild<frmFind *>(QStringLiteral("frmFind"));
    emit search->stationChosen(QStringLiteral("http://found.example:8000/live"));
    QCOMPARE(url->text(), QStringLiteral("http://found.example:8000/live"));
    QCOMPARE(recent->currentIndex(), -1);
    emit search->stationChosen(listed);
    QCOMPARE(recent->currentIndex(), 1);
}

void MainWindowTest::longTextsAreCut()
{
    // A stored buffer folder that is gone: its problem is longer than the
    // status line.
    m_window.reset();
    const QString folder = m_test->location.homeFolder() +
                           QStringLiteral("/a/folder/with/a/long/name/that/was/removed/");
    {
        Settings settings(m_test->location.configFile());
        settings.setBufferPath(folder);
        QVERIFY(settings.sync());
    }
    m_window = std::make_unique<frmMain>(m_test->services());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto *status = get<ElidingLabel>("lblStatus");
    const QRect statusGeometry = status->geometry();
    const QString shownFolder = QDir::toNativeSeparators(folder);
    QVERIFY2(status->text().startsWith(QStringLiteral("The buffer folder ") + shownFolder),
             qPrintable(status->text()));
    QVERIFY(status->isElided());
    QCOMPARE(status->geometry(), statusGeometry);
    QAccessibleInterface *readable = QAccessible::queryAccessibleInterface(status);
    QVERIFY(readable);
    QCOMPARE(readable->text(QAccessible::Name), status->text());
    auto *box = get<QLineEdit>("txtBufferPath");
    QCOMPARE(box->text(), shownFolder);
    QVERIFY(box->toolTip().contains(shownFolder));

    // A recent station's whole name is the entry's tooltip and, chosen, the
    // list's.
    auto *recent = get<ElidingComboBox>("cmbRecent");
    const QString name = QStringLiteral("Harbour Lights Radio, all the hits of the eighties and "
                                        "nineties every night [32 Kbps]");
    recent->addEntries({name});
    recent->setCurrentIndex(recent->count() - 1);
    QCOMPARE(recent->itemData(recent->currentIndex(), Qt::ToolTipRole).toString(), name);
    QCOMPARE(recent->toolTip(), name);
}

void MainWindowTest::unload_data()
{
    QTest::addColumn<bool>("byExitButton");
    QTest::newRow("Exit button") << true;
    QTest::newRow("close box") << false;
}

void MainWindowTest::unload()
{
    QFETCH(bool, byExitButton);
    MainWindowSession session;
    frmMain &w = *session.window;
    QSignalSpy unloaded(&w, &frmMain::unloaded);

    // Closing during a stream: the connection and the buffer file are closed,
    // nothing is asked.
    ScriptedStation station;
    station.chunks = {icyHeader("Unload FM", "", "", "32"), audioBytes(4096)};
    session.start(station.address());
    QTRY_COMPARE(session.allBufferBytes().size(), 4096);
    session.handOffTimer()->start();
    QVERIFY(!session.openBufferFiles().isEmpty());

    if (byExitButton)
        QTest::mouseClick(session.get<QPushButton>("cmdExit"), Qt::LeftButton);
    else
        QVERIFY(w.close());

    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!w.isVisible());
    QVERIFY(session.openBufferFiles().isEmpty());
    QVERIFY(!session.handOffTimer()->isActive());
    QTRY_COMPARE(station.findChild<QTcpSocket *>()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(session.services.dialogs.messages.size(), 0);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
