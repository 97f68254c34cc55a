// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioPipeline.h"

#include "audio/HlsTranscoder.h"
#include "audio/Mp3FrameWriter.h"
#include "audio/Mp3Transcoder.h"
#include "audio/StreamTitle.h"
#include "audio/TranscodingWorker.h"
#include "util/LeadingNumber.h"

extern "C" {
#include <libavutil/log.h>
}

#include <mutex>

namespace {

// FFmpeg reports every damaged frame of a station on stderr; only errors
// are worth that.
void quietenFfmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

bool isConvertible(AudioFormatSniffer::Format format)
{
    using Format = AudioFormatSniffer::Format;
    switch (format) {
    case Format::Mp2:
    case Format::Aac:
    case Format::OggVorbis:
    case Format::Opus:
    case Format::OggFlac:
    case Format::Flac:
        return true;
    case Format::Unknown:
    case Format::Mp3:
    case Format::Ogg:
        return false;
    }
    return false;
}

int stationKbps(const QString &bitrate)
{
    return int(leadingNumber(bitrate));
}

} // namespace

AudioPipeline::AudioPipeline(QObject *parent)
    : QObject(parent)
{
    quietenFfmpeg();
}

AudioPipeline::~AudioPipeline() = default;

bool AudioPipeline::startSession(const BufferFolder &bufferFolder, qint64 fileSizeBytes)
{
    discardAll();
    m_bufferFile.close();
    m_bufferFile.resetBytes();
    m_mp3Files.restart();
    m_bufferFolder = bufferFolder;
    m_fileSizeBytes = fileSizeBytes;
    m_fileOpened = false;
    m_mode = Mode::Idle;
    m_backlogged = false;
    m_writingStream = m_stream + 1;
    return true;
}

void AudioPipeline::beginStream(const AudioStreamInfo &info)
{
    if (m_mode != Mode::Idle)
        endStream();
    ++m_stream;
    m_info = info;
    m_demuxer = IcyMetadataDemuxer(
        IcyMetadataDemuxer::metaIntFromHeader(info.metaInt.toLatin1()).value_or(0));
    m_sniffer = AudioFormatSniffer(info.contentType);
    m_held.clear();
    m_lastBlock.clear();
    m_lastTitle.clear();
    m_mode = Mode::Sniffing;
}

void AudioPipeline::beginHls(const QUrl &playlist, const QString &bitrate)
{
    if (m_mode != Mode::Idle)
        endStream();
    ++m_stream;
    m_info = {QString(), bitrate, QString()};
    m_lastTitle.clear();
    m_mode = Mode::Hls;
    const int stream = m_stream;
    m_hls = std::make_unique<HlsTranscoder>(playlist,
                                            Mp3Transcoder::mp3BitrateFor(stationKbps(bitrate)));
    connect(m_hls.get(), &HlsTranscoder::mp3Frames, this, [this, stream](const QByteArrayList &f) {
        output(stream, {Output::Kind::Frames, f});
    });
    connect(m_hls.get(), &HlsTranscoder::formatKnown, this,
            [this](const QString &codec) { emit formatKnown(codec, true); });
    connect(m_hls.get(), &HlsTranscoder::titleFound, this, [this](const QString &title) {
        // Stations repeat the tag with every segment.
        if (title == m_lastTitle)
            return;
        m_lastTitle = title;
        emit titleChanged(title, {});
    });
    connect(m_hls.get(), &HlsTranscoder::failed, this, [this, stream](const QString &reason) {
        // The transcoder cannot be destroyed from within its own signal.
        disconnect(m_hls.get(), nullptr, this, nullptr);
        m_hls.release()->deleteLater();
        m_mode = Mode::Idle;
        output(stream, {Output::Kind::EndOfStream, {}});
        emit hlsFailed(reason);
    });
    m_hls->start();
}

