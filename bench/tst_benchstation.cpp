// SPDX-License-Identifier: GPL-3.0-or-later
// The bench's station must send what the measurements assume: the pattern
// or a looped file, title blocks only to a client that asks for them, at
// the pace asked for, over TLS with the certificate whose fingerprint the
// bench gives Tavrix. The titled stream is read back with the program's own
// demuxer and title parser. The pattern check that judges Tavrix's files
// must see every kind of damage.

#include "BenchStation.h"
#include "StreamPattern.h"
#include "audio/IcyMetadataDemuxer.h"
#include "audio/StreamTitle.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One whole response of the station at `port`: header block and body,
// until the station closes the connection.
QByteArray fetch(QTcpSocket &socket, quint16 port, const QByteArray &request, bool tls)
{
    if (tls)
        static_cast<QSslSocket &>(socket).connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    else
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!(tls ? static_cast<QSslSocket &>(socket).waitForEncrypted(10000)
              : socket.waitForConnected(10000)))
        return QByteArray("no connection: ") + socket.errorString().toUtf8();
    socket.write(request);
    QByteArray response;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        response += socket.readAll();
    response += socket.readAll();
    return response;
}

QByteArray headerOf(const QByteArray &response)
{
    return response.left(response.indexOf("\r\n\r\n") + 4);
}

QByteArray bodyOf(const QByteArray &response)
{
    return response.mid(response.indexOf("\r\n\r\n") + 4);
}

} // namespace

class BenchStationTest : public QObject
{
    Q_OBJECT

private slots:
    void titleBlocksOnlyWhenAsked_data();
    void titleBlocksOnlyWhenAsked();
    void loopedFileAtItsPace();
    void tlsWithTheFingerprintTavrixIsGiven();
    void patternCheckSeesDamage_data();
    void patternCheckSeesDamage();
};

void BenchStationTest::titleBlocksOnlyWhenAsked_data()
{
    QTest::addColumn<int>("metaInt");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<int>("audioBytes");
    // 300 blocks: the title changes after block 256.
    QTest::newRow("bench's interval, asked") << 16000 << (1 << 20) << true << 300 * 16000 + 123;
    QTest::newRow("blocks straddle small writes") << 1000 << 777 << true << 300 * 1000;
    QTest::newRow("not asked: plain audio") << 16000 << (1 << 20) << false << 100000;
}

void BenchStationTest::titleBlocksOnlyWhenAsked()
{
    QFETCH(int, metaInt);
    QFETCH(int, chunk);
    QFETCH(bool, asks);
    QFETCH(int, audioBytes);
    StationOptions options;
    options.audioBytes = std::uint64_t(audioBytes);
    options.metaInt = std::size_t(metaInt);
    options.chunkBytes = std::size_t(chunk);
    const StationProcess station(options);

    QTcpSocket socket;
    const QByteArray request = QByteArrayLiteral("GET / HTTP/1.0\r\n") +
                               (asks ? QByteArrayLiteral("Icy-MetaData: 1\r\n") : QByteArray()) +
                               QByteArrayLiteral("\r\n");
    const QByteArray response = fetch(socket, station.port(), request, false);
    const QByteArray header = headerOf(response);
    QCOMPARE(header, QByteArray::fromStdString(stationHeader(options, asks)));
    QCOMPARE(header.contains("icy-metaint:" + QByteArray::number(metaInt) + "\r\n"), asks);

    IcyMetadataDemuxer demuxer(asks ? metaInt : 0);
    QByteArray audio;
    demuxer.feed(bodyOf(response), audio);
    QCOMPARE(audio.size(), qsizetype(audioBytes));
    QVERIFY(StreamPattern().matches(audio.constData(), std::size_t(audio.size()), 0));
    QVERIFY(!demuxer.insideMetadata());

    const QList<IcyMetadataBlock> blocks = demuxer.takeBlocks();
    QCOMPARE(blocks.size(), asks ? qsizetype(audioBytes / metaInt) : 0);
    QStringList titles;
    for (const IcyMetadataBlock &block : blocks) {
        const StreamTitle title = StreamTitle::fromMetadata(block.bytes);
        QVERIFY(title.hasTitle && title.hasUrl);
        if (titles.isEmpty() || titles.last() != title.title)
            titles << title.title;
    }
    if (asks)
        QCOMPARE(titles, QStringList({QStringLiteral("Bench Artist - Song 0"),
                                      QStringLiteral("Bench Artist - Song 1")}));
}

