// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioFormatSniffer.h"

#include <QTest>

using Format = AudioFormatSniffer::Format;

Q_DECLARE_METATYPE(AudioFormatSniffer::Format)

namespace {

// MPEG audio frames: a four-byte header and a body of the length the header
// implies, filled with a byte that never starts a header.
QByteArray mpegFrames(QByteArray header, qsizetype frameLength, int count)
{
    QByteArray frames;
    for (int i = 0; i < count; ++i)
        frames += header + QByteArray(frameLength - header.size(), '\x11');
    return frames;
}

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz: 417 bytes, 418 with padding.
const QByteArray Mp3Header = QByteArray::fromHex("fffb9000");
const QByteArray Mp3PaddedHeader = QByteArray::fromHex("fffb9200");

QByteArray mp3Stream(int frames = 12)
{
    QByteArray stream;
    for (int i = 0; i < frames; ++i)
        stream += i % 3 == 2 ? mpegFrames(Mp3PaddedHeader, 418, 1) : mpegFrames(Mp3Header, 417, 1);
    return stream;
}

// AAC in ADTS frames: MPEG-4 LC, 44.1 kHz, stereo, no CRC.
QByteArray adtsFrames(int count, qsizetype frameLength = 300)
{
    QByteArray frames;
    for (int i = 0; i < count; ++i) {
        QByteArray frame(frameLength, '\x22');
        frame[0] = char(0xff);
        frame[1] = char(0xf1);
        frame[2] = char(0x50);
        frame[3] = char(0x80 | ((frameLength >> 11) & 0x03));
        frame[4] = char((frameLength >> 3) & 0xff);
        frame[5] = char(((frameLength & 0x07) << 5) | 0x1f);
        frame[6] = char(0xfc);
        frames += frame;
    }
    return frames;
}

// An Ogg page holding one packet.
QByteArray oggPage(const QByteArray &packet, bool first)
{
    QByteArray page("OggS", 4);
    page += char(0);
    page += char(first ? 0x02 : 0x00);
    page += QByteArray(8 + 4 + 4 + 4, '\0'); // granule, serial, sequence, checksum
    qsizetype left = packet.size();
    QByteArray lacing;
    while (left >= 255) {
        lacing += char(0xff);
        left -= 255;
    }
    lacing += char(left);
    page += char(lacing.size());
    return page + lacing + packet;
}

const QByteArray VorbisId = QByteArray("\x01vorbis", 7) + QByteArray(23, '\x01');
const QByteArray OpusId = QByteArray("OpusHead") + QByteArray(11, '\x01');
const QByteArray OggFlacId = QByteArray("\x7f"
                                        "FLAC",
                                        5) +
                             QByteArray(46, '\x01');

QByteArray id3Tag(qsizetype bodySize)
{
    QByteArray tag("ID3\x04\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7)
        tag += char((bodySize >> shift) & 0x7f);
    return tag + QByteArray(bodySize, '\xff');
}

// Bytes that hold no format at all: no 0xff, no "O", no "f".
QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(0x20 + (i * 37) % 0x2e);
    return bytes;
}

Format sniff(const QString &type, const QByteArray &bytes, qsizetype piece)
{
    AudioFormatSniffer sniffer(type);
    for (qsizetype pos = 0; pos < bytes.size() && !sniffer.isDecided(); pos += piece)
        sniffer.feed(QByteArrayView(bytes).sliced(pos).first(std::min(piece, bytes.size() - pos)));
    sniffer.finish();
    return sniffer.format();
}

} // namespace

class TestAudioFormatSniffer : public QObject
{
    Q_OBJECT

private slots:
    void formats_data();
    void formats();
    void decidesAsSoonAsClear();
    void names();
};

