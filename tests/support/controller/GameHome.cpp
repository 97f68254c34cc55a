// SPDX-License-Identifier: GPL-3.0-or-later
#include "GameHome.h"

#include "handoff/GameInstallation.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QByteArray manifest(int appId, const QString &installDir)
{
    return QStringLiteral("\"AppState\"\n{\n\t\"appid\"\t\t\"%1\"\n\t\"installdir\"\t\t\"%2\"\n}\n")
        .arg(appId)
        .arg(installDir)
        .toUtf8();
}

constexpr QFileDevice::Permissions Executable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ExeUser;

} // namespace

GameHome::GameHome()
{
    QDir().mkpath(bin);
    environment.insert(QStringLiteral("PATH"), bin);
    shell = std::make_unique<LauncherShell>(home, environment);
}

PlatformServices GameHome::platform()
{
    PlatformServices platform = services.services();
    platform.environment = environment;
    platform.shell = shell.get();
    return platform;
}

QString GameHome::installSteamGta3(bool withMp3Folder)
{
    return installSteamGame(GameInstallation::Gta3SteamAppId, QStringLiteral("Grand Theft Auto 3"),
                            QStringLiteral("gta3.exe"), withMp3Folder);
}

QString GameHome::installSteamGame(int appId, const QString &installDir, const QString &exe,
                                   bool withMp3Folder)
{
    const QString steamapps = home + QStringLiteral("/.local/share/Steam/steamapps/");
    writeFile(steamapps + QStringLiteral("appmanifest_%1.acf").arg(appId),
              manifest(appId, installDir));
    const QString folder = steamapps + QStringLiteral("common/") + installDir;
    writeFile(folder + QLatin1Char('/') + exe, "game");
    if (withMp3Folder)
        writeFile(folder + QStringLiteral("/mp3/MP3Report.txt"), "the game's own report");
    return folder;
}

QString GameHome::installWineGame(const QString &inDriveC, const QString &exe)
{
    const QString folder = home + QStringLiteral("/.wine/drive_c/") + inDriveC;
    writeFile(folder + QLatin1Char('/') + exe, "game");
    writeFile(folder + QStringLiteral("/mp3/MP3Report.txt"), "the game's own report");
    return folder;
}

void GameHome::installTool(const QString &name)
{
    const QString script = bin + QLatin1Char('/') + name;
    writeFile(script, QStringLiteral("#!/bin/sh\nprintf '%s|%s|%s|%s\\n' '%1' \"$PWD\" "
                                     "\"${WINEPREFIX-unset}\" \"$*\" >> '%2'\n")
                          .arg(name, record)
                          .toUtf8());
    QFile::setPermissions(script, Executable);
}

QString GameHome::recorded() const
{
    if (!QTest::qWaitFor([this] { return readFile(record).endsWith('\n'); }, 10000))
        return QStringLiteral("nothing recorded");
    return QString::fromUtf8(readFile(record)).trimmed().replace(home, QStringLiteral("~"));
}
