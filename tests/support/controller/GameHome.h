// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestServices.h"
#include "game/GameInstallation.h"
#include "game/GameLauncher.h"
#include "platform/GamePlaces.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>
#include <memory>

// Starts the game with the program's own launcher, in a stand-in home and
// environment.
class LauncherShell final : public Shell
{
public:
    LauncherShell(const QString &home, const QProcessEnvironment &environment)
        : m_launcher(home, environment)
    {}
    void OpenDocument(const QString &) override {}
    LaunchResult launchProgram(const QString &program, const QString &workingDirectory) override
    {
        return m_launcher.launch(program, workingDirectory);
    }

private:
    GameLauncher m_launcher;
};

// A stand-in home with games installed in it, and services that look for
// games there and start them with stand-in programs.
struct GameHome
{
    TestServices services;
    QString home = services.location.homeFolder();
    QString bin = services.location.root() + QStringLiteral("/bin");
    QString record = services.location.root() + QStringLiteral("/record.txt");
    QProcessEnvironment environment;
    std::unique_ptr<LauncherShell> shell;

    GameHome()
    {
        QDir().mkpath(bin);
        environment.insert(QStringLiteral("PATH"), bin);
        // Where Windows installers put programs, Steam among them.
        environment.insert(QStringLiteral("ProgramFiles(x86)"),
                           QDir::toNativeSeparators(services.location.root() +
                                                    QStringLiteral("/Program Files (x86)")));
        shell = std::make_unique<LauncherShell>(home, environment);
    }

    PlatformServices platform()
    {
        PlatformServices platform = services.services();
        platform.environment = environment;
        platform.shell = shell.get();
        return platform;
    }

    // GTA III in Steam's default library, as Steam installs it; returns the
    // game's folder.
    QString installSteamGta3(bool withMp3Folder)
    {
        return installSteamGame(GameInstallation::Gta3SteamAppId,
                                QStringLiteral("Grand Theft Auto 3"), QStringLiteral("gta3.exe"),
                                withMp3Folder);
    }

    // The first place this system looks for Steam that lies in the test's
    // folder: ~/.local/share/Steam on Linux, under Program Files (x86) on
    // Windows.
    QString steamRoot() const
    {
        for (const QString &root : GamePlaces::steamRoots(home, environment)) {
            if (root.startsWith(services.location.root() + QLatin1Char('/')))
                return root;
        }
        return {};
    }

    // A path as the game list shows it: the home folder as "~", in the
    // system's way of writing paths.
    QString shownPath(const QString &path) const
    {
        if (path.startsWith(home + QLatin1Char('/')))
            return QDir::toNativeSeparators(QStringLiteral("~") + path.mid(home.size()));
        return QDir::toNativeSeparators(path);
    }

    QString installSteamGame(int appId, const QString &installDir, const QString &exe,
                             bool withMp3Folder)
    {
        const QString steamapps = steamRoot() + QStringLiteral("/steamapps/");
        writeFile(steamapps + QStringLiteral("appmanifest_%1.acf").arg(appId),
                  QStringLiteral("\"AppState\"\n{\n\t\"appid\"\t\t\"%1\"\n\t\"installdir\"\t\t\""
                                 "%2\"\n}\n")
                      .arg(appId)
                      .arg(installDir)
                      .toUtf8());
        const QString folder = steamapps + QStringLiteral("common/") + installDir;
        writeFile(folder + QLatin1Char('/') + exe, "game");
        if (withMp3Folder)
            writeFile(folder + QStringLiteral("/mp3/MP3Report.txt"), "the game's own report");
        return folder;
    }

    // A game inside the Wine prefix ~/.wine; returns the game's folder.
    QString installWineGame(const QString &inDriveC, const QString &exe)
    {
        const QString folder = home + QStringLiteral("/.wine/drive_c/") + inDriveC;
        writeFile(folder + QLatin1Char('/') + exe, "game");
        writeFile(folder + QStringLiteral("/mp3/MP3Report.txt"), "the game's own report");
        return folder;
    }

    // A program on the test's PATH that records its name, working folder,
    // WINEPREFIX and arguments.
    void installTool(const QString &name)
    {
        const QString script = bin + QLatin1Char('/') + name;
        writeFile(script, QStringLiteral("#!/bin/sh\nprintf '%s|%s|%s|%s\\n' '%1' \"$PWD\" "
                                         "\"${WINEPREFIX-unset}\" \"$*\" >> '%2'\n")
                              .arg(name, record)
                              .toUtf8());
        QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ExeUser);
    }

    // What the programs recorded, the home folder shown as "~".
    QString recorded() const
    {
        if (!QTest::qWaitFor([this] { return readFile(record).endsWith('\n'); }, 10000))
            return QStringLiteral("nothing recorded");
        return QString::fromUtf8(readFile(record)).trimmed().replace(home, QStringLiteral("~"));
    }
};
