// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioFormatSniffer.h"
#include "audio/IcyMetadataDemuxer.h"
#include "audio/Mp3StreamWriter.h"
#include "bufferfiles/BufferFileWriter.h"
#include "bufferfiles/BufferFolder.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>
#include <map>
#include <memory>
#include <span>

class HlsTranscoder;
class TranscodingWorker;

// What the station said about the audio that follows its response.
struct AudioStreamInfo
{
    QString contentType; // the response's Content-Type, lower case, without parameters
    QString bitrate;     // icy-br as sent
    QString metaInt;     // icy-metaint as sent: bytes of audio between title blocks
};

// The audio path of a session: takes the audio bytes of one connection after
// another and writes them into the numbered buffer files of the session.
// The session owns the connection; this owns what becomes of the bytes.
//
// Titles framed into the stream (icy-metaint) are taken out first. Nothing is
// written before the format is known: MP3 goes into the files byte for byte,
// each file cut where a frame begins (see Mp3StreamWriter); AAC, Ogg Vorbis, Opus and FLAC are
// converted to MP3 on a worker thread and written in whole frames; anything else is refused.
//
// Conversion may be slower than arrival. Rather than queue without end, the
// audio path then says it is full (wantsMore() false): the session holds
// further bytes back in the connection until backlogDrained(). Plain MP3 is
// never held back.
class AudioPipeline final : public QObject
{
    Q_OBJECT

public:
    explicit AudioPipeline(QObject *parent = nullptr);
    ~AudioPipeline() override;

    // A new session: files of `fileSizeBytes` bytes in `bufferFolder`,
    // numbered from "000_strm.mp3". The first file is created with the first
    // accepted audio, so a refused station leaves no file. Always true.
    bool startSession(const BufferFolder &bufferFolder, qint64 fileSizeBytes);
    // The audio of a connection whose response has been read.
    void beginStream(const AudioStreamInfo &info);
    // An HLS station: its playlist is read, followed and converted on a thread
    // of its own; `bitrate` is the station's figure in kbit/s, if any.
    // hlsFailed() tells when the playlist is lost.
    void beginHls(const QUrl &playlist, const QString &bitrate);
    // Audio bytes of the current connection.
    void feed(QByteArrayView audio);
    // The connection was lost and the session goes on: what the converter
    // still holds is written, the file written so far is finished so that
    // the game gets it, and numbering continues with the next connection's
    // audio.
    void endStream();
    // Ends the session: conversion stops and the current file is closed.
    void stop();

    // Audio of an ended connection is still being converted; the file it
    // goes into is finished once it is written.
    bool isFinishing() const { return m_workers.size() > (m_mode == Mode::Converting ? 1u : 0u); }

    // False while the current connection's audio waits for conversion beyond
    // the converter's limit: no more should be fed until backlogDrained().
    bool wantsMore() const { return !m_backlogged; }
    // Bytes of the current connection fed but not yet converted.
    qint64 backlogBytes() const;

    const BufferFileWriter &bufferFile() const { return m_bufferFile; }
    // For MP3 written as it arrives: how many more bytes of the stream
    // finish the current buffer file at most (the file's room, and the
    // header of the frame that begins the next one). 0 when that is not
    // known (before the format is, or for converted audio).
    qint64 bytesToFileEnd() const;

signals:
    // `bytes` is what the current buffer file holds with the last arrival,
    // out of `fileSizeBytes`.
    void progress(qint64 bytes, qint64 fileSizeBytes);
    // A buffer file could not be created or written: `reason` names the file
    // and the cause. The current file is closed.
    void fileError(const QString &reason);
    // The station's audio cannot be used; `message` tells the user why. The
    // stream is over: nothing more of it is written.
    void refused(const QString &message);
    // The station's codec is known ("MP3", "AAC", ...); `converted` when it
    // is converted to MP3.
    void formatKnown(const QString &codec, bool converted);
    // The station announced a new title (plain text) and, when it sent one,
    // a web address for it.
    void titleChanged(const QString &title, const QString &url);
    // The HLS playlist could not be read or followed any more.
    void hlsFailed(const QString &reason);
    // wantsMore() is true again after it was false: the converter has caught
    // up, or the audio it held back from is no longer converted.
    void backlogDrained();

private:
    enum class Mode { Idle, Sniffing, PassThrough, Converting, Hls };

    // Audio for the files: raw MP3 bytes, whole MP3 frames, or the end of a
    // connection's audio (the file is finished there).
    struct Output
    {
        enum class Kind { Raw, Frames, EndOfStream };
        Kind kind;
        QByteArrayList pieces;
    };

    // Plain MP3 of the connection whose audio the files take now.
    bool writingNow() const { return m_mode == Mode::PassThrough && m_stream == m_writingStream; }
    void takeTitles();
    void accept(AudioFormatSniffer::Format format);
    void startConverter();
    void feedConverter(const QByteArray &audio);
    void refuse(int stream, const QString &what, const QString &detail = {});
    void output(int stream, Output out);
    void writeNow(const Output &out);
    void writeRaw(QByteArrayView bytes) { writeRaw(std::span(&bytes, 1)); }
    void writeRaw(std::span<const QByteArrayView> runs);
    void written(qint64 filled, quint32 counterBefore);
    bool ensureFile();
    bool finishMp3();
    void endOf(int stream);
    void discardWorker(int stream);
    void discardAll();
    void failed();
    void releaseBacklog();

    BufferFileWriter m_bufferFile;
    Mp3StreamWriter m_mp3Files{m_bufferFile}; // plain MP3, each file whole frames
    BufferFolder m_bufferFolder;
    qint64 m_fileSizeBytes = 0;
    bool m_fileOpened = false; // the session's first file has been created

    Mode m_mode = Mode::Idle;
    AudioStreamInfo m_info;
    IcyMetadataDemuxer m_demuxer;
    AudioFormatSniffer m_sniffer;
    QByteArray m_held; // audio looked at by the sniffer, not written yet
    // The audio runs of the last arrival, between its title blocks; kept so
    // that the list's room is reused from one arrival to the next.
    QList<QByteArrayView> m_audioRuns;
    QByteArray m_lastBlock; // the last metadata block, as sent
    QString m_lastTitle;

    // Connections are numbered; the files take the audio of one connection
    // after the other. A converter may still be finishing an earlier one:
    // what later connections give waits in m_pending meanwhile.
    int m_stream = 0;
    int m_writingStream = 1;
    QMap<int, QList<Output>> m_pending;
    std::map<int, std::unique_ptr<TranscodingWorker>> m_workers;
    QMap<int, QString> m_convertedCodecs; // per connection, once decoded
    int m_inWorkerSignal = 0;             // depth of worker signals being handled
    std::unique_ptr<HlsTranscoder> m_hls;
    bool m_backlogged = false; // the current connection's converter is full
};
