// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "game/GameLauncher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr QFileDevice::Permissions Executable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ExeUser;

} // namespace

// Stand-in programs on a PATH of their own: each records its name, working
// directory, WINEPREFIX and arguments into one file.
class GameLauncherTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void gamesStartTheWayTheyAreInstalled();
    void missingProgramsAreReported();

private:
    QString installTools(const QStringList &names);
    QString launchAndRecord(const LaunchResult &result);

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_record;
};

void GameLauncherTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_record = m_root->filePath(QStringLiteral("record.txt"));
}

// A folder holding stand-ins for `names`, to be the whole PATH.
QString GameLauncherTest::installTools(const QStringList &names)
{
    const QString bin = m_root->filePath(QStringLiteral("bin-") + names.join(u'-'));
    QDir().mkpath(bin);
    for (const QString &name : names) {
        const QString script = QDir(bin).filePath(name);
        writeFile(script, QStringLiteral("#!/bin/sh\nprintf '%s|%s|%s|%s\\n' '%1' \"$PWD\" "
                                         "\"${WINEPREFIX-unset}\" \"$*\" >> '%2'\n")
                              .arg(name, m_record)
                              .toUtf8());
        QFile::setPermissions(script, Executable);
    }
    return bin;
}

// What the started stand-in recorded (it runs detached, so it is awaited).
QString GameLauncherTest::launchAndRecord(const LaunchResult &result)
{
    if (!result.started)
        return QStringLiteral("not started: ") + result.error;
    if (!QTest::qWaitFor([this] { return readFile(m_record).endsWith('\n'); }, 10000))
        return QStringLiteral("nothing recorded");
    QString line = QString::fromUtf8(readFile(m_record)).trimmed();
    QFile::remove(m_record);
    return line.replace(m_root->path(), QStringLiteral("~"));
}

void GameLauncherTest::gamesStartTheWayTheyAreInstalled()
{
    const QString base = m_root->path();
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"),
                       installTools({QStringLiteral("steam"), QStringLiteral("xdg-open"),
                                     QStringLiteral("wine")}));

    GameInstallation steam;
    steam.kind = GameInstallation::Kind::Steam;
    steam.steamAppId = GameInstallation::Gta3SteamAppId;
    steam.gameFolder = base;
    steam.executable = base + QStringLiteral("/gta3.exe");
    const GameLauncher launcher(base, environment);
    QCOMPARE(launchAndRecord(launcher.launch(steam)), "steam|~|unset|-applaunch 12100");

    // Without steam on the PATH, the desktop opens Steam's own link.
    QProcessEnvironment noSteam = environment;
    noSteam.insert(QStringLiteral("PATH"), installTools({QStringLiteral("xdg-open")}));
    steam.steamAppId = GameInstallation::ViceCitySteamAppId;
    QCOMPARE(launchAndRecord(GameLauncher(base, noSteam).launch(steam)),
             "xdg-open|~|unset|steam://rungameid/12110");

    // A copy in a Wine prefix runs in that prefix, in its own folder.
    const QString prefix = base + QStringLiteral("/My Prefix");
    const QString inPrefix = prefix + QStringLiteral("/drive_c/Rockstar Games/GTA Vice City");
    writeFile(inPrefix + QStringLiteral("/gta-vc.exe"));
    QCOMPARE(launchAndRecord(launcher.launch(inPrefix + QStringLiteral("/gta-vc.exe"))),
             "wine|~/My Prefix/drive_c/Rockstar Games/GTA Vice City|~/My Prefix|~/My "
             "Prefix/drive_c/Rockstar Games/GTA Vice City/gta-vc.exe");

    // Any other .exe runs in the user's own prefix, in the folder handed in.
    const QString plain = base + QStringLiteral("/copy/GTA3.EXE");
    writeFile(plain);
    QCOMPARE(launchAndRecord(launcher.launch(plain, base)), "wine|~|unset|~/copy/GTA3.EXE");
    QProcessEnvironment ownPrefix = environment;
    ownPrefix.insert(QStringLiteral("WINEPREFIX"), QStringLiteral("/opt/prefix"));
    QCOMPARE(launchAndRecord(GameLauncher(base, ownPrefix).launch(plain)),
             "wine|~/copy|/opt/prefix|~/copy/GTA3.EXE");

    // A Steam copy found by its place in a library goes through Steam.
    const QString library = base + QStringLiteral("/library");
    writeFile(library + QStringLiteral("/steamapps/appmanifest_12100.acf"),
              "\"AppState\" { \"installdir\" \"Grand Theft Auto 3\" }");
    const QString steamExe =
        library + QStringLiteral("/steamapps/common/Grand Theft Auto 3/gta3.exe");
    writeFile(steamExe);
    QCOMPARE(launchAndRecord(launcher.launch(steamExe)),
             "steam|~/library/steamapps/common/Grand Theft Auto 3|unset|-applaunch 12100");

    // Anything else goes to the desktop's handler; a native program runs itself.
    const QString document = base + QStringLiteral("/copy/readme.txt");
    writeFile(document);
    QCOMPARE(launchAndRecord(launcher.launch(document)), "xdg-open|~/copy|unset|~/copy/readme.txt");
    const QString native = QDir(installTools({QStringLiteral("re3")})).filePath("re3");
    QCOMPARE(launchAndRecord(launcher.launch(native, base)), "re3|~|unset|");
}

