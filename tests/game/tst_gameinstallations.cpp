// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "game/GameInstallationFinder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray manifest(int appId, const QString &installDir)
{
    return QStringLiteral("\"AppState\"\n{\n\t\"appid\"\t\t\"%1\"\n\t\"name\"\t\t\"x\"\n"
                          "\t\"installdir\"\t\t\"%2\"\n}\n")
        .arg(appId)
        .arg(installDir)
        .toUtf8();
}

QByteArray libraryFolders(const QStringList &paths)
{
    QByteArray text = "\"libraryfolders\"\n{\n\t\"contentstatsid\"\t\t\"-123\"\n";
    for (qsizetype i = 0; i < paths.size(); ++i)
        text += QStringLiteral(
                    "\t\"%1\"\n\t{\n\t\t\"path\"\t\t\"%2\"\n\t\t\"apps\"\n\t\t{\n\t\t}\n\t}\n")
                    .arg(i)
                    .arg(paths[i])
                    .toUtf8();
    return text + "}\n";
}

// One line per installation: kind, app id or prefix, game, executable,
// MP3 folder (with "(new)" when it does not exist yet) and report.
QStringList summary(const QList<GameInstallation> &installations, const QString &root)
{
    QStringList lines;
    for (const GameInstallation &found : installations) {
        QString kind;
        switch (found.kind) {
        case GameInstallation::Kind::Steam:
            kind = QStringLiteral("steam %1").arg(found.steamAppId);
            break;
        case GameInstallation::Kind::WinePrefix:
            kind = QStringLiteral("wine ") + found.winePrefix;
            break;
        case GameInstallation::Kind::Plain:
            kind = QStringLiteral("plain");
            break;
        }
        lines << QStringList{kind, found.gameName(), found.executable,
                             found.mp3Folder + (found.mp3FolderExists ? "" : " (new)"),
                             found.reportFile}
                     .join(u" | ")
                     .replace(root, QStringLiteral("~"));
    }
    return lines;
}

QProcessEnvironment environmentWith(const QString &name, const QString &value)
{
    QProcessEnvironment environment;
    if (!name.isEmpty())
        environment.insert(name, value);
    return environment;
}

} // namespace

class GameInstallationsTest : public QObject
{
    Q_OBJECT

private slots:
    void steamLibrariesAndWinePrefixesAreSearched();
    void nothingInstalledFindsNothing();
    void oneExecutableIsDescribed();
};

