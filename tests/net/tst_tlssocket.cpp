// SPDX-License-Identifier: GPL-3.0-or-later
// The socket component module over TLS and IPv6, loaded as the program loads
// it, against servers of the test's own on the loopback interface: QSslServer
// with certificates made by openssl at test time, and a real Icecast 2 that
// serves TLS itself.

#include "IcecastStation.h"
#include "ScriptedStation.h"
#include "SocketRecorder.h"
#include "TestFiles.h"
#include "ToolRun.h"
#include "net/SocketComponent.h"
#include "net/SocketModule.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// The most the component takes from the connection per data arrival.
constexpr qint64 ReadChunkBytes = 512 * 1024;

using Rejection = SocketRecorder::Rejection;

using Recorder = SocketRecorder;

// A certificate and its key, made by openssl.
struct Credential
{
    QString certificateFile;
    QString keyFile;
    QByteArray sha256; // as openssl computes it
};

bool runOpenssl(const QStringList &arguments, QByteArray *output = nullptr)
{
    const ToolRun openssl = runTool(QStringLiteral("openssl"), arguments);
    if (!openssl.ok)
        qWarning("%s", qPrintable(openssl.failure));
    else if (output)
        *output = openssl.out;
    return openssl.ok;
}

// Makes the test's certificates (P-256 keys, valid for two days) in a
// temporary folder.
class CertificateFactory
{
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A self-signed certificate; a certificate authority's when ca is set.
    Credential selfSigned(const QString &name, const QString &altNames, bool ca = false)
    {
        Credential credential = files(name);
        QStringList arguments = {QStringLiteral("req"),
                                 QStringLiteral("-x509"),
                                 QStringLiteral("-newkey"),
                                 QStringLiteral("ec"),
                                 QStringLiteral("-pkeyopt"),
                                 QStringLiteral("ec_paramgen_curve:P-256"),
                                 QStringLiteral("-nodes"),
                                 QStringLiteral("-days"),
                                 QStringLiteral("2"),
                                 QStringLiteral("-subj"),
                                 QStringLiteral("/CN=") + name,
                                 QStringLiteral("-keyout"),
                                 credential.keyFile,
                                 QStringLiteral("-out"),
                                 credential.certificateFile};
        const QStringList extensions =
            ca ? QStringList{QStringLiteral("basicConstraints=critical,CA:TRUE"),
                             QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")}
               : QStringList{QStringLiteral("subjectAltName=") + altNames,
                             QStringLiteral("basicConstraints=CA:FALSE")};
        for (const QString &extension : extensions)
            arguments << QStringLiteral("-addext") << extension;
        return runOpenssl(arguments) ? withFingerprint(credential) : Credential{};
    }

    // A server certificate signed by the given authority.
    Credential signedBy(const Credential &ca, const QString &name, const QString &altNames)
    {
        Credential credential = files(name);
        const QString request = path(name + QStringLiteral(".csr"));
        const QString extensions = path(name + QStringLiteral(".ext"));
        QFile extensionFile(extensions);
        if (!extensionFile.open(QIODevice::WriteOnly))
            return {};
        extensionFile.write("basicConstraints=CA:FALSE\n"
                            "keyUsage=critical,digitalSignature\n"
                            "extendedKeyUsage=serverAuth\n"
                            "subjectAltName=" +
                            altNames.toUtf8() + "\n");
        extensionFile.close();
        const bool made =
            runOpenssl({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-newkey"),
                        QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                        QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                        QStringLiteral("-subj"), QStringLiteral("/CN=") + name,
                        QStringLiteral("-keyout"), credential.keyFile, QStringLiteral("-out"),
                        request}) &&
            runOpenssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                        request, QStringLiteral("-CA"), ca.certificateFile,
                        QStringLiteral("-CAkey"), ca.keyFile, QStringLiteral("-set_serial"),
                        QString::number(++m_serial), QStringLiteral("-days"), QStringLiteral("2"),
                        QStringLiteral("-extfile"), extensions, QStringLiteral("-out"),
                        credential.certificateFile});
        return made ? withFingerprint(credential) : Credential{};
    }

