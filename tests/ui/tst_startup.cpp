// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up window: with the socket module beside the program it stays
// out of sight and opens the main window; without it, it names the missing
// file and lets the user leave or go on.

#include "ScriptedStation.h"
#include "TestServices.h"
#include "WindowControls.h"
#include "net/SocketModule.h"
#include "ui/ClickableLabel.h"
#include "ui/Links.h"
#include "ui/frmMain.h"
#include "ui/frmStart.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace {

bool sameCentre(QPoint a, QPoint b)
{
    // QRect::center() rounds down; an odd and an even size differ by one.
    return qAbs(a.x() - b.x()) <= 1 && qAbs(a.y() - b.y()) <= 1;
}

// Records which objects were ever shown.
class ShowRecorder final : public QObject
{
public:
    ShowRecorder() { qApp->installEventFilter(this); }
    ~ShowRecorder() override { qApp->removeEventFilter(this); }

    QStringList shown;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            shown << watched->objectName();
        return false;
    }
};

// Chooses a game folder in the main window and starts a stream from a
// scripted station: true when the station was asked for its stream.
bool streams(frmMain &window, TestServices &test)
{
    QTemporaryDir root;
    const QString gameFolder = root.path() + QStringLiteral("/mp3/");
    writeFile(gameFolder + QStringLiteral("MP3Report.txt"), "report");
    test.dialogs.folders = {gameFolder};
    control<QPushButton>(window, "cmdGTAfolder")->click();
    ScriptedStation station;
    control<QLineEdit>(window, "txtURL")->setText(station.address());
    control<QPushButton>(window, "cmdStart")->click();
    return QTest::qWaitFor([&station] { return !station.request().isEmpty(); }, 2000);
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void moduleFoundOpensMainWindow();
    void moduleMissingNamesIt_data();
    void moduleMissingNamesIt();
    void exitEndsProgram_data();
    void exitEndsProgram();
    void ignoreOpensMainWindow();
    void websiteLink();
};

void StartupTest::moduleFoundOpensMainWindow()
{
    TestServices test;
    ShowRecorder recorder;
    int ended = 0;

    frmStart start(test.services(), [&] { ++ended; });

    QVERIFY(!recorder.shown.contains(QLatin1String("frmStart")));
    QVERIFY(!start.isVisible());
    frmMain *main = start.mainWindow();
    QVERIFY(main);
    QVERIFY(main->isVisible());
    QVERIFY(!main->isModal());
    QVERIFY(sameCentre(main->geometry().center(), main->screen()->availableGeometry().center()));

    // The main window has the socket component.
    QVERIFY(streams(*main, test));

    // Unloading the main window ends the program, once.
    QCOMPARE(ended, 0);
    main->close();
    QCOMPARE(ended, 1);
    QVERIFY(!recorder.shown.contains(QLatin1String("frmStart")));
}

void StartupTest::moduleMissingNamesIt_data()
{
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<bool>("folderAtModulePath");

    QTest::newRow("empty folder") << "components" << false;
    // The path is shown in its own letter case: on a case-sensitive file
    // system an upper-cased path names another file.
    QTest::newRow("mixed case") << "TavrixParts" << false;
    QTest::newRow("folder with the module's name") << "components" << true;
    QTest::newRow("path longer than the line")
        << QStringLiteral("a folder name long enough not to fit on the line of the dialog")
        << false;
}