void GameInstallationsTest::steamLibrariesAndWinePrefixesAreSearched()
{
    QTemporaryDir root;
    // Canonical paths: the finder reports folders without symbolic links.
    const QString base = QFileInfo(root.path()).canonicalFilePath();
    const QString home = base + QStringLiteral("/home");

    // Native Steam: GTA III in odd letter case, listing a second library
    // (Vice City, without an MP3 folder yet) and one on a drive that is gone.
    const QString steam = home + QStringLiteral("/.local/share/Steam");
    const QString second = base + QStringLiteral("/Zweite Platte/SteamLibrary");
    writeFile(steam + QStringLiteral("/steamapps/libraryfolders.vdf"),
              libraryFolders({steam, second, base + QStringLiteral("/unplugged/SteamLibrary")}));
    writeFile(steam + QStringLiteral("/steamapps/appmanifest_12100.acf"),
              manifest(12100, QStringLiteral("Grand Theft Auto 3")));
    writeFile(steam + QStringLiteral("/steamapps/common/Grand Theft Auto 3/GTA3.EXE"));
    writeFile(steam + QStringLiteral("/steamapps/common/Grand Theft Auto 3/MP3/mp3report.TXT"));
    writeFile(second + QStringLiteral("/steamapps/appmanifest_12110.acf"),
              manifest(12110, QStringLiteral("Grand Theft Auto Vice City")));
    writeFile(second + QStringLiteral("/steamapps/common/Grand Theft Auto Vice City/gta-vc.exe"));
    // A manifest whose game is no longer on the disk, and one that escapes.
    writeFile(second + QStringLiteral("/steamapps/appmanifest_12100.acf"),
              manifest(12100, QStringLiteral("Grand Theft Auto 3")));
    // ~/.steam/steam is a link to the same Steam: found once; ~/.steam/root
    // (below) links to the Flatpak's data/Steam, whose broken file is told once.
    QVERIFY(QDir().mkpath(home + QStringLiteral("/.steam")));
    QVERIFY(QFile::link(steam, home + QStringLiteral("/.steam/steam")));

    // Flatpak Steam: it lists a library under the home folder as the
    // sandbox sees it, which lies in the Flatpak's own folder outside; a
    // manifest's installdir that leaves steamapps/common is refused. Its
    // older data/Steam folder has a broken libraryfolders.vdf.
    const QString flatpakHome = home + QStringLiteral("/.var/app/com.valvesoftware.Steam");
    const QString flatpak = flatpakHome + QStringLiteral("/.local/share/Steam");
    writeFile(flatpak + QStringLiteral("/steamapps/libraryfolders.vdf"),
              libraryFolders(
                  {home + QStringLiteral("/.local/share/Steam"), home + QStringLiteral("/Extra")}));
    writeFile(flatpak + QStringLiteral("/steamapps/appmanifest_12110.acf"),
              manifest(12110, QStringLiteral("..")));
    writeFile(flatpak + QStringLiteral("/steamapps/appmanifest_12100.acf"),
              manifest(12100, QStringLiteral("GTA III")));
    writeFile(flatpak + QStringLiteral("/steamapps/common/GTA III/gta3.exe"));
    writeFile(flatpak + QStringLiteral("/steamapps/common/GTA III/mp3/MP3Report.txt"));
    const QString extra = flatpakHome + QStringLiteral("/Extra");
    writeFile(extra + QStringLiteral("/steamapps/appmanifest_12110.acf"),
              manifest(12110, QStringLiteral("GTA Vice City")));
    writeFile(extra + QStringLiteral("/steamapps/common/GTA Vice City/gta-vc.exe"));
    const QString flatpakData = flatpakHome + QStringLiteral("/data/Steam");
    writeFile(flatpakData + QStringLiteral("/steamapps/libraryfolders.vdf"),
              "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/x\n");
    QVERIFY(QFile::link(flatpakData, home + QStringLiteral("/.steam/root")));

    // Wine prefixes: ~/.wine, $WINEPREFIX, Lutris (default folder and a
    // prefix named in its game file), Heroic and Bottles.
    writeFile(home + QStringLiteral("/.wine/drive_c/Program Files/Rockstar Games/GTAIII/gta3.exe"));
    writeFile(home + QStringLiteral("/.wine/drive_c/windows/gta3.exe"));   // not searched
    writeFile(home + QStringLiteral("/.wine/drive_c/a/b/c/d/e/gta3.exe")); // too deep
    QVERIFY(QDir().mkpath(home + QStringLiteral("/.wine/drive_c/users/player")));
    QVERIFY(QFile::link(home, home + QStringLiteral("/.wine/drive_c/users/player/Desktop")));
    const QString ownPrefix = base + QStringLiteral("/prefix");
    writeFile(ownPrefix + QStringLiteral("/drive_c/GTA3/Gta3.exe"));
    writeFile(home + QStringLiteral("/Games/gta-vice-city/drive_c/Games/Vice City/GTA-VC.exe"));
    writeFile(home + QStringLiteral("/Games/gta-vice-city/drive_c/Games/Vice City/mp3/x.mp3"));
    writeFile(home + QStringLiteral("/.config/lutris/games/gta-3-1688.yml"),
              "game:\n  exe: drive_c/GTA3/gta3.exe\n  prefix: '~/Lutris Prefixes/gta3'\n");
    writeFile(home + QStringLiteral("/Lutris Prefixes/gta3/drive_c/GTA3/gta3.exe"));
    writeFile(home + QStringLiteral("/Games/Heroic/Prefixes/default/GTA VC/drive_c/VC/gta-vc.exe"));
    writeFile(home + QStringLiteral("/.local/share/bottles/bottles/Rockstar/drive_c/x/gta3.exe"));

    const GameInstallationFinder finder(home,
                                        environmentWith(QStringLiteral("WINEPREFIX"), ownPrefix));
    QCOMPARE(finder.steamLibraries(), QStringList({steam, second, flatpakData, flatpak, extra}));

    const GameSearch search = finder.find();
    const QStringList expected = {
        "steam 12100 | GTA III | ~/home/.local/share/Steam/steamapps/common/Grand Theft Auto "
        "3/GTA3.EXE | ~/home/.local/share/Steam/steamapps/common/Grand Theft Auto 3/MP3/ | "
        "~/home/.local/share/Steam/steamapps/common/Grand Theft Auto 3/MP3/mp3report.TXT",
        "steam 12110 | GTA Vice City | ~/Zweite Platte/SteamLibrary/steamapps/common/Grand "
        "Theft Auto Vice City/gta-vc.exe | ~/Zweite Platte/SteamLibrary/steamapps/common/Grand "
        "Theft Auto Vice City/mp3/ (new) | ",
        "steam 12100 | GTA III | "
        "~/home/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/GTA "
        "III/gta3.exe | "
        "~/home/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/GTA "
        "III/mp3/ | "
        "~/home/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/GTA "
        "III/mp3/MP3Report.txt",
        "steam 12110 | GTA Vice City | "
        "~/home/.var/app/com.valvesoftware.Steam/Extra/steamapps/common/GTA Vice City/gta-vc.exe "
        "| ~/home/.var/app/com.valvesoftware.Steam/Extra/steamapps/common/GTA Vice City/mp3/ "
        "(new) | ",
        "wine ~/prefix | GTA III | ~/prefix/drive_c/GTA3/Gta3.exe | ~/prefix/drive_c/GTA3/mp3/ "
        "(new) | ",
        "wine ~/home/.wine | GTA III | ~/home/.wine/drive_c/Program Files/Rockstar "
        "Games/GTAIII/gta3.exe | ~/home/.wine/drive_c/Program Files/Rockstar Games/GTAIII/mp3/ "
        "(new) | ",
        "wine ~/home/Games/gta-vice-city | GTA Vice City | "
        "~/home/Games/gta-vice-city/drive_c/Games/Vice City/GTA-VC.exe | "
        "~/home/Games/gta-vice-city/drive_c/Games/Vice City/mp3/ | ",
        "wine ~/home/Lutris Prefixes/gta3 | GTA III | ~/home/Lutris "
        "Prefixes/gta3/drive_c/GTA3/gta3.exe | ~/home/Lutris Prefixes/gta3/drive_c/GTA3/mp3/ "
        "(new) | ",
        "wine ~/home/Games/Heroic/Prefixes/default/GTA VC | GTA Vice City | "
        "~/home/Games/Heroic/Prefixes/default/GTA VC/drive_c/VC/gta-vc.exe | "
        "~/home/Games/Heroic/Prefixes/default/GTA VC/drive_c/VC/mp3/ (new) | ",
        "wine ~/home/.local/share/bottles/bottles/Rockstar | GTA III | "
        "~/home/.local/share/bottles/bottles/Rockstar/drive_c/x/gta3.exe | "
        "~/home/.local/share/bottles/bottles/Rockstar/drive_c/x/mp3/ (new) | ",
    };
    const QStringList found = summary(search.installations, base);
    for (qsizetype i = 0; i < qMax(found.size(), expected.size()); ++i)
        QCOMPARE(found.value(i), expected.value(i));

    // The broken files are named, and did not stop the search.
    QCOMPARE(search.problems.size(), 2);
    QVERIFY2(
        search.problems[0].startsWith(home + "/.steam/root/steamapps/libraryfolders.vdf: line 5"),
        qPrintable(search.problems[0]));
    QVERIFY2(search.problems[1].startsWith(flatpak + "/steamapps/appmanifest_12110.acf: "),
             qPrintable(search.problems[1]));
}

