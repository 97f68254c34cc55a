// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/StreamTitle.h"

#include <QTest>

class TestStreamTitle : public QObject
{
    Q_OBJECT

private slots:
    void fromMetadata_data();
    void fromMetadata();
    void longestTitle();
};

void TestStreamTitle::fromMetadata_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("hasTitle");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("hasUrl");
    QTest::addColumn<QString>("url");

    const auto padded = [](QByteArray text) {
        text.append((16 - text.size() % 16) % 16, '\0');
        return text;
    };

    QTest::newRow("title and address, padded")
        << padded("StreamTitle='Daft Punk - Veridis Quo';StreamUrl='http://example.org/a.jpg';")
        << true << "Daft Punk - Veridis Quo" << true << "http://example.org/a.jpg";
    QTest::newRow("quotes inside the title")
        << padded("StreamTitle='Guns N' Roses - Don't Cry';StreamUrl='';") << true
        << "Guns N' Roses - Don't Cry" << true << "";
    QTest::newRow("title ending with a quote") << QByteArray("StreamTitle='They Say 'Hello'';")
                                               << true << "They Say 'Hello'" << false << "";
    QTest::newRow("quote and semicolon inside the title")
        << QByteArray("StreamTitle='Live';Acoustic';StreamUrl='u';") << true << "Live';Acoustic"
        << true << "u";
    QTest::newRow("other keys around")
        << QByteArray("adw_ad='true';StreamTitle='Ad Break';durationMilliseconds='30000';") << true
        << "Ad Break" << false << "";
    QTest::newRow("key in other letter case")
        << QByteArray("streamtitle='Lower';STREAMURL='upper';") << true << "Lower" << true
        << "upper";
    QTest::newRow("first title counts")
        << QByteArray("StreamTitle='One';StreamTitle='Two';") << true << "One" << false << "";
    QTest::newRow("UTF-8") << QByteArray("StreamTitle='Sigur R\xc3\xb3s - Hopp\xc3\xadpolla';")
                           << true << QStringLiteral("Sigur Rós - Hoppípolla") << false << "";
    QTest::newRow("Latin-1") << padded("StreamTitle='Mot\xf6rhead - \xc4\xdf';StreamUrl='';")
                             << true << QStringLiteral("Motörhead - Äß") << true << "";
    QTest::newRow("UTF-8 title, Latin-1 address")
        << QByteArray("StreamTitle='Caf\xc3\xa9';StreamUrl='caf\xe9';") << true
        << QStringLiteral("Café") << true << QStringLiteral("café");
    QTest::newRow("markup is plain text")
        << QByteArray("StreamTitle='<b>Bold</b> &amp; <a href=\"x\">link</a>';") << true
        << "<b>Bold</b> &amp; <a href=\"x\">link</a>" << false << "";
    QTest::newRow("control characters and blanks")
        << QByteArray("StreamTitle='  Line\nbreak\tand\x01"
                      "bell  ';")
        << true << "Line break and bell" << false << "";
    QTest::newRow("empty title") << padded("StreamTitle='';") << true << "" << false << "";
    QTest::newRow("blank title") << padded("StreamTitle='   ';StreamUrl='';") << true << "" << true
                                 << "";
    QTest::newRow("address only") << QByteArray("StreamUrl='http://x';") << false << "" << true
                                  << "http://x";
    QTest::newRow("no final semicolon")
        << padded("StreamTitle='Artist - Song'") << true << "Artist - Song" << false << "";
    QTest::newRow("cut short") << QByteArray("StreamTitle='Artist - So") << true << "Artist - So"
                               << false << "";
    QTest::newRow("nothing after the NUL")
        << QByteArray("StreamTitle='A';\0StreamUrl='b';", 31) << true << "A" << false << "";
    QTest::newRow("empty block") << QByteArray(16, '\0') << false << "" << false << "";
    QTest::newRow("garbage") << QByteArray("\xff\xfb\x90\x00garbage='", 12) << false << "" << false
                             << "";
    QTest::newRow("garbage after a pair")
        << QByteArray("StreamTitle='Kept'; %%% junk") << true << "Kept" << false << "";
    QTest::newRow("no quotes") << QByteArray("StreamTitle=Plain;") << false << "" << false << "";
}

void TestStreamTitle::fromMetadata()
{
    QFETCH(QByteArray, block);
    const StreamTitle parsed = StreamTitle::fromMetadata(block);
    QTEST(parsed.hasTitle, "hasTitle");
    QTEST(parsed.title, "title");
    QTEST(parsed.hasUrl, "hasUrl");
    QTEST(parsed.url, "url");
}

// The longest block (4080 bytes) carries a title of 4000 characters whole.
void TestStreamTitle::longestTitle()
{
    QString expected;
    for (int i = 0; i < 4000; ++i)
        expected += QChar(u'a' + i % 26);
    QByteArray block = "StreamTitle='" + expected.toLatin1() + "';StreamUrl='';";
    block.append(4080 - block.size(), '\0');
    const StreamTitle parsed = StreamTitle::fromMetadata(block);
    QCOMPARE(parsed.title, expected);
    QVERIFY(parsed.hasUrl);
}

QTEST_GUILESS_MAIN(TestStreamTitle)
#include "tst_streamtitle.moc"