void AudioPipeline::feed(QByteArrayView data)
{
    if (data.isEmpty() || m_mode == Mode::Idle || m_mode == Mode::Hls)
        return;
    // The hot path: plain MP3 of the stream being written goes to the file
    // straight from the arrival, without a copy.
    if (writingNow() && m_demuxer.passesThrough()) {
        writeRaw(data);
        return;
    }
    QByteArray audio;
    if (m_demuxer.passesThrough()) {
        audio = data.toByteArray();
    } else {
        // The audio runs between the title blocks stay where they arrived:
        // the demuxer points at them, and the file gets them in gathered
        // writes without a copy. The list keeps its room between arrivals.
        m_audioRuns.resize(0);
        m_demuxer.feed(data, m_audioRuns);
        takeTitles();
        if (m_audioRuns.isEmpty() || m_mode == Mode::Idle)
            return;
        if (writingNow()) {
            writeRaw(m_audioRuns);
            return;
        }
        for (const QByteArrayView run : std::as_const(m_audioRuns))
            audio.append(run);
    }
    switch (m_mode) {
    case Mode::Sniffing:
        m_held += audio;
        if (m_sniffer.feed(audio))
            accept(m_sniffer.format());
        return;
    case Mode::PassThrough:
        output(m_stream, {Output::Kind::Raw, {audio}});
        return;
    case Mode::Converting:
        feedConverter(audio);
        return;
    case Mode::Idle:
    case Mode::Hls:
        return;
    }
}

void AudioPipeline::feedConverter(const QByteArray &audio)
{
    TranscodingWorker *worker = m_workers.at(m_stream).get();
    worker->feed(audio);
    m_backlogged = worker->isBacklogged();
}

qint64 AudioPipeline::backlogBytes() const
{
    const auto found = m_workers.find(m_stream);
    return m_mode == Mode::Converting && found != m_workers.end() ? found->second->queuedBytes()
                                                                  : 0;
}

// The current connection's audio is no longer held back.
void AudioPipeline::releaseBacklog()
{
    if (std::exchange(m_backlogged, false))
        emit backlogDrained();
}

void AudioPipeline::takeTitles()
{
    const QList<IcyMetadataBlock> blocks = m_demuxer.takeBlocks();
    for (const IcyMetadataBlock &block : blocks) {
        // Stations repeat the same block until the title changes.
        if (block.bytes == m_lastBlock)
            continue;
        m_lastBlock = block.bytes;
        const StreamTitle title = StreamTitle::fromMetadata(block.bytes);
        if (!title.hasTitle || title.title == m_lastTitle)
            continue;
        m_lastTitle = title.title;
        emit titleChanged(title.title, title.url);
    }
}

// The format is decided: what was held back goes its way.
void AudioPipeline::accept(AudioFormatSniffer::Format format)
{
    const QByteArray held = std::exchange(m_held, {});
    if (format == AudioFormatSniffer::Format::Mp3) {
        m_mode = Mode::PassThrough;
        emit formatKnown(AudioFormatSniffer::name(format), false);
        output(m_stream, {Output::Kind::Raw, {held}});
        return;
    }
    if (!isConvertible(format)) {
        refuse(m_stream, format == AudioFormatSniffer::Format::Unknown
                             ? (m_info.contentType.isEmpty() ? QStringLiteral("unrecognised")
                                                             : m_info.contentType)
                             : AudioFormatSniffer::name(format));
        return;
    }
    startConverter();
    feedConverter(held);
}

