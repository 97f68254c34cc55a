// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/StreamSession.h"

#include "station/StationRequest.h"

#include <QTimer>
#include <algorithm>

namespace {

// Bytes after a stream's header block that decide whether it is audio or a
// playlist labelled as audio (or not labelled at all).
constexpr qsizetype SniffBytes = 1024;

// Control characters other than blanks and line ends: no playlist or page
// has them, audio nearly always does within its first bytes.
bool looksBinary(QByteArrayView bytes)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f') ||
            byte == 0x7f)
            return true;
    }
    return false;
}

const QString Unavailable = QStringLiteral("Server is unavailable.");

QString unavailableBecause(const QString &reason)
{
    return Unavailable + QStringLiteral("\n\n") + reason;
}

} // namespace

StreamSession::StreamSession(std::unique_ptr<SocketComponent> socket, QObject *parent)
    : QObject(parent)
    , m_sck(std::move(socket))
    , m_audio(new AudioPipeline(this))
    , m_watchdog(new QTimer(this))
    , m_silenceLimit(DefaultSilenceLimit)
    , m_reconnectTimer(new QTimer(this))
{
    connect(m_audio, &AudioPipeline::progress, this, &StreamSession::progress);
    connect(m_audio, &AudioPipeline::fileError, this, &StreamSession::endOnFileError);
    // HLS audio arrives through the audio path's own reader, not the socket.
    connect(m_audio, &AudioPipeline::progress, this, [this] {
        if (m_hls) {
            m_sinceLastByte.start();
            audioArrived();
        }
    });
    connect(m_audio, &AudioPipeline::backlogDrained, this, &StreamSession::backlogDrained);
    connect(m_audio, &AudioPipeline::hlsFailed, this, &StreamSession::hlsFailed);
    connect(m_audio, &AudioPipeline::refused, this, &StreamSession::audioRefused);
    m_watchdog->setSingleShot(true);
    connect(m_watchdog, &QTimer::timeout, this, &StreamSession::silenceLimitReached);
    m_reconnectTimer->setSingleShot(true);
    connect(m_reconnectTimer, &QTimer::timeout, this, &StreamSession::reconnectNow);
    if (m_sck)
        m_sck->setListener(this);
}

StreamSession::~StreamSession()
{
    if (m_sck) {
        m_sck->setListener(nullptr);
        m_sck->Close();
    }
}

QString StreamSession::hostPort(const QString &host, quint16 port)
{
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return shown + u':' + QString::number(port);
}

void StreamSession::setSilenceLimit(std::chrono::milliseconds limit)
{
    m_silenceLimit = limit;
}

// FFmpeg's HLS reader fetches a live playlist's segments as soon as they are
// listed and then waits for the next ones: converted audio comes in bursts,
// up to a target duration apart, more when a reload just misses a new
// segment. Twice the target duration, and never less than the silence limit,
// tells a stalled reader from that rhythm. A master playlist leaves the
// target duration to its variants, which only FFmpeg reads: twice the
// silence limit then allows target durations up to the silence limit (15 s),
// more than live stations use.
std::chrono::milliseconds StreamSession::hlsSilenceLimit(std::chrono::milliseconds silenceLimit,
                                                         QByteArrayView playlist)
{
    const std::optional<std::chrono::seconds> target = PlaylistParser::hlsTargetDuration(playlist);
    if (!target)
        return 2 * silenceLimit;
    return std::max(silenceLimit, std::chrono::milliseconds(2 * *target));
}

void StreamSession::start(const StationAddress &address, const BufferFolder &bufferFolder,
                          qint32 fileSizeKB)
{
    m_resolver = StationResolver(address);
    m_resolver.restart();
    m_bufferFolder = bufferFolder;
    m_fileSizeBytes = qint64(fileSizeKB) * 1024;
    m_schedule.reset();
    m_streaming = true;
    m_filesStarted = false;
    m_hadAudio = false;
    m_reconnecting = false;
    m_hls = false;
    m_fileFailed = false;
    connectToCurrent();
}

void StreamSession::cancel()
{
    m_reconnectTimer->stop();
    m_watchdog->stop();
    m_attemptOver = true;
    m_readPaused = false;
    if (m_sck)
        m_sck->Close();
    m_audio->stop();
    m_streaming = false;
    m_reconnecting = false;
}

