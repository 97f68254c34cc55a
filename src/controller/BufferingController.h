// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/TitleHistory.h"
#include "controller/BufferModes.h"
#include "controller/FolderRules.h"
#include "controller/Messages.h"
#include "controller/PlatformServices.h"
#include "game/GameInstallation.h"
#include "handoff/HandOffMachine.h"
#include "util/ThrottledCall.h"

#include <QObject>
#include <optional>

class QTimer;
class QWidget;
class Settings;
class StreamSession;
struct SessionStop;
struct StationHeaders;

// One buffering run after another: starts and cancels the stream session,
// hands its files to the game through the hand-off machine on a one-second
// tick, keeps the titles played and asks whether to trust a certificate. The
// folders and their rules are its FolderRules. It shows nothing itself: it
// reports what to show through signals, and asks its questions through the
// dialogs it is given.
class BufferingController final : public QObject
{
    Q_OBJECT

public:
    // The titles a station played, oldest first.
    struct PlayedTitles
    {
        QString station;
        QList<PlayedTitle> entries;
    };

    // Its message boxes belong to dialogOwner (none in tests without a window).
    BufferingController(const PlatformServices &services, QWidget *dialogOwner, Settings &settings,
                        QObject *parent = nullptr);
    ~BufferingController() override;

    // The folders stored, or the default buffer folder; reported through
    // bufferFolderChanged() and gameFolderChanged().
    void loadFolders();
    // A folder the user chose.
    void setBufferFolder(const QString &folder);
    void setGameFolder(const QString &folder);
    const QString &bufferFolder() const { return m_folders.bufferPath(); }
    const QString &gameFolder() const { return m_folders.radioPath(); }

    // The games installed for this user.
    QList<GameInstallation> findGames() const;
    // At the first run without a game folder: the one game found, to be
    // offered once (an empty list otherwise).
    QList<GameInstallation> gameToOffer();

    // Checks the folders and the address, empties the folders and connects.
    // starting() tells when it does; when it does not, the reason was told.
    void start(const QString &address, BufferModes::Choice fileSize, bool autoStartGame);
    // The user ends the session.
    void cancel();
    // The program ends: the session is closed without a word.
    void shutDown();
    // Whether the game is to be started once the first file reached it.
    void setAutoStartGame(bool autoStartGame) { m_autoStartGame = autoStartGame; }

    bool isStreaming() const;
    QString stationUrl() const;
    bool autoStartPending() const { return m_handOff.autoStartPending(); }
    // What the station plays now; stays after the session until the next.
    const QString &streamTitle() const { return m_streamTitle; }
    // The titles of the station playing, else those of `typedAddress`.
    PlayedTitles playedTitles(const QString &typedAddress);
    // The titles of this session's station; empty before its first title.
    std::optional<PlayedTitles> sessionTitles() const;

signals:
    void statusChanged(const QString &text);
    void welcomeChanged(const QString &text);
    void bufferFolderChanged(const QString &folder);
    void gameFolderChanged(const QString &folder);
    // Something was stored in the settings: they are to be written.
    void settingsChanged();
    // A session starts: the inputs are locked until it ends.
    void starting();
    void stationAnswered(const StationHeaders &headers);
    // `bytes` of `fileSizeBytes` are in the current buffer file; at most
    // every tenth of a second.
    void progressChanged(qint64 bytes, qint64 fileSizeBytes);
    // The station's current title (empty for none); at most every tenth of a
    // second, while streaming.
    void titleChanged(const QString &title);
    // The session stopped by itself: it is over unless a buffer file could
    // not be written (SessionStop::endsSession()), then it stays until
    // cancel().
    void stopped(const SessionStop &stop);
    // Worth a desktop notification.
    void notice(const QString &text);
    // The one-second tick has run.
    void ticked();
    // Finished buffer files cannot go into the game folder: the game gets no
    // new audio. `reason` names the file, the target and the system's reason.
    // Emitted at each new reason; a message box is shown once per session.
    void gameNotReceivingAudio(const QString &reason);

private:
    void tick();
    void showPendingProgress();
    void sessionStopped(const SessionStop &stop);
    void showStreamTitle(const QString &title);
    void showCurrentTitle();
    void recordTitles();
    void askToTrustCertificate(const QString &host, quint16 port, const QString &reasons,
                               const QByteArray &sha256);
    void showReconnecting(int seconds, int attempt, const QString &why);
    void tellLater(MessageIcon icon, const QString &text);
    void handOffBlocked(const QString &reason);
    void LaunchGame();

    PlatformServices m_services;
    Settings &m_settings;
    Messages m_messages;
    FolderRules m_folders;
    HandOffMachine m_handOff;
    StreamSession *m_session = nullptr;
    QString m_socketLoadError;
    QTimer *m_tmrMain = nullptr;

    // The last start, repeated once a certificate is trusted.
    QString m_address;
    BufferModes::Choice m_fileSize;
    bool m_autoStartGame = false;
    qint32 m_prebufferKB = BufferModes::ModemKB;
    bool m_handOffFailureTold = false; // in this session

    QString m_conversionNote; // " (AAC → MP3)" while a station is converted
    QString m_streamTitle;
    // The played titles of the session's station, made at its first title.
    std::optional<TitleHistory> m_history;
    QList<PlayedTitle> m_unrecordedTitles; // shown next, then written to m_history

    // The progress and the title are shown at most every tenth of a second;
    // the last progress waits in m_pendingBytes meanwhile.
    ThrottledCall m_progressDisplay;
    qint64 m_pendingBytes = -1;
    qint64 m_pendingFileSize = 0;
    ThrottledCall m_titleDisplay;
};
