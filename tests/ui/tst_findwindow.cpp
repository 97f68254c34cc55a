// SPDX-License-Identifier: GPL-3.0-or-later
// The station search window behind the main window's "Find...": searching a
// directory server started here (named by the settings), marking and hiding
// stations that may not play, choosing one into the address box, the click
// reported once that station plays, and messages for hostile answers.

#include "DirectoryServer.h"
#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "directory/StationDirectory.h"
#include "ui/ClickableLabel.h"
#include "ui/Links.h"
#include "ui/frmFind.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrlQuery>
#include <memory>

using namespace std::chrono_literals;

namespace {

// A main window whose settings name the test's directory server, with its
// folders chosen so that a stream can start.
struct FindSession : MainWindowSession
{
    explicit FindSession(const QString &directoryServer)
        : MainWindowSession(QStringLiteral(TAVRIX_COMPONENT_DIR), directoryServer)
    {}

    frmFind *openFind()
    {
        QTest::mouseClick(control<ClickableLabel>(*window, "lblFind"), Qt::LeftButton);
        frmFind *find = window->findChild<frmFind *>();
        if (find)
            find->findChild<StationDirectory *>()->setTimeout(500ms);
        return find;
    }

    // Types the text, presses Enter and waits for the busy bar to go.
    static void search(frmFind *find, const QString &text)
    {
        auto *box = control<QLineEdit>(*find, "txtSearch");
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(control<QProgressBar>(*find, "prgBusy")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!control<QProgressBar>(*find, "prgBusy")->isVisible(), 5000);
    }

    static QStringList visibleNames(frmFind *find)
    {
        auto *list = control<QTreeWidget>(*find, "lstResults");
        QStringList names;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (!list->topLevelItem(i)->isHidden())
                names << list->topLevelItem(i)->text(0);
        }
        return names;
    }
};

QByteArray sampleAnswer(const QString &stationAddress)
{
    return "[" +
           DirectoryServer::station("5e1ec7ed-0001", "Chosen FM", stationAddress.toLatin1(), "MP3",
                                    128, "DE", "rock,classic rock") +
           "," +
           DirectoryServer::station("5e1ec7ed-0002", "Jazz Lounge", "http://jazz.example/a", "AAC+",
                                    64, "FR", "jazz,lounge", "http://jazz.example:8000/aac") +
           "," +
           DirectoryServer::station("5e1ec7ed-0003", "Old Windows Radio", "http://wma.example/live",
                                    "WMA", 96, "US", "oldies") +
           "," +
           DirectoryServer::station("5e1ec7ed-0004", "Mystery Stream",
                                    "http://unknown.example/live", "", 0, "NL", "") +
           "," +
           DirectoryServer::station("5e1ec7ed-0005", "<b>Bold</b> &amp; <a href=x>Loud</a>",
                                    "http://markup.example/", "OGG", 160, "GB", "<i>indie</i>") +
           "]";
}

} // namespace

class FindWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void searchesMarksAndChooses();
    void clickReportedOnlyWhenChosenStationPlays();
    void hostileAnswersShownInWindow();
    void screenshot();
};

