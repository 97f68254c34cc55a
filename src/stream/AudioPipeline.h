#pragma once

#include "stream/BufferFileWriter.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

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
class AudioPipeline final : public QObject
{
    Q_OBJECT

public:
    explicit AudioPipeline(QObject *parent = nullptr);

    // A new session: files of `fileSizeBytes` bytes in `bufferFolder`,
    // numbered from "000_strm.mp3". Returns false and emits fileError() when
    // the first file cannot be created.
    bool startSession(const QString &bufferFolder, qint64 fileSizeBytes);
    // The audio of a connection whose response has been read.
    void beginStream(const AudioStreamInfo &info);
    // Audio bytes of the current connection.
    void feed(QByteArrayView audio);
    // The connection was lost and the session goes on: the file written so
    // far is finished so that the game gets it, and numbering continues with
    // the next connection's audio.
    void endStream();
    // Ends the session: the current file is closed.
    void stop();

    const BufferFileWriter &bufferFile() const { return m_bufferFile; }

signals:
    // `bytes` is what the current buffer file holds with the last arrival,
    // out of `fileSizeBytes`.
    void progress(qint64 bytes, qint64 fileSizeBytes);
    // A buffer file could not be created or written: `reason` names the file
    // and the cause. The current file is closed.
    void fileError(const QString &reason);

private:
    void failed();

    BufferFileWriter m_bufferFile;
    QString m_bufferFolder;
    qint64 m_fileSizeBytes = 0;
};
