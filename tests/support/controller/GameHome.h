// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestServices.h"
#include "platform/GameLauncher.h"

#include <QProcessEnvironment>
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

    GameHome();

    PlatformServices platform();

    // GTA III in Steam's default library, as Steam installs it; returns the
    // game's folder.
    QString installSteamGta3(bool withMp3Folder);
    QString installSteamGame(int appId, const QString &installDir, const QString &exe,
                             bool withMp3Folder);
    // A game inside the Wine prefix ~/.wine; returns the game's folder.
    QString installWineGame(const QString &inDriveC, const QString &exe);
    // A program on the test's PATH that records its name, working folder,
    // WINEPREFIX and arguments.
    void installTool(const QString &name);
    // What the programs recorded, the home folder shown as "~".
    QString recorded() const;
};
