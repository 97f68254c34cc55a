// SPDX-License-Identifier: GPL-3.0-or-later
// The game as people install it (Steam, a Wine prefix), met through the main window: the
// games found in a stand-in home are offered for the GTA MP3s folder, once
// as a question or as a list, a missing MP3 folder is made, and paths are
// shown as they are. How the game starts and the folder rules are tested
// without a window in tst_bufferingcontroller and tst_folderrules.

#include "GameHome.h"
#include "MainWindowSession.h"
#include "game/GameFolder.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class GameFoldersTest : public QObject
{
    Q_OBJECT

private slots:
    void oneSteamGameIsOfferedOnce();
    void severalGamesAreListed();
    void missingMp3FolderIsOfferedAndCreated();
    void desktopDialogsOfferTheGames();
};

void GameFoldersTest::oneSteamGameIsOfferedOnce()
{
    GameHome h;
    const QString game = h.installSteamGta3(true);
    const QString mp3 = game + QStringLiteral("/mp3/");
    const QString report = mp3 + QStringLiteral("MP3Report.txt");

    // First run: one question, once the window is up; "No" leaves the
    // folder unset but remembers that it was asked.
    {
        frmMain window(h.platform());
        QCOMPARE(h.services.dialogs.messages.size(), 0);
        h.services.dialogs.answers = {MessageAnswer::No};
        QTRY_COMPARE(h.services.dialogs.messages.size(), 1);
        const ScriptedDialogs::Message question = h.services.dialogs.messages.first();
        QCOMPARE(question.buttons, MessageButtons::YesNoDefaultYes);
        // The home folder is shown as "~".
        QVERIFY2(question.text.contains(QStringLiteral("GTA III (Steam): ") + h.shownPath(game) +
                                        QStringLiteral(".\n")),
                 qPrintable(question.text));
        QVERIFY2(question.text.contains(QDir::toNativeSeparators(mp3)), qPrintable(question.text));
        QCOMPARE(shown(window, "txtRadioPath"), QString());
        QCOMPARE(readFile(report), QByteArray("the game's own report"));
        window.close();
    }
    QVERIFY(Settings(h.services.location.configFile()).discoveryAsked());

    // The next run does not ask again; the picker opens at the game's MP3
    // folder.
    h.services.dialogs.messages.clear();
    frmMain window(h.platform());
    QTest::qWait(50);
    QCOMPARE(h.services.dialogs.messages.size(), 0);
    h.services.dialogs.folders = {mp3};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.pickerStartFolders, QStringList{mp3});
    QCOMPARE(h.services.dialogs.choices.size(), 0);
    QCOMPARE(shown(window, "txtRadioPath"), QDir::toNativeSeparators(mp3));
    QCOMPARE(Settings(h.services.location.configFile()).radioPath(), mp3);
}

void GameFoldersTest::severalGamesAreListed()
{
    GameHome h;
    const QString steamGame = h.installSteamGta3(true);
    const QString wineGame =
        h.installWineGame(QStringLiteral("Games/GTA Vice City"), QStringLiteral("gta-vc.exe"));
    const QString other = h.services.location.root() + QStringLiteral("/Elsewhere/mp3/");
    writeFile(other + QStringLiteral("MP3Report.txt"), "x");

    frmMain window(h.platform());
    // Several games: nothing is asked at the first run.
    QTest::qWait(50);
    QCOMPARE(h.services.dialogs.messages.size(), 0);

    // The list names each game and how it is installed, "Other folder..."
    // last; a game chosen from it is used without the picker.
    h.services.dialogs.choiceAnswers = {1};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.choices.size(), 1);
    QCOMPARE(h.services.dialogs.choices.first().items,
             QStringList({QStringLiteral("GTA III (Steam): ") + h.shownPath(steamGame),
                          QStringLiteral("GTA Vice City (Wine prefix ") +
                              h.shownPath(h.home + QStringLiteral("/.wine")) +
                              QStringLiteral("): ") + h.shownPath(wineGame),
                          QStringLiteral("Other folder...")}));
    QCOMPARE(h.services.dialogs.pickerTitles.size(), 0);
    QCOMPARE(shown(window, "txtRadioPath"),
             QDir::toNativeSeparators(wineGame + QStringLiteral("/mp3/")));
    QCOMPARE(readFile(wineGame + QStringLiteral("/mp3/MP3Report.txt")),
             GameFolder::reportContent());

    // "Other folder..." opens the ordinary picker.
    h.services.dialogs.choiceAnswers = {2};
    h.services.dialogs.folders = {other};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.pickerStartFolders, QStringList{QString()});
    QCOMPARE(shown(window, "txtRadioPath"), QDir::toNativeSeparators(other));

    // Cancelling the list changes nothing.
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.choices.size(), 3);
    QCOMPARE(h.services.dialogs.pickerTitles.size(), 1);
    QCOMPARE(shown(window, "txtRadioPath"), QDir::toNativeSeparators(other));
}