private:
    Credential files(const QString &name) const
    {
        return {path(name + QStringLiteral(".crt")), path(name + QStringLiteral(".key")), {}};
    }

    static Credential withFingerprint(Credential credential)
    {
        // "sha256 Fingerprint=AB:CD:..."
        QByteArray output;
        if (!runOpenssl({QStringLiteral("x509"), QStringLiteral("-noout"),
                         QStringLiteral("-fingerprint"), QStringLiteral("-sha256"),
                         QStringLiteral("-in"), credential.certificateFile},
                        &output))
            return {};
        credential.sha256 =
            QByteArray::fromHex(output.mid(output.indexOf('=') + 1).trimmed().replace(':', ""));
        return credential;
    }

    QTemporaryDir m_dir;
    int m_serial = 0;
};

// A TLS server that greets every client once the session is up and keeps
// what the latest client sent.
class TlsServer
{
public:
    TlsServer()
    {
        QObject::connect(&m_server, &QSslServer::startedEncryptionHandshake, &m_server,
                         [this](QSslSocket *socket) {
                             QObject::connect(socket, &QSslSocket::encrypted, socket,
                                              [this, socket] {
                                                  ++sessions;
                                                  received.clear();
                                                  socket->write(greeting);
                                                  if (closeAfterGreeting)
                                                      socket->disconnectFromHost();
                                              });
                             QObject::connect(socket, &QSslSocket::readyRead, socket,
                                              [this, socket] { received += socket->readAll(); });
                         });
        // The sockets are handled above; the queue is only emptied.
        QObject::connect(&m_server, &QSslServer::pendingConnectionAvailable, &m_server, [this] {
            while (m_server.hasPendingConnections())
                m_server.nextPendingConnection();
        });
    }

    bool listen(const QHostAddress &address) { return m_server.listen(address); }
    quint16 port() const { return m_server.serverPort(); }

    bool use(const Credential &credential)
    {
        QFile certificate(credential.certificateFile);
        QFile key(credential.keyFile);
        if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return false;
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate(&certificate, QSsl::Pem));
        configuration.setPrivateKey(QSslKey(&key, QSsl::Ec, QSsl::Pem));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_server.setSslConfiguration(configuration);
        return !configuration.localCertificate().isNull() && !configuration.privateKey().isNull();
    }

    QByteArray greeting = "ICY 200 OK\r\n\r\n";
    bool closeAfterGreeting = false; // ends the session once the greeting is sent
    QByteArray received;
    int sessions = 0;

private:
    QSslServer m_server;
};

} // namespace

class TlsSocketTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void trustedFingerprint();
    void certificateAuthorities_data();
    void certificateAuthorities();
    void failedHandshake_data();
    void failedHandshake();
    void boundedArrivals();
    void streamedArrivals();
    void ipv6Loopback_data();
    void ipv6Loopback();
    void icecastOverTls();

private:
    // Waits for the outcome of a TLS connection that must be refused for its
    // certificate; checks what is reported.
    void verifyRejected(Recorder &recorder, const TlsServer &server, const QString &host,
                        const QByteArray &sha256, QSslError::SslError reason);

    CertificateFactory m_certificates;
    Credential m_selfSigned;
    Credential m_otherSelfSigned;
    Credential m_ca;
    Credential m_leaf;
    Credential m_leafForOtherName;
    Credential m_leafOfUnknownCa;
};