void StartupTest::moduleMissingNamesIt()
{
    QFETCH(QString, folderName);
    QFETCH(bool, folderAtModulePath);

    TestServices test;
    QTemporaryDir root;
    const QString folder = root.path() + QLatin1Char('/') + folderName;
    QVERIFY(QDir().mkpath(folder));
    const QString expected = SocketModule::pathIn(folder);
    if (folderAtModulePath)
        QVERIFY(QDir().mkdir(expected));

    int ended = 0;
    frmStart start(test.services(folder), [&] { ++ended; });

    QVERIFY(start.isVisible());
    QVERIFY(!start.mainWindow());
    QCOMPARE(start.windowTitle(), QStringLiteral("Missing Files Detected"));
    QCOMPARE(start.lblTitle->text(), QStringLiteral("The following required file is missing:"));
    QCOMPARE(start.lblFile1->toolTip(), expected);
    const QString shown = start.lblFile1->text();
    QVERIFY(start.lblFile1->fontMetrics().horizontalAdvance(shown) <= start.lblFile1->width());
    if (start.lblFile1->fontMetrics().horizontalAdvance(expected) <= start.lblFile1->width()) {
        QCOMPARE(shown, expected);
    } else {
        // Shortened in the middle: the start and the file name stay readable.
        QVERIFY(shown.contains(QChar(0x2026)));
        QVERIFY(shown.endsWith(SocketModule::fileName().right(8)));
        QVERIFY(expected.startsWith(shown.left(shown.indexOf(QChar(0x2026)))));
    }
    QCOMPARE(start.size(), QSize(291, 153));
    QVERIFY(sameCentre(start.geometry().center(), start.screen()->availableGeometry().center()));
    QCOMPARE(start.minimumSize(), start.maximumSize());
    QCOMPARE(ended, 0);
}

void StartupTest::exitEndsProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit button") << "click";
    QTest::newRow("Enter, while Ignore has the focus") << "enter";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("close box") << "close";
}

void StartupTest::exitEndsProgram()
{
    QFETCH(QString, how);

    TestServices test;
    QTemporaryDir emptyFolder;
    int ended = 0;
    frmStart start(test.services(emptyFolder.path()), [&] { ++ended; });
    start.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&start));
    start.cmdIgnore->setFocus();
    QCOMPARE(QApplication::focusWidget(), start.cmdIgnore);

    if (how == QLatin1String("click"))
        QTest::mouseClick(start.cmdExit, Qt::LeftButton);
    else if (how == QLatin1String("enter"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else
        start.close();

    QCOMPARE(ended, 1);
    QVERIFY(!start.mainWindow());
    QVERIFY(!start.isVisible());
}

void StartupTest::ignoreOpensMainWindow()
{
    TestServices test;
    QTemporaryDir emptyFolder;
    int ended = 0;
    frmStart start(test.services(emptyFolder.path()), [&] { ++ended; });
    QVERIFY(QTest::qWaitForWindowExposed(&start));

    QTest::mouseClick(start.cmdIgnore, Qt::LeftButton);

    QVERIFY(!start.isVisible());
    frmMain *main = start.mainWindow();
    QVERIFY(main);
    QVERIFY(main->isVisible());
    QCOMPARE(ended, 0);

    // Without the socket component a start says so instead of connecting.
    test.dialogs.messages.clear();
    QVERIFY(!streams(*main, test));
    QVERIFY(!test.dialogs.messages.isEmpty());
    QVERIFY(test.dialogs.messages.last().text.contains(SocketModule::pathIn(emptyFolder.path())));

    main->close();
    QCOMPARE(ended, 1);
}

void StartupTest::websiteLink()
{
    TestServices test;
    QTemporaryDir emptyFolder;
    frmStart start(test.services(emptyFolder.path()), [] {});
    QVERIFY(QTest::qWaitForWindowExposed(&start));
    const QColor dark(0, 0, 192);
    const QColor bright(0, 0, 255);

    QCOMPARE(start.lblSite->text(), QStringLiteral("Website"));
    QCOMPARE(start.lblSite->textColour(), dark);
    QVERIFY(start.lblSite->font().underline());
    QCOMPARE(start.lblSite->cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseMove(start.lblSite);
    QTRY_COMPARE(start.lblSite->textColour(), bright);
    QTest::mouseMove(start.cmdIgnore);
    QTest::mouseMove(start.lblInfo);
    QCOMPARE(start.lblSite->textColour(), bright);
    QTest::mouseMove(&start, QPoint(start.width() - 3, start.height() - 3));
    QTRY_COMPARE(start.lblSite->textColour(), dark);

    QTest::mouseClick(start.lblSite, Qt::LeftButton);
    QCOMPARE(test.shell.documents, QStringList{Links::productPage()});
    QVERIFY(start.isVisible());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
