// SPDX-License-Identifier: GPL-3.0-or-later
// The socket component module, loaded as the program loads it, against a
// QTcpServer on the loopback interface.

#include "ScriptedStation.h"
#include "SocketRecorder.h"
#include "net/SocketComponent.h"
#include "net/SocketModule.h"
#include "platform/ReceiveThreshold.h"

#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>

namespace {

using Recorder = SocketRecorder;

} // namespace

class tst_SocketComponent : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void moduleLoading();
    void connectSendAndReceive();
    void dataWaitsUntilTaken();
    void arrivalSize();
    void peerCloseAfterData_data();
    void peerCloseAfterData();
    void eventsOneAtATime_data();
    void eventsOneAtATime();
    void failedConnection_data();
    void failedConnection();
    void closeStopsEvents();
    void connectReplacesConnection();
    void listenerMayDestroyComponent();

private:
    QTcpSocket *accept();

    QTcpServer m_server;
};

void tst_SocketComponent::init()
{
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
}

void tst_SocketComponent::cleanup()
{
    m_server.close();
}

QTcpSocket *tst_SocketComponent::accept()
{
    if (!m_server.hasPendingConnections() && !m_server.waitForNewConnection(5000))
        return nullptr;
    return m_server.nextPendingConnection();
}

void tst_SocketComponent::moduleLoading()
{
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    for (const QString &folder : {empty.path(), empty.filePath(QStringLiteral("missing"))}) {
        QString error;
        QVERIFY(!SocketModule::create(folder, &error));
        QVERIFY2(!error.isEmpty(), qPrintable(folder));
    }
    // Loading again, as a new main window does, gives another component.
    QString error;
    QVERIFY(SocketModule::create(QStringLiteral(TAVRIX_COMPONENT_DIR), &error));
    QVERIFY(SocketModule::create(QStringLiteral(TAVRIX_COMPONENT_DIR), &error));
}

void tst_SocketComponent::connectSendAndReceive()
{
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());

    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QVERIFY(recorder.events.isEmpty());
    QTRY_COMPARE(recorder.events, QStringList{QStringLiteral("connect")});
    QTcpSocket *peer = accept();
    QVERIFY(peer);

    const QByteArray request("GET / HTTP/1.0\r\n\r\n");
    sck->SendData(request);
    sck->SendData(QByteArray("\x00\xff\x80", 3));
    QTRY_COMPARE(peer->bytesAvailable(), request.size() + 3);
    QCOMPARE(peer->readAll(), request + QByteArray("\x00\xff\x80", 3));

    const QByteArray payload = binaryPattern(3 * 1024 * 1024 + 17);
    for (qsizetype at = 0; at < payload.size(); at += 65536)
        peer->write(payload.mid(at, 65536));
    QTRY_COMPARE(recorder.received.size(), payload.size());
    QCOMPARE(recorder.received, payload);
    QCOMPARE(recorder.announcedTotal(), payload.size());
    QVERIFY(!recorder.events.contains(QStringLiteral("close")));
    QVERIFY(!recorder.events.contains(QStringLiteral("error")));
}

void tst_SocketComponent::dataWaitsUntilTaken()
{
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());
    recorder.takeData = false;
    QCOMPARE(sck->GetData(), QByteArray());

    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *peer = accept();
    QVERIFY(peer);
    QTRY_COMPARE(recorder.events.size(), 1);

    peer->write("ICY 200 OK\r\n");
    QTRY_COMPARE(recorder.counts.size(), 1);
    QCOMPARE(recorder.counts.last(), 12);
    peer->write("icy-name:x\r\n\r\n");
    // The count covers everything waiting, not only the latest arrival.
    QTRY_COMPARE(recorder.counts.last(), 26);
    QCOMPARE(sck->GetData(), QByteArray("ICY 200 OK\r\nicy-name:x\r\n\r\n"));
    QCOMPARE(sck->GetData(), QByteArray());

    peer->write("abc");
    QTRY_COMPARE(recorder.counts.last(), 3);
    QCOMPARE(sck->GetData(), QByteArray("abc"));
}

