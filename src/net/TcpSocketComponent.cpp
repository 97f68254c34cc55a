// SPDX-License-Identifier: GPL-3.0-or-later
// The socket component module: one TCP client connection over QTcpSocket, or
// over QSslSocket for TLS, seen by the program only through the abstract
// SocketComponent interface.

#include "net/SocketComponent.h"
#include "platform/ReceiveThreshold.h"

#include <QCryptographicHash>
#include <QNetworkProxy>
#include <QObject>
#include <QSslSocket>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Linux gives up on an unanswered connection attempt only after about two
// minutes, while the main window waits with its Cancel button disabled; the
// attempt is reported as timed out much sooner.
constexpr int ConnectTimeoutMs = 30000;

// The most one data arrival takes from the connection. Left to itself
// QAbstractSocket reads everything the system holds (several MiB behind a
// fast station) into a new buffer each time, so the program's memory would
// follow the station's pace; beyond this size the bytes wait in the system
// and make up the next arrival. Large enough that an arrival costs little
// next to the bytes it carries. QSslSocket may decrypt somewhat more than its
// read buffer size; what lies beyond this size waits for the next arrival.
constexpr qint64 ReadChunkBytes = 512 * 1024;

// QSslSocket's read buffer size also limits how much ciphertext it takes from
// the connection at a time, and for every such piece it allocates a
// temporary buffer of that size, copies the piece into it and frees it. At
// 512 KiB each of these buffers is handed back to the system when freed, so
// every piece pays for fresh pages (page faults, zeroing) and cache misses;
// 64 KiB stays within the heap and the cache, and a pass over it still
// decrypts enough for an arrival to cost little next to its bytes.
constexpr qint64 TlsReadBufferBytes = 64 * 1024;

// With an arrival size above one byte, bytes that stop short of it are
// announced this long after the last arrival.
constexpr int ArrivalWaitMs = 1000;

// Error numbers follow Winsock, which is what users and older documentation
// of the program know.
constexpr qint16 ErrorAccessDenied = 10013;
constexpr qint16 ErrorConnectionAborted = 10053;
constexpr qint16 ErrorNoBufferSpace = 10055;
constexpr qint16 ErrorTimedOut = 10060;
constexpr qint16 ErrorConnectionRefused = 10061;
constexpr qint16 ErrorHostNotFound = 11001;

qint16 errorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ErrorConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return ErrorHostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return ErrorTimedOut;
    case QAbstractSocket::SocketAccessError:
        return ErrorAccessDenied;
    case QAbstractSocket::SocketResourceError:
        return ErrorNoBufferSpace;
    case QAbstractSocket::SslHandshakeFailedError:
        return SocketErrorSecureChannel;
    default:
        return ErrorConnectionAborted;
    }
}

class TcpSocketComponent final : public SocketComponent
{
public:
    TcpSocketComponent() = default;
    ~TcpSocketComponent() override;

    void setListener(SocketComponentListener *listener) override { m_listener = listener; }
    void setErrorDisplay(SocketErrorDisplay *display) override { m_display = display; }

    void Connect(const QString &remoteHost, quint16 remotePort) override;
    void ConnectEncrypted(const QString &remoteHost, quint16 remotePort,
                          const QByteArray &trustedSha256) override;
    void SendData(const QByteArray &data) override;
    QByteArray GetData() override;
    void Close() override;
    void SetArrivalSize(qint32 bytes) override;

private:
    enum class EventKind { Connect, DataArrival, Close, Error, CertificateRejected };
    struct Event
    {
        Event(EventKind eventKind, qint16 errorNumber = 0, const QString &errorText = {},
              const QByteArray &certificateSha256 = {})
            : kind(eventKind)
            , number(errorNumber)
            , description(errorText)
            , sha256(certificateSha256)
        {}
        EventKind kind;
        qint16 number;
        QString description; // for CertificateRejected: the verification errors
        QByteArray sha256;
    };

    // A certificate that failed verification and was not the trusted one.
    struct Rejection
    {
        QString reasons;
        QByteArray sha256;
    };

    void open(QTcpSocket *socket, const QString &remoteHost, quint16 remotePort);
    void checkCertificate(QSslSocket *socket, const QList<QSslError> &errors);
    void fail(QTcpSocket *socket, QAbstractSocket::SocketError error);

    void post(Event event);
    void queueArrival();
    void dispatch();
    void deliver(const Event &event);
    void deliverData();
    qint64 takeableBytes() const;