void StreamSession::connectToCurrent()
{
    m_response.reset();
    m_body = Body::None;
    m_bodyBytes.clear();
    m_attemptOver = false;
    const StationAddress &address = m_resolver.current();
    if (address.tls) {
        const QByteArray trusted =
            m_trust ? m_trust(hostPort(address.host, address.port)) : QByteArray();
        m_sck->ConnectEncrypted(address.host, address.port, trusted);
    } else {
        m_sck->Connect(address.host, address.port);
    }
}

// The next connection is made from the event loop, never from inside the
// socket component's own report about the previous one.
void StreamSession::reconnectNow()
{
    if (m_streaming)
        connectToCurrent();
}

void StreamSession::closeConnection()
{
    m_attemptOver = true;
    m_readPaused = false;
    m_watchdog->stop();
    m_sck->Close();
}

QString StreamSession::stationText() const
{
    return m_resolver.origin().url;
}

void StreamSession::Sck_Connect()
{
    if (!m_streaming || m_attemptOver)
        return;
    if (!m_filesStarted) {
        if (!m_audio->startSession(m_bufferFolder, m_fileSizeBytes))
            return;
        m_filesStarted = true;
    }
    m_sinceLastByte.start();
    m_watchdog->start(m_silenceLimit);
    m_paceWindow.invalidate();
    m_paceBytes = 0;
    m_bytesPerSecond = 0;
    m_sck->SendData(stationRequest(m_resolver.current(), {m_askForTitles}));
}

void StreamSession::Sck_DataArrival(qint32)
{
    // Held back, the bytes stay in the connection; once its read buffer is
    // full, TCP slows the station down. resumeReading() takes them.
    if (m_readPaused)
        return;
    takeData();
}

void StreamSession::takeData()
{
    const QByteArray data = m_sck->GetData();
    if (!m_streaming || m_attemptOver || data.isEmpty())
        return;
    m_sinceLastByte.start();
    switch (m_body) {
    case Body::Audio:
        feedAudio(data);
        return;
    case Body::Sniffing:
    case Body::Playlist:
        collectBody(data);
        return;
    case Body::None:
        readResponse(data);
        return;
    }
}

void StreamSession::readResponse(const QByteArray &data)
{
    switch (m_response.feed(data)) {
    case ResponseParser::Outcome::NeedMore:
        return;
    case ResponseParser::Outcome::Refused:
        responseRefused();
        return;
    case ResponseParser::Outcome::HeadersRead:
    case ResponseParser::Outcome::Audio: {
        const QByteArray first = m_response.takeAudio();
        if (PlaylistParser::mayBePlaylist(m_response.contentType(), m_resolver.current().toUrl())) {
            m_body = Body::Sniffing;
            collectBody(first);
            return;
        }
        beginAudio();
        feedAudio(first);
        return;
    }
    }
}

void StreamSession::responseRefused()
{
    switch (m_response.refusal()) {
    case ResponseParser::Refusal::Redirect: {
        closeConnection();
        const QString error = m_resolver.redirect(m_response.location());
        if (!error.isEmpty()) {
            attemptFailed(SessionStop::Reason::Refused, QString(), unavailableBecause(error));
            return;
        }
        m_reconnectTimer->start(0);
        return;
    }
    case ResponseParser::Refusal::NotAStream:
        m_body = Body::Playlist;
        collectBody(m_response.takeBody());
        return;
    case ResponseParser::Refusal::HttpError:
        attemptFailed(
            SessionStop::Reason::Refused, QString(),
            unavailableBecause(QStringLiteral("The station answered: ") + m_response.statusText()));
        return;
    case ResponseParser::Refusal::None:
    case ResponseParser::Refusal::NotAResponse:
    case ResponseParser::Refusal::TooLarge:
        attemptFailed(SessionStop::Reason::Refused, QString(), Unavailable);
        return;
    }
}

// A body that may be a playlist is kept up to the playlist reader's limit;
// what lies beyond is never read.
void StreamSession::collectBody(QByteArrayView data)
{
    const qsizetype room = PlaylistParser::MaxBytes - m_bodyBytes.size();
    m_bodyBytes += data.first(std::min(room, data.size()));
    const bool full = m_bodyBytes.size() >= PlaylistParser::MaxBytes;
    if (m_body == Body::Sniffing) {
        decideSniffed(full);
        if (m_body == Body::Audio && data.size() > room)
            feedAudio(data.sliced(room));
        return;
    }
    if (full || bodyComplete())
        playlistRead();
}

