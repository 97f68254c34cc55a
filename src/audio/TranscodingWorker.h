// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class Mp3Transcoder;

// Runs an Mp3Transcoder on a thread of its own, so that the thread that
// receives the station (the GUI thread) never decodes or encodes. Create and
// use it on one thread; its signals arrive there, queued, in order.
//
// Arrivals wait in a queue until the thread converts them. When conversion is
// slower than arrival the queue would grow without end, so the worker counts
// the bytes waiting: above BacklogLimitBytes it is backlogged, and the caller
// holds further arrivals back until backlogDrained() says the queue is down
// to BacklogLowBytes.
class TranscodingWorker final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 BacklogLimitBytes = 384 * 1024;
    static constexpr qint64 BacklogLowBytes = 128 * 1024;

    // bitrateKbps: see Mp3Transcoder::mp3BitrateFor().
    explicit TranscodingWorker(int bitrateKbps, QObject *parent = nullptr);
    // Stops the conversion wherever it is; no signal follows.
    ~TranscodingWorker() override;

    // Queues an arrival of the station's bytes for conversion.
    void feed(const QByteArray &bytes);
    // The station's stream has ended: converts the rest, then finished().
    void finish();

    // Bytes fed but not yet converted.
    qint64 queuedBytes() const { return m_queuedBytes.load(std::memory_order_relaxed); }
    // From a feed() that left more than BacklogLimitBytes queued until
    // backlogDrained().
    bool isBacklogged() const { return m_backlogged; }

signals:
    // Whole MP3 frames, one frame per entry, in stream order.
    void mp3Frames(const QByteArrayList &frames);
    // The station's codec, once its first frame has been decoded ("AAC", ...).
    void formatKnown(const QString &codec);
    // The conversion has stopped for good; nothing follows.
    void failed(const QString &reason);
    // After finish(): every frame has been handed out.
    void finished();
    // The queue of a backlogged worker is down to BacklogLowBytes or less.
    void backlogDrained();

private:
    void convert(const std::function<bool()> &step, bool last, qint64 bytes);

    QThread m_thread;
    QObject *m_context = nullptr;
    std::unique_ptr<Mp3Transcoder> m_transcoder;
    std::atomic<qint64> m_queuedBytes = 0;
    bool m_backlogged = false; // touched on this object's thread only
    // Touched on the worker thread only.
    bool m_formatReported = false;
    bool m_failed = false;
};