void GameInstallationsTest::nothingInstalledFindsNothing()
{
    QTemporaryDir root;
    // An empty home, a Steam folder without games and an empty prefix.
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral(".local/share/Steam/steamapps"))));
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral(".wine/drive_c"))));
    for (const QString &home : {root.filePath(QStringLiteral("empty")), root.path(),
                                root.filePath(QStringLiteral("missing"))}) {
        QDir().mkpath(root.filePath(QStringLiteral("empty")));
        const GameSearch search =
            GameInstallationFinder(home, environmentWith(QStringLiteral("WINEPREFIX"),
                                                         QStringLiteral("relative/prefix")))
                .find();
        QVERIFY(search.installations.isEmpty());
        QVERIFY(search.problems.isEmpty());
    }
}

void GameInstallationsTest::oneExecutableIsDescribed()
{
    QTemporaryDir root;
    const QString base = QFileInfo(root.path()).canonicalFilePath();
    const QString library = base + QStringLiteral("/Library");
    writeFile(library + QStringLiteral("/SteamApps/appmanifest_12110.acf"),
              manifest(12110, QStringLiteral("Vice City")));
    const QString steamExe = library + QStringLiteral("/SteamApps/common/Vice City/gta-vc.exe");
    writeFile(steamExe);
    // The same layout, but no manifest names the folder.
    const QString unlisted = library + QStringLiteral("/SteamApps/common/Other/gta3.exe");
    writeFile(unlisted);
    const QString wineExe = base + QStringLiteral("/pfx/drive_c/Rockstar/GTA3/gta3.exe");
    writeFile(wineExe);
    writeFile(base + QStringLiteral("/pfx/drive_c/Rockstar/GTA3/Mp3/x.mp3"));
    const QString plain = base + QStringLiteral("/copies/gta3/gta3.exe");
    writeFile(plain);

    const GameInstallationFinder finder(base, QProcessEnvironment());
    const GameInstallation steam = finder.describe(steamExe);
    QCOMPARE(steam.kind, GameInstallation::Kind::Steam);
    QCOMPARE(steam.steamAppId, 12110);
    QCOMPARE(steam.game, GameInstallation::Game::ViceCity);

    QCOMPARE(finder.describe(unlisted).kind, GameInstallation::Kind::Plain);

    const GameInstallation wine = finder.describe(wineExe);
    QCOMPARE(wine.kind, GameInstallation::Kind::WinePrefix);
    QCOMPARE(wine.winePrefix, base + QStringLiteral("/pfx"));
    QCOMPARE(wine.gameFolder, base + QStringLiteral("/pfx/drive_c/Rockstar/GTA3"));
    QCOMPARE(wine.mp3Folder, base + QStringLiteral("/pfx/drive_c/Rockstar/GTA3/Mp3/"));
    QVERIFY(wine.mp3FolderExists);

    const GameInstallation other = finder.describe(plain);
    QCOMPARE(other.kind, GameInstallation::Kind::Plain);
    QCOMPARE(other.game, GameInstallation::Game::Gta3);
    QCOMPARE(finder.describe(base + QStringLiteral("/copies/run.sh")).game,
             GameInstallation::Game::Unknown);
}

QTEST_GUILESS_MAIN(GameInstallationsTest)
#include "tst_gameinstallations.moc"
