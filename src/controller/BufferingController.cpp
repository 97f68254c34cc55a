// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/BufferingController.h"

#include "audio/AudioPipeline.h"
#include "game/GameFolder.h"
#include "game/GameInstallationFinder.h"
#include "platform/Shell.h"
#include "settings/Settings.h"
#include "station/StationAddress.h"
#include "station/StreamSession.h"

#include <QDir>
#include <QRegularExpression>
#include <QTimer>
#include <utility>

namespace {

// Progress and titles are reported at most this often: a fast station
// delivers thousands of arrivals a second, and titles can come faster than
// anyone reads them.
constexpr std::chrono::milliseconds DisplayInterval(100);

} // namespace

BufferingController::BufferingController(const PlatformServices &services, QWidget *dialogOwner,
                                         Settings &settings, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_settings(settings)
    , m_messages(*services.dialogs, dialogOwner)
    , m_folders(settings, m_messages, *services.files)
    , m_handOff(*services.files)
    , m_progressDisplay(DisplayInterval, this, [this] { showPendingProgress(); })
    , m_titleDisplay(DisplayInterval, this, [this] { showCurrentTitle(); })
{
    const auto setHandOffFolders = [this] {
        m_handOff.setFolders({m_folders.bufferFolder(), m_folders.gameFileNames()});
    };
    connect(&m_folders, &FolderRules::bufferFolderChanged, this, setHandOffFolders);
    connect(&m_folders, &FolderRules::gameFolderChanged, this, setHandOffFolders);
    connect(&m_folders, &FolderRules::bufferFolderChanged, this,
            &BufferingController::bufferFolderChanged);
    connect(&m_folders, &FolderRules::gameFolderChanged, this,
            &BufferingController::gameFolderChanged);
    connect(&m_folders, &FolderRules::statusChanged, this, &BufferingController::statusChanged);
    connect(&m_folders, &FolderRules::settingsChanged, this, &BufferingController::settingsChanged);

    connect(&m_handOff, &HandOffMachine::statusChanged, this, &BufferingController::statusChanged);
    connect(&m_handOff, &HandOffMachine::blocked, this, &BufferingController::handOffBlocked);
    // As many dots as the seconds left.
    connect(&m_handOff, &HandOffMachine::countdown, this, [this](int secondsLeft) {
        emit welcomeChanged(QStringLiteral("Launching game in ") + QString::number(secondsLeft) +
                            QString(secondsLeft, QLatin1Char('.')));
    });
    // The game is started only while "Auto start GTA" is still chosen.
    connect(&m_handOff, &HandOffMachine::launchDue, this, [this] {
        if (m_autoStartGame)
            LaunchGame();
    });

    m_tmrMain = new QTimer(this);
    m_tmrMain->setObjectName(QStringLiteral("tmrMain"));
    m_tmrMain->setInterval(1000);
    connect(m_tmrMain, &QTimer::timeout, this, &BufferingController::tick);

    m_session = new StreamSession(
        services.createSocket ? services.createSocket(&m_socketLoadError) : nullptr, this);
    connect(m_session, &StreamSession::headersRead, this, &BufferingController::stationAnswered);
    connect(m_session, &StreamSession::progress, this, [this](qint64 bytes, qint64 fileSize) {
        m_pendingBytes = bytes;
        m_pendingFileSize = fileSize;
        m_progressDisplay.request();
    });
    connect(m_session, &StreamSession::stopped, this, &BufferingController::sessionStopped);
    // The session's audio path tells the station's format and titles.
    if (const AudioPipeline *audio = m_session->audio()) {
        connect(audio, &AudioPipeline::formatKnown, this,
                [this](const QString &codec, bool converted) {
                    m_conversionNote =
                        converted ? QStringLiteral(" (") + codec + QStringLiteral(" \u2192 MP3)")
                                  : QString();
                });
        connect(audio, &AudioPipeline::titleChanged, this, &BufferingController::showStreamTitle);
    }
    // Asked from the event loop, not from inside the connection's report.
    connect(m_session, &StreamSession::certificateRejected, this,
            &BufferingController::askToTrustCertificate, Qt::QueuedConnection);
    connect(m_session, &StreamSession::reconnecting, this, &BufferingController::showReconnecting);
    connect(m_session, &StreamSession::reconnected, this, [this] {
        const QString text = QStringLiteral("Reconnected to ") + m_session->stationUrl() + u'.';
        emit statusChanged(text);
        emit notice(text);
    });
    m_session->setCertificateTrust([this](const QString &hostPort) {
        return QByteArray::fromHex(m_settings.trustedCertificate(hostPort).toLatin1());
    });
    m_session->setAskForTitles(true);
}

BufferingController::~BufferingController() = default;

void BufferingController::loadFolders()
{
    m_folders.load();
}

void BufferingController::setBufferFolder(const QString &folder)
{
    m_folders.chooseBufferFolder(folder);
}

void BufferingController::setGameFolder(const QString &folder)
{
    m_folders.chooseGameFolder(folder);
}

QList<GameInstallation> BufferingController::findGames() const
{
    if (m_services.homeFolder.isEmpty())
        return {};
    const GameSearch search =
        GameInstallationFinder(m_services.homeFolder, m_services.environment).find();
    for (const QString &problem : search.problems)
        qWarning("Looking for the game: %s", qPrintable(problem));
    return search.installations;
}

QList<GameInstallation> BufferingController::gameToOffer()
{
    if (!m_folders.radioPath().isEmpty() || m_settings.discoveryAsked())
        return {};
    const QList<GameInstallation> found = findGames();
    if (found.size() != 1)
        return {};
    m_settings.setDiscoveryAsked(true);
    emit settingsChanged();
    return found;
}

bool BufferingController::isStreaming() const
{
    return m_session->isStreaming();
}

QString BufferingController::stationUrl() const
{
    return m_session->stationUrl();
}

void BufferingController::start(const QString &address, BufferModes::Choice fileSize,
                                bool autoStartGame)
{
    if (!m_folders.readyToStart())
        return;
    // "ftp://…" and the like are addresses, of what Tavrix does not play.
    static const QRegularExpression otherScheme(QStringLiteral("^\\s*([a-z][a-z0-9+.-]*)://"),
                                                QRegularExpression::CaseInsensitiveOption);
    const QString scheme = otherScheme.match(address).captured(1).toLower();
    if (!scheme.isEmpty() && scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        m_messages.tell(MessageIcon::Stop,
                        QStringLiteral("Tavrix plays only http:// and https:// addresses, not "
                                       "%1:// ones.\n\nExample: http://198.51.100.20:8000/stream")
                            .arg(scheme));
        return;
    }
    const StationAddressParse parsed = parseStationAddress(address);
    if (!parsed.address) {
        m_messages.tell(MessageIcon::Stop,
                        QStringLiteral("Please enter a valid URL.\n\n"
                                       "Example: http://198.51.100.20:8000/stream"));
        return;
    }
    if (!m_session->hasSocket()) {
        m_messages.tell(MessageIcon::Stop,
                        QStringLiteral("Tavrix cannot connect to a station: its network component "
                                       "could not be loaded.\n\n") +
                            m_socketLoadError);
        return;
    }

    m_folders.clearForStart();
    switch (fileSize.mode) {
    case BufferModes::Mode::Custom:
        if (fileSize.customItem >= 0 && fileSize.customItem < int(BufferModes::CustomSizes.size()))
            m_prebufferKB = BufferModes::CustomSizes[size_t(fileSize.customItem)].kilobytes;
        break;
    case BufferModes::Mode::Broadband:
        m_prebufferKB = BufferModes::BroadbandKB;
        break;
    case BufferModes::Mode::Modem:
        m_prebufferKB = BufferModes::ModemKB;
        break;
    }
    m_address = address;
    m_fileSize = fileSize;
    m_autoStartGame = autoStartGame;

    emit starting();
    emit statusChanged(QStringLiteral("Connecting to ") + parsed.url + QStringLiteral("..."));
    m_handOffFailureTold = false;
    m_handOff.startSession(autoStartGame);
    if (!m_tmrMain->isActive())
        m_tmrMain->start();
    m_pendingBytes = -1;
    m_conversionNote.clear();
    m_streamTitle.clear();
    m_titleDisplay.cancel();
    m_history.reset();
    m_session->start(*parsed.address, m_folders.bufferFolder(), m_prebufferKB);
}

void BufferingController::cancel()
{
    m_session->cancel();
    recordTitles();
    m_progressDisplay.cancel();
    m_handOff.streamEnded();
    emit statusChanged(QStringLiteral("Buffering of files interrupted by user."));
    m_handOff.endSession();
}

void BufferingController::shutDown()
{
    m_session->cancel();
    recordTitles();
    m_tmrMain->stop();
}

void BufferingController::tick()
{
    if (m_folders.bufferQuestionOpen())
        return;
    m_handOff.tick();
    emit ticked();
}

void BufferingController::showPendingProgress()
{
    if (m_pendingBytes < 0)
        return;
    const qint64 filled = std::exchange(m_pendingBytes, -1);
    if (m_handOff.showsBufferingStatus()) {
        emit statusChanged(QStringLiteral("Buffering ") +
                           QDir::toNativeSeparators(m_handOff.nextGameFile()) +
                           QStringLiteral(" [ ") + QString::number(filled / 1024) +
                           QStringLiteral(" KB ]") + m_conversionNote);
    }
    emit progressChanged(filled, m_pendingFileSize);
}

void BufferingController::sessionStopped(const SessionStop &stop)
{
    // The last progress is shown before the session's final word.
    m_progressDisplay.flush();
    recordTitles();
    // The session's final word stays in the status line; files already
    // written still go to the game.
    m_handOff.streamEnded();
    emit stopped(stop);
    if (stop.endsSession())
        m_handOff.endSession();
}

// Every title goes into the history, with the time it came; the reports and
// the history file take them at most every DisplayInterval, as the progress.
void BufferingController::showStreamTitle(const QString &title)
{
    if (!m_session->isStreaming())
        return;
    m_streamTitle = title;
    if (!title.isEmpty()) {
        if (!m_history)
            m_history.emplace(TitleHistory::defaultDataFolder(), m_session->stationUrl());
        m_unrecordedTitles.append({QDateTime::currentDateTimeUtc(), title});
    }
    m_titleDisplay.request();
}

// Writes the titles that came since the last time into the history.
void BufferingController::recordTitles()
{
    if (m_unrecordedTitles.isEmpty() || !m_history)
        return;
    if (m_history->append(std::exchange(m_unrecordedTitles, {})) == TitleHistory::Outcome::Failed)
        qWarning("Played titles not kept: %s", qPrintable(m_history->errorString()));
}

void BufferingController::showCurrentTitle()
{
    recordTitles();
    if (m_session->isStreaming())
        emit titleChanged(m_streamTitle);
}

BufferingController::PlayedTitles BufferingController::playedTitles(const QString &typedAddress)
{
    recordTitles();
    const QString station =
        m_session->isStreaming() ? m_session->stationUrl() : parseStationAddress(typedAddress).url;
    return {station, TitleHistory(TitleHistory::defaultDataFolder(), station).entries()};
}

std::optional<BufferingController::PlayedTitles> BufferingController::sessionTitles() const
{
    if (!m_history)
        return std::nullopt;
    return PlayedTitles{m_session->stationUrl(), m_history->entries()};
}

// A certificate that failed verification is trusted only on the user's word,
// for this host and port; a trusted one that changed is asked about again.
void BufferingController::askToTrustCertificate(const QString &host, quint16 port,
                                                const QString &reasons, const QByteArray &sha256)
{
    const QString hostPort = StreamSession::hostPort(host, port);
    const QString fingerprint = QString::fromLatin1(sha256.toHex(':').toUpper());
    const bool changed = !m_settings.trustedCertificate(hostPort).isEmpty();
    const QString text =
        (changed ? QStringLiteral("The certificate of %1 has CHANGED since you trusted it, and "
                                  "it cannot be verified: %2")
                 : QStringLiteral("The certificate of %1 cannot be verified: %2")) +
        QStringLiteral("\n\nSHA-256 fingerprint:\n%3\n\nTrust this certificate for %1?");
    if (m_messages.ask(MessageIcon::Exclamation, MessageButtons::YesNo,
                       text.arg(hostPort, reasons, fingerprint)) != MessageAnswer::Yes)
        return;
    m_settings.setTrustedCertificate(hostPort, QString::fromLatin1(sha256.toHex()));
    emit settingsChanged();
    if (!m_session->isStreaming())
        start(m_address, m_fileSize, m_autoStartGame);
}

void BufferingController::showReconnecting(int seconds, int attempt, const QString &why)
{
    m_progressDisplay.flush();
    const QString text = QStringLiteral("Connection to %1 lost; reconnecting in %2 s (attempt "
                                        "%3)…")
                             .arg(m_session->stationUrl())
                             .arg(seconds)
                             .arg(attempt);
    emit statusChanged(text);
    if (attempt == 1)
        emit notice(why + u' ' + text);
}

// For reports that arrive inside a timer or socket handler: the message box's
// own event loop then does not run inside that handler.
void BufferingController::tellLater(MessageIcon icon, const QString &text)
{
    QTimer::singleShot(0, this, [this, icon, text] { m_messages.tell(icon, text); });
}

void BufferingController::handOffBlocked(const QString &reason)
{
    emit gameNotReceivingAudio(reason);
    if (m_handOffFailureTold)
        return;
    m_handOffFailureTold = true;
    tellLater(MessageIcon::Exclamation,
              QStringLiteral("The game is not receiving new audio:\n\n%1\n\nMake sure the GTA "
                             "MP3s folder exists and can be written, or choose it again. The "
                             "buffered files wait and go to the game as soon as the folder takes "
                             "them.")
                  .arg(reason));
}

// The game starts the way it was installed (Steam, a Wine prefix, wine);
// the shell works that out from the executable's place.
void BufferingController::LaunchGame()
{
    const QString gameDirectory = GameFolder::gameDirectory(m_folders.radioPath());
    LaunchResult result{false, QStringLiteral("neither gta3.exe nor gta-vc.exe was found beside "
                                              "the GTA MP3s folder")};
    if (!m_folders.gameExe().isEmpty() && !gameDirectory.isEmpty())
        result = m_services.shell->launchProgram(m_folders.gameExe(), gameDirectory);
    emit welcomeChanged(result.started
                            ? QStringLiteral("Do not close this program until you have finished "
                                             "with your game or want to stop streaming the radio.")
                            : QStringLiteral("Could not start the game: ") + result.error);
}