    void applyArrivalSize(int bytes);

    void detach();
    void retire(QTcpSocket *socket);
    void releaseRetired();

    SocketComponentListener *m_listener = nullptr;
    SocketErrorDisplay *m_display = nullptr;

    QTcpSocket *m_socket = nullptr;
    QTimer *m_connectTimer = nullptr; // child of m_socket
    QTimer *m_arrivalWait = nullptr;  // child of m_socket: ends the wait for the arrival size
    int m_threshold = 1;              // the socket's low-water mark now
    QString m_host;                   // as handed to the connect call
    quint16 m_port = 0;
    QByteArray m_trustedSha256; // the certificate the user accepted for this connection
    std::optional<Rejection> m_rejection;
    bool m_established = false;   // the connect event has been raised
    quint64 m_connection = 0;     // changes whenever m_socket is replaced or dropped
    bool m_ended = false;         // Sck_Close or Sck_Error was delivered
    qint64 m_announced = 0;       // waiting bytes the listener has been told about
    bool m_arrivalQueued = false; // an arrival waits for the next pass of the event loop

    // Events are delivered one at a time: an event raised while the listener
    // is still handling another (a modal box runs a nested event loop) waits
    // here until that handler has returned.
    std::deque<Event> m_pending;
    int m_busy = 0;
    // Sockets dropped while one of their signals may still be on the stack;
    // they are deleted once control is back in the event loop.
    std::vector<QTcpSocket *> m_retired;
    // Expires with the component, which a listener may destroy in a handler.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // Receives the deferred dispatch after Connect(); its destruction drops it.
    QObject m_context;
};

TcpSocketComponent::~TcpSocketComponent()
{
    m_listener = nullptr;
    m_display = nullptr;
    detach();
    for (QTcpSocket *socket : m_retired)
        socket->deleteLater();
}

void TcpSocketComponent::Connect(const QString &remoteHost, quint16 remotePort)
{
    detach();
    auto *socket = new QTcpSocket;
    QObject::connect(socket, &QTcpSocket::connected, socket, [this] {
        m_connectTimer->stop();
        m_established = true;
        post({EventKind::Connect});
    });
    open(socket, remoteHost, remotePort);
}

void TcpSocketComponent::ConnectEncrypted(const QString &remoteHost, quint16 remotePort,
                                          const QByteArray &trustedSha256)
{
    detach();
    m_trustedSha256 = trustedSha256;
    auto *socket = new QSslSocket;
    // The TCP connection alone is not yet usable: the connect event waits for
    // the TLS session.
    QObject::connect(socket, &QSslSocket::encrypted, socket, [this] {
        m_connectTimer->stop();
        m_established = true;
        post({EventKind::Connect});
    });
    QObject::connect(
        socket, &QSslSocket::sslErrors, socket,
        [this, socket](const QList<QSslError> &errors) { checkCertificate(socket, errors); });
    open(socket, remoteHost, remotePort);
}

void TcpSocketComponent::open(QTcpSocket *socket, const QString &remoteHost, quint16 remotePort)
{
    m_socket = socket;
    m_host = remoteHost;
    m_port = remotePort;
    m_socket->setProxy(QNetworkProxy::NoProxy);
    const bool tls = qobject_cast<QSslSocket *>(socket) != nullptr;
    m_socket->setReadBufferSize(tls ? TlsReadBufferBytes : ReadChunkBytes);
    m_connectTimer = new QTimer(m_socket);
    m_connectTimer->setSingleShot(true);
    m_arrivalWait = new QTimer(m_socket);
    m_arrivalWait->setSingleShot(true);
    m_arrivalWait->setInterval(ArrivalWaitMs);
    // The station paused short of the arrival size: what it sent is
    // announced as soon as the socket has it.
    QObject::connect(m_arrivalWait, &QTimer::timeout, socket, [this] { applyArrivalSize(1); });

    if (tls)
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] { queueArrival(); });
    else
        QObject::connect(socket, &QTcpSocket::readyRead, socket,
                         [this] { post({EventKind::DataArrival}); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket,
                     [this, socket](QAbstractSocket::SocketError error) { fail(socket, error); });
    QObject::connect(m_connectTimer, &QTimer::timeout, socket, [this, socket] {
        socket->abort();
        post({EventKind::Error, ErrorTimedOut, QStringLiteral("Connection timed out")});
    });

    // A refused connection to a local port can fail inside connectToHost();
    // such an event is held back so that Connect() returns first.
    ++m_busy;
    m_connectTimer->start(ConnectTimeoutMs);
    if (auto *secure = qobject_cast<QSslSocket *>(socket))
        secure->connectToHostEncrypted(remoteHost, remotePort);
    else
        socket->connectToHost(remoteHost, remotePort);
    --m_busy;
    if (m_busy == 0 && !m_pending.empty())
        QMetaObject::invokeMethod(
            &m_context, [this] { dispatch(); }, Qt::QueuedConnection);
}

