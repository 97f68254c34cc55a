// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TranscodingWorker.h"

#include "audio/Mp3Transcoder.h"

TranscodingWorker::TranscodingWorker(int bitrateKbps, QObject *parent)
    : QObject(parent)
    , m_context(new QObject)
    , m_transcoder(std::make_unique<Mp3Transcoder>(bitrateKbps))
{
    m_thread.setObjectName(QStringLiteral("Transcoding"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

TranscodingWorker::~TranscodingWorker()
{
    // Work queued but not begun is dropped with the context object; a feed
    // in progress completes first.
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

void TranscodingWorker::feed(const QByteArray &bytes)
{
    const qint64 size = bytes.size();
    if (m_queuedBytes.fetch_add(size, std::memory_order_relaxed) + size > BacklogLimitBytes)
        m_backlogged = true;
    QMetaObject::invokeMethod(
        m_context,
        [this, bytes, size] {
            convert([this, &bytes] { return m_transcoder->feed(bytes); }, false, size);
        },
        Qt::QueuedConnection);
}

void TranscodingWorker::finish()
{
    QMetaObject::invokeMethod(
        m_context, [this] { convert([this] { return m_transcoder->finish(); }, true, 0); },
        Qt::QueuedConnection);
}

// On the worker thread: runs one step of the conversion (taking `bytes` off
// the queue) and posts what it gave to this object's own thread. The signals
// are emitted there, so none can arrive once this object is gone. Every step
// that converted queued bytes posts, so a backlogged worker is told drained
// after the step that brings its queue down.
void TranscodingWorker::convert(const std::function<bool()> &step, bool last, qint64 bytes)
{
    if (m_failed) {
        m_queuedBytes.fetch_sub(bytes, std::memory_order_relaxed);
        return;
    }
    const bool ok = step();
    m_queuedBytes.fetch_sub(bytes, std::memory_order_relaxed);
    QString codec;
    if (!m_formatReported && !m_transcoder->codecName().isEmpty()) {
        m_formatReported = true;
        codec = m_transcoder->codecName();
    }
    const QByteArrayList frames = m_transcoder->takeFrames();
    const QString error = ok ? QString() : m_transcoder->errorString();
    m_failed = !ok;
    QMetaObject::invokeMethod(
        this,
        [this, codec, frames, error, last] {
            if (!codec.isEmpty())
                emit formatKnown(codec);
            if (!frames.isEmpty())
                emit mp3Frames(frames);
            if (error.isEmpty() && m_backlogged && queuedBytes() <= BacklogLowBytes) {
                m_backlogged = false;
                emit backlogDrained();
            }
            if (!error.isEmpty())
                emit failed(error);
            else if (last)
                emit finished();
        },
        Qt::QueuedConnection);
}
