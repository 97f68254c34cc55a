// The start-up window: with the socket module beside the program it stays
// out of sight and opens the main window; without it, it names the missing
// file and lets the user leave or go on.

#include "TestSupport.h"
#include "ui/Links.h"
#include "ui/frmStart.h"
#include "net/SocketModule.h"
#include "ui/ClickableLabel.h"
#include "ui/frmMain.h"

#include <QDir>
#include <QLabel>
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

} // namespace

class tst_Startup : public QObject
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

void tst_Startup::moduleFoundOpensMainWindow()
{
    TemporarySettingsLocation settings;
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
    QVERIFY(main->socket());
    QVERIFY(sameCentre(main->geometry().center(), main->screen()->availableGeometry().center()));

    // Unloading the main window ends the program, once.
    QCOMPARE(ended, 0);
    main->close();
    QCOMPARE(ended, 1);
    QVERIFY(!recorder.shown.contains(QLatin1String("frmStart")));
}

void tst_Startup::moduleMissingNamesIt_data()
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

void tst_Startup::moduleMissingNamesIt()
{
    QFETCH(QString, folderName);
    QFETCH(bool, folderAtModulePath);

    TemporarySettingsLocation settings;
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

void tst_Startup::exitEndsProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit button") << "click";
    QTest::newRow("Enter, while Ignore has the focus") << "enter";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("close box") << "close";
}

void tst_Startup::exitEndsProgram()
{
    QFETCH(QString, how);

    TemporarySettingsLocation settings;
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

void tst_Startup::ignoreOpensMainWindow()
{
    TemporarySettingsLocation settings;
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
    QVERIFY(!main->socket());
    QCOMPARE(ended, 0);

    main->close();
    QCOMPARE(ended, 1);
}

void tst_Startup::websiteLink()
{
    TemporarySettingsLocation settings;
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

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