void TcpSocketComponent::checkCertificate(QSslSocket *socket, const QList<QSslError> &errors)
{
    const QByteArray sha256 = socket->peerCertificate().digest(QCryptographicHash::Sha256);
    if (!m_trustedSha256.isEmpty() && sha256 == m_trustedSha256) {
        // Only this handshake's errors, and only for the certificate the
        // user chose to trust.
        socket->ignoreSslErrors();
        return;
    }
    QStringList reasons;
    for (const QSslError &error : errors) {
        if (!reasons.contains(error.errorString()))
            reasons << error.errorString();
    }
    // Not ignoring the errors makes the handshake fail; the failure is
    // reported as this rejection.
    m_rejection = Rejection{reasons.join(QStringLiteral("; ")), sha256};
}

void TcpSocketComponent::fail(QTcpSocket *socket, QAbstractSocket::SocketError error)
{
    m_connectTimer->stop();
    if (m_rejection) {
        const Rejection rejection = *std::exchange(m_rejection, std::nullopt);
        post({EventKind::CertificateRejected, 0, rejection.reasons, rejection.sha256});
        post({EventKind::Error, SocketErrorCertificateRejected,
              QStringLiteral("%1: %2").arg(m_host, rejection.reasons)});
    } else if (error == QAbstractSocket::RemoteHostClosedError &&
               (m_established || !qobject_cast<QSslSocket *>(socket))) {
        post({EventKind::Close});
    } else if (error == QAbstractSocket::RemoteHostClosedError) {
        // Not the end of a stream: no session ever came up.
        post({EventKind::Error, SocketErrorSecureChannel,
              QStringLiteral("The remote host closed the connection during the TLS handshake")});
    } else {
        post({EventKind::Error, errorNumber(error), socket->errorString()});
    }
}

void TcpSocketComponent::SendData(const QByteArray &data)
{
    if (m_socket && m_socket->isOpen())
        m_socket->write(data);
}

QByteArray TcpSocketComponent::GetData()
{
    if (!m_socket)
        return {};
    // Reading exactly what is buffered lets QIODevice hand over its buffer
    // block without copying when the data sits in one block.
    const qint64 waiting = takeableBytes();
    QByteArray data = waiting > 0 ? m_socket->read(waiting) : QByteArray();
    m_announced = std::max<qint64>(0, m_announced - data.size());
    // Bytes held back by the size limit get an arrival of their own, after
    // the handler running now, if any.
    if (takeableBytes() > m_announced) {
        if (m_busy > 0)
            post({EventKind::DataArrival});
        else
            QMetaObject::invokeMethod(
                &m_context, [this] { post({EventKind::DataArrival}); }, Qt::QueuedConnection);
    }
    return data;
}

void TcpSocketComponent::Close()
{
    detach();
}

void TcpSocketComponent::SetArrivalSize(qint32 bytes)
{
    // TLS records are decrypted as they come; the size counts plain TCP.
    if (!m_socket || !m_established || qobject_cast<QSslSocket *>(m_socket))
        return;
    const int size = std::max(1, int(bytes));
    applyArrivalSize(size);
    if (size > 1)
        m_arrivalWait->start();
    else
        m_arrivalWait->stop();
}

void TcpSocketComponent::applyArrivalSize(int bytes)
{
    if (bytes == m_threshold || !m_socket)
        return;
    if (setReceiveThreshold(m_socket->socketDescriptor(), bytes))
        m_threshold = bytes;
}

// QSslSocket signals readyRead for every 4 KiB record piece it decrypts, many
// times within one pass over what the connection delivered. Each signal
// becoming an arrival would make the listener take and write the stream in
// 4 KiB pieces; instead one arrival follows once the pass is over and covers
// everything decrypted in it.
void TcpSocketComponent::queueArrival()
{
    if (m_arrivalQueued)
        return;
    m_arrivalQueued = true;
    const quint64 connection = m_connection;
    QMetaObject::invokeMethod(
        &m_context,
        [this, connection] {
            if (!m_arrivalQueued || m_connection != connection)
                return;
            m_arrivalQueued = false;
            post({EventKind::DataArrival});
        },
        Qt::QueuedConnection);
}