void TestAudioFormatSniffer::formats_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Format>("format");

    const QString mpeg = QStringLiteral("audio/mpeg");
    QTest::newRow("MP3 as labelled") << mpeg << mp3Stream() << Format::Mp3;
    QTest::newRow("MP3 without type") << QString() << mp3Stream() << Format::Mp3;
    QTest::newRow("MP3 joined mid-frame")
        << QStringLiteral("application/octet-stream") << mp3Stream().mid(201) << Format::Mp3;
    QTest::newRow("MP3 after odd bytes") << QString() << noise(1001) + mp3Stream() << Format::Mp3;
    QTest::newRow("MP3 after a stray sync")
        << QString() << QByteArray::fromHex("fffb90") + mp3Stream() << Format::Mp3;
    QTest::newRow("MPEG-2 Layer III")
        << QString() << mpegFrames(QByteArray::fromHex("fff38000"), 208, 4) << Format::Mp3;
    QTest::newRow("MPEG-2.5 Layer III, 8 kHz")
        << QString() << mpegFrames(QByteArray::fromHex("ffe31800"), 72, 4) << Format::Mp3;
    QTest::newRow("Layer II is not MP3")
        << mpeg << mpegFrames(QByteArray::fromHex("fffda400"), 576, 4) << Format::Mp2;
    QTest::newRow("Layer I is not MP3")
        << QString() << mpegFrames(QByteArray::fromHex("ffff9000"), 312, 4) << Format::Mp2;
    QTest::newRow("MP3 behind an ID3 tag")
        << QString() << id3Tag(3000) + mp3Stream() << Format::Mp3;
    QTest::newRow("MP3 labelled AAC") << QStringLiteral("audio/aacp") << mp3Stream() << Format::Mp3;
    QTest::newRow("AAC labelled MP3") << mpeg << adtsFrames(20) << Format::Aac;
    QTest::newRow("AAC labelled MP3, joined mid-frame")
        << mpeg << adtsFrames(20).mid(77) << Format::Aac;
    QTest::newRow("AAC without type") << QString() << adtsFrames(3) << Format::Aac;
    QTest::newRow("AAC as labelled") << QStringLiteral("audio/aac") << adtsFrames(2) << Format::Aac;
    QTest::newRow("Ogg Vorbis labelled MP3")
        << mpeg << oggPage(VorbisId, true) + oggPage(QByteArray(4000, 'v'), false)
        << Format::OggVorbis;
    QTest::newRow("Opus") << QStringLiteral("audio/ogg")
                          << oggPage(OpusId, true) + oggPage(QByteArray(300, 'o'), false)
                          << Format::Opus;
    QTest::newRow("Ogg FLAC") << QStringLiteral("application/ogg") << oggPage(OggFlacId, true)
                              << Format::OggFlac;
    QTest::newRow("Ogg joined after its first page")
        << QString() << oggPage(QByteArray(600, 'x'), false) << Format::Ogg;
    QTest::newRow("FLAC") << QString() << QByteArray("fLaC\x00\x00\x00\x22", 8) + noise(34)
                          << Format::Flac;
    QTest::newRow("one MPEG header only")
        << QString() << Mp3Header + noise(1000) << Format::Unknown;
    QTest::newRow("free bit rate")
        << QString() << mpegFrames(QByteArray::fromHex("fffb0000"), 400, 4) << Format::Unknown;
    QTest::newRow("reserved sample rate")
        << QString() << mpegFrames(QByteArray::fromHex("fffb9c00"), 417, 4) << Format::Unknown;
    QTest::newRow("16 KiB of nothing") << QString() << noise(20000) << Format::Unknown;
    QTest::newRow("label decides when the bytes say nothing")
        << mpeg << noise(20000) << Format::Mp3;
    QTest::newRow("short AAC stream, label decides")
        << QStringLiteral("audio/aac") << noise(100) << Format::Aac;
    QTest::newRow("empty") << QString() << QByteArray() << Format::Unknown;
    QTest::newRow("MP3 only after 16 KiB is not looked for")
        << QString() << noise(AudioFormatSniffer::MaxBytes) + mp3Stream() << Format::Unknown;
}

void TestAudioFormatSniffer::formats()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, bytes);
    QFETCH(Format, format);

    for (const qsizetype piece : {qsizetype(1), qsizetype(7), qsizetype(1000), bytes.size() + 1})
        QCOMPARE(sniff(type, bytes, piece), format);
}

void TestAudioFormatSniffer::decidesAsSoonAsClear()
{
    // Two MP3 frame headers are enough: the decision comes with the fourth
    // byte of the second one, even when the label says nothing.
    const QByteArray stream = mp3Stream();
    AudioFormatSniffer sniffer;
    QVERIFY(!sniffer.feed(QByteArrayView(stream).first(417 + 3)));
    QCOMPARE(sniffer.format(), Format::Unknown);
    QVERIFY(sniffer.feed(QByteArrayView(stream).sliced(417 + 3, 1)));
    QCOMPARE(sniffer.format(), Format::Mp3);
    QVERIFY(sniffer.feed(adtsFrames(4)));
    QCOMPARE(sniffer.format(), Format::Mp3);

    // With nothing clear, the label waits for 16 KiB, then decides.
    AudioFormatSniffer labelled(QStringLiteral("audio/mpeg"));
    QVERIFY(!labelled.feed(noise(AudioFormatSniffer::MaxBytes - 1)));
    QVERIFY(labelled.feed(noise(1)));
    QCOMPARE(labelled.format(), Format::Mp3);
}

void TestAudioFormatSniffer::names()
{
    QCOMPARE(AudioFormatSniffer::name(Format::Mp3), QStringLiteral("MP3"));
    QCOMPARE(AudioFormatSniffer::name(Format::Aac), QStringLiteral("AAC"));
    QCOMPARE(AudioFormatSniffer::name(Format::OggVorbis), QStringLiteral("Ogg Vorbis"));
    QCOMPARE(AudioFormatSniffer::name(Format::Opus), QStringLiteral("Opus"));
    QCOMPARE(AudioFormatSniffer::name(Format::Flac), QStringLiteral("FLAC"));
    QCOMPARE(AudioFormatSniffer::name(Format::Unknown), QStringLiteral("unknown"));
    QCOMPARE(AudioFormatSniffer::formatForType(QStringLiteral("audio/x-mpeg")), Format::Mp3);
    QCOMPARE(AudioFormatSniffer::formatForType(QStringLiteral("audio/mp4")), Format::Aac);
    QCOMPARE(AudioFormatSniffer::formatForType(QStringLiteral("text/plain")), Format::Unknown);
}

QTEST_GUILESS_MAIN(TestAudioFormatSniffer)
#include "tst_audioformatsniffer.moc"