void AudioPipeline::startConverter()
{
    m_mode = Mode::Converting;
    const int stream = m_stream;
    auto worker = std::make_unique<TranscodingWorker>(
        Mp3Transcoder::mp3BitrateFor(stationKbps(m_info.bitrate)));
    TranscodingWorker *w = worker.get();
    m_workers[stream] = std::move(worker);
    connect(w, &TranscodingWorker::mp3Frames, this, [this, stream](const QByteArrayList &frames) {
        ++m_inWorkerSignal;
        output(stream, {Output::Kind::Frames, frames});
        --m_inWorkerSignal;
    });
    connect(w, &TranscodingWorker::formatKnown, this, [this, stream](const QString &codec) {
        ++m_inWorkerSignal;
        m_convertedCodecs.insert(stream, codec);
        emit formatKnown(codec, true);
        --m_inWorkerSignal;
    });
    connect(w, &TranscodingWorker::backlogDrained, this, [this, stream] {
        ++m_inWorkerSignal;
        if (stream == m_stream && m_mode == Mode::Converting)
            releaseBacklog();
        --m_inWorkerSignal;
    });
    connect(w, &TranscodingWorker::finished, this, [this, stream] {
        ++m_inWorkerSignal;
        discardWorker(stream);
        m_convertedCodecs.remove(stream);
        output(stream, {Output::Kind::EndOfStream, {}});
        --m_inWorkerSignal;
    });
    connect(w, &TranscodingWorker::failed, this, [this, stream](const QString &reason) {
        ++m_inWorkerSignal;
        discardWorker(stream);
        const bool current = stream == m_stream && m_mode == Mode::Converting;
        if (current || !m_convertedCodecs.contains(stream)) {
            // The converter gave up on the connection's audio, or never
            // found any in it.
            refuse(stream,
                   m_convertedCodecs.value(stream, AudioFormatSniffer::name(m_sniffer.format())),
                   reason);
        } else {
            // Only the end of an earlier connection was lost; what it gave
            // before stays in the files.
            output(stream, {Output::Kind::EndOfStream, {}});
        }
        m_convertedCodecs.remove(stream);
        --m_inWorkerSignal;
    });
}

void AudioPipeline::refuse(int stream, const QString &what, const QString &detail)
{
    if (stream == m_stream) {
        m_mode = Mode::Idle;
        releaseBacklog();
    }
    m_held.clear();
    discardWorker(stream);
    output(stream, {Output::Kind::EndOfStream, {}});
    QString message =
        QStringLiteral("The station sends %1 audio, which Tavrix cannot convert.").arg(what);
    if (!detail.isEmpty())
        message += QStringLiteral(" (") + detail + u')';
    emit refused(message);
}

void AudioPipeline::endStream()
{
    const int stream = m_stream;
    switch (m_mode) {
    case Mode::Idle:
        return;
    case Mode::Sniffing:
        if (m_held.isEmpty()) {
            m_mode = Mode::Idle;
            output(stream, {Output::Kind::EndOfStream, {}});
            return;
        }
        // What came decides: a short stream labelled MP3 is still MP3.
        m_sniffer.finish();
        accept(m_sniffer.format());
        if (m_mode == Mode::Idle)
            return;
        endStream();
        return;
    case Mode::PassThrough:
        m_mode = Mode::Idle;
        output(stream, {Output::Kind::EndOfStream, {}});
        return;
    case Mode::Converting:
        // The worker writes what it still holds, then the file is finished.
        m_mode = Mode::Idle;
        releaseBacklog();
        m_workers.at(stream)->finish();
        return;
    case Mode::Hls:
        m_mode = Mode::Idle;
        m_hls.reset();
        output(stream, {Output::Kind::EndOfStream, {}});
        return;
    }
}

void AudioPipeline::stop()
{
    if (m_mode == Mode::Sniffing) {
        m_sniffer.finish();
        if (m_sniffer.format() == AudioFormatSniffer::Format::Mp3)
            output(m_stream, {Output::Kind::Raw, {std::exchange(m_held, {})}});
    }
    if (!finishMp3())
        failed();
    m_mode = Mode::Idle;
    discardAll();
    m_bufferFile.close();
    m_audioRuns = QList<QByteArrayView>();
    releaseBacklog();
}

// The files take one connection's audio after the other: audio of a later
// connection waits while an earlier one is still being converted.
void AudioPipeline::output(int stream, Output out)
{
    if (stream != m_writingStream) {
        if (stream > m_writingStream)
            m_pending[stream].append(std::move(out));
        return;
    }
    if (out.kind != Output::Kind::EndOfStream) {
        writeNow(out);
        return;
    }
    endOf(stream);
}