void TcpSocketComponent::post(Event event)
{
    const auto arrivalLast = [this] {
        return !m_pending.empty() && m_pending.back().kind == EventKind::DataArrival;
    };
    // Data decrypted before the connection ended or failed is announced
    // before that end.
    if (event.kind != EventKind::DataArrival && std::exchange(m_arrivalQueued, false) &&
        !arrivalLast())
        m_pending.push_back({EventKind::DataArrival});
    if (event.kind == EventKind::DataArrival && arrivalLast())
        return;
    m_pending.push_back(std::move(event));
    if (m_busy == 0)
        dispatch();
}

void TcpSocketComponent::dispatch()
{
    const std::weak_ptr<bool> alive = m_alive;
    ++m_busy;
    while (!m_pending.empty()) {
        const Event event = std::move(m_pending.front());
        m_pending.pop_front();
        deliver(event);
        if (alive.expired())
            return;
    }
    --m_busy;
    if (m_busy == 0)
        releaseRetired();
}

void TcpSocketComponent::deliver(const Event &event)
{
    if (!m_socket || m_ended)
        return;
    switch (event.kind) {
    case EventKind::Connect:
        if (m_listener)
            m_listener->Sck_Connect();
        break;
    case EventKind::DataArrival:
        deliverData();
        break;
    case EventKind::CertificateRejected:
        if (m_listener)
            m_listener->Sck_CertificateRejected(m_host, m_port, event.description, event.sha256);
        break;
    case EventKind::Close:
        m_ended = true;
        if (m_listener)
            m_listener->Sck_Close();
        break;
    case EventKind::Error: {
        m_ended = true;
        const std::weak_ptr<bool> alive = m_alive;
        bool cancelDisplay = false;
        if (m_listener)
            m_listener->Sck_Error(event.number, event.description, cancelDisplay);
        // The message belongs to the error even when the handler has already
        // closed the connection.
        if (!alive.expired() && !cancelDisplay && m_display)
            m_display->showSocketError(event.number, event.description);
        break;
    }
    }
}

qint64 TcpSocketComponent::takeableBytes() const
{
    return std::min(m_socket->bytesAvailable(), ReadChunkBytes);
}

void TcpSocketComponent::deliverData()
{
    const qint64 waiting = takeableBytes();
    if (waiting <= m_announced)
        return;
    const std::weak_ptr<bool> alive = m_alive;
    const quint64 connection = m_connection;
    m_announced = waiting;
    if (m_listener)
        m_listener->Sck_DataArrival(
            static_cast<qint32>(std::min<qint64>(waiting, std::numeric_limits<qint32>::max())));
    if (alive.expired() || m_connection != connection)
        return;
    // Bytes that QAbstractSocket read in a nested event loop while the handler
    // ran get no readyRead of their own (and it reads no more until the
    // buffer is taken), so they are announced before anything queued.
    if (takeableBytes() > m_announced)
        m_pending.push_front({EventKind::DataArrival});
}

void TcpSocketComponent::detach()
{
    m_pending.clear();
    m_ended = false;
    m_announced = 0;
    m_arrivalQueued = false;
    m_trustedSha256.clear();
    m_rejection.reset();
    m_established = false;
    m_threshold = 1;
    ++m_connection;
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    m_connectTimer->stop();
    m_connectTimer = nullptr;
    m_arrivalWait->stop();
    m_arrivalWait = nullptr;
    // No signal of the old connection may reach the listener any more.
    QObject::disconnect(socket, nullptr, nullptr, nullptr);
    socket->flush();
    socket->abort();
    retire(socket);
}

void TcpSocketComponent::retire(QTcpSocket *socket)
{
    if (m_busy == 0)
        delete socket;
    else
        m_retired.push_back(socket);
}

void TcpSocketComponent::releaseRetired()
{
    for (QTcpSocket *socket : m_retired)
        socket->deleteLater();
    m_retired.clear();
}

} // namespace

extern "C" Q_DECL_EXPORT SocketComponent *tavrix_create_socket_component()
{
    return new TcpSocketComponent;
}