void TlsSocketTest::initTestCase()
{
    QVERIFY2(QSslSocket::supportsSsl(), "Qt has no TLS backend (Debian: libqt6network6 + openssl)");
    QVERIFY(m_certificates.isValid());
    const QString addresses = QStringLiteral("IP:127.0.0.1,IP:::1");
    m_selfSigned = m_certificates.selfSigned(QStringLiteral("self"), addresses);
    m_otherSelfSigned = m_certificates.selfSigned(QStringLiteral("other-self"), addresses);
    m_ca = m_certificates.selfSigned(QStringLiteral("test-ca"), {}, true);
    m_leaf = m_certificates.signedBy(m_ca, QStringLiteral("leaf"), addresses);
    m_leafForOtherName = m_certificates.signedBy(m_ca, QStringLiteral("station.example"),
                                                 QStringLiteral("DNS:station.example"));
    const Credential unknownCa = m_certificates.selfSigned(QStringLiteral("unknown-ca"), {}, true);
    m_leafOfUnknownCa = m_certificates.signedBy(unknownCa, QStringLiteral("stray"), addresses);
    for (const Credential *credential : {&m_selfSigned, &m_otherSelfSigned, &m_ca, &m_leaf,
                                         &m_leafForOtherName, &m_leafOfUnknownCa})
        QCOMPARE(credential->sha256.size(), 32);
    QVERIFY(m_selfSigned.sha256 != m_otherSelfSigned.sha256);

    // Qt's OpenSSL backend reads the system's authorities from fixed folders
    // (SSL_CERT_FILE and SSL_CERT_DIR are not consulted); the test's own
    // authority joins them through the process's default configuration, which
    // the component's sockets start from.
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QVERIFY(configuration.addCaCertificates(m_ca.certificateFile));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

void TlsSocketTest::verifyRejected(Recorder &recorder, const TlsServer &server, const QString &host,
                                   const QByteArray &sha256, QSslError::SslError reason)
{
    QTRY_COMPARE(recorder.events,
                 QStringList({QStringLiteral("certificate"), QStringLiteral("error")}));
    const Rejection rejection = recorder.rejections.first();
    QCOMPARE(rejection.host, host);
    QCOMPARE(rejection.port, server.port());
    QCOMPARE(rejection.sha256, sha256);
    QVERIFY2(
        rejection.reasons.split(QStringLiteral("; ")).contains(QSslError(reason).errorString()),
        qPrintable(rejection.reasons));
    QCOMPARE(recorder.errors.first().first, SocketErrorCertificateRejected);
    QCOMPARE(recorder.errors.first().second, host + QStringLiteral(": ") + rejection.reasons);
    QCOMPARE(recorder.displayed, recorder.errors);
    // Nothing went through the connection either way.
    QTest::qWait(100);
    QCOMPARE(recorder.events.size(), 2);
    QVERIFY(recorder.received.isEmpty());
    QCOMPARE(server.sessions, 0);
    QVERIFY2(server.received.isEmpty(), server.received.constData());
}

void TlsSocketTest::trustedFingerprint()
{
    TlsServer server;
    QVERIFY(server.use(m_selfSigned));
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QString host = QStringLiteral("127.0.0.1");
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());

    // Unknown: refused, with what the user needs to decide. A request sent
    // before the session is up never leaves.
    sck->ConnectEncrypted(host, server.port(), {});
    QVERIFY(recorder.events.isEmpty());
    sck->SendData("GET / HTTP/1.0\r\n\r\n");
    verifyRejected(recorder, server, host, m_selfSigned.sha256, QSslError::SelfSignedCertificate);

    // The fingerprint in another form is not that certificate.
    recorder.clear();
    sck->ConnectEncrypted(host, server.port(), m_selfSigned.sha256.toHex());
    verifyRejected(recorder, server, host, m_selfSigned.sha256, QSslError::SelfSignedCertificate);

    // Trusted: the session comes up and data flows both ways.
    recorder.clear();
    sck->ConnectEncrypted(host, server.port(), m_selfSigned.sha256);
    sck->SendData("GET / HTTP/1.0\r\n\r\n");
    QTRY_COMPARE(recorder.received, server.greeting);
    QCOMPARE(recorder.events.first(), QStringLiteral("connect"));
    QTRY_COMPARE(server.received, QByteArray("GET / HTTP/1.0\r\n\r\n"));
    QVERIFY(recorder.rejections.isEmpty());
    QVERIFY(recorder.errors.isEmpty());
    sck->Close();

    // The trust belongs to that connection only.
    recorder.clear();
    server.sessions = 0;
    server.received.clear();
    sck->ConnectEncrypted(host, server.port(), {});
    verifyRejected(recorder, server, host, m_selfSigned.sha256, QSslError::SelfSignedCertificate);

    // Another certificate in its place is refused despite the old trust.
    QVERIFY(server.use(m_otherSelfSigned));
    recorder.clear();
    sck->ConnectEncrypted(host, server.port(), m_selfSigned.sha256);
    verifyRejected(recorder, server, host, m_otherSelfSigned.sha256,
                   QSslError::SelfSignedCertificate);

    // The rejection handler may close the component: nothing follows.
    recorder.clear();
    Recorder closer(sck.get());
    closer.onCertificate = [&] { sck->Close(); };
    sck->ConnectEncrypted(host, server.port(), {});
    QTRY_COMPARE(closer.events, QStringList{QStringLiteral("certificate")});
    QTest::qWait(200);
    QCOMPARE(closer.events, QStringList{QStringLiteral("certificate")});
    QVERIFY(closer.displayed.isEmpty());
}

