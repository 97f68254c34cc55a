// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

class Mp3Transcoder;

// Runs an Mp3Transcoder on a thread of its own, so that the thread that
// receives the station (the GUI thread) never decodes or encodes. Create and
// use it on one thread; its signals arrive there, queued, in order.
class TranscodingWorker final : public QObject
{
    Q_OBJECT

public:
    // bitrateKbps: see Mp3Transcoder::mp3BitrateFor().
    explicit TranscodingWorker(int bitrateKbps, QObject *parent = nullptr);
    // Stops the conversion wherever it is; no signal follows.
    ~TranscodingWorker() override;

    // Queues an arrival of the station's bytes for conversion.
    void feed(const QByteArray &bytes);
    // The station's stream has ended: converts the rest, then finished().
    void finish();

signals:
    // Whole MP3 frames, one frame per entry, in stream order.
    void mp3Frames(const QByteArrayList &frames);
    // The station's codec, once its first frame has been decoded ("AAC", ...).
    void formatKnown(const QString &codec);
    // The conversion has stopped for good; nothing follows.
    void failed(const QString &reason);
    // After finish(): every frame has been handed out.
    void finished();

private:
    void convert(const std::function<bool()> &step, bool last);

    QThread m_thread;
    QObject *m_context = nullptr;
    std::unique_ptr<Mp3Transcoder> m_transcoder;
    // Touched on the worker thread only.
    bool m_formatReported = false;
    bool m_failed = false;
};
