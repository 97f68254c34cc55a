// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp3Transcoder.h"

#include "audio/AudioDecoder.h"
#include "audio/FfmpegHandles.h"
#include "audio/Mp3Encoder.h"

#include <algorithm>
#include <array>

namespace {

// The demuxers a station's bytes may be read with. Anything else (a web page,
// an image, a video container) is refused rather than handed to a demuxer
// that was never meant for untrusted live input.
const std::array<const char *, 7> AllowedDemuxers = {"aac", "loas",     "ogg",   "flac",
                                                     "mp3", "matroska", "mpegts"};

constexpr int ReadBufferBytes = 4096;

bool isAllowed(const AVInputFormat *format)
{
    // A demuxer's name may list several, as in "matroska,webm".
    const QList<QByteArray> names = QByteArray(format->name).split(',');
    return std::any_of(names.begin(), names.end(), [](const QByteArray &name) {
        return std::find(AllowedDemuxers.begin(), AllowedDemuxers.end(), name) !=
               AllowedDemuxers.end();
    });
}

} // namespace

int Mp3Transcoder::mp3BitrateFor(int stationKbps)
{
    if (stationKbps <= 0)
        return 192;
    for (const int rate : {128, 160, 192, 224, 256, 320}) {
        if (rate >= stationKbps)
            return rate;
    }
    return 320;
}

Mp3Transcoder::Mp3Transcoder(int bitrateKbps)
    : m_bitrateKbps(bitrateKbps)
{}

Mp3Transcoder::~Mp3Transcoder()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_inputChanged.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool Mp3Transcoder::feed(QByteArrayView bytes)
{
    std::unique_lock lock(m_mutex);
    if (!m_error.isEmpty())
        return false;
    if (m_inputEnded) {
        m_error = QStringLiteral("Audio fed after the end of the stream");
        return false;
    }
    if (bytes.isEmpty())
        return true;
    // Bytes the demuxer has read are dropped before the new ones go in, so
    // the queue holds one arrival or little more.
    m_input.remove(0, m_inputPos);
    m_inputPos = 0;
    m_input.append(bytes.data(), bytes.size());
    if (!m_thread.joinable())
        m_thread = std::thread(&Mp3Transcoder::run, this);
    m_waitingForInput = false;
    m_inputChanged.notify_all();
    return waitForDemuxer(lock);
}

bool Mp3Transcoder::finish()
{
    std::unique_lock lock(m_mutex);
    if (!m_thread.joinable() && m_error.isEmpty())
        m_error = QStringLiteral("The stream ended before any audio arrived");
    m_inputEnded = true;
    m_waitingForInput = false;
    m_inputChanged.notify_all();
    return waitForDemuxer(lock);
}

QByteArrayList Mp3Transcoder::takeFrames()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_frames, {});
}

QString Mp3Transcoder::codecName() const
{
    std::lock_guard lock(m_mutex);
    return m_codecName;
}

bool Mp3Transcoder::hasFailed() const
{
    std::lock_guard lock(m_mutex);
    return !m_error.isEmpty();
}

QString Mp3Transcoder::errorString() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

// Waits until the demuxer thread has ended or waits, with nothing left to
// read, for the next arrival.
bool Mp3Transcoder::waitForDemuxer(std::unique_lock<std::mutex> &lock)
{
    if (m_thread.joinable()) {
        m_demuxerWaiting.wait(
            lock, [this] { return m_done || (m_waitingForInput && m_inputPos == m_input.size()); });
    }
    return m_error.isEmpty();
}

void Mp3Transcoder::run()
{
    convert();
    std::lock_guard lock(m_mutex);
    m_done = true;
    m_demuxerWaiting.notify_all();
}

void Mp3Transcoder::fail(const QString &reason)
{
    std::lock_guard lock(m_mutex);
    if (m_error.isEmpty() && !m_stopping)
        m_error = reason;
}

void Mp3Transcoder::publish(QByteArrayList frames, const QString &codecName)
{
    std::lock_guard lock(m_mutex);
    m_frames.append(std::move(frames));
    m_codecName = codecName;
}