void TlsSocketTest::certificateAuthorities_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<QSslError::SslError>("reason");
    QTest::newRow("signed by a trusted authority") << QStringLiteral("leaf") << QSslError::NoError;
    QTest::newRow("issued for another host name")
        << QStringLiteral("other name") << QSslError::HostNameMismatch;
    QTest::newRow("signed by an unknown authority")
        << QStringLiteral("unknown authority") << QSslError::UnableToGetLocalIssuerCertificate;
}

void TlsSocketTest::certificateAuthorities()
{
    QFETCH(QString, which);
    QFETCH(QSslError::SslError, reason);
    const Credential &credential = which == QLatin1String("leaf")         ? m_leaf
                                   : which == QLatin1String("other name") ? m_leafForOtherName
                                                                          : m_leafOfUnknownCa;
    TlsServer server;
    QVERIFY(server.use(credential));
    QVERIFY(server.listen(QHostAddress::LocalHost));
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());

    const QString host = QStringLiteral("127.0.0.1");
    sck->ConnectEncrypted(host, server.port(), {});
    if (reason != QSslError::NoError) {
        verifyRejected(recorder, server, host, credential.sha256, reason);
        // The chain itself is sound: the name is all that is wrong.
        if (reason == QSslError::HostNameMismatch)
            QCOMPARE(recorder.rejections.first().reasons, QSslError(reason).errorString());
        return;
    }
    sck->SendData("GET / HTTP/1.0\r\n\r\n");
    QTRY_COMPARE(recorder.received, server.greeting);
    QTRY_COMPARE(server.received, QByteArray("GET / HTTP/1.0\r\n\r\n"));
    QCOMPARE(recorder.events.first(), QStringLiteral("connect"));
    QVERIFY(recorder.rejections.isEmpty());
    QVERIFY(recorder.errors.isEmpty());
}

void TlsSocketTest::failedHandshake_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("plain HTTP answer") << QByteArray("HTTP/1.0 400 Bad Request\r\n\r\n");
    QTest::newRow("closed during the handshake") << QByteArray();
}

void TlsSocketTest::failedHandshake()
{
    QFETCH(QByteArray, answer);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());

    sck->ConnectEncrypted(QStringLiteral("127.0.0.1"), server.serverPort(), {});
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket *peer = server.nextPendingConnection();
    QTRY_VERIFY(peer->bytesAvailable() > 0); // the client's hello
    // A TCP connection without a TLS session is no connection yet.
    QTest::qWait(100);
    QVERIFY(recorder.events.isEmpty());

    peer->write(answer);
    peer->disconnectFromHost();
    QTRY_COMPARE(recorder.events, QStringList{QStringLiteral("error")});
    QCOMPARE(recorder.errors.first().first, SocketErrorSecureChannel);
    QVERIFY(!recorder.errors.first().second.isEmpty());
    QCOMPARE(recorder.displayed, recorder.errors);
    QTest::qWait(100);
    QCOMPARE(recorder.events.size(), 1);
}