void tst_SocketComponent::arrivalSize()
{
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());
    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *peer = accept();
    QVERIFY(peer);
    QTRY_COMPARE(recorder.events, QStringList{QStringLiteral("connect")});

    if (!setReceiveThreshold(peer->socketDescriptor(), 1))
        QSKIP("This system has no receive low-water mark: every piece is an arrival");
    // Bytes short of the size wait in the system, but not for ever: a
    // station that pauses still has them taken about a second later.
    sck->SetArrivalSize(4096);
    const QByteArray payload = binaryPattern(6010);
    peer->write(payload.left(1000));
    QTest::qWait(300);
    QCOMPARE(recorder.received.size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.received, payload.left(1000), 5000);

    // Enough bytes make an arrival; the end of the connection brings what
    // is short of the size, before the close.
    sck->SetArrivalSize(4096);
    peer->write(payload.mid(1000, 5000));
    QTRY_COMPARE(recorder.received, payload.left(6000));
    sck->SetArrivalSize(4096);
    peer->write(payload.mid(6000));
    peer->disconnectFromHost();
    QTRY_VERIFY(recorder.events.contains(QStringLiteral("close")));
    QCOMPARE(recorder.received, payload);
}

void tst_SocketComponent::peerCloseAfterData_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("takeData");
    QTest::newRow("small, taken") << 100 << true;
    QTest::newRow("large, taken") << 4 * 1024 * 1024 << true;
    QTest::newRow("small, left waiting") << 100 << false;
}

void tst_SocketComponent::peerCloseAfterData()
{
    QFETCH(int, size);
    QFETCH(bool, takeData);
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());
    recorder.takeData = takeData;
    recorder.closeOnEnd = takeData;

    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *peer = accept();
    QVERIFY(peer);
    const QByteArray payload = binaryPattern(size);
    peer->write(payload);
    peer->disconnectFromHost();

    QTRY_VERIFY(recorder.events.contains(QStringLiteral("close")));
    QCOMPARE(recorder.events.first(), QStringLiteral("connect"));
    QCOMPARE(recorder.events.last(), QStringLiteral("close"));
    QCOMPARE(recorder.events.count(QStringLiteral("close")), 1);
    QVERIFY(!recorder.events.contains(QStringLiteral("error")));
    if (takeData) {
        QCOMPARE(recorder.received, payload);
        QCOMPARE(recorder.announcedTotal(), payload.size());
    } else {
        // Still there to be taken after the close.
        QCOMPARE(recorder.counts.last(), size);
        QCOMPARE(sck->GetData(), payload);
    }
    QVERIFY(recorder.displayed.isEmpty());
}

void tst_SocketComponent::eventsOneAtATime_data()
{
    QTest::addColumn<bool>("inConnectHandler");
    QTest::addColumn<int>("size");
    QTest::newRow("connect handler") << true << 1000;
    QTest::newRow("data handler, short rest") << false << 1000;
    QTest::newRow("data handler, long rest") << false << 256 * 1024;
}

void tst_SocketComponent::eventsOneAtATime()
{
    QFETCH(bool, inConnectHandler);
    QFETCH(int, size);
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());
    recorder.closeOnEnd = true;

    // One handler runs an event loop for a while; data and the close come in
    // during it and must wait until it has returned.
    if (inConnectHandler)
        recorder.nestedLoopMs = 500;
    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *peer = accept();
    QVERIFY(peer);
    QByteArray expected;
    if (!inConnectHandler) {
        QTRY_COMPARE(recorder.events.size(), 1);
        recorder.nestedLoopMs = 500;
        peer->write("first");
        expected = "first";
    }
    const QByteArray rest = binaryPattern(size);
    expected += rest;
    QTimer::singleShot(100, peer, [peer, rest] {
        peer->write(rest);
        peer->disconnectFromHost();
    });

    QTRY_VERIFY(recorder.events.contains(QStringLiteral("close")));
    QCOMPARE(recorder.maxDepth, 1);
    QCOMPARE(recorder.received, expected);
    QCOMPARE(recorder.events.first(), QStringLiteral("connect"));
    QCOMPARE(recorder.events.last(), QStringLiteral("close"));
}

void tst_SocketComponent::failedConnection_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("number"); // 0: any
    QTest::addColumn<bool>("cancelDisplay");
    QTest::addColumn<bool>("withDisplay");
    const QString local = QStringLiteral("127.0.0.1");
    QTest::newRow("refused, shown") << local << 10061 << false << true;
    QTest::newRow("refused, suppressed by the handler") << local << 10061 << true << true;
    QTest::newRow("refused, no display set") << local << 10061 << false << false;
    QTest::newRow("no host name") << QString() << 11001 << false << true;
    // Fails inside connectToHost() itself.
    QTest::newRow("broadcast address") << QStringLiteral("255.255.255.255") << 0 << false << true;
}

