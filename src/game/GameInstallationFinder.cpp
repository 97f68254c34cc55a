// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GameInstallationFinder.h"

#include "game/GameFolder.h"
#include "game/KeyValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <optional>

namespace {

constexpr int DriveSearchDepth = 4; // folder levels below drive_c searched for the game
constexpr qint64 MaxSteamFileSize = 4 * 1024 * 1024;

struct KnownGame
{
    GameInstallation::Game game;
    int steamAppId;
    QString executable;
};

const QList<KnownGame> &knownGames()
{
    static const QList<KnownGame> games = {
        {GameInstallation::Game::Gta3, GameInstallation::Gta3SteamAppId,
         QStringLiteral("gta3.exe")},
        {GameInstallation::Game::ViceCity, GameInstallation::ViceCitySteamAppId,
         QStringLiteral("gta-vc.exe")},
    };
    return games;
}

std::optional<KnownGame> gameForExecutable(const QString &fileName)
{
    for (const KnownGame &known : knownGames()) {
        if (fileName.compare(known.executable, Qt::CaseInsensitive) == 0)
            return known;
    }
    return std::nullopt;
}

// The sub-folder `name` of `folder` whatever its letter case (an exact match
// wins); empty when there is none.
QString findFolderCaseInsensitive(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(name)).isDir())
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return {};
}

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : resolved;
}

QStringList subfolders(const QString &folder)
{
    QStringList result;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QString &name : names)
        result << dir.filePath(name);
    return result;
}

bool isWinePrefix(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo(QDir(folder).filePath(QStringLiteral("drive_c"))).isDir();
}

GameInstallation installationAt(const QString &executable, const KnownGame &known)
{
    GameInstallation found;
    found.game = known.game;
    found.executable = executable;
    found.gameFolder = QFileInfo(executable).absolutePath();
    const QString mp3 = findFolderCaseInsensitive(found.gameFolder, QStringLiteral("mp3"));
    found.mp3FolderExists = !mp3.isEmpty();
    found.mp3Folder = (found.mp3FolderExists ? mp3 : found.gameFolder + QStringLiteral("/mp3")) +
                      QLatin1Char('/');
    if (found.mp3FolderExists)
        found.reportFile = GameFolder::findReport(found.mp3Folder);
    return found;
}

KeyValuesParse readKeyValues(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, file.errorString()};
    if (file.size() > MaxSteamFileSize)
        return {std::nullopt, QStringLiteral("larger than Steam ever writes it")};
    return parseKeyValues(file.readAll());
}

// The "path" of every library in libraryfolders.vdf: today's layout
// ("libraryfolders" { "0" { "path" "..." ... } }) and the older one
// ("LibraryFolders" { "1" "..." }).
QStringList listedLibraries(const KeyValues &root)
{
    QStringList paths;
    const KeyValues *folders = root.child(u"libraryfolders");
    if (!folders)
        return paths;
    for (const KeyValues &entry : folders->children) {
        bool numbered = false;
        entry.key.toInt(&numbered);
        if (!numbered)
            continue;
        const QString path = entry.isBlock ? entry.childValue(u"path") : entry.value;
        if (!path.isEmpty())
            paths << path;
    }
    return paths;
}

// Winds through drive_c for the game's executables, not following symbolic
// links (a prefix links its user folders to the real home) and leaving out
// Windows' own folder.
void searchDrive(const QString &folder, int depth, QStringList *executables)
{
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isFile()) {
            if (gameForExecutable(entry.fileName()))
                *executables << entry.filePath();
        } else if (depth < DriveSearchDepth &&
                   !(depth == 0 && entry.fileName().compare(QStringLiteral("windows"),
                                                            Qt::CaseInsensitive) == 0)) {
            searchDrive(entry.filePath(), depth + 1, executables);
        }
    }
}

// The "prefix:" lines of Lutris' game files; its YAML is flat enough here
// that a line-wise read is all it takes.
QStringList lutrisConfiguredPrefixes(const QString &folder, const QString &home)
{
    QStringList prefixes;
    const QDir dir(folder);
    const QStringList files =
        dir.entryList({QStringLiteral("*.yml"), QStringLiteral("*.yaml")}, QDir::Files);
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        if (file.size() > MaxSteamFileSize || !file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        while (!file.atEnd()) {
            QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (!line.startsWith(QStringLiteral("prefix:")))
                continue;
            line = line.mid(7).trimmed();
            if (line.size() >= 2 && (line.front() == u'"' || line.front() == u'\'') &&
                line.back() == line.front())
                line = line.mid(1, line.size() - 2);
            if (line.startsWith(QStringLiteral("~/")))
                line = home + line.mid(1);
            if (!line.isEmpty())
                prefixes << line;
        }
    }
    return prefixes;
}

} // namespace

