// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/FolderRules.h"

#include "game/GameFolder.h"
#include "game/ReportBackup.h"
#include "handoff/FileOperations.h"
#include "platform/FolderCheck.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// A path as the user's system writes it (C:\Games\GTA3\mp3\ on Windows).
QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

const QString FoldersOverlapText = QStringLiteral(
    "The temporary files folder and the GTA MP3s folder must be separate: neither may be, "
    "contain or lie inside the other, as Tavrix deletes the MP3 files of its temporary files "
    "folder.\n\nTemporary files: %1\nGTA MP3s: %2");

// Folder paths are kept with a trailing separator, as file names are
// appended to them directly.
QString withTrailingSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

// The per-user default buffer folder: the user's cache folder + "tavrix/".
QString defaultBufferFolder()
{
    return withTrailingSeparator(
               QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)) +
           QStringLiteral("tavrix/");
}

} // namespace

FolderRules::FolderRules(Settings &settings, const Messages &messages, FileOperations &files,
                         QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_messages(messages)
    , m_files(files)
{}

void FolderRules::setRadioPath(const QString &folder)
{
    m_radioPath = folder;
    const QString exe = GameFolder::findGameExecutable(m_radioPath);
    if (!exe.isEmpty())
        m_gameExe = exe;
    m_gameFileNames = GameFolder::gameFileNames(m_radioPath);
    emit gameFolderChanged(m_radioPath);
}

void FolderRules::setBufferPath(const QString &folder)
{
    m_bufferFolder = BufferFolder(folder);
    emit bufferFolderChanged(m_bufferFolder.path());
}

void FolderRules::load()
{
    setBufferPath(withTrailingSeparator(m_settings.bufferPath()));
    setRadioPath(withTrailingSeparator(m_settings.radioPath()));
    // A stored folder that cannot be used is shown as the problem it is, not
    // replaced behind the user's back. The default is not stored: it is
    // worked out again at every start until the user picks a folder. Only
    // the default is created, with its parents on an account that has no
    // cache folder yet.
    if (bufferPath().isEmpty()) {
        const QString folder = defaultBufferFolder();
        if (!QFileInfo::exists(folder))
            QDir().mkpath(folder);
        setBufferPath(folder);
    }
    // Told in the status line; "Start Buffering" refuses with a message box
    // until the folder is fixed or another is chosen.
    if (!bufferPath().isEmpty() && !bufferFolderProblem().isEmpty())
        emit statusChanged(bufferFolderProblem());
    else if (!m_radioPath.isEmpty() && !gameFolderProblem().isEmpty())
        emit statusChanged(gameFolderProblem());
}

QString FolderRules::bufferFolderProblem() const
{
    const QString problem = FolderCheck::problem(bufferPath());
    if (problem.isEmpty())
        return {};
    return QStringLiteral("The buffer folder %1 %2. Please choose another folder for the "
                          "temporary files.")
        .arg(shown(bufferPath()), problem);
}

QString FolderRules::gameFolderProblem() const
{
    const QString problem = FolderCheck::problem(m_radioPath);
    if (problem.isEmpty())
        return {};
    return QStringLiteral("The GTA MP3s folder %1 %2. Please fix it or choose the folder "
                          "again.")
        .arg(shown(m_radioPath), problem);
}

bool FolderRules::readyToStart()
{
    if (bufferPath().isEmpty() || m_radioPath.isEmpty()) {
        const QString missing =
            m_radioPath.isEmpty()
                ? (bufferPath().isEmpty() ? QStringLiteral("buffer and GTA MP3s folders")
                                          : QStringLiteral("GTA MP3s folder"))
                : QStringLiteral("buffer folder");
        m_messages.tell(MessageIcon::Exclamation,
                        QStringLiteral("Please select the %1 and retry.").arg(missing));
        return false;
    }
    for (const QString &problem : {bufferFolderProblem(), gameFolderProblem()}) {
        if (!problem.isEmpty()) {
            emit statusChanged(problem);
            m_messages.tell(MessageIcon::Stop, problem);
            return false;
        }
    }
    if (FolderCheck::overlap(bufferPath(), m_radioPath)) {
        m_messages.tell(MessageIcon::Stop,
                        FoldersOverlapText.arg(shown(bufferPath()), shown(m_radioPath)));
        return false;
    }
    return true;
}

void FolderRules::clearForStart()
{
    // Only the program's own two files are removed from the game folder; the
    // user's MP3 files there are left alone. The buffer folder is the
    // program's own and is emptied of MP3 files.
    for (const QString &gameFile : m_gameFileNames) {
        if (!gameFile.isEmpty())
            m_files.remove(gameFile);
    }
    for (const QString &name : m_bufferFolder.mp3Names())
        m_files.remove(m_bufferFolder.filePath(name));
}

void FolderRules::chooseGameFolder(const QString &folder)
{
    const QString chosen = withTrailingSeparator(folder);
    if (FolderCheck::overlap(chosen, bufferPath())) {
        m_messages.tell(MessageIcon::Stop,
                        FoldersOverlapText.arg(shown(bufferPath()), shown(chosen)));
        return;
    }

    QString report = GameFolder::findReport(chosen);
    if (report.isEmpty()) {
        // Beside the game the report is only missing until the game's first
        // scan of its MP3 folder: it may be created now.
        if (GameFolder::findGameExecutable(chosen).isEmpty()) {
            m_messages.tell(MessageIcon::Stop,
                            QStringLiteral("The selected folder does not contain the "
                                           "MP3Report.txt file. Please select the correct "
                                           "folder."));
            return;
        }
        report = createReport(chosen);
        if (report.isEmpty())
            return;
    }

    const QString previousRadioPath = m_radioPath;
    setRadioPath(chosen);

    // The game's own report is copied to the data folder before the first
    // rewrite; without that copy the report is left alone.
    const ReportBackup backup(ReportBackup::defaultDataFolder());
    m_messages.tell(MessageIcon::Information,
                    QStringLiteral("The MP3Report file will be rebuilt and set its attributes to "
                                   "read-only now. To manually modify it later, remove the Read "
                                   "Only attribute from the file Properties dialog.\n\nThe game's "
                                   "original report is kept in %1")
                        .arg(shown(backup.copyPathFor(report))));

    QString error;
    if (!GameFolder::writeReport(report, backup, &error)) {
        // The game would not play the program's files from this folder: keep
        // the folder that was in use before.
        setRadioPath(previousRadioPath);
        m_messages.tell(MessageIcon::Stop,
                        QStringLiteral("The MP3Report.txt file could not be rewritten:\n\n") +
                            error);
        return;
    }
    m_settings.setRadioPath(m_radioPath);
    emit settingsChanged();
}

void FolderRules::chooseBufferFolder(const QString &folder)
{
    const QString chosen = withTrailingSeparator(folder);
    const QString problem = FolderCheck::problem(chosen);
    if (!problem.isEmpty()) {
        m_messages.tell(MessageIcon::Stop,
                        QStringLiteral("The folder %1 %2. Please choose another folder for the "
                                       "temporary files.")
                            .arg(shown(chosen), problem));
        return;
    }
    if (FolderCheck::overlap(chosen, m_radioPath)) {
        m_messages.tell(MessageIcon::Stop,
                        FoldersOverlapText.arg(shown(chosen), shown(m_radioPath)));
        return;
    }

    // While the deletion question is open the timer keeps ticking; the
    // hand-off must not take the user's MP3 files there for buffer files.
    m_bufferQuestionOpen = true;
    setBufferPath(chosen);
    if (!emptyBufferPath())
        setBufferPath(QString());
    m_bufferQuestionOpen = false;
    m_settings.setBufferPath(bufferPath());
    emit settingsChanged();
}

// An empty report, on the user's word; empty when declined or not created.
QString FolderRules::createReport(const QString &folder)
{
    if (m_messages.ask(MessageIcon::Information, MessageButtons::YesNoDefaultYes,
                       QStringLiteral("The folder %1 has no MP3Report.txt yet: the game writes it "
                                      "when it first looks into its MP3 folder. Create it now?")
                           .arg(shown(folder))) != MessageAnswer::Yes)
        return {};
    QFile report(folder + GameFolder::ReportFileName);
    if (report.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return report.fileName();
    m_messages.tell(MessageIcon::Stop, QStringLiteral("The file %1 could not be created: %2")
                                           .arg(shown(report.fileName()), report.errorString()));
    return {};
}

bool FolderRules::emptyBufferPath()
{
    const QStringList names = m_bufferFolder.mp3Names();
    bool accepted = true;
    if (!names.isEmpty()) {
        const MessageAnswer answer = m_messages.ask(
            MessageIcon::Exclamation, MessageButtons::OkCancel,
            QStringLiteral("All MP3 files in the following folder will be deleted now. Your own "
                           "MP3s are moved to the trash, where you can restore them; Tavrix's "
                           "own buffer files (000_strm.mp3, ...) are deleted. Press OK to "
                           "proceed.\n\n") +
                shown(bufferPath()));
        if (answer == MessageAnswer::Ok) {
            const QList<BufferFolder::Failure> failures = m_bufferFolder.clear(names);
            if (!failures.isEmpty()) {
                // An MP3 left behind would be taken for a buffer file.
                QStringList lines;
                for (const BufferFolder::Failure &failure : failures)
                    lines << failure.path + QStringLiteral(": ") + failure.reason;
                m_messages.tell(MessageIcon::Stop,
                                QStringLiteral("These files could not be removed:\n\n") +
                                    lines.join(QLatin1Char('\n')) +
                                    QStringLiteral("\n\nTavrix will not operate until all MP3 "
                                                   "files are removed from the selected folder."));
                accepted = false;
            }
        } else {
            m_messages.tell(MessageIcon::Stop,
                            QStringLiteral("Tavrix will not operate until all MP3 files are "
                                           "removed from the selected folder."));
            accepted = false;
        }
    }
    return accepted;
}
