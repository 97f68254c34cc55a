// SPDX-License-Identifier: GPL-3.0-or-later
// Settings that must not be lost: written when they change, a settings file
// that cannot be written told once, and the program ended by a signal saving
// them. The faults of a buffering run are tested in tst_bufferingcontroller
// and tst_folderrules.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "UnwritableFolder.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <csignal>

namespace {

// Which signals the process catches, from /proc (bit n-1 for signal n).
quint64 caughtSignals(qint64 pid)
{
    return processStatus(pid, "SigCgt").toULongLong(nullptr, 16);
}

} // namespace

class FaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsAreSavedWhenTheyChange();
    void unwritableSettingsAreToldOnce();
    void terminationSignalSavesSettings_data();
    void terminationSignalSavesSettings();
};

void FaultsTest::settingsAreSavedWhenTheyChange()
{
    MainWindowSession s;
    // Written when chosen, without "Exit".
    {
        const Settings stored(s.services.location.configFile());
        QCOMPARE(stored.bufferPath(), s.bufferFolder);
        QCOMPARE(stored.radioPath(), s.gameFolder);
    }
    ScriptedStation station;
    station.chunks = {icyHeader("Saved FM", "Test", "http://example.org", "128"), audioBytes(1024)};
    s.start(QStringLiteral("http://") + station.address());
    QTRY_VERIFY(s.status().startsWith(QStringLiteral("Buffering")));
    const Settings stored(s.services.location.configFile());
    // The presets take slots 0 to 3: the new station is the fifth, and plays.
    QCOMPARE(stored.recentUrl(4), QStringLiteral("http://") + station.address());
    QCOMPARE(stored.recentTitle(4), QStringLiteral("Saved FM [128 Kbps]"));
    QCOMPARE(stored.lastUsed(), QStringLiteral("4"));
}

void FaultsTest::unwritableSettingsAreToldOnce()
{
    TestServices services;
    QTemporaryDir root;
    const QString buffer = root.filePath(QStringLiteral("buffer/"));
    QVERIFY(QDir().mkpath(buffer));
    const QString settingsFolder = QFileInfo(services.location.configFile()).absolutePath();
    QVERIFY(QDir().mkpath(settingsFolder));
    UnwritableFolder locked(settingsFolder);
    QVERIFY2(locked.lock(), qPrintable(locked.error()));

    frmMain window(services.services());
    services.dialogs.folders.push_back(buffer);
    control<QPushButton>(window, "cmdTemporary")->click();
    const QString text = QStringLiteral("Tavrix cannot save its settings in ") +
                         services.location.configFile() + QStringLiteral(": its folder ") +
                         settingsFolder + QStringLiteral(" cannot be written: ") + locked.reason() +
                         QStringLiteral(".\n\nThe folders and stations chosen now will be "
                                        "forgotten when Tavrix ends.");
    QTRY_COMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().text, text);

    services.dialogs.folders.push_back(buffer);
    control<QPushButton>(window, "cmdTemporary")->click();
    QTest::qWait(20);
    QCOMPARE(services.dialogs.messages.size(), 1);
    // The choice holds for this run.
    QCOMPARE(control<QLineEdit>(window, "txtBufferPath")->text(), buffer);
    QVERIFY(locked.unlock());
}

void FaultsTest::terminationSignalSavesSettings_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void FaultsTest::terminationSignalSavesSettings()
{
    QFETCH(int, number);
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config/TAVRIX/TAVRIX.conf"));
    const QString buffer = home.filePath(QStringLiteral("buffer/"));
    QVERIFY(QDir().mkpath(buffer));
    {
        // A station played in an earlier run, and the player's own choice of
        // station in the list.
        Settings settings(config);
        settings.setBufferPath(buffer);
        settings.setRecent(4, QStringLiteral("Earlier FM"), QStringLiteral("http://127.0.0.1:9"));
        settings.setLastUsed(4);
        QVERIFY(settings.sync());
    }

    const auto runUntil = [&](int signalNumber) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           home.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QStringLiteral(TAVRIX_PROGRAM), {});
        if (!program.waitForStarted(10000))
            return QStringLiteral("did not start");
        // The signal is sent once the program catches it.
        const quint64 bit = quint64(1) << (signalNumber - 1);
        QElapsedTimer waited;
        waited.start();
        while ((caughtSignals(program.processId()) & bit) == 0 && waited.elapsed() < 20000)
            QTest::qWait(20);
        ::kill(pid_t(program.processId()), signalNumber);
        if (!program.waitForFinished(20000))
            return QStringLiteral("did not end");
        if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
            return QStringLiteral("ended by the signal, code %1").arg(program.exitCode());
        return QString();
    };

    // The settings file is written again on the way out: the presets, missing
    // from the file, are stored with the station list.
    QCOMPARE(runUntil(number), QString());
    {
        const Settings stored(config);
        QCOMPARE(stored.recentTitle(0).isEmpty(), false);
        QCOMPARE(stored.recentTitle(4), QStringLiteral("Earlier FM"));
        QCOMPARE(stored.lastUsed(), QStringLiteral("4"));
        QCOMPARE(stored.bufferPath(), buffer);
    }
    // A restart finds them and ends in order again.
    QCOMPARE(runUntil(number), QString());
    const Settings stored(config);
    QCOMPARE(stored.recentUrl(4), QStringLiteral("http://127.0.0.1:9"));
    QCOMPARE(stored.lastUsed(), QStringLiteral("4"));
}

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