// Whether the body collected is all there is to read, before the station
// closes: its Content-Length is reached, or it is a web page, which is
// refused whatever follows.
bool StreamSession::bodyComplete() const
{
    bool known = false;
    const qint64 length = m_response.header("content-length").toLongLong(&known);
    if (known && m_bodyBytes.size() >= length)
        return true;
    return PlaylistParser::recognise(m_response.contentType(), m_resolver.current().toUrl(),
                                     m_bodyBytes) == PlaylistParser::Kind::Html;
}

// `complete`: no more body bytes will be looked at (the station closed, or
// the limit is reached).
void StreamSession::decideSniffed(bool complete)
{
    const PlaylistParser::Kind kind = PlaylistParser::recognise(
        m_response.contentType(), m_resolver.current().toUrl(), m_bodyBytes);
    if (kind != PlaylistParser::Kind::NotAPlaylist) {
        m_body = Body::Playlist;
        if (complete)
            playlistRead();
        return;
    }
    if (!complete && m_bodyBytes.size() < SniffBytes && !looksBinary(m_bodyBytes))
        return;
    beginAudio();
    feedAudio(std::exchange(m_bodyBytes, QByteArray()));
}

void StreamSession::playlistRead()
{
    closeConnection();
    const QString address = m_resolver.current().url;
    switch (m_resolver.playlist(m_response.contentType(), m_bodyBytes)) {
    case StationResolver::PlaylistOutcome::Entries:
        m_reconnectTimer->start(0);
        return;
    case StationResolver::PlaylistOutcome::Hls:
        // HLS is decided here and only here: the audio path reads its
        // segments with its own reader.
        beginHls();
        return;
    case StationResolver::PlaylistOutcome::WebPage:
        attemptFailed(
            SessionStop::Reason::Refused, QString(),
            unavailableBecause(address + QStringLiteral(" is a web page, not a stream or a "
                                                        "playlist of streams.")));
        return;
    case StationResolver::PlaylistOutcome::NoEntries:
        attemptFailed(SessionStop::Reason::Refused, QString(),
                      unavailableBecause(QStringLiteral("The playlist at ") + address +
                                         QStringLiteral(" names no stream that answers.")));
        return;
    case StationResolver::PlaylistOutcome::TooDeep:
        attemptFailed(SessionStop::Reason::Refused, QString(),
                      unavailableBecause(QStringLiteral("The playlist at ") + address +
                                         QStringLiteral(" leads only to further playlists.")));
        return;
    case StationResolver::PlaylistOutcome::NotAPlaylist:
        attemptFailed(SessionStop::Reason::Refused, QString(), Unavailable);
        return;
    }
}

void StreamSession::beginAudio()
{
    m_body = Body::Audio;
    StationHeaders headers = m_response.headers();
    if (headers.name.isEmpty())
        headers.name = m_resolver.origin().host;
    emit headersRead(headers);
    m_audio->beginStream({m_response.contentType(), m_response.headers().bitrate,
                          QString::fromLatin1(m_response.header("icy-metaint"))});
}

void StreamSession::beginHls()
{
    m_body = Body::Audio;
    m_hls = true;
    StationHeaders headers = m_response.headers();
    if (headers.name.isEmpty())
        headers.name = m_resolver.origin().host;
    emit headersRead(headers);
    m_audio->beginHls(m_resolver.current().toUrl(), headers.bitrate);
    // The connection that brought the playlist is closed: the watchdog now
    // waits for the reader's audio.
    m_hlsSilenceLimit = hlsSilenceLimit(m_silenceLimit, m_bodyBytes);
    m_sinceLastByte.start();
    m_watchdog->start(m_hlsSilenceLimit);
}

// The HLS reader lost its playlist: as for a lost connection once it has
// brought audio, else the station is refused with the reader's reason.
void StreamSession::hlsFailed(const QString &reason)
{
    if (!m_streaming || !m_hls)
        return;
    m_hls = false;
    if (m_hadAudio)
        connectionLost(reason);
    else
        attemptFailed(SessionStop::Reason::Refused, QString(), unavailableBecause(reason));
}

