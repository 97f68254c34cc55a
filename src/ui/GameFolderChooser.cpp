// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/GameFolderChooser.h"

#include "game/GameFolder.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString Title = QStringLiteral("Tavrix");

bool sameFolder(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

} // namespace

GameFolderChooser::GameFolderChooser(Dialogs &dialogs, QWidget *owner,
                                     QList<GameInstallation> installations, QString homeFolder)
    : m_dialogs(dialogs)
    , m_owner(owner)
    , m_installations(std::move(installations))
    , m_home(QDir::cleanPath(std::move(homeFolder)))
{}

QString GameFolderChooser::describe(const GameInstallation &installation) const
{
    const auto shortened = [this](const QString &path) {
        if (!m_home.isEmpty() && m_home != QStringLiteral("/") &&
            path.startsWith(m_home + QLatin1Char('/')))
            return QDir::toNativeSeparators(QStringLiteral("~") + path.mid(m_home.size()));
        return QDir::toNativeSeparators(path);
    };
    QString how;
    switch (installation.kind) {
    case GameInstallation::Kind::Steam:
        how = QStringLiteral(" (Steam)");
        break;
    case GameInstallation::Kind::WinePrefix:
        how = QStringLiteral(" (Wine prefix %1)").arg(shortened(installation.winePrefix));
        break;
    case GameInstallation::Kind::Plain:
        break;
    }
    return installation.gameName() + how + QStringLiteral(": ") +
           shortened(installation.gameFolder);
}

QString GameFolderChooser::choose(const QString &pickerTitle)
{
    if (m_installations.isEmpty())
        return m_dialogs.pickFolder(m_owner, pickerTitle, {});
    if (m_installations.size() > 1)
        return chooseAmongSeveral(pickerTitle);
    return pickStartingAt(m_installations.constFirst(), pickerTitle);
}

QString GameFolderChooser::chooseAmongSeveral(const QString &pickerTitle)
{
    QStringList items;
    for (const GameInstallation &installation : std::as_const(m_installations))
        items << describe(installation);
    items << QStringLiteral("Other folder...");
    const int chosen = m_dialogs.chooseItem(
        m_owner, Title,
        QStringLiteral("These games were found on this computer. Which one should play the radio?"),
        items);
    if (chosen < 0 || chosen >= items.size())
        return {};
    if (chosen == items.size() - 1)
        return m_dialogs.pickFolder(m_owner, pickerTitle, {});
    const GameInstallation &installation = m_installations.at(chosen);
    if (!offerToCreate(installation) || !ensureReport(installation.mp3Folder))
        return {};
    return installation.mp3Folder;
}

QString GameFolderChooser::pickStartingAt(const GameInstallation &installation,
                                          const QString &pickerTitle)
{
    // Declined: the picker opens at the game's own folder instead.
    const QString start =
        offerToCreate(installation) ? installation.mp3Folder : installation.gameFolder;
    const QString chosen = m_dialogs.pickFolder(m_owner, pickerTitle, start);
    if (!chosen.isEmpty() && sameFolder(chosen, installation.mp3Folder) && !ensureReport(chosen))
        return {};
    return chosen;
}

QString GameFolderChooser::offerOnlyGame()
{
    if (m_installations.size() != 1)
        return {};
    const GameInstallation &installation = m_installations.constFirst();
    QString text =
        QStringLiteral("Tavrix found %1.\n\nUse its MP3 folder for the radio?\n\n%2")
            .arg(describe(installation), QDir::toNativeSeparators(installation.mp3Folder));
    if (!installation.mp3FolderExists)
        text += QStringLiteral("\n\nThe folder does not exist yet; Tavrix will create it.");
    // Enter accepts: declining is for good.
    if (m_dialogs.showMessage(m_owner, MessageIcon::Information, MessageButtons::YesNoDefaultYes,
                              Title, text) != MessageAnswer::Yes)
        return {};
    if (!installation.mp3FolderExists && !createFolder(installation.mp3Folder))
        return {};
    return ensureReport(installation.mp3Folder) ? installation.mp3Folder : QString();
}

// True when the MP3 folder exists, now or after the user let it be created.
bool GameFolderChooser::offerToCreate(const GameInstallation &installation)
{
    if (installation.mp3FolderExists || QFileInfo(installation.mp3Folder).isDir())
        return true;
    const MessageAnswer answer = m_dialogs.showMessage(
        m_owner, MessageIcon::Information, MessageButtons::YesNo, Title,
        QStringLiteral("%1 has no MP3 folder yet. Create it now?\n\n%2")
            .arg(installation.gameName(), QDir::toNativeSeparators(installation.mp3Folder)));
    return answer == MessageAnswer::Yes && createFolder(installation.mp3Folder);
}

bool GameFolderChooser::createFolder(const QString &folder)
{
    if (QDir().mkpath(folder))
        return true;
    m_dialogs.showMessage(m_owner, MessageIcon::Stop, MessageButtons::Ok, Title,
                          QStringLiteral("The folder %1 could not be created.")
                              .arg(QDir::toNativeSeparators(folder)));
    return false;
}

bool GameFolderChooser::ensureReport(const QString &mp3Folder)
{
    if (!GameFolder::findReport(mp3Folder).isEmpty())
        return true;
    QFile report(QDir(mp3Folder).filePath(GameFolder::ReportFileName));
    if (report.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return true;
    m_dialogs.showMessage(
        m_owner, MessageIcon::Stop, MessageButtons::Ok, Title,
        QStringLiteral("The file %1 could not be created: %2")
            .arg(QDir::toNativeSeparators(report.fileName()), report.errorString()));
    return false;
}