void FindWindowTest::searchesMarksAndChooses()
{
    DirectoryServer server;
    server.answer = sampleAnswer(QStringLiteral("http://chosen.example:8000/live"));
    FindSession session(server.base());

    frmFind *find = session.openFind();
    QVERIFY(find);
    QVERIFY(find->isVisible());
    QCOMPARE(find->parentWidget(), session.window.get());
    QVERIFY(session.services.shell.documents.isEmpty());

    control<QLineEdit>(*find, "txtCountry")->setText(QStringLiteral("de"));
    auto *codec = control<QComboBox>(*find, "cmbCodec");
    codec->setCurrentIndex(codec->findText(QStringLiteral("MP3")));
    FindSession::search(find, QStringLiteral("classic rock"));

    QCOMPARE(server.requests.size(), 1);
    const QByteArray path = server.requests[0].path;
    const QUrlQuery sent(QString::fromLatin1(path.mid(path.indexOf('?') + 1)));
    QCOMPARE(sent.queryItemValue(QStringLiteral("name"), QUrl::FullyDecoded),
             QStringLiteral("classic rock"));
    QCOMPARE(sent.queryItemValue(QStringLiteral("countrycode")), QStringLiteral("DE"));
    QCOMPARE(sent.queryItemValue(QStringLiteral("codec")), QStringLiteral("MP3"));

    // WMA and an unnamed codec may not play: hidden by default, shown and
    // marked on request. Markup in names is shown as it was sent.
    auto *hide = control<QCheckBox>(*find, "chkHideUnplayable");
    QVERIFY(hide->isChecked());
    const QString markupName = QStringLiteral("<b>Bold</b> &amp; <a href=x>Loud</a>");
    QCOMPARE(FindSession::visibleNames(find),
             (QStringList{QStringLiteral("Chosen FM"), QStringLiteral("Jazz Lounge"), markupName}));
    QCOMPARE(control<QLabel>(*find, "lblStatus")->text(),
             QStringLiteral("3 stations found. 2 more that may not play are hidden."));
    hide->click();
    QCOMPARE(FindSession::visibleNames(find).size(), 5);
    auto *list = control<QTreeWidget>(*find, "lstResults");
    QCOMPARE(list->topLevelItem(2)->text(1), QStringLiteral("WMA - may not play"));
    QCOMPARE(list->topLevelItem(3)->text(1), QStringLiteral("unknown - may not play"));
    QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("AAC+"));
    QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("64"));
    QCOMPARE(list->topLevelItem(1)->text(3), QStringLiteral("Germany"));
    QCOMPARE(list->topLevelItem(1)->text(4), QStringLiteral("jazz,lounge"));
    QCOMPARE(control<QLabel>(*find, "lblStatus")->text(), QStringLiteral("5 stations found."));

    // "Use" takes the resolved address into the address box and closes.
    auto *start = control<QPushButton>(*session.window, "cmdStart");
    const QString startCaption = start->text();
    auto *use = control<QPushButton>(*find, "cmdUse");
    QVERIFY(!use->isEnabled());
    list->setCurrentItem(list->topLevelItem(1));
    QVERIFY(use->isEnabled());
    use->click();
    QVERIFY(!find->isVisible());
    auto *address = control<QLineEdit>(*session.window, "txtURL");
    QCOMPARE(address->text(), QStringLiteral("http://jazz.example:8000/aac"));
    // Nothing started by itself.
    QCOMPARE(start->text(), startCaption);
    QVERIFY(address->isEnabled());

    // Enter on a result chooses it as well; the web site button still goes
    // to the directory's site.
    QCOMPARE(session.openFind(), find);
    QVERIFY(find->isVisible());
    list->setCurrentItem(list->topLevelItem(0));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(!find->isVisible());
    QCOMPARE(address->text(), QStringLiteral("http://chosen.example:8000/live"));
    session.openFind();
    control<QPushButton>(*find, "cmdWebsite")->click();
    QCOMPARE(session.services.shell.documents, QStringList{Links::stationDirectory()});
    // No station was played: no click reported.
    QCOMPARE(server.requestsTo("/json/url/").size(), 0);
}

