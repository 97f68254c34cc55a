// The main window's own behaviour: its controls and their places, the
// locking and unlocking of the inputs around a stream, the buffer modes, the
// bitrate warning, the "Find..." link and the unload.

#include "TestSupport.h"
#include "ui/Links.h"
#include "util/Version.h"
#include "ui/ClickableLabel.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const QString WelcomeText = QStringLiteral(
    "In order to replace the GTA III or ViceCity MP3 radio with live Internet radio, please "
    "configure the settings below and click the Start Streaming button at the bottom.");

const QString BitrateWarningText = QStringLiteral(
    "The selected radio has a high bitrate. Make sure your connection is fast enough to stream "
    "it in time (at lest 256 or 512 Kbps depending on the bitrate and network performance), and "
    "also use the DSL/Cable/LAN mode buffer size setting.");

QColor textColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::WindowText);
}

QString caption(const QWidget *widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (const auto *box = qobject_cast<const QLineEdit *>(widget))
        return box->text();
    return {};
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void initialState();
    void tabOrder();
    void disableAndEnableControls_data();
    void disableAndEnableControls();
    void bufferModes();
    void bitrateWarning();
    void findLink();
    void recentListFocusRunsFollower();
    void stationTextsArePlain_data();
    void stationTextsArePlain();
    void unload_data();
    void unload();

private:
    std::unique_ptr<TemporarySettingsLocation> m_settings;
    std::unique_ptr<TestServices> m_test;
    std::unique_ptr<frmMain> m_window;
};

void tst_MainWindow::init()
{
    m_settings = std::make_unique<TemporarySettingsLocation>();
    m_test = std::make_unique<TestServices>();
    m_window = std::make_unique<frmMain>(m_test->services());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_MainWindow::cleanup()
{
    m_window.reset();
    m_test.reset();
    m_settings.reset();
}

void tst_MainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");

    const QString version = QStringLiteral("Version %1.%2.%3")
                                .arg(TAVRIX_VERSION_MAJOR)
                                .arg(TAVRIX_VERSION_MINOR)
                                .arg(TAVRIX_VERSION_PATCH);
    // Design positions in twips divided by 15; inside Picture1 and
    // picStatusBar relative to those.
    const struct
    {
        const char *name;
        QString text;
        QRect geometry;
    } rows[] = {
        {"imgTop", {}, {0, 0, 468, 80}},
        {"lblVersion", version, {360, 8, 97, 17}},
        {"lblWelcome", WelcomeText, {8, 87, 449, 33}},
        {"lblTitle", QStringLiteral("Radio station settings"), {8, 120, 449, 17}},
        {"lblFullUrl", QStringLiteral("Full URL of the radio to play:"), {8, 144, 169, 17}},
        {"txtURL", {}, {8, 160, 217, 19}},
        {"lblFind", QStringLiteral("Find..."), {192, 144, 29, 13}},
        {"lblTemporary", QStringLiteral("Temporary files location:"), {232, 144, 225, 17}},
        {"cmdTemporary", QStringLiteral("..."), {432, 160, 25, 19}},
        {"lblRecent", QStringLiteral("Recently used stations list:"), {8, 184, 449, 17}},
        {"cmbRecent", {}, {8, 200, 449, 21}},
        {"lblBuffer",
         QStringLiteral("The buffer size must be chosen based on the radio bandwidth you select. "),
         {8, 232, 449, 17}},
        {"Picture1", {}, {8, 248, 449, 49}},
        {"optDSL", QStringLiteral("DSL/Cable/LAN mode"), {0, 2, 145, 17}},
        {"opt56K", QStringLiteral("56K/ISDN mode"), {152, 2, 145, 17}},
        {"optCustom", QStringLiteral("Custom (use carefully)"), {304, 0, 145, 17}},
        {"cmbBuffer", {}, {304, 21, 81, 21}},
        {"lblBufferSize",
         QStringLiteral("Prebuffering size set to 256 KB of data per file."),
         {0, 23, 297, 17}},
        {"lblAdvanced", QStringLiteral("Status"), {8, 296, 449, 17}},
        {"lblServerName", {}, {8, 320, 449, 14}},
        {"lblGenre", {}, {8, 336, 145, 14}},
        {"lblURL", {}, {160, 336, 193, 14}},
        {"lblBitrate", {}, {360, 336, 99, 13}},
        {"lblStatus", QStringLiteral("Streaming not activated."), {8, 352, 449, 14}},
        {"picStatusBar", {}, {8, 369, 449, 13}},
        {"shpBar", {}, {1, 1, 1, 11}},
        {"lblGTA", QStringLiteral("GTA Settings"), {8, 392, 449, 17}},
        {"lblGTAfolder", QStringLiteral("MP3s folder:"), {8, 416, 113, 17}},
        {"txtRadioPath", {}, {8, 432, 417, 19}},
        {"cmdGTAfolder", QStringLiteral("..."), {432, 432, 25, 19}},
        {"cmdAbout", QStringLiteral("About..."), {8, 472, 73, 25}},
        {"cmdExit", QStringLiteral("Exit"), {88, 472, 73, 25}},
        {"chkStart", QStringLiteral("Auto start GTA"), {192, 476, 105, 17}},
        {"cmdStart", QStringLiteral("Start Buffering"), {328, 472, 129, 25}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.name) << row.text << row.geometry;
}

void tst_MainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);

    const auto *control = m_window->findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->geometry(), geometry);
    // Text boxes start empty or show what the load put there; their captions
    // are not part of the design.
    if (!qobject_cast<const QLineEdit *>(control))
        QCOMPARE(caption(control), text);
    QVERIFY(control->isVisibleTo(m_window.get()) || name == QLatin1String("shpBar"));
}

