// The main window's folder handling (game MP3 folder, buffer folder) and its
// recent-stations list.

#include "handoff/GameFolder.h"
#include "platform/Dialogs.h"
#include "platform/FileOperations.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString SettingsSection = QStringLiteral("Settings");
const QString BufferPathKey = QStringLiteral("BufferPath");
const QString RadioPathKey = QStringLiteral("RadioPath");
const QString RecentSection = QStringLiteral("Recent");
const QString LastUsedKey = QStringLiteral("LastUsed");

// Folder paths are kept with a trailing separator, as file names are
// appended to them directly.
QString withTrailingSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

// The per-user default buffer folder: the user's cache folder + "tavrix/".
QString DefaultBufferFolder()
{
    return withTrailingSeparator(
               QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)) +
           QStringLiteral("tavrix/");
}

} // namespace

void frmMain::setRadioPathText(const QString &text)
{
    txtRadioPath->setText(text);
    txtRadioPath_Change();
}

void frmMain::setBufferPathText(const QString &text)
{
    txtBufferPath->setText(text);
    txtBufferPath_Change();
}

void frmMain::txtRadioPath_Change()
{
    const QString exe = GameFolder::findGameExecutable(m_state.RadioPath);
    if (!exe.isEmpty())
        m_state.GameExe = exe;
}

void frmMain::txtBufferPath_Change()
{
    m_flbBufferPath.setFolder(m_state.BufferPath);
}

void frmMain::LoadFolderSettings()
{
    m_state.BufferPath =
        withTrailingSeparator(m_settings.ReadSetting(SettingsSection, BufferPathKey));
    m_state.RadioPath =
        withTrailingSeparator(m_settings.ReadSetting(SettingsSection, RadioPathKey));
    setBufferPathText(m_state.BufferPath.toLower());
    setRadioPathText(m_state.RadioPath.toLower());
}

void frmMain::UseDefaultBufferFolderIfNeeded()
{
    if (!m_state.BufferPath.isEmpty() && QFileInfo(m_state.BufferPath).isDir())
        return;
    // The default is not stored: it is worked out again at every start until
    // the user picks a folder. Only the last level is created.
    m_state.BufferPath = DefaultBufferFolder();
    if (!QFileInfo::exists(m_state.BufferPath))
        QDir().mkdir(m_state.BufferPath);
    setBufferPathText(m_state.BufferPath.toLower());
}

void frmMain::BuildGameFileNames()
{
    m_state.GameFileNames = GameFolder::gameFileNames(m_state.RadioPath);
}

void frmMain::cmdGTAfolder_Click()
{
    const QString chosen = withTrailingSeparator(m_services.dialogs->pickFolder(
        this, QStringLiteral("Select the location of the GTA MP3s folder...")));
    if (chosen.isEmpty())
        return;

    const QString report = GameFolder::findReport(chosen);
    if (report.isEmpty()) {
        message(MessageIcon::Stop,
                QStringLiteral("The selected folder does not contain the MP3Report.txt file. "
                               "Please select the correct folder."));
        return;
    }

    const QString previousRadioPath = m_state.RadioPath;
    m_state.RadioPath = chosen;
    setRadioPathText(m_state.RadioPath.toLower());
    BuildGameFileNames();

    message(MessageIcon::Information,
            QStringLiteral("The MP3Report file will be rebuilt and set its attributes to to "
                           "read-only now. To manually modify it later, remove the Read Only "
                           "attribute from the file Properties dialog."));

    QString error;
    if (!GameFolder::writeReport(report, &error)) {
        // The game would not play the program's files from this folder: keep
        // the folder that was in use before.
        m_state.RadioPath = previousRadioPath;
        setRadioPathText(m_state.RadioPath.toLower());
        BuildGameFileNames();
        message(MessageIcon::Stop,
                QStringLiteral("The MP3Report.txt file could not be rewritten:\n\n") + error);
        return;
    }
    m_settings.WriteSetting(SettingsSection, RadioPathKey, m_state.RadioPath);
}

void frmMain::cmdTemporary_Click()
{
    const QString chosen = withTrailingSeparator(m_services.dialogs->pickFolder(
        this, QStringLiteral("Select an EMPTY FOLDER to store the temporary buffered MP3s...")));
    if (chosen.isEmpty())
        return;

    // While the deletion question is open the timer keeps ticking; the
    // hand-off must not take the user's MP3 files there for buffer files.
    m_bufferQuestionOpen = true;
    m_state.BufferPath = chosen;
    setBufferPathText(m_state.BufferPath.toLower());
    EmptyBufferPath();
    if (!m_state.BufferFolderAccepted) {
        m_state.BufferPath.clear();
        setBufferPathText(QString());
    }
    m_bufferQuestionOpen = false;
    m_settings.WriteSetting(SettingsSection, BufferPathKey, m_state.BufferPath);
}

void frmMain::EmptyBufferPath()
{
    m_flbBufferPath.refresh();
    if (m_flbBufferPath.count() == 0) {
        m_state.BufferFolderAccepted = true;
    } else {
        const MessageAnswer answer = m_services.dialogs->showMessage(
            this, MessageIcon::Exclamation, MessageButtons::OkCancel, QStringLiteral("Tavrix"),
            QStringLiteral("All MP3 files in the following folder will be deleted now. Press OK "
                           "to proceed.\n\n") +
                m_state.BufferPath);
        if (answer == MessageAnswer::Ok) {
            const QStringList names = m_flbBufferPath.names();
            for (const QString &name : names)
                m_services.files->remove(m_state.BufferPath + name);
            m_state.BufferFolderAccepted = true;
        } else {
            message(MessageIcon::Stop,
                    QStringLiteral("Tavrix will not operate until all MP3 files are removed from "
                                   "the selected folder."));
            m_state.BufferFolderAccepted = false;
        }
    }
    m_flbBufferPath.refresh();
}

void frmMain::LoadRecentStations()
{
    cmbRecent->addItems(m_state.Recent.load(m_settings));
    cmbRecent->setCurrentIndex(-1);
}

void frmMain::LoadLastUsedStation()
{
    const int index =
        RecentStations::lastUsedIndex(m_settings.ReadSetting(RecentSection, LastUsedKey));
    if (index < cmbRecent->count())
        cmbRecent->setCurrentIndex(index);
    txtURL->setText(m_state.Recent.url(index));
}

void frmMain::SaveRecentStations()
{
    m_state.Recent.save(m_settings, cmbRecent->currentIndex());
    m_settings.sync();
}

void frmMain::AddRecentStation(const QString &title, const QString &url)
{
    if (m_state.Recent.add(title, url))
        cmbRecent->addItem(title);
}

void frmMain::cmbRecent_GotFocus()
{
    m_tmrRecent->start();
}

void frmMain::cmbRecent_LostFocus()
{
    m_tmrRecent->stop();
}

void frmMain::tmrRecent_Timer()
{
    const int index = cmbRecent->currentIndex();
    if (index < 0)
        return;
    txtURL->setText(m_state.Recent.url(index));
}
