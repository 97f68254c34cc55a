#pragma once

#include "net/SocketComponent.h"
#include "stream/AudioPipeline.h"
#include "stream/ResponseParser.h"
#include "stream/StationAddress.h"

#include <QObject>
#include <QString>
#include <memory>

// Why a session stopped, with the texts the window shows for it.
struct SessionStop
{
    enum class Reason {
        Refused,   // the answer was no stream: the session is over
        FileError, // a buffer file could not be written
        Closed,    // the station closed the connection
        Failed,    // the connection failed
    };
    Reason reason;
    QString status;  // for the status line
    QString message; // for a message box; empty when none is due
};

// One station session: connects through the socket component, reads the
// station's response and writes its audio into numbered buffer files of the
// session's size. It reports what happens through signals and leaves the
// showing to the window.
//
// A session stays streaming after the connection ends (closed, failed, file
// error) until cancel(): the window keeps its inputs locked until the user
// presses "Cancel". Only a refused answer ends the session by itself.
class StreamSession final : public QObject,
                            private SocketComponentListener,
                            private SocketErrorDisplay
{
    Q_OBJECT

public:
    // `socket` may be null (the component could not be loaded): start() then
    // must not be called; hasSocket() tells.
    explicit StreamSession(std::unique_ptr<SocketComponent> socket, QObject *parent = nullptr);
    ~StreamSession() override;

    bool hasSocket() const { return m_sck != nullptr; }

    // Connects to the station and writes its audio into `bufferFolder` in
    // files of `fileSizeKB` KB.
    void start(const StationAddress &address, const QString &bufferFolder, qint32 fileSizeKB);
    // Closes the connection and the current buffer file.
    void cancel();

    bool isStreaming() const { return m_streaming; }
    const QString &stationUrl() const { return m_address.url; }
    const BufferFileWriter &bufferFile() const { return m_audio->bufferFile(); }

signals:
    // The header block has been read: the station is a stream.
    void headersRead(const StationHeaders &headers);
    // Audio has been written: `bytes` is what the current buffer file holds
    // with the last arrival, out of `fileSizeBytes`.
    void progress(qint64 bytes, qint64 fileSizeBytes);
    void stopped(const SessionStop &stop);
    // The socket component's own error message, for a message box.
    void socketErrorMessage(const QString &description);

private:
    void Sck_Connect() override;
    void Sck_DataArrival(qint32 bytesTotal) override;
    void Sck_Close() override;
    void Sck_Error(qint16 number, const QString &description, bool &cancelDisplay) override;
    void showSocketError(qint16 number, const QString &description) override;

    void refuseStation();
    void endOnFileError(const QString &reason);
    void connectionEnded(SessionStop::Reason reason, const QString &status);

    std::unique_ptr<SocketComponent> m_sck;
    StationAddress m_address;
    QString m_bufferFolder;
    qint64 m_fileSizeBytes = 0;
    ResponseParser m_response;
    AudioPipeline *m_audio;
    bool m_streaming = false;
};