void GameFoldersTest::missingMp3FolderIsOfferedAndCreated()
{
    // At the first run the question says the folder will be made; Yes makes
    // it with an empty report for Tavrix to rewrite.
    {
        GameHome h;
        const QString game = h.installSteamGame(GameInstallation::ViceCitySteamAppId,
                                                QStringLiteral("Grand Theft Auto Vice City"),
                                                QStringLiteral("gta-vc.exe"), false);
        const QString mp3 = game + QStringLiteral("/mp3/");
        frmMain window(h.platform());
        h.services.dialogs.answers = {MessageAnswer::Yes};
        QTRY_VERIFY(!h.services.dialogs.messages.isEmpty());
        QVERIFY2(
            h.services.dialogs.messages.first().text.contains(QStringLiteral("does not exist yet")),
            qPrintable(h.services.dialogs.messages.first().text));
        QTRY_COMPARE(shown(window, "txtRadioPath"), QDir::toNativeSeparators(mp3));
        QCOMPARE(readFile(mp3 + QStringLiteral("MP3Report.txt")), GameFolder::reportContent());
        QCOMPARE(Settings(h.services.location.configFile()).radioPath(), mp3);
    }

    // Through the picker: declined, the picker opens at the game's folder and
    // nothing is made; accepted, the folder is made and the picker opens in it.
    GameHome h;
    const QString game = h.installSteamGta3(false);
    const QString mp3 = game + QStringLiteral("/mp3/");
    Settings(h.services.location.configFile()).setDiscoveryAsked(true);
    frmMain window(h.platform());
    h.services.dialogs.answers = {MessageAnswer::No};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.messages.size(), 1);
    QCOMPARE(h.services.dialogs.messages.first().text,
             QStringLiteral("GTA III has no MP3 folder yet. Create it now?\n\n") +
                 QDir::toNativeSeparators(mp3));
    QCOMPARE(h.services.dialogs.pickerStartFolders, QStringList{game});
    QVERIFY(!QFileInfo::exists(mp3));

    h.services.dialogs.answers = {MessageAnswer::Yes};
    h.services.dialogs.folders = {mp3};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.pickerStartFolders.last(), mp3);
    QCOMPARE(shown(window, "txtRadioPath"), QDir::toNativeSeparators(mp3));
    QCOMPARE(readFile(mp3 + QStringLiteral("MP3Report.txt")), GameFolder::reportContent());
}

// The production dialogs, answered as a person would: the list of games (saved
// as a picture when TAVRIX_SCREENSHOT names a file; run under Xvfb for it),
// then Qt's own folder picker at the game's MP3 folder, hidden folders shown.
void GameFoldersTest::desktopDialogsOfferTheGames()
{
    GameHome h;
    const QString steamGame = h.installSteamGta3(true);
    const QString wineGame = h.installWineGame(QStringLiteral("Program Files/Rockstar Games/"
                                                              "Grand Theft Auto Vice City"),
                                               QStringLiteral("gta-vc.exe"));
    Settings(h.services.location.configFile()).setDiscoveryAsked(true);
    QtDialogs dialogs;
    PlatformServices platform = h.platform();
    platform.dialogs = &dialogs;
    frmMain window(platform);
    window.show();

    QStringList seen;
    QPointer<QWidget> answered; // each dialog is answered once
    QTimer answerer;
    answerer.setInterval(20);
    connect(&answerer, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == answered)
            return;
        answered = modal;
        if (auto *list = qobject_cast<QInputDialog *>(modal)) {
            seen << QStringLiteral("list: ") + list->comboBoxItems().join(u'|');
            const QString file = qEnvironmentVariable("TAVRIX_SCREENSHOT");
            if (!file.isEmpty())
                list->grab().save(file);
            list->setTextValue(list->comboBoxItems().at(1));
            list->accept();
        } else if (auto *picker = qobject_cast<QFileDialog *>(modal)) {
            seen << QStringLiteral("picker: ") + picker->directory().absolutePath() +
                        (picker->filter().testFlag(QDir::Hidden) ? " (hidden shown)" : "");
            QMetaObject::invokeMethod(picker, "accept", Qt::QueuedConnection);
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->accept();
        }
    });
    answerer.start();

    click(window, "cmdGTAfolder");
    QCOMPARE(seen,
             QStringList{QStringLiteral("list: GTA III (Steam): ") + h.shownPath(steamGame) +
                         QStringLiteral("|GTA Vice City (Wine prefix ") +
                         h.shownPath(h.home + QStringLiteral("/.wine")) + QStringLiteral("): ") +
                         h.shownPath(wineGame) + QStringLiteral("|Other folder...")});
    QCOMPARE(control<QLineEdit>(window, "txtRadioPath")->text(),
             QDir::toNativeSeparators(wineGame + QStringLiteral("/mp3/")));

    // With the Steam copy alone, the picker opens in its MP3 folder.
    QDir(h.home + QStringLiteral("/.wine")).removeRecursively();
    seen.clear();
    click(window, "cmdGTAfolder");
    QCOMPARE(seen, QStringList{QStringLiteral("picker: ") + steamGame +
                               QStringLiteral("/mp3 (hidden shown)")});
    QCOMPARE(control<QLineEdit>(window, "txtRadioPath")->text(),
             QDir::toNativeSeparators(steamGame + QStringLiteral("/mp3/")));
}

QTEST_MAIN(GameFoldersTest)
#include "tst_gamefolders.moc"
