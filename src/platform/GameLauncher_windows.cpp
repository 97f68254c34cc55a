// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GameLauncher.h"

#include "game/GameInstallationFinder.h"

#include <windows.h>
// Needs the types windows.h declares.
#include <shellapi.h>

namespace {

// Steam starts its copy the way it is set up there (options, overlay), when
// asked through its address; ShellExecute hands the address to Steam.
LaunchResult startThroughSteam(int appId)
{
    const QString address = QStringLiteral("steam://rungameid/%1").arg(appId);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t *>(address.utf16()), nullptr,
                      nullptr, SW_SHOWNORMAL));
    if (result > 32)
        return {true, {}};
    if (result == SE_ERR_NOASSOC)
        return {false, QStringLiteral("Steam is not installed (nothing opens %1)").arg(address)};
    return {
        false,
        QStringLiteral("%1 could not be opened: %2").arg(address, qt_error_string(int(result)))};
}

// A Steam copy through Steam, any other through its executable, run in its
// own folder (or the working directory handed in).
LaunchResult startInstallation(const GameInstallation &installation,
                               const QProcessEnvironment &environment,
                               const QString &workingDirectory)
{
    if (installation.kind == GameInstallation::Kind::Steam)
        return startThroughSteam(installation.steamAppId);
    GameLaunchPlan plan;
    plan.program = installation.executable;
    plan.workingDirectory = workingDirectory.isEmpty() ? installation.gameFolder : workingDirectory;
    plan.environment = environment;
    return GameLauncher::start(plan);
}

} // namespace

LaunchResult GameLauncher::launch(const QString &executable, const QString &workingDirectory) const
{
    if (executable.isEmpty())
        return {false, QStringLiteral("no game executable was found")};
    return startInstallation(GameInstallationFinder(m_home, m_environment).describe(executable),
                             m_environment, workingDirectory);
}

LaunchResult GameLauncher::launch(const GameInstallation &installation) const
{
    if (installation.executable.isEmpty())
        return {false, QStringLiteral("no game executable was found")};
    return startInstallation(installation, m_environment, {});
}