// The demuxer thread: probe, then demux, decode and encode until the input
// ends, the conversion fails or the transcoder is destroyed.
void Mp3Transcoder::convert()
{
    Mp3Encoder encoder;
    if (!encoder.open(m_bitrateKbps)) {
        fail(encoder.errorString());
        return;
    }
    AVFormatContext *format = nullptr;
    if (!openDemuxer(format))
        return;
    AVIOContext *io = format->pb;

    AudioDecoder decoder(encoder);
    ffmpeg::PacketPtr packet(av_packet_alloc());
    qint64 readAtLastAudio = 0;
    qint64 decodedBefore = 0;
    qint64 positionAtLastError = -1;
    bool ok = true;
    for (;;) {
        const int ret = av_read_frame(format, packet.get());
        if (ret == AVERROR_EOF || ret == AVERROR_EXIT)
            break;
        std::unique_lock lock(m_mutex);
        const bool stopping = m_stopping;
        const bool allRead = m_inputEnded && m_inputPos == m_input.size();
        const qint64 bytesRead = m_bytesRead;
        lock.unlock();
        if (stopping)
            break;
        if (ret < 0) {
            // A damaged stretch: the demuxer resynchronises on the next read.
            // An error that does not move on through the input would repeat
            // for ever.
            if (allRead)
                break;
            if (avio_tell(io) == positionAtLastError) {
                fail(QStringLiteral("The stream cannot be read: %1").arg(ffmpeg::errorText(ret)));
                ok = false;
                break;
            }
            positionAtLastError = avio_tell(io);
            continue;
        }
        const bool decoded = decoder.decode(format, packet.get());
        av_packet_unref(packet.get());
        if (!decoded) {
            fail(decoder.errorString());
            ok = false;
            break;
        }
        if (decoder.decodedFrames() != decodedBefore) {
            decodedBefore = decoder.decodedFrames();
            readAtLastAudio = bytesRead;
        } else if (bytesRead - readAtLastAudio > MaxBytesWithoutAudio) {
            fail(QStringLiteral("No decodable audio in %1 KiB of the stream")
                     .arg(MaxBytesWithoutAudio / 1024));
            ok = false;
            break;
        }
        publish(encoder.takeFrames(), decoder.codecName());
    }

    std::unique_lock lock(m_mutex);
    const bool ended = m_inputEnded && !m_stopping;
    const bool stopping = m_stopping;
    lock.unlock();
    if (ok && !ended && !stopping)
        fail(QStringLiteral("The %1 demuxer stopped in the middle of the stream")
                 .arg(QString::fromUtf8(format->iformat->name)));
    if (ok && ended) {
        if (decoder.decodedFrames() == 0)
            fail(QStringLiteral("The stream ended before any audio could be decoded"));
        else if (!decoder.flush())
            fail(decoder.errorString());
        else if (!encoder.flush())
            fail(encoder.errorString());
        publish(encoder.takeFrames(), decoder.codecName());
    }
    avformat_close_input(&format);
    av_freep(&io->buffer);
    avio_context_free(&io);
}

// Recognises the format within ProbeLimitBytes and opens its demuxer over the
// queued input. False (and the reason recorded) when that fails.
bool Mp3Transcoder::openDemuxer(AVFormatContext *&format)
{
    auto *buffer = static_cast<unsigned char *>(av_malloc(ReadBufferBytes));
    AVIOContext *io =
        avio_alloc_context(buffer, ReadBufferBytes, 0, this, &readCallback, nullptr, nullptr);
    const auto freeIo = [&io] {
        av_freep(&io->buffer);
        avio_context_free(&io);
    };

    const AVInputFormat *input = nullptr;
    int ret = av_probe_input_buffer2(io, &input, "", nullptr, 0, ProbeLimitBytes);
    if (ret < 0 || !input) {
        if (ret != AVERROR_EXIT) {
            const bool endedEarly = [this] {
                std::lock_guard lock(m_mutex);
                return m_inputEnded && m_bytesRead < ProbeLimitBytes;
            }();
            fail(endedEarly
                     ? QStringLiteral("The stream ended before its audio format was recognised")
                     : QStringLiteral("No audio format recognised in the first %1 KiB of the "
                                      "stream")
                           .arg(ProbeLimitBytes / 1024));
        }
        freeIo();
        return false;
    }
    if (!isAllowed(input)) {
        fail(QStringLiteral("The stream is %1, not audio that can be converted")
                 .arg(QString::fromUtf8(input->long_name ? input->long_name : input->name)));
        freeIo();
        return false;
    }

    format = avformat_alloc_context();
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    ret = avformat_open_input(&format, nullptr, input, nullptr);
    if (ret < 0) {
        // avformat_open_input() has freed the context, not the custom I/O.
        if (ret != AVERROR_EXIT)
            fail(QStringLiteral("The %1 stream cannot be opened: %2")
                     .arg(QString::fromUtf8(input->name), ffmpeg::errorText(ret)));
        freeIo();
        return false;
    }
    return true;
}

int Mp3Transcoder::readCallback(void *opaque, std::uint8_t *buffer, int size)
{
    return static_cast<Mp3Transcoder *>(opaque)->read(buffer, size);
}

// The demuxer's read: blocks until an arrival, the end of the stream or the
// destruction of the transcoder.
int Mp3Transcoder::read(std::uint8_t *buffer, int size)
{
    std::unique_lock lock(m_mutex);
    while (m_inputPos == m_input.size() && !m_inputEnded && !m_stopping) {
        m_waitingForInput = true;
        m_demuxerWaiting.notify_all();
        m_inputChanged.wait(lock);
    }
    m_waitingForInput = false;
    if (m_stopping)
        return AVERROR_EXIT;
    const int n = int(std::min<qsizetype>(size, m_input.size() - m_inputPos));
    if (n == 0)
        return AVERROR_EOF;
    std::copy_n(m_input.constData() + m_inputPos, n, buffer);
    m_inputPos += n;
    m_bytesRead += n;
    return n;
}