void tst_MainWindow::initialState()
{
    frmMain &w = *m_window;
    QCOMPARE(w.windowTitle(), QStringLiteral("Tavrix"));
    QCOMPARE(w.size(), QSize(466, 507));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowIcon().isNull());

    // Buffer modes
    QVERIFY(w.opt56K->isChecked());
    QVERIFY(!w.optDSL->isChecked());
    QVERIFY(!w.optCustom->isChecked());
    QVERIFY(!w.cmbBuffer->isEnabled());
    QVERIFY(!w.cmbBuffer->isEditable());
    QStringList sizes;
    for (int i = 0; i < w.cmbBuffer->count(); ++i)
        sizes << w.cmbBuffer->itemText(i);
    QCOMPARE(sizes, QStringList({"128 KB", "512 KB", "1024 KB", "2048 KB", "3076 KB", "4096 KB"}));
    QCOMPARE(w.cmbBuffer->currentIndex(), 0);
    QCOMPARE(w.state().PrebufferKB, 0);

    // Inputs
    QVERIFY(w.txtURL->isEnabled() && !w.txtURL->isReadOnly());
    for (const QLineEdit *box : {w.txtBufferPath, w.txtRadioPath}) {
        QVERIFY(box->isReadOnly());
        QCOMPARE(box->palette().color(QPalette::Base), box->palette().color(QPalette::Button));
    }
    QVERIFY(!w.cmbRecent->isEditable());
    QCOMPARE(w.chkStart->checkState(), Qt::Checked);
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Start Buffering"));
    QVERIFY(w.cmdStart->isEnabled());

    // Status area
    QVERIFY(w.shpBar->isHidden());
    QCOMPARE(w.shpBar->width(), 1);
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Streaming not activated."));

    // Look
    for (const QLabel *heading : {w.lblTitle, w.lblAdvanced, w.lblGTA})
        QVERIFY2(heading->font().bold(), qPrintable(heading->objectName()));
    QVERIFY(!w.lblWelcome->font().bold());
    QVERIFY(w.lblVersion->font().bold());
    QCOMPARE(textColour(w.lblVersion), QColor(138, 138, 138));
    QVERIFY(w.lblVersion->alignment() & Qt::AlignRight);
    QCOMPARE(textColour(w.lblFind), QColor(0, 0, 192));
    QVERIFY(w.lblFind->font().underline());
    QCOMPARE(w.lblFind->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!w.imgTop->pixmap().isNull());
    QCOMPARE(w.imgTop->pixmap().size(), QSize(468, 80));

    // Timers wait for their starters; the state record starts at zero.
    QCOMPARE(w.tmrRecent()->interval(), 100);
    QCOMPARE(w.tmrMain()->interval(), 1000);
    QVERIFY(!w.tmrRecent()->isActive());
    QVERIFY(!w.tmrMain()->isActive());
    QCOMPARE(int(w.state().GameSlot), 0);
    QCOMPARE(int(w.state().HandOffStage), 0);
    QCOMPARE(w.state().BufferFile.counter(), 0u);
    QCOMPARE(w.state().Response.stage(), ResponseParser::Stage::StatusLine);

    // The built socket module is loaded.
    QVERIFY(w.socket());
}