void tst_SocketComponent::failedConnection()
{
    QFETCH(QString, host);
    QFETCH(int, number);
    QFETCH(bool, cancelDisplay);
    QFETCH(bool, withDisplay);
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());
    recorder.cancelDisplay = cancelDisplay;
    recorder.closeOnEnd = true;
    if (!withDisplay)
        sck->setErrorDisplay(nullptr);
    const quint16 port = closedPort();
    QVERIFY(port != 0);

    sck->Connect(host, port);
    // The outcome comes later, never from inside Connect().
    QVERIFY(recorder.events.isEmpty());
    QTRY_COMPARE(recorder.events, QStringList{QStringLiteral("error")});
    if (number != 0)
        QCOMPARE(recorder.errors.first().first, qint16(number));
    QVERIFY(recorder.errors.first().first > 0);
    QVERIFY(!recorder.errors.first().second.isEmpty());
    if (cancelDisplay || !withDisplay)
        QVERIFY(recorder.displayed.isEmpty());
    else
        QCOMPARE(recorder.displayed, recorder.errors);

    // No further event for the failed connection.
    QTest::qWait(100);
    QCOMPARE(recorder.events.size(), 1);
}

void tst_SocketComponent::closeStopsEvents()
{
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());

    sck->Close();
    sck->Close();
    QCOMPARE(sck->GetData(), QByteArray());
    sck->SendData("nobody listens");

    // A refused attempt closed before its error is reported.
    sck->Connect(QStringLiteral("127.0.0.1"), closedPort());
    sck->Close();

    // Data and the close that came in while the connect handler was still
    // running, closed by that handler.
    recorder.nestedLoopMs = 300;
    recorder.afterNestedLoop = [&] { sck->Close(); };
    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *peer = accept();
    QVERIFY(peer);
    peer->write(binaryPattern(70000));
    peer->disconnectFromHost();
    QTRY_COMPARE(recorder.events.size(), 1);
    QTest::qWait(500);
    QCOMPARE(recorder.events, QStringList{QStringLiteral("connect")});
    QCOMPARE(sck->GetData(), QByteArray());

    // Data and the close already on their way when the connection is closed.
    recorder.events.clear();
    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    peer = accept();
    QVERIFY(peer);
    QTRY_COMPARE(recorder.events.size(), 1);
    peer->write(binaryPattern(70000));
    peer->disconnectFromHost();
    QVERIFY(peer->state() == QAbstractSocket::UnconnectedState || peer->waitForDisconnected(5000));
    sck->Close();

    QTest::qWait(300);
    QCOMPARE(recorder.events, QStringList{QStringLiteral("connect")});
    QVERIFY(recorder.errors.isEmpty());
    QVERIFY(recorder.displayed.isEmpty());
}

void tst_SocketComponent::connectReplacesConnection()
{
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());

    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *first = accept();
    QVERIFY(first);
    QTRY_COMPARE(recorder.events.size(), 1);

    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *second = accept();
    QVERIFY(second);
    QTRY_COMPARE(recorder.events.size(), 2);
    // The old connection is gone and says nothing more.
    QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
    first->write("stale");
    second->write("fresh");
    sck->SendData("hello");
    QTRY_COMPARE(recorder.received, QByteArray("fresh"));
    QTRY_COMPARE(second->bytesAvailable(), 5);
    QCOMPARE(second->readAll(), QByteArray("hello"));

    // Reconnecting from a handler while events of the old connection wait.
    recorder.nestedLoopMs = 300;
    recorder.afterNestedLoop = [&] {
        sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    };
    sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *third = accept();
    QVERIFY(third);
    third->write("stale");
    third->disconnectFromHost();
    QTRY_COMPARE(recorder.events.size(), 4);
    QTcpSocket *fourth = accept();
    QVERIFY(fourth);
    fourth->write("new");
    QTRY_COMPARE(recorder.received, QByteArray("freshnew"));
    QTest::qWait(100);
    QCOMPARE(recorder.events, QStringList({QStringLiteral("connect"), QStringLiteral("connect"),
                                           QStringLiteral("data"), QStringLiteral("connect"),
                                           QStringLiteral("connect"), QStringLiteral("data")}));
}

void tst_SocketComponent::listenerMayDestroyComponent()
{
    auto sck = loadSocketComponent();
    QVERIFY(sck);
    Recorder recorder(sck.get());
    recorder.owner = std::move(sck);
    recorder.destroyOnData = true;

    recorder.sck->Connect(QStringLiteral("127.0.0.1"), m_server.serverPort());
    QTcpSocket *peer = accept();
    QVERIFY(peer);
    QTRY_COMPARE(recorder.events.size(), 1);
    peer->write("bye");
    peer->disconnectFromHost();
    QTRY_VERIFY(!recorder.owner);
    QTest::qWait(100);
    QCOMPARE(recorder.events, QStringList({QStringLiteral("connect"), QStringLiteral("data")}));
}

QTEST_MAIN(tst_SocketComponent)
#include "tst_socketcomponent.moc"
