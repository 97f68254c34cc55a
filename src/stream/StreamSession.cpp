#include "stream/StreamSession.h"

StreamSession::StreamSession(std::unique_ptr<SocketComponent> socket, QObject *parent)
    : QObject(parent)
    , m_sck(std::move(socket))
    , m_audio(new AudioPipeline(this))
{
    connect(m_audio, &AudioPipeline::progress, this, &StreamSession::progress);
    connect(m_audio, &AudioPipeline::fileError, this, &StreamSession::endOnFileError);
    if (m_sck) {
        m_sck->setListener(this);
        m_sck->setErrorDisplay(this);
    }
}

StreamSession::~StreamSession()
{
    if (m_sck) {
        m_sck->setListener(nullptr);
        m_sck->setErrorDisplay(nullptr);
        m_sck->Close();
    }
}

void StreamSession::start(const StationAddress &address, const QString &bufferFolder,
                          qint32 fileSizeKB)
{
    m_address = address;
    m_bufferFolder = bufferFolder;
    m_fileSizeBytes = qint64(fileSizeKB) * 1024;
    m_response.reset();
    m_streaming = true;
    m_sck->Connect(m_address.host, m_address.port);
}

void StreamSession::cancel()
{
    if (m_sck)
        m_sck->Close();
    m_audio->stop();
    m_streaming = false;
}

void StreamSession::Sck_Connect()
{
    if (!m_audio->startSession(m_bufferFolder, m_fileSizeBytes))
        return;
    m_sck->SendData(m_address.request());
}

void StreamSession::Sck_DataArrival(qint32)
{
    const QByteArray data = m_sck->GetData();
    if (!m_streaming)
        return;
    if (m_response.stage() == ResponseParser::Stage::Audio) {
        m_audio->feed(data);
        return;
    }
    switch (m_response.feed(data)) {
    case ResponseParser::Outcome::NeedMore:
        return;
    case ResponseParser::Outcome::Refused:
        refuseStation();
        return;
    case ResponseParser::Outcome::HeadersRead:
        emit headersRead(m_response.headers());
        m_audio->beginStream({m_response.contentType(), m_response.headers().bitrate,
                              QString::fromLatin1(m_response.header("icy-metaint"))});
        m_audio->feed(m_response.takeAudio());
        return;
    case ResponseParser::Outcome::Audio:
        m_audio->feed(m_response.takeAudio());
        return;
    }
}

void StreamSession::refuseStation()
{
    // The connection and the empty first file are closed before anyone is
    // told, so that nothing more arrives while a message is open.
    m_sck->Close();
    m_audio->stop();
    m_streaming = false;
    emit stopped({SessionStop::Reason::Refused,
                  QStringLiteral("Could not connect to ") + m_address.url + QStringLiteral("."),
                  QStringLiteral("Server is unavailable.")});
}

void StreamSession::endOnFileError(const QString &reason)
{
    m_sck->Close();
    emit stopped({SessionStop::Reason::FileError,
                  QStringLiteral("Buffering stopped: a buffer file could not be written."),
                  QStringLiteral("Buffering has stopped because a buffer file could not be "
                                 "written:\n\n") +
                      reason});
}

void StreamSession::connectionEnded(SessionStop::Reason reason, const QString &status)
{
    m_audio->stop();
    m_sck->Close();
    emit stopped({reason, status, QString()});
}

void StreamSession::Sck_Close()
{
    connectionEnded(SessionStop::Reason::Closed, QStringLiteral("The station ") + m_address.url +
                                                     QStringLiteral(" closed the connection."));
}

void StreamSession::Sck_Error(qint16, const QString &, bool &)
{
    connectionEnded(SessionStop::Reason::Failed, QStringLiteral("The connection to ") +
                                                     m_address.url + QStringLiteral(" failed."));
}

void StreamSession::showSocketError(qint16, const QString &description)
{
    emit socketErrorMessage(description);
}