void TlsSocketTest::boundedArrivals()
{
    TlsServer server;
    QVERIFY(server.use(m_leaf));
    server.greeting = binaryPattern(3 * 1024 * 1024 + 5);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());
    recorder.takeData = false;

    // Left waiting, the data stays within one read's size, the rest stays
    // with the system until it is taken.
    sck->ConnectEncrypted(QStringLiteral("127.0.0.1"), server.port(), {});
    QTRY_VERIFY(!recorder.counts.isEmpty());
    QTest::qWait(300);
    QVERIFY2(recorder.counts.last() <= ReadChunkBytes,
             qPrintable(QString::number(recorder.counts.last())));

    QByteArray received;
    int arrivals = 0;
    while (received.size() < server.greeting.size()) {
        QTRY_VERIFY(recorder.counts.size() > arrivals);
        arrivals = recorder.counts.size();
        QVERIFY(recorder.counts.last() <= ReadChunkBytes);
        received += sck->GetData();
    }
    QCOMPARE(received, server.greeting);
    QVERIFY(arrivals >= 6);
}

void TlsSocketTest::streamedArrivals()
{
    TlsServer server;
    QVERIFY(server.use(m_leaf));
    server.greeting = binaryPattern(4 * 1024 * 1024 + 7);
    server.closeAfterGreeting = true;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());

    // A stream that ends right after its data: every byte arrives, in order,
    // before the end is reported, and each arrival carries a sizeable piece
    // rather than one record's worth.
    sck->ConnectEncrypted(QStringLiteral("127.0.0.1"), server.port(), {});
    QTRY_VERIFY_WITH_TIMEOUT(recorder.events.contains(QStringLiteral("close")), 20000);
    QCOMPARE(recorder.received.size(), server.greeting.size());
    QVERIFY(recorder.received == server.greeting);
    QCOMPARE(recorder.events.first(), QStringLiteral("connect"));
    QCOMPARE(recorder.events.last(), QStringLiteral("close"));
    QCOMPARE(recorder.events.count(QStringLiteral("close")), 1);
    QVERIFY(recorder.errors.isEmpty());
    const qsizetype arrivals = recorder.counts.size();
    QVERIFY2(arrivals > 0 && arrivals <= server.greeting.size() / (16 * 1024),
             qPrintable(QStringLiteral("%1 arrivals").arg(arrivals)));
    for (qint32 count : std::as_const(recorder.counts))
        QVERIFY(count > 0 && count <= ReadChunkBytes);
    QTest::qWait(200);
    QCOMPARE(recorder.events.last(), QStringLiteral("close"));

    // A listener that closes the connection at its first data hears nothing
    // more of it, although more had been decrypted.
    Recorder closer(sck.get());
    closer.takeData = false;
    closer.onData = [&] { sck->Close(); };
    server.closeAfterGreeting = false;
    sck->ConnectEncrypted(QStringLiteral("127.0.0.1"), server.port(), {});
    const QStringList connectedThenData = {QStringLiteral("connect"), QStringLiteral("data")};
    QTRY_COMPARE(closer.events, connectedThenData);
    QTest::qWait(300);
    QCOMPARE(closer.events, connectedThenData);

    // A new connection made from within the data handler gets only its own
    // data: nothing decrypted for the old one is announced for it.
    TlsServer second;
    QVERIFY(second.use(m_leaf));
    second.greeting = "second station";
    QVERIFY(second.listen(QHostAddress::LocalHost));
    Recorder switcher(sck.get());
    switcher.takeData = false;
    bool switched = false;
    switcher.onData = [&] {
        if (switched)
            switcher.received += sck->GetData();
        else
            sck->ConnectEncrypted(QStringLiteral("127.0.0.1"), second.port(), {});
        switched = true;
    };
    sck->ConnectEncrypted(QStringLiteral("127.0.0.1"), server.port(), {});
    QTRY_COMPARE(switcher.received, second.greeting);
    QTest::qWait(200);
    QCOMPARE(switcher.received, second.greeting);
    const QStringList switchedOver = {QStringLiteral("connect"), QStringLiteral("data"),
                                      QStringLiteral("connect"), QStringLiteral("data")};
    QCOMPARE(switcher.events, switchedOver);
    sck->Close();
}