void tst_MainWindow::tabOrder()
{
    QStringList order;
    QWidget *widget = m_window->txtURL;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->window() == m_window.get())
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != m_window->txtURL);

    QCOMPARE(order, QStringList({"txtURL", "txtBufferPath", "txtRadioPath", "cmdStart", "cmdExit",
                                 "cmbRecent", "cmdTemporary", "cmdGTAfolder", "cmdAbout",
                                 "chkStart", "cmbBuffer", "optCustom", "opt56K", "optDSL"}));
}

void tst_MainWindow::disableAndEnableControls_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("barShown");
    QTest::addColumn<bool>("listEnabledAfter");

    QTest::newRow("56K, no audio yet") << "opt56K" << false << false;
    QTest::newRow("DSL, audio arrived") << "optDSL" << true << false;
    QTest::newRow("custom, audio arrived") << "optCustom" << true << true;
    QTest::newRow("custom, no audio yet") << "optCustom" << false << true;
}

void tst_MainWindow::disableAndEnableControls()
{
    QFETCH(QString, mode);
    QFETCH(bool, barShown);
    QFETCH(bool, listEnabledAfter);

    frmMain &w = *m_window;
    auto *option = w.findChild<QRadioButton *>(mode);
    QTest::mouseClick(option, Qt::LeftButton);
    QVERIFY(option->isChecked());

    const QList<QWidget *> locked = {w.txtURL,   w.cmdTemporary, w.cmbRecent, w.optDSL,
                                     w.opt56K,   w.optCustom,    w.cmbBuffer, w.cmdGTAfolder,
                                     w.cmdStart, w.chkStart};

    w.DisableControls();
    for (const QWidget *control : locked)
        QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    QVERIFY(w.cmdAbout->isEnabled());
    QVERIFY(w.cmdExit->isEnabled());
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Cancel"));
    QCOMPARE(w.shpBar->width(), 1);

    // What a stream leaves behind.
    QTemporaryDir bufferFolder;
    QVERIFY(w.state().BufferFile.openFirst(bufferFolder.path() + QLatin1Char('/')));
    QVERIFY(w.state().BufferFile.append("audio", 1024 * 1024));
    QVERIFY(w.state().BufferFile.bytes() > 0);
    w.state().Response.feed("ICY 200 OK\r\n");
    QVERIFY(w.state().Response.stage() != ResponseParser::Stage::StatusLine);
    w.state().AutoStartGame = true;
    w.shpBar->setFixedWidth(300);
    w.shpBar->setVisible(barShown);
    w.lblWelcome->setText(QStringLiteral("Starting GTA in 3 seconds..."));
    QFont bold = w.lblWelcome->font();
    bold.setBold(true);
    w.lblWelcome->setFont(bold);
    w.lblBitrate->setText(QStringLiteral("Bitrate: 128 Kbps"));
    w.setBitrateWarning(true);
    w.lblStatus->setText(QStringLiteral("Buffering interrupted."));

    w.EnableControls();
    for (const QWidget *control : locked) {
        if (control != w.cmbBuffer)
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    }
    QCOMPARE(w.cmbBuffer->isEnabled(), listEnabledAfter);
    QVERIFY(option->isChecked());
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Start Buffering"));
    QCOMPARE(w.shpBar->width(), 1);
    QCOMPARE(w.shpBar->isVisibleTo(&w), barShown);
    QCOMPARE(w.lblWelcome->text(), WelcomeText);
    QVERIFY(!w.lblWelcome->font().bold());
    QCOMPARE(textColour(w.lblBitrate), w.palette().color(QPalette::ButtonText));
    QVERIFY(!w.lblBitrate->font().underline());
    QCOMPARE(w.lblBitrate->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(w.state().Response.stage(), ResponseParser::Stage::StatusLine);
    QCOMPARE(w.state().BufferFile.bytes(), qint64(0));
    QVERIFY(!w.state().AutoStartGame);
    // The callers own the status line and the file.
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Buffering interrupted."));
    QVERIFY(w.state().BufferFile.isOpen());
    w.state().BufferFile.close();
}

void tst_MainWindow::bufferModes()
{
    frmMain &w = *m_window;
    const auto expectMode = [&w](const QString &text, bool listEnabled, qint32 prebufferKB) {
        QCOMPARE(w.lblBufferSize->text(), text);
        QCOMPARE(w.cmbBuffer->isEnabled(), listEnabled);
        QCOMPARE(w.state().PrebufferKB, prebufferKB);
    };

    // Custom mode does not decide a size by itself: the list is read at start.
    QTest::mouseClick(w.optCustom, Qt::LeftButton);
    expectMode(QStringLiteral("Prebuffering size set to:"), true, 0);

    w.cmbBuffer->setCurrentIndex(4);
    QCOMPARE(w.cmbBuffer->currentText(), QStringLiteral("3076 KB"));

    QTest::mouseClick(w.optDSL, Qt::LeftButton);
    expectMode(QStringLiteral("Prebuffering size set to 1024 KB of data per file."), false, 1024);

    QTest::mouseClick(w.opt56K, Qt::LeftButton);
    expectMode(QStringLiteral("Prebuffering size set to 256 KB of data per file."), false, 256);

    // Back in custom mode the list offers the item chosen before.
    QTest::mouseClick(w.optCustom, Qt::LeftButton);
    expectMode(QStringLiteral("Prebuffering size set to:"), true, 256);
    QCOMPARE(w.cmbBuffer->currentIndex(), 4);

    // The keyboard selects a mode just as the mouse does.
    w.optCustom->setFocus();
    QTest::keyClick(w.optCustom, Qt::Key_Left);
    QVERIFY(!w.optCustom->isChecked());
    QVERIFY(!w.cmbBuffer->isEnabled());
}

void tst_MainWindow::bitrateWarning()
{
    frmMain &w = *m_window;
    ScriptedDialogs &dialogs = m_test->dialogs;

    // Before any station has answered the line does nothing.
    QTest::mouseClick(w.lblBitrate, Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), 0);

    w.lblBitrate->setText(QStringLiteral("Bitrate: 64 Kbps"));
    w.setBitrateWarning(true);
    QCOMPARE(textColour(w.lblBitrate), QColor(255, 0, 0));
    QVERIFY(w.lblBitrate->font().underline());
    QCOMPARE(w.lblBitrate->cursor().shape(), Qt::PointingHandCursor);
    // The line is as wide as its text, and the whole text is clickable.
    QVERIFY(w.lblBitrate->width() >=
            w.lblBitrate->fontMetrics().horizontalAdvance(w.lblBitrate->text()));

    QTest::mouseClick(w.lblBitrate, Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Information);
    QCOMPARE(dialogs.messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(dialogs.messages[0].title, QStringLiteral("Radio with high bitrate warning"));
    QCOMPARE(dialogs.messages[0].text, BitrateWarningText);

    // A press that leaves the line before the release is no click.
    QTest::mousePress(w.lblBitrate, Qt::LeftButton);
    QTest::mouseRelease(w.lblBitrate, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(dialogs.messages.size(), 1);

    w.lblBitrate->setText(QStringLiteral("Bitrate: 60 Kbps"));
    w.setBitrateWarning(false);
    QCOMPARE(textColour(w.lblBitrate), w.palette().color(QPalette::ButtonText));
    QVERIFY(!w.lblBitrate->font().underline());
    QTest::mouseClick(w.lblBitrate, Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), 1);
}

void tst_MainWindow::findLink()
{
    frmMain &w = *m_window;
    const QColor dark(0, 0, 192);
    const QColor bright(0, 0, 255);

    QTest::mouseMove(w.lblFind);
    QTRY_COMPARE(textColour(w.lblFind), bright);

    // Leaving it for a neighbouring control or the banner keeps it bright.
    QTest::mouseMove(w.lblFullUrl);
    QTest::mouseMove(w.txtURL);
    QTest::mouseMove(w.imgTop);
    QCOMPARE(textColour(w.lblFind), bright);

    // The window's own background turns it dark again.
    QTest::mouseMove(&w, QPoint(3, 300));
    QTRY_COMPARE(textColour(w.lblFind), dark);

    // The link opens the station search, not the web site.
    QTest::mouseClick(w.lblFind, Qt::LeftButton);
    QVERIFY(m_test->shell.documents.isEmpty());
    QTRY_VERIFY(w.findChild<QDialog *>(QStringLiteral("frmFind")));
}

void tst_MainWindow::recentListFocusRunsFollower()
{
    frmMain &w = *m_window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    w.cmbRecent->setFocus(Qt::TabFocusReason);
    QVERIFY(w.tmrRecent()->isActive());

    // The open drop-down list still counts as the list having the focus.
    w.cmbRecent->showPopup();
    QTest::qWait(50);
    QVERIFY(w.tmrRecent()->isActive());
    w.cmbRecent->hidePopup();
    QVERIFY(w.tmrRecent()->isActive());

    w.txtURL->setFocus(Qt::TabFocusReason);
    QVERIFY(!w.tmrRecent()->isActive());
}

void tst_MainWindow::stationTextsArePlain_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"lblServerName", "lblGenre", "lblURL", "lblBitrate", "lblStatus", "lblWelcome"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_MainWindow::stationTextsArePlain()
{
    QFETCH(QString, name);
    auto *label = m_window->findChild<QLabel *>(name);
    QVERIFY(label);

    // A station calling itself "<b>x</b>" shows exactly that, tags and all.
    const QString markup = QStringLiteral("<b>x</b><img src=\"/etc/passwd\">");
    label->setWordWrap(false);
    label->setText(markup);
    QVERIFY(label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(markup));
}

void tst_MainWindow::unload_data()
{
    QTest::addColumn<bool>("byExitButton");
    QTest::newRow("Exit button") << true;
    QTest::newRow("close box") << false;
}

void tst_MainWindow::unload()
{
    QFETCH(bool, byExitButton);
    frmMain &w = *m_window;
    QSignalSpy unloaded(&w, &frmMain::unloaded);

    // Closing during a stream: the buffer file is closed, nothing is asked.
    QTemporaryDir bufferFolder;
    QVERIFY(w.state().BufferFile.openFirst(bufferFolder.path() + QLatin1Char('/')));
    w.DisableControls();
    w.tmrMain()->start();

    if (byExitButton)
        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
    else
        QVERIFY(w.close());

    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!w.isVisible());
    QVERIFY(!w.state().BufferFile.isOpen());
    QVERIFY(!w.tmrMain()->isActive());
    QCOMPARE(m_test->dialogs.messages.size(), 0);
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