void FindWindowTest::clickReportedOnlyWhenChosenStationPlays()
{
    ScriptedStation station;
    station.chunks = {icyHeader("Chosen FM", "Rock", "http://chosen.example", "128"),
                      audioBytes(4096)};
    const QString stationAddress =
        QStringLiteral("http://") + station.address() + QStringLiteral("/live");
    DirectoryServer server;
    server.answer = sampleAnswer(stationAddress);
    FindSession session(server.base());

    frmFind *find = session.openFind();
    FindSession::search(find, QStringLiteral("chosen"));
    auto *list = control<QTreeWidget>(*find, "lstResults");
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Chosen FM"));
    list->setCurrentItem(list->topLevelItem(0));
    emit list->itemActivated(list->topLevelItem(0), 0);
    auto *address = control<QLineEdit>(*session.window, "txtURL");
    QCOMPARE(address->text(), stationAddress);

    auto *start = control<QPushButton>(*session.window, "cmdStart");
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(station.hasClient(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo("/json/url/").size(), 1, 5000);
    QCOMPARE(server.requestsTo("/json/url/")[0].path, QByteArray("/json/url/5e1ec7ed-0001"));
    QVERIFY(server.requestsTo("/json/url/")[0].headers.value("user-agent").startsWith("Tavrix/"));

    // The station's name reaches the recent list as for a typed address.
    auto *recent = control<QComboBox>(*session.window, "cmbRecent");
    QTRY_VERIFY(recent->findText(QStringLiteral("Chosen FM [128 Kbps]")) >= 0);

    // Stopped and started again: still one click.
    QTest::mouseClick(start, Qt::LeftButton);
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(station.hasClient(), 5000);
    QTest::qWait(300);
    QCOMPARE(server.requestsTo("/json/url/").size(), 1);
    QTest::mouseClick(start, Qt::LeftButton);
}

void FindWindowTest::hostileAnswersShownInWindow()
{
    DirectoryServer server;
    FindSession session(server.base());
    frmFind *find = session.openFind();
    auto *status = control<QLabel>(*find, "lblStatus");
    QCOMPARE(status->textFormat(), Qt::PlainText);

    server.answer = "[]";
    FindSession::search(find, QStringLiteral("nothing"));
    QCOMPARE(status->text(), QStringLiteral("No station found."));

    server.answer =
        "[" + DirectoryServer::station("1", "Only WMA", "http://w.example/", "WMA", 32) + "]";
    FindSession::search(find, QStringLiteral("wma"));
    QCOMPARE(status->text(),
             QStringLiteral("No station found. 1 more that may not play is hidden."));
    QVERIFY(!control<QPushButton>(*find, "cmdUse")->isEnabled());

    server.answer = "{not json";
    FindSession::search(find, QStringLiteral("x"));
    QCOMPARE(status->text(), QStringLiteral("The station directory's answer could not be read."));
    QCOMPARE(control<QTreeWidget>(*find, "lstResults")->topLevelItemCount(), 0);

    server.behaviour = DirectoryServer::Behaviour::HugeStream;
    FindSession::search(find, QStringLiteral("x"));
    QCOMPARE(status->text(), QStringLiteral("The station directory's answer is too large."));

    // A stall: the window stays responsive and says so after the timeout.
    server.behaviour = DirectoryServer::Behaviour::Stall;
    FindSession::search(find, QStringLiteral("x"));
    QCOMPARE(status->text(), QStringLiteral("The station directory did not answer in time."));
    QVERIFY(session.services.dialogs.messages.isEmpty());
}

// With TAVRIX_SCREENSHOT set to a file name: the window with results, saved
// there (run under Xvfb, once at scale 1 and once with QT_SCALE_FACTOR=2).
void FindWindowTest::screenshot()
{
    const QString file = qEnvironmentVariable("TAVRIX_SCREENSHOT");
    if (file.isEmpty())
        QSKIP("TAVRIX_SCREENSHOT not set");
    DirectoryServer server;
    server.answer = sampleAnswer(QStringLiteral("http://chosen.example:8000/live"));
    FindSession session(server.base());
    frmFind *find = session.openFind();
    control<QCheckBox>(*find, "chkHideUnplayable")->setChecked(false);
    FindSession::search(find, QStringLiteral("rock"));
    auto *list = control<QTreeWidget>(*find, "lstResults");
    list->setCurrentItem(list->topLevelItem(0));
    QVERIFY(QTest::qWaitForWindowExposed(find));
    QTest::qWait(300);
    QVERIFY(find->grab().save(file));
}

QTEST_MAIN(FindWindowTest)
#include "tst_findwindow.moc"