void TlsSocketTest::ipv6Loopback_data()
{
    QTest::addColumn<bool>("encrypted");
    QTest::newRow("plain") << false;
    QTest::newRow("TLS, host verified by address") << true;
}

void TlsSocketTest::ipv6Loopback()
{
    QFETCH(bool, encrypted);
    const QString host = QStringLiteral("::1");
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());

    if (encrypted) {
        TlsServer server;
        QVERIFY(server.use(m_leaf));
        if (!server.listen(QHostAddress::LocalHostIPv6))
            QSKIP("no IPv6 loopback");
        sck->ConnectEncrypted(host, server.port(), {});
        sck->SendData("over IPv6");
        QTRY_COMPARE(recorder.received, server.greeting);
        QTRY_COMPARE(server.received, QByteArray("over IPv6"));
        QVERIFY(recorder.rejections.isEmpty());
    } else {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHostIPv6))
            QSKIP("no IPv6 loopback");
        sck->Connect(host, server.serverPort());
        QVERIFY(server.waitForNewConnection(5000));
        QTcpSocket *peer = server.nextPendingConnection();
        peer->write("over IPv6");
        QTRY_COMPARE(recorder.received, QByteArray("over IPv6"));
    }
    QCOMPARE(recorder.events.first(), QStringLiteral("connect"));
    QVERIFY(recorder.errors.isEmpty());
}

void TlsSocketTest::icecastOverTls()
{
    IcecastStation station(128, 10);
    station.setTlsListener(true);
    QString error;
    QVERIFY2(station.start(&error), qPrintable(error));
    QFile pem(station.tlsCertificateFile());
    QVERIFY(pem.open(QIODevice::ReadOnly));
    const QByteArray sha256 = QSslCertificate(&pem, QSsl::Pem).digest(QCryptographicHash::Sha256);
    QVERIFY(!sha256.isEmpty());

    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());
    const QString host = QStringLiteral("127.0.0.1");

    sck->ConnectEncrypted(host, station.tlsPort(), {});
    QTRY_COMPARE(recorder.events,
                 QStringList({QStringLiteral("certificate"), QStringLiteral("error")}));
    QCOMPARE(recorder.rejections.first().sha256, sha256);

    recorder.clear();
    sck->ConnectEncrypted(host, station.tlsPort(), sha256);
    sck->SendData("GET / HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(recorder.received.contains("\r\n\r\n"), 10000);
    QVERIFY2(recorder.received.startsWith("HTTP/1.0 200 "),
             qPrintable(QString::fromLatin1(recorder.received.left(200))));
    const qsizetype audioStart = recorder.received.indexOf("\r\n\r\n") + 4;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.received.size() - audioStart >= 32 * 1024, 10000);
    // The bytes after the response are the tone the station streams in a loop.
    const QByteArray loop = readFile(station.audioFile());
    QVERIFY(!loop.isEmpty());
    const QByteArray audio = recorder.received.mid(audioStart, 4096);
    QVERIFY2((loop + loop).contains(audio), "the bytes after the response are not the tone");
    QCOMPARE(recorder.events.first(), QStringLiteral("connect"));
    QVERIFY(recorder.errors.isEmpty());
}

QTEST_GUILESS_MAIN(TlsSocketTest)
#include "tst_tlssocket.moc"