GameInstallationFinder::GameInstallationFinder(QString homeFolder, QProcessEnvironment environment)
    : m_home(QDir::cleanPath(std::move(homeFolder)))
    , m_environment(std::move(environment))
{}

QString GameInstallationFinder::flatpakSteamHome() const
{
    return m_home + QStringLiteral("/.var/app/com.valvesoftware.Steam");
}

QStringList GameInstallationFinder::steamRoots() const
{
    QStringList roots;
    // Steam's own start script honours XDG_DATA_HOME; ~/.steam/steam and
    // ~/.steam/root are links its installer makes to the same place.
    const QString dataHome = m_environment.value(QStringLiteral("XDG_DATA_HOME"));
    if (QDir::isAbsolutePath(dataHome))
        roots << dataHome + QStringLiteral("/Steam");
    roots << m_home + QStringLiteral("/.local/share/Steam")
          << m_home + QStringLiteral("/.steam/steam")
          << m_home + QStringLiteral("/.steam/root")
          // The Flatpak keeps Steam's home folder in its own data folder.
          << flatpakSteamHome() + QStringLiteral("/.local/share/Steam")
          << flatpakSteamHome() + QStringLiteral("/data/Steam");
    return roots;
}

QStringList GameInstallationFinder::steamLibraries(QStringList *problems) const
{
    QStringList libraries;
    QSet<QString> seen;
    const auto add = [&](const QString &folder) {
        if (findFolderCaseInsensitive(folder, QStringLiteral("steamapps")).isEmpty())
            return;
        const QString path = canonical(folder);
        if (!seen.contains(path)) {
            seen.insert(path);
            libraries << path;
        }
    };

    const QString flatpakHome = flatpakSteamHome();
    QSet<QString> readRoots; // ~/.steam/steam is usually a link to another root
    for (const QString &root : steamRoots()) {
        if (!QFileInfo(root).isDir() || readRoots.contains(canonical(root)))
            continue;
        readRoots.insert(canonical(root));
        add(root);
        const QString steamapps = findFolderCaseInsensitive(root, QStringLiteral("steamapps"));
        const QString vdf =
            GameFolder::findFileCaseInsensitive(steamapps, QStringLiteral("libraryfolders.vdf"));
        if (vdf.isEmpty())
            continue;
        const KeyValuesParse parsed = readKeyValues(vdf);
        if (!parsed.root) {
            if (problems)
                *problems << vdf + QStringLiteral(": ") + parsed.error;
            continue;
        }
        const bool inFlatpak = canonical(root).startsWith(canonical(flatpakHome) + u'/');
        for (QString listed : listedLibraries(*parsed.root)) {
            // Inside the Flatpak the home folder is the Flatpak's own: a
            // library it lists there lives in ~/.var/app/... on the outside.
            if (inFlatpak && listed.startsWith(m_home + u'/') &&
                QFileInfo(flatpakHome + listed.mid(m_home.size())).isDir())
                listed = flatpakHome + listed.mid(m_home.size());
            // A library on a drive that is gone is simply not searched.
            if (QFileInfo(listed).isDir())
                add(listed);
        }
    }
    return libraries;
}

QList<GameInstallation> GameInstallationFinder::steamInstallations(const QString &library,
                                                                   QStringList *problems) const
{
    QList<GameInstallation> found;
    const QString steamapps = findFolderCaseInsensitive(library, QStringLiteral("steamapps"));
    const QString common = findFolderCaseInsensitive(steamapps, QStringLiteral("common"));
    for (const KnownGame &known : knownGames()) {
        const QString manifest = GameFolder::findFileCaseInsensitive(
            steamapps, QStringLiteral("appmanifest_%1.acf").arg(known.steamAppId));
        if (manifest.isEmpty())
            continue;
        const KeyValuesParse parsed = readKeyValues(manifest);
        if (!parsed.root) {
            *problems << manifest + QStringLiteral(": ") + parsed.error;
            continue;
        }
        const KeyValues *state = parsed.root->child(u"AppState");
        const QString installDir = state ? state->childValue(u"installdir") : QString();
        // The folder name must stay inside steamapps/common.
        if (installDir.isEmpty() || installDir.contains(u'/') || installDir == u".." ||
            installDir == u".") {
            *problems << manifest + QStringLiteral(": no usable installdir");
            continue;
        }
        const QString gameFolder =
            common.isEmpty() ? QString() : findFolderCaseInsensitive(common, installDir);
        const QString exe = gameFolder.isEmpty()
                                ? QString()
                                : GameFolder::findFileCaseInsensitive(gameFolder, known.executable);
        if (exe.isEmpty())
            continue; // listed but not (or no longer) on the disk
        GameInstallation installation = installationAt(exe, known);
        installation.kind = GameInstallation::Kind::Steam;
        installation.steamAppId = known.steamAppId;
        found << installation;
    }
    return found;
}