// The MP3 held back for a frame's start that has not wholly arrived goes
// into the current file: the stream ends there.
bool AudioPipeline::finishMp3()
{
    if (m_bufferFile.isOpen())
        return m_mp3Files.finish();
    m_mp3Files.restart();
    return true;
}

void AudioPipeline::endOf(int stream)
{
    if (!finishMp3() || (m_fileOpened && m_bufferFile.isOpen() && m_bufferFile.bytes() > 0 &&
                         !m_bufferFile.startNextFile())) {
        failed();
        return;
    }
    m_writingStream = stream + 1;
    const QList<Output> waiting = m_pending.take(m_writingStream);
    for (const Output &out : waiting) {
        if (out.kind == Output::Kind::EndOfStream) {
            endOf(m_writingStream);
            return;
        }
        writeNow(out);
    }
}

bool AudioPipeline::ensureFile()
{
    if (m_fileOpened)
        return m_bufferFile.isOpen();
    m_fileOpened = true;
    if (!m_bufferFile.openFirst(m_bufferFolder)) {
        failed();
        return false;
    }
    return true;
}

void AudioPipeline::writeNow(const Output &out)
{
    if (out.kind == Output::Kind::Raw) {
        for (const QByteArray &piece : out.pieces)
            writeRaw(piece);
        return;
    }
    qint64 total = 0;
    for (const QByteArray &piece : out.pieces)
        total += piece.size();
    if (total == 0 || !ensureFile())
        return;
    const qint64 before = m_bufferFile.bytes();
    const quint32 counter = m_bufferFile.counter();
    if (!Mp3FrameWriter(m_bufferFile).append(out.pieces, m_fileSizeBytes)) {
        failed();
        return;
    }
    written(before + total, counter);
}

void AudioPipeline::writeRaw(std::span<const QByteArrayView> runs)
{
    qint64 total = 0;
    for (const QByteArrayView run : runs)
        total += run.size();
    if (total == 0 || !ensureFile())
        return;
    const qint64 before = m_bufferFile.bytes();
    const quint32 counter = m_bufferFile.counter();
    if (!m_mp3Files.append(runs, m_fileSizeBytes)) {
        failed();
        return;
    }
    written(before + total, counter);
}

qint64 AudioPipeline::bytesToFileEnd() const
{
    // The frame that does not fit is known once its four header bytes are.
    constexpr qint64 HeaderBytes = 4;
    if (!writingNow() || !m_bufferFile.isOpen())
        return 0;
    return std::max<qint64>(0, m_fileSizeBytes - m_bufferFile.bytes() - m_mp3Files.heldBytes()) +
           HeaderBytes;
}

// What the current file holds with this write; a file just finished is shown
// full before the next one begins.
void AudioPipeline::written(qint64 filled, quint32 counterBefore)
{
    const bool nextBegun = m_bufferFile.counter() != counterBefore;
    emit progress(nextBegun && m_bufferFile.bytes() == 0 ? filled : m_bufferFile.bytes(),
                  m_fileSizeBytes);
}

void AudioPipeline::discardWorker(int stream)
{
    const auto found = m_workers.find(stream);
    if (found == m_workers.end())
        return;
    std::unique_ptr<TranscodingWorker> worker = std::move(found->second);
    m_workers.erase(found);
    disconnect(worker.get(), nullptr, this, nullptr);
    // A worker cannot be destroyed from within its own signal.
    if (m_inWorkerSignal > 0)
        worker.release()->deleteLater();
}

void AudioPipeline::discardAll()
{
    while (!m_workers.empty())
        discardWorker(m_workers.begin()->first);
    m_hls.reset();
    m_convertedCodecs.clear();
    m_pending.clear();
    m_held.clear();
    m_writingStream = m_stream + 1;
}

void AudioPipeline::failed()
{
    const QString reason = m_bufferFile.errorString();
    m_mp3Files.restart();
    m_mode = Mode::Idle;
    discardAll();
    m_bufferFile.close();
    releaseBacklog();
    emit fileError(reason);
}