void BenchStationTest::loopedFileAtItsPace()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QByteArray file;
    for (int i = 0; i < 1000; ++i)
        file += char(i * 7 + i / 256);
    QFile out(folder.filePath(QStringLiteral("loop.aac")));
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();

    StationOptions options;
    options.audioFile = out.fileName().toStdString();
    options.contentType = "audio/aac";
    options.bitrate.clear();
    options.audioBytes = 3500;
    options.bytesPerSecond = 10000;
    options.chunkBytes = 250;
    const StationProcess station(options);

    QTcpSocket socket;
    QElapsedTimer elapsed;
    elapsed.start();
    const QByteArray response =
        fetch(socket, station.port(), QByteArrayLiteral("GET / HTTP/1.0\r\n\r\n"), false);
    QVERIFY(headerOf(response).contains("\r\ncontent-type:audio/aac\r\n"));
    QVERIFY(!headerOf(response).contains("icy-br"));
    QCOMPARE(bodyOf(response), file + file + file + file.left(500));
    // The last chunk leaves at 3250 / 10000 s.
    QVERIFY2(elapsed.elapsed() >= 320, qPrintable(QString::number(elapsed.elapsed())));
}

void BenchStationTest::tlsWithTheFingerprintTavrixIsGiven()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const StationCertificate certificate = makeStationCertificate(folder.path().toStdString());
    const QList<QSslCertificate> loaded =
        QSslCertificate::fromPath(QString::fromStdString(certificate.certificateFile));
    QCOMPARE(loaded.size(), qsizetype(1));
    QCOMPARE(QByteArray::fromStdString(certificate.sha256),
             loaded.first().digest(QCryptographicHash::Sha256).toHex());

    StationOptions options;
    options.audioBytes = 3 * StreamPattern::RandomPeriod + 17;
    options.certificateFile = certificate.certificateFile;
    options.keyFile = certificate.keyFile;
    const StationProcess station(options);

    QSslSocket socket;
    QByteArray seen;
    connect(&socket, &QSslSocket::sslErrors, &socket, [&] {
        seen = socket.peerCertificate().digest(QCryptographicHash::Sha256).toHex();
        socket.ignoreSslErrors();
    });
    const QByteArray response =
        fetch(socket, station.port(), QByteArrayLiteral("GET / HTTP/1.0\r\n\r\n"), true);
    QCOMPARE(seen, QByteArray::fromStdString(certificate.sha256));
    QCOMPARE(headerOf(response), QByteArray::fromStdString(stationHeader(options, false)));
    const QByteArray body = bodyOf(response);
    QCOMPARE(body.size(), qsizetype(options.audioBytes));
    QVERIFY(StreamPattern().matches(body.constData(), std::size_t(body.size()), 0));
}

void BenchStationTest::patternCheckSeesDamage_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("sound");
    QTest::newRow("intact, across the pattern's period") << "none" << true;
    QTest::newRow("one byte lost") << "lost" << false;
    QTest::newRow("a piece repeated") << "repeated" << false;
    QTest::newRow("two pieces swapped") << "swapped" << false;
    QTest::newRow("one bit flipped") << "flipped" << false;
    QTest::newRow("file from the wrong offset") << "shifted" << false;
}

// Two files as Tavrix would write them, the second going on where the first
// ends; `damage` spoils the second.
void BenchStationTest::patternCheckSeesDamage()
{
    QFETCH(QString, damage);
    QFETCH(bool, sound);
    const StreamPattern pattern;
    constexpr std::uint64_t First = StreamPattern::RandomPeriod - 1000;
    constexpr std::size_t Second = 1 << 20; // crosses the end of the period
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    };
    const auto bytesAt = [&](std::uint64_t offset, std::size_t size) {
        QByteArray bytes;
        for (std::size_t done = 0; done < size;) {
            const std::size_t n = std::min(size - done, StreamPattern::RandomPeriod);
            bytes.append(pattern.at(offset + done), qsizetype(n));
            done += n;
        }
        return bytes;
    };
    write(QStringLiteral("000_strm.mp3"), bytesAt(0, First));
    QByteArray second = bytesAt(First, Second);
    if (damage == QLatin1String("lost"))
        second.remove(5000, 1);
    else if (damage == QLatin1String("repeated"))
        second.insert(70000, second.mid(60000, 4096));
    else if (damage == QLatin1String("swapped"))
        second = second.mid(4096, 4096) + second.left(4096) + second.mid(8192);
    else if (damage == QLatin1String("flipped"))
        second[Second - 1] = char(second[Second - 1] ^ 0x10);
    else if (damage == QLatin1String("shifted"))
        second = bytesAt(First + 1, Second);
    write(QStringLiteral("001_strm.mp3"), second);

    std::uint64_t size = 0;
    QCOMPARE(
        pattern.checkFile(folder.filePath(QStringLiteral("000_strm.mp3")).toStdString(), 0, &size),
        std::string());
    QCOMPARE(size, First);
    const std::string problem = pattern.checkFile(
        folder.filePath(QStringLiteral("001_strm.mp3")).toStdString(), First, &size);
    QCOMPARE(problem.empty(), sound);
    if (sound)
        QCOMPARE(size, std::uint64_t(Second));
}

QTEST_GUILESS_MAIN(BenchStationTest)
#include "tst_benchstation.moc"