QStringList GameInstallationFinder::winePrefixes() const
{
    QStringList candidates;
    const QString winePrefix = m_environment.value(QStringLiteral("WINEPREFIX"));
    if (QDir::isAbsolutePath(winePrefix))
        candidates << winePrefix;
    candidates << m_home + QStringLiteral("/.wine");
    // Lutris makes ~/Games/<game> by default and names other places in its
    // game files; Heroic has ~/Games/Heroic/Prefixes/[default/]<game>;
    // Bottles keeps its bottles in its data folder (native or Flatpak).
    candidates << subfolders(m_home + QStringLiteral("/Games"));
    for (const QString &folder : {m_home + QStringLiteral("/.config/lutris/games"),
                                  m_home + QStringLiteral("/.local/share/lutris/games")})
        candidates << lutrisConfiguredPrefixes(folder, m_home);
    for (const QString &heroic : subfolders(m_home + QStringLiteral("/Games/Heroic/Prefixes"))) {
        candidates << heroic;
        if (!isWinePrefix(heroic))
            candidates << subfolders(heroic);
    }
    candidates << subfolders(m_home + QStringLiteral("/.local/share/bottles/bottles"));
    candidates << subfolders(
        m_home + QStringLiteral("/.var/app/com.usebottles.bottles/data/bottles/bottles"));

    QStringList prefixes;
    QSet<QString> seen;
    for (const QString &candidate : std::as_const(candidates)) {
        if (!isWinePrefix(candidate))
            continue;
        const QString path = canonical(candidate);
        if (!seen.contains(path)) {
            seen.insert(path);
            prefixes << path;
        }
    }
    return prefixes;
}

GameSearch GameInstallationFinder::find() const
{
    GameSearch search;
    QSet<QString> seen;
    const auto add = [&](const GameInstallation &installation) {
        const QString key = canonical(installation.executable);
        if (!seen.contains(key)) {
            seen.insert(key);
            search.installations << installation;
        }
    };

    for (const QString &library : steamLibraries(&search.problems)) {
        for (const GameInstallation &installation : steamInstallations(library, &search.problems))
            add(installation);
    }
    for (const QString &prefix : winePrefixes()) {
        QStringList executables;
        searchDrive(prefix + QStringLiteral("/drive_c"), 0, &executables);
        for (const QString &exe : std::as_const(executables)) {
            GameInstallation installation =
                installationAt(exe, *gameForExecutable(QFileInfo(exe).fileName()));
            installation.kind = GameInstallation::Kind::WinePrefix;
            installation.winePrefix = prefix;
            add(installation);
        }
    }
    return search;
}

GameInstallation GameInstallationFinder::describe(const QString &executable) const
{
    const QFileInfo info(executable);
    const std::optional<KnownGame> known = gameForExecutable(info.fileName());
    GameInstallation installation =
        known ? installationAt(info.absoluteFilePath(), *known)
              : installationAt(info.absoluteFilePath(), {GameInstallation::Game::Unknown, 0, {}});

    // A Steam copy: <library>/steamapps/common/<installdir>/<executable>,
    // with the game's manifest naming that installdir.
    const QDir gameFolder(canonical(installation.gameFolder));
    QDir common = gameFolder;
    QDir steamapps = gameFolder;
    if (known && common.cdUp() && steamapps.cdUp() && steamapps.cdUp() &&
        common.dirName().compare(QStringLiteral("common"), Qt::CaseInsensitive) == 0 &&
        steamapps.dirName().compare(QStringLiteral("steamapps"), Qt::CaseInsensitive) == 0) {
        QDir library = steamapps;
        library.cdUp();
        QStringList ignored;
        for (const GameInstallation &steam : steamInstallations(library.path(), &ignored)) {
            if (steam.steamAppId == known->steamAppId &&
                canonical(steam.executable) == canonical(installation.executable)) {
                installation.kind = GameInstallation::Kind::Steam;
                installation.steamAppId = steam.steamAppId;
                return installation;
            }
        }
    }

    // A copy in a Wine prefix: the game folder lies in (or is) a drive_c.
    QDir folder = gameFolder;
    do {
        if (folder.dirName() == QStringLiteral("drive_c")) {
            if (folder.cdUp()) {
                installation.kind = GameInstallation::Kind::WinePrefix;
                installation.winePrefix = folder.path();
            }
            break;
        }
    } while (folder.cdUp());
    return installation;
}
