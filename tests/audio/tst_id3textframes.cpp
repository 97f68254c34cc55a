// SPDX-License-Identifier: GPL-3.0-or-later
// ID3v2 tags as HLS stations send them, built byte by byte here, read for
// their text frames: both versions, all four text encodings, the size rules
// of each version, unsynchronisation, and damaged or cut tags.

#include "HlsSamples.h"
#include "audio/Id3TextFrames.h"

#include <QTest>

namespace {

using HlsSamples::syncsafe;

QByteArray plain32(qsizetype n)
{
    QByteArray out;
    for (const int shift : {24, 16, 8, 0})
        out += char((n >> shift) & 0xFF);
    return out;
}

// One frame; `formatFlags` is the second flag byte.
QByteArray frame(int version, const QByteArray &id, const QByteArray &data, char formatFlags = 0)
{
    return id + (version == 4 ? syncsafe(data.size()) : plain32(data.size())) + char(0) +
           formatFlags + data;
}

QByteArray textFrame(int version, const QByteArray &id, char encoding, const QByteArray &text)
{
    return frame(version, id, encoding + text);
}

QByteArray tag(int version, const QByteArray &body, char flags = 0)
{
    return QByteArray("ID3") + char(version) + char(0) + flags + syncsafe(body.size()) + body;
}

QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray out;
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8);
        const char lo = char(c.unicode() & 0xFF);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

// Inserts a NUL after every 0xFF, as an unsynchronising writer does.
QByteArray unsynchronise(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        out += c;
        if (quint8(c) == 0xFF)
            out += char(0);
    }
    return out;
}

} // namespace

class TestId3TextFrames : public QObject
{
    Q_OBJECT

private slots:
    void readsTextFrames_data();
    void readsTextFrames();
    void damagedOrCutTags_data();
    void damagedOrCutTags();
    void timedMetadataWithoutItsHeader_data();
    void timedMetadataWithoutItsHeader();
};