void GameLauncherTest::missingProgramsAreReported()
{
    const QString base = m_root->path();
    const QString exe = base + QStringLiteral("/pfx/drive_c/gta3/gta3.exe");
    writeFile(exe);

    struct Case
    {
        QStringList tools;
        GameInstallation::Kind kind;
        QString executable;
        QString error;
    };
    const QList<Case> cases = {
        {{QStringLiteral("steam"), QStringLiteral("xdg-open")},
         GameInstallation::Kind::WinePrefix,
         exe,
         "wine is not installed (not found on the PATH)"},
        {{QStringLiteral("xdg-open")},
         GameInstallation::Kind::Plain,
         exe,
         "wine is not installed (not found on the PATH)"},
        {{QStringLiteral("wine")},
         GameInstallation::Kind::Steam,
         exe,
         "Steam is not installed (neither steam nor xdg-open found on the PATH)"},
        {{QStringLiteral("wine")},
         GameInstallation::Kind::Plain,
         base + QStringLiteral("/notes.txt"),
         "xdg-open is not installed (not found on the PATH)"},
        {{QStringLiteral("wine")},
         GameInstallation::Kind::Plain,
         {},
         "no game executable was found"},
    };
    for (const Case &c : cases) {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), installTools(c.tools));
        GameInstallation installation;
        installation.kind = c.kind;
        installation.steamAppId = GameInstallation::Gta3SteamAppId;
        installation.executable = c.executable;
        installation.gameFolder = QFileInfo(c.executable).absolutePath();
        installation.winePrefix = base + QStringLiteral("/pfx");
        const LaunchResult result = GameLauncher(base, environment).launch(installation);
        QVERIFY(!result.started);
        QCOMPARE(result.error, c.error);
    }
    QVERIFY(!QFile::exists(m_record));

    // Neither an empty PATH nor a relative folder in it finds anything.
    QProcessEnvironment environment;
    QCOMPARE(GameLauncher(base, environment).launch(exe).error,
             "wine is not installed (not found on the PATH)");
    const QString current = QDir::currentPath();
    QDir::setCurrent(base);
    installTools({QStringLiteral("wine")});
    environment.insert(QStringLiteral("PATH"), QStringLiteral("bin-wine"));
    const LaunchResult relative = GameLauncher(base, environment).launch(exe);
    QDir::setCurrent(current);
    QCOMPARE(relative.error, "wine is not installed (not found on the PATH)");

    // A program that is there but cannot start says why.
    environment.insert(QStringLiteral("PATH"), installTools({QStringLiteral("wine")}));
    const LaunchResult gone =
        GameLauncher(base, environment).launch(exe, base + QStringLiteral("/no such folder"));
    QVERIFY(!gone.started);
    QVERIFY2(gone.error.startsWith(QStringLiteral("wine failed to start: ")),
             qPrintable(gone.error));
    QVERIFY(!QFile::exists(m_record));
}

QTEST_GUILESS_MAIN(GameLauncherTest)
#include "tst_gamelauncher.moc"