void StreamSession::feedAudio(QByteArrayView audio)
{
    if (audio.isEmpty())
        return;
    audioArrived();
    m_audio->feed(audio);
    if (!m_audio->wantsMore() && !m_attemptOver)
        m_readPaused = true;
    if (m_sck && !m_attemptOver)
        paceArrivals(audio.size());
}

// A station at a real-time pace sends its audio in small pieces, often ten
// or more a second, and each would wake the program and redraw the progress
// (on X11 a redraw is a round trip to the server, which wakes two threads).
// Once the pace is known, an arrival waits for about 0.8 s of the stream,
// but never beyond the bytes that finish the current buffer file, so each
// file is finished, and handed off, when it would have been. The socket's
// fallback announces bytes that stop short a second after the last arrival;
// the margin keeps a station's uneven pace from reaching it.
void StreamSession::paceArrivals(qint64 bytes)
{
    constexpr qint64 GatherMs = 800;
    // Linux narrows the connection's receive window to a low-water mark
    // that does not fit its receive buffer twice over (128 KiB at first).
    constexpr qint64 MaxArrivalBytes = 32 * 1024;
    m_paceBytes += bytes;
    if (!m_paceWindow.isValid()) {
        m_paceWindow.start();
        m_paceBytes = 0;
    } else if (m_paceWindow.elapsed() >= 1000) {
        m_bytesPerSecond = m_paceBytes * 1000 / m_paceWindow.restart();
        m_paceBytes = 0;
    }
    const qint64 toFileEnd = m_audio->bytesToFileEnd();
    qint64 size = 1;
    if (m_bytesPerSecond > 0 && toFileEnd > 0)
        size = std::clamp<qint64>(
            std::min({m_bytesPerSecond * GatherMs / 1000, toFileEnd, MaxArrivalBytes}), 1,
            MaxArrivalBytes);
    m_sck->SetArrivalSize(qint32(size));
}

void StreamSession::backlogDrained()
{
    if (!std::exchange(m_readPaused, false))
        return;
    // The time held back was not the station's silence.
    m_sinceLastByte.start();
    // What waits in the connection was announced while held back and gets no
    // arrival of its own: it is taken from the event loop.
    QMetaObject::invokeMethod(this, &StreamSession::resumeReading, Qt::QueuedConnection);
}

void StreamSession::resumeReading()
{
    if (!m_readPaused && m_streaming && !m_attemptOver && m_body == Body::Audio)
        takeData();
}

// The connection ends while bytes are held back in it: they are audio like
// any other, taken whatever the audio path holds before the end is dealt
// with. The read buffer bounds them.
void StreamSession::takeHeldBack()
{
    for (QByteArray data = m_sck->GetData(); !data.isEmpty() && !m_attemptOver;
         data = m_sck->GetData())
        feedAudio(data);
    m_readPaused = false;
}

void StreamSession::audioArrived()
{
    m_hadAudio = true;
    if (m_reconnecting) {
        m_reconnecting = false;
        m_schedule.reset();
        emit reconnected();
    }
}

// A connection that brought no stream. A session that has had audio tries
// again later; otherwise the next playlist entry is tried, and when none is
// left the session ends with `message` (Refused) or `status`.
void StreamSession::attemptFailed(SessionStop::Reason reason, const QString &status,
                                  const QString &message)
{
    closeConnection();
    if (m_hadAudio) {
        connectionLost(status.isEmpty()
                           ? QStringLiteral("Could not connect to ") + stationText() + u'.'
                           : status);
        return;
    }
    if (m_resolver.nextEntry()) {
        m_reconnectTimer->start(0);
        return;
    }
    if (reason == SessionStop::Reason::Refused) {
        refuseStation(message);
        return;
    }
    // A station never heard is not waited for: the session is over.
    m_audio->stop();
    m_streaming = false;
    emit stopped({reason, status, message});
}

void StreamSession::refuseStation(const QString &message)
{
    // The connection and the empty first file are closed before anyone is
    // told, so that nothing more arrives while a message is open.
    closeConnection();
    m_audio->stop();
    m_streaming = false;
    emit stopped({SessionStop::Reason::Refused,
                  QStringLiteral("Could not connect to ") + stationText() + QStringLiteral("."),
                  message});
}