void TestId3TextFrames::readsTextFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("song");

    const QString eacute = QStringLiteral("Caf\u00e9 \u00c5rhus");
    const QByteArray artist4 = textFrame(4, "TPE1", 3, "Sigur R\xc3\xb3s");
    QTest::newRow("2.4 UTF-8 title and artist")
        << tag(4, artist4 + textFrame(4, "TIT2", 3, "Hopp\xc3\xadpolla")) << "Hopp\u00edpolla"
        << "Sigur R\u00f3s"
        << "Sigur R\u00f3s - Hopp\u00edpolla";
    QTest::newRow("2.3 Latin-1") << tag(3, textFrame(3, "TIT2", 0, eacute.toLatin1())) << eacute
                                 << "" << eacute;
    QTest::newRow("2.3 UTF-16 little endian with BOM")
        << tag(3, textFrame(3, "TIT2", 1, "\xff\xfe" + utf16(eacute, true)) +
                      textFrame(3, "TPE1", 1, "\xff\xfe" + utf16("Band", true)))
        << eacute << "Band"
        << "Band - " + eacute;
    QTest::newRow("2.4 UTF-16 big endian BOM, NUL ended")
        << tag(4, textFrame(4, "TIT2", 1, "\xfe\xff" + utf16(eacute, false) + QByteArray(2, 0)))
        << eacute << "" << eacute;
    QTest::newRow("2.4 UTF-16BE without BOM")
        << tag(4, textFrame(4, "TPE1", 2, utf16(QStringLiteral("\u00c9dith"), false))) << ""
        << "\u00c9dith"
        << "\u00c9dith";
    QTest::newRow("2.4 several values, every encoding's separator")
        << tag(4, textFrame(4, "TPE1", 3, QByteArray("A\0B\0", 4)) +
                      textFrame(4, "TIT2", 1,
                                "\xff\xfe" + utf16("X", true) + QByteArray(2, 0) + "\xff\xfe" +
                                    utf16("Y", true)))
        << "X / Y"
        << "A / B"
        << "A / B - X / Y";
    QTest::newRow("control characters and blanks")
        << tag(4, textFrame(4, "TIT2", 3, "  Line\none\t\r ")) << "Line one"
        << ""
        << "Line one";
    QTest::newRow("UTF-8 that is Latin-1")
        << tag(4, textFrame(4, "TIT2", 3, "Caf\xe9")) << "Caf\u00e9"
        << ""
        << "Caf\u00e9";
    const QByteArray longTitle = QByteArray("Long ").repeated(60).trimmed();
    QTest::newRow("2.4 frame over 127 bytes, syncsafe size")
        << tag(4, textFrame(4, "TIT2", 3, longTitle) + textFrame(4, "TPE1", 3, "After"))
        << QString::fromLatin1(longTitle) << "After"
        << "After - " + QString::fromLatin1(longTitle);
    QTest::newRow("2.3 frame over 127 bytes, plain size")
        << tag(3, textFrame(3, "TIT2", 0, longTitle) + textFrame(3, "TPE1", 0, "After"))
        << QString::fromLatin1(longTitle) << "After"
        << "After - " + QString::fromLatin1(longTitle);
    QTest::newRow("PRIV, picture and padding passed over")
        << tag(4, frame(4, "PRIV",
                        QByteArray("com.apple.streaming.transportStreamTimestamp\0", 45) +
                            QByteArray(8, '\x01')) +
                      frame(4, "APIC", QByteArray(300, '\xff')) + textFrame(4, "TIT2", 3, "Song") +
                      QByteArray(64, 0))
        << "Song"
        << ""
        << "Song";
    QTest::newRow("2.4 compressed and encrypted frames skipped")
        << tag(4, frame(4, "TIT2", "\x03Packed", 0x08) + frame(4, "TPE1", "\x03Secret", 0x04) +
                      textFrame(4, "TIT2", 3, "Plain"))
        << "Plain"
        << ""
        << "Plain";
    QTest::newRow("2.3 compressed frame skipped, grouped frame read")
        << tag(3, frame(3, "TIT2", QByteArray("\x00Packed", 7), char(0x80)) +
                      frame(3, "TPE1", QByteArray("\x07\x00Grouped", 9), 0x20))
        << ""
        << "Grouped"
        << "Grouped";
    QTest::newRow("2.4 grouping byte and data length")
        << tag(4, frame(4, "TIT2", QByteArray("\x05") + syncsafe(6) + "\x03Title", 0x41)) << "Title"
        << ""
        << "Title";
    // 0xFF then 0xE0 would look like an MPEG sync; the writer breaks it up.
    const QByteArray synced =
        textFrame(3, "TIT2", 0, "\xff\xe0 yes") + textFrame(3, "TPE1", 0, "Z");
    QTest::newRow("2.3 whole tag unsynchronised")
        << tag(3, unsynchronise(synced), char(0x80)) << "\u00ff\u00e0 yes"
        << "Z"
        << "Z - \u00ff\u00e0 yes";
    QTest::newRow("2.4 one frame unsynchronised")
        << tag(4, frame(4, "TIT2", unsynchronise(QByteArray("\x00\xff\xe0 x", 5)), 0x02) +
                      textFrame(4, "TPE1", 0, "\xff"))
        << "\u00ff\u00e0 x"
        << "\u00ff"
        << "\u00ff - \u00ff\u00e0 x";
    QTest::newRow("2.3 extended header")
        << tag(3, plain32(6) + QByteArray(6, 0) + textFrame(3, "TIT2", 0, "Ext"), 0x40) << "Ext"
        << ""
        << "Ext";
    QTest::newRow("2.4 extended header")
        << tag(4, syncsafe(6) + QByteArray("\x01\x00", 2) + textFrame(4, "TIT2", 3, "Ext"), 0x40)
        << "Ext"
        << ""
        << "Ext";
    QTest::newRow("first of two titles counts")
        << tag(4, textFrame(4, "TIT2", 3, "One") + textFrame(4, "TIT2", 3, "Two")) << "One"
        << ""
        << "One";
    QTest::newRow("empty title, artist alone")
        << tag(4, textFrame(4, "TIT2", 3, QByteArray(1, 0)) + textFrame(4, "TPE1", 3, "Solo")) << ""
        << "Solo"
        << "Solo";
}

void TestId3TextFrames::readsTextFrames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, title);
    QFETCH(QString, artist);
    QFETCH(QString, song);
    const std::optional<Id3TextFrames> frames = Id3TextFrames::fromTag(bytes);
    QVERIFY(frames);
    QCOMPARE(frames->text("TIT2"), title);
    QCOMPARE(frames->text("TPE1"), artist);
    QCOMPARE(frames->songTitle(), song);
    // The same tag as MPEG-TS timed metadata.
    const std::optional<Id3TextFrames> timed = Id3TextFrames::fromTimedMetadata(bytes);
    QVERIFY(timed);
    QCOMPARE(timed->songTitle(), song);
}

