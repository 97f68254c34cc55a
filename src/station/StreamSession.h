// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioPipeline.h"
#include "bufferfiles/BufferFolder.h"
#include "net/SocketComponent.h"
#include "station/ReconnectSchedule.h"
#include "station/ResponseParser.h"
#include "station/StationAddress.h"
#include "station/StationResolver.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

class QTimer;

// Why a session stopped, with the texts the window shows for it.
struct SessionStop
{
    enum class Reason {
        Refused,   // the answer was no stream: the session is over
        FileError, // a buffer file could not be written
        Closed,    // the station closed the connection before any audio
        Failed,    // the connection failed before any audio
    };
    Reason reason;
    QString status;  // for the status line
    QString message; // for a message box; empty when none is due

    // Only a file error leaves the session in place until cancel(): the
    // files written still go to the game.
    bool endsSession() const { return reason != Reason::FileError; }
};

// One station session: connects through the socket component (plain or TLS),
// follows redirects and playlists to the stream, and hands its audio to the
// audio path, which writes the numbered buffer files. It reports what happens
// through signals and leaves the showing to the window.
//
// A session that has received audio does not end when the connection does:
// it waits (ReconnectSchedule) and connects to the same address again, until
// cancel(). A first connection that never brought audio (refused, closed,
// failed) ends the session by itself.
class StreamSession final : public QObject, private SocketComponentListener
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultSilenceLimit{15000};

    // `socket` may be null (the component could not be loaded): start() then
    // must not be called; hasSocket() tells.
    explicit StreamSession(std::unique_ptr<SocketComponent> socket, QObject *parent = nullptr);
    ~StreamSession() override;

    bool hasSocket() const { return m_sck != nullptr; }

    // Connects to the station and writes its audio into `bufferFolder` in
    // files of `fileSizeKB` KB.
    void start(const StationAddress &address, const BufferFolder &bufferFolder, qint32 fileSizeKB);
    // Closes the connection and the current buffer file; no reconnection follows.
    void cancel();

    // Whether requests ask the station for titles in the audio (Icy-MetaData).
    void setAskForTitles(bool ask) { m_askForTitles = ask; }
    // How long a connected station may send nothing before it counts as lost.
    // An HLS station has a limit of its own, from this one (hlsSilenceLimit()).
    void setSilenceLimit(std::chrono::milliseconds limit);
    // How long an HLS station read through `playlist` (the body the station
    // answered with) may give no audio before it counts as lost.
    static std::chrono::milliseconds hlsSilenceLimit(std::chrono::milliseconds silenceLimit,
                                                     QByteArrayView playlist);
    // The waits before reconnecting, multiplied by `scale` (1 in the program).
    void setReconnectScale(double scale) { m_reconnectScale = scale; }
    // Where the fingerprint (SHA-256, 32 bytes) of a certificate the user
    // trusts comes from, by "host:port"; empty when none is trusted.
    void setCertificateTrust(std::function<QByteArray(const QString &hostPort)> trust)
    {
        m_trust = std::move(trust);
    }

    bool isStreaming() const { return m_streaming; }
    // The session's audio path: formats, titles and refusals are told there.
    AudioPipeline *audio() const { return m_audio; }
    bool isReconnecting() const { return m_reconnecting; }
    const QString &stationUrl() const { return m_resolver.origin().url; }
    const BufferFileWriter &bufferFile() const { return m_audio->bufferFile(); }

    // "host:port" as certificates are trusted by: an IPv6 host in brackets.
    static QString hostPort(const QString &host, quint16 port);

signals:
    // The header block has been read: the station is a stream. A station
    // without a name is named after the address's host.
    void headersRead(const StationHeaders &headers);
    // Audio has been written: `bytes` is what the current buffer file holds
    // with the last arrival, out of `fileSizeBytes`.
    void progress(qint64 bytes, qint64 fileSizeBytes);
    void stopped(const SessionStop &stop);
    // A TLS certificate failed verification; the session has stopped
    // (Refused, without a message). Trusting `sha256` and starting again
    // connects with it.
    void certificateRejected(const QString &host, quint16 port, const QString &reasons,
                             const QByteArray &sha256);
    // The connection was lost after audio: attempt `attempt` follows in
    // `seconds` seconds (unscaled). `why` tells what happened.
    void reconnecting(int seconds, int attempt, const QString &why);
    // Audio arrives again after a reconnection.
    void reconnected();

private:
    void Sck_Connect() override;
    void Sck_DataArrival(qint32 bytesTotal) override;
    void takeData();
    void Sck_Close() override;
    void Sck_Error(qint16 number, const QString &description, bool &cancelDisplay) override;
    void Sck_CertificateRejected(const QString &host, quint16 port, const QString &reasons,
                                 const QByteArray &sha256) override;

    void connectToCurrent();
    void readResponse(const QByteArray &data);
    void responseRefused();
    void collectBody(QByteArrayView data);
    bool bodyComplete() const;
    void decideSniffed(bool complete);
    void playlistRead();
    void beginAudio();
    void beginHls();
    void feedAudio(QByteArrayView audio);
    void audioArrived();
    void paceArrivals(qint64 bytes);
    void backlogDrained();
    void resumeReading();
    void takeHeldBack();
    void hlsFailed(const QString &reason);

    void attemptFailed(SessionStop::Reason reason, const QString &status, const QString &message);
    void refuseStation(const QString &message);
    void audioRefused(const QString &reason);
    void endOnFileError(const QString &reason);
    void connectionLost(const QString &why);
    void reconnectNow();
    void silenceLimitReached();
    void closeConnection();
    QString stationText() const;

    // What the bytes after the header block are taken for.
    enum class Body {
        None,     // still in the response
        Sniffing, // a stream whose first bytes may yet show a playlist
        Playlist, // collected for the playlist reader
        Audio     // handed to the audio path
    };

    std::unique_ptr<SocketComponent> m_sck;
    StationResolver m_resolver;
    BufferFolder m_bufferFolder;
    qint64 m_fileSizeBytes = 0;
    ResponseParser m_response;
    Body m_body = Body::None;
    QByteArray m_bodyBytes;
    AudioPipeline *m_audio;
    QTimer *m_watchdog;
    // Since the last byte from the station. The watchdog is not restarted on
    // every arrival (thousands a second on a fast station): when it fires
    // early it waits for the rest of the limit.
    QElapsedTimer m_sinceLastByte;
    std::chrono::milliseconds m_silenceLimit;
    std::chrono::milliseconds m_hlsSilenceLimit{0}; // of the HLS station being read
    QTimer *m_reconnectTimer;
    ReconnectSchedule m_schedule;
    double m_reconnectScale = 1.0;
    std::function<QByteArray(const QString &)> m_trust;
    bool m_askForTitles = false;
    bool m_streaming = false;
    bool m_filesStarted = false;
    bool m_hadAudio = false;     // this session has written audio: losses are retried
    bool m_reconnecting = false; // since a loss, until audio arrives again
    bool m_attemptOver = false;  // the current connection has been dealt with
    bool m_hls = false;          // the audio comes from an HLS playlist, not the connection
    bool m_fileFailed = false;   // a buffer file could not be written: nothing is retried
    // The audio path is full: arrivals are left in the connection until it
    // has converted what it holds.
    bool m_readPaused = false;
    // The connection's pace, measured over about a second, for the arrival
    // size (see paceArrivals()).
    QElapsedTimer m_paceWindow;
    qint64 m_paceBytes = 0;
    qint64 m_bytesPerSecond = 0;
};