// The station's audio cannot be converted: the session ends as for a
// station that is not available.
void StreamSession::audioRefused(const QString &reason)
{
    const QString url = stationText();
    cancel();
    emit stopped({SessionStop::Reason::Refused,
                  QStringLiteral("Could not connect to ") + url + QStringLiteral("."),
                  unavailableBecause(reason)});
}

void StreamSession::endOnFileError(const QString &reason)
{
    m_fileFailed = true;
    m_hls = false;
    closeConnection();
    m_reconnectTimer->stop();
    m_reconnecting = false;
    emit stopped({SessionStop::Reason::FileError,
                  QStringLiteral("Buffering stopped: a buffer file could not be written."),
                  QStringLiteral("Buffering has stopped because a buffer file could not be "
                                 "written:\n\n") +
                      reason});
}

// The current file is finished so that the game gets it; the next
// connection's audio goes on with the next number.
void StreamSession::connectionLost(const QString &why)
{
    closeConnection();
    m_audio->endStream();
    if (!m_streaming || m_fileFailed)
        return;
    m_reconnecting = true;
    const std::chrono::seconds wait = m_schedule.next();
    m_resolver.restart();
    emit reconnecting(int(wait.count()), m_schedule.attempts(), why);
    m_reconnectTimer->start(
        std::chrono::milliseconds(qint64(double(wait.count()) * 1000.0 * m_reconnectScale)));
}

// An HLS station counts as silent when its reader gives no audio; the
// connection that brought its playlist is closed by then.
void StreamSession::silenceLimitReached()
{
    if (!m_streaming || (m_attemptOver && !m_hls))
        return;
    const std::chrono::milliseconds limit = m_hls ? m_hlsSilenceLimit : m_silenceLimit;
    // Held back by the audio path's own backlog, the station is not silent.
    if (m_readPaused) {
        m_watchdog->start(limit);
        return;
    }
    const std::chrono::milliseconds silent(m_sinceLastByte.elapsed());
    if (silent < limit) {
        m_watchdog->start(limit - silent);
        return;
    }
    const QString status =
        QStringLiteral("The station ") + stationText() + QStringLiteral(" stopped sending.");
    if (m_hls) {
        m_hls = false;
    } else {
        if (m_body == Body::Sniffing)
            decideSniffed(true);
        if (m_attemptOver)
            return;
    }
    if (m_hadAudio)
        connectionLost(status);
    else
        attemptFailed(SessionStop::Reason::Closed, status, QString());
}

void StreamSession::Sck_Close()
{
    if (!m_streaming || m_attemptOver)
        return;
    if (m_readPaused)
        takeHeldBack();
    if (m_body == Body::Playlist) {
        playlistRead();
        return;
    }
    if (m_body == Body::Sniffing)
        decideSniffed(true);
    if (m_attemptOver)
        return;
    const QString status =
        QStringLiteral("The station ") + stationText() + QStringLiteral(" closed the connection.");
    if (m_hadAudio)
        connectionLost(status);
    else
        attemptFailed(SessionStop::Reason::Closed, status, QString());
}

void StreamSession::Sck_Error(qint16, const QString &description, bool &cancelDisplay)
{
    // The component's own message would say only the system's reason: a
    // first connection's failure is told with the station it concerns, and
    // while other addresses are left to try, or a lost station is being
    // retried, nothing interrupts.
    cancelDisplay = true;
    if (!m_streaming || m_attemptOver)
        return;
    const QString status =
        QStringLiteral("The connection to ") + stationText() + QStringLiteral(" failed.");
    if (m_hadAudio)
        connectionLost(status);
    else
        attemptFailed(SessionStop::Reason::Failed, status,
                      QStringLiteral("Could not connect to ") + stationText() +
                          QStringLiteral(": ") + description);
}

void StreamSession::Sck_CertificateRejected(const QString &host, quint16 port,
                                            const QString &reasons, const QByteArray &sha256)
{
    // A station being retried fails like any other attempt (Sck_Error follows).
    if (!m_streaming || m_attemptOver || m_hadAudio)
        return;
    closeConnection();
    m_audio->stop();
    m_streaming = false;
    emit stopped({SessionStop::Reason::Refused,
                  QStringLiteral("The certificate of ") + hostPort(host, port) +
                      QStringLiteral(" is not trusted."),
                  QString()});
    emit certificateRejected(host, port, reasons, sha256);
}