void TestId3TextFrames::damagedOrCutTags_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("song");
    QTest::addColumn<int>("frames");

    const QByteArray two = textFrame(4, "TIT2", 3, "Title") + textFrame(4, "TPE1", 3, "Artist");
    QTest::newRow("empty") << QByteArray() << false << "" << 0;
    QTest::newRow("not a tag") << QByteArray("StreamTitle='x';") << false << "" << 0;
    QTest::newRow("header alone, cut") << QByteArray("ID3\x04\x00", 5) << false << "" << 0;
    QTest::newRow("version 2.2") << tag(2, two) << false << "" << 0;
    QTest::newRow("version 2.5") << tag(5, two) << false << "" << 0;
    QByteArray badSize = tag(4, two);
    badSize[8] = char(0x80);
    QTest::newRow("size not syncsafe") << badSize << false << "" << 0;
    QTest::newRow("undefined flag") << tag(4, two, 0x08) << false << "" << 0;
    QTest::newRow("extended header larger than the tag")
        << tag(4, syncsafe(500) + QByteArray(2, 0) + two, 0x40) << false << "" << 0;
    QTest::newRow("cut inside the second frame")
        << tag(4, two).left(10 + two.size() - 3) << true << "Title" << 1;
    QTest::newRow("size claims more than arrived")
        << tag(4, two + QByteArray(1000, 'x')).left(10 + two.size()) << true << "Artist - Title"
        << 2;
    QTest::newRow("frame larger than the tag")
        << tag(4, textFrame(4, "TIT2", 3, "Title") + "TPE1" + syncsafe(5000) + QByteArray(12, 'a'))
        << true << "Title" << 1;
    QTest::newRow("damaged frame id ends reading")
        << tag(4, textFrame(4, "TIT2", 3, "Title") + textFrame(4, "tpe1", 3, "Artist") +
                      textFrame(4, "TALB", 3, "Album"))
        << true << "Title" << 1;
    QTest::newRow("unknown text encoding")
        << tag(4, textFrame(4, "TIT2", 7, "Title") + textFrame(4, "TPE1", 3, "Artist")) << true
        << "Artist" << 1;
    QTest::newRow("empty frames") << tag(4, frame(4, "TIT2", {}) + frame(4, "TPE1", "\x03")) << true
                                  << "" << 1;
    QTest::newRow("odd UTF-16 byte dropped")
        << tag(4, textFrame(4, "TIT2", 2, utf16("Ab", false) + 'x')) << true << "Ab" << 1;
}

void TestId3TextFrames::damagedOrCutTags()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, read);
    QFETCH(QString, song);
    QFETCH(int, frames);
    const std::optional<Id3TextFrames> tag = Id3TextFrames::fromTag(bytes);
    QCOMPARE(bool(tag), read);
    if (tag) {
        QCOMPARE(tag->songTitle(), song);
        QCOMPARE(tag->size(), frames);
    }
}

void TestId3TextFrames::timedMetadataWithoutItsHeader_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("song");

    // What FFmpeg's MPEG-TS demuxer delivers: the tag less "ID3" and its
    // two version bytes.
    const auto stripped = [](const QByteArray &whole) { return whole.mid(5); };
    const QByteArray longTitle = QByteArray("Long ").repeated(40).trimmed();
    const QString longSong = QStringLiteral("Band - ") + QString::fromLatin1(longTitle);
    QTest::newRow("2.4, short frames")
        << stripped(tag(4, textFrame(4, "TPE1", 3, "Band") + textFrame(4, "TIT2", 3, "Song")))
        << true << "Band - Song";
    QTest::newRow("2.4, a long frame")
        << stripped(tag(4, textFrame(4, "TPE1", 3, "Band") + textFrame(4, "TIT2", 3, longTitle)))
        << true << longSong;
    QTest::newRow("2.3, a long frame")
        << stripped(tag(3, textFrame(3, "TPE1", 0, "Band") + textFrame(3, "TIT2", 0, longTitle)))
        << true << longSong;
    QTest::newRow("2.3, a long frame, padded")
        << stripped(tag(3, textFrame(3, "TPE1", 0, "Band") + textFrame(3, "TIT2", 0, longTitle) +
                               QByteArray(100, 0)))
        << true << longSong;
    QTest::newRow("2.4 unsynchronised frame")
        << stripped(tag(4, frame(4, "TIT2", unsynchronise(QByteArray("\x00\xff\xe0", 3)), 0x02)))
        << true << "\u00ff\u00e0";
    QTest::newRow("tag cut short")
        << stripped(tag(4, textFrame(4, "TIT2", 3, "Song"))).chopped(1) << false << "";
    QTest::newRow("frames that fit neither version")
        << stripped(tag(4, textFrame(4, "TIT2", 3, "Song") + "junk!")) << false << "";
    QTest::newRow("undefined flags")
        << stripped(tag(4, textFrame(4, "TIT2", 3, "Song"), 0x01)) << false << "";
    QTest::newRow("audio, not a tag")
        << QByteArray("\xff\xf1\x50\x80\x02\x1f\xfc", 7) << false << "";
    QTest::newRow("too short") << QByteArray("\x00\x00", 2) << false << "";
}

void TestId3TextFrames::timedMetadataWithoutItsHeader()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, read);
    QFETCH(QString, song);
    const std::optional<Id3TextFrames> tag = Id3TextFrames::fromTimedMetadata(packet);
    QCOMPARE(bool(tag), read);
    if (tag)
        QCOMPARE(tag->songTitle(), song);
}

QTEST_GUILESS_MAIN(TestId3TextFrames)
#include "tst_id3textframes.moc"
