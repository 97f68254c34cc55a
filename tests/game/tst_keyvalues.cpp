// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/KeyValues.h"

#include <QTest>

class KeyValuesTest : public QObject
{
    Q_OBJECT

private slots:
    void steamFilesAreRead();
    void stringsCommentsAndConditions();
    void malformedInputGivesAnError_data();
    void malformedInputGivesAnError();
};

void KeyValuesTest::steamFilesAreRead()
{
    const QByteArray libraries = R"("libraryfolders"
{
	"0"
	{
		"path"		"/home/player/.local/share/Steam"
		"label"		""
		"apps"
		{
			"12100"		"1287349"
		}
	}
	"1"
	{
		"path"		"/mnt/Spiele Ü/SteamLibrary"
	}
}
)";
    const KeyValuesParse parsed = parseKeyValues(libraries);
    QVERIFY2(parsed.root, qPrintable(parsed.error));
    QCOMPARE(parsed.root->children.size(), 1);
    const KeyValues *folders = parsed.root->child(u"LibraryFolders"); // any letter case
    QVERIFY(folders && folders->isBlock);
    QCOMPARE(folders->children.size(), 2);
    QCOMPARE(folders->children[0].childValue(u"path"), "/home/player/.local/share/Steam");
    QCOMPARE(folders->children[0].childValue(u"label"), "");
    QCOMPARE(folders->children[0].child(u"apps")->childValue(u"12100"), "1287349");
    QCOMPARE(folders->children[1].childValue(u"PATH"), "/mnt/Spiele Ü/SteamLibrary");
    // A block is not a string value, and a missing key is nothing.
    QCOMPARE(folders->children[0].childValue(u"apps"), QString());
    QVERIFY(!folders->child(u"2"));

    const KeyValuesParse manifest = parseKeyValues(
        "\"AppState\"\n{\n\t\"appid\"\t\t\"12110\"\n\t\"installdir\"\t\t\"Grand Theft Auto Vice "
        "City\"\n}\n");
    QVERIFY2(manifest.root, qPrintable(manifest.error));
    QCOMPARE(manifest.root->child(u"appstate")->childValue(u"installdir"),
             "Grand Theft Auto Vice City");
}

void KeyValuesTest::stringsCommentsAndConditions()
{
    const QByteArray text = "// leading comment\r\n"
                            "root { // after a brace\r\n"
                            "  bare value\r\n"
                            "  \"escaped\" \"a\\\"b\\\\c\\nd\\te\\q\"\r\n"
                            "  \"url\" \"http://x//y\" // the quoted // stays\r\n"
                            "  \"cond\" \"1\" [$WIN32]\r\n"
                            "  \"empty\" {}\r\n"
                            "  \"tight\"{\"k\"\"v\"}[$LINUX]\r\n"
                            "  \"multi\" \"two\nlines\"\r\n"
                            "}\r\n"
                            "second \"top-level\"";
    const KeyValuesParse parsed = parseKeyValues(text);
    QVERIFY2(parsed.root, qPrintable(parsed.error));
    QCOMPARE(parsed.root->children.size(), 2);
    const KeyValues &root = parsed.root->children[0];
    QCOMPARE(root.childValue(u"bare"), "value");
    QCOMPARE(root.childValue(u"escaped"), "a\"b\\c\nd\te\\q");
    QCOMPARE(root.childValue(u"url"), "http://x//y");
    QCOMPARE(root.childValue(u"cond"), "1");
    QVERIFY(root.child(u"empty")->isBlock);
    QVERIFY(root.child(u"empty")->children.isEmpty());
    QCOMPARE(root.child(u"tight")->childValue(u"k"), "v");
    QCOMPARE(root.childValue(u"multi"), "two\nlines");
    QCOMPARE(parsed.root->childValue(u"second"), "top-level");

    const KeyValuesParse empty = parseKeyValues("  // nothing but a comment");
    QVERIFY(empty.root && empty.root->children.isEmpty());
}

void KeyValuesTest::malformedInputGivesAnError_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("unterminated string")
        << QByteArray("\"a\" {\n \"path\" \"/mnt/x\n}\n") << "line 2: unterminated string";
    QTest::newRow("missing brace")
        << QByteArray("\"a\"\n{\n\"b\" \"c\"\n") << "line 4: missing '}' at the end";
    QTest::newRow("extra brace") << QByteArray("\"a\" \"b\"\n}") << "line 2: '}' without a block";
    QTest::newRow("key without value") << QByteArray("\"a\" { \"b\" }") << "key \"b\" has no value";
    QTest::newRow("key at the end") << QByteArray("lonely") << "key \"lonely\" has no value";
    QTest::newRow("brace for a key") << QByteArray("{ \"a\" \"b\" }") << "'{' where a key";
    QTest::newRow("condition for a key") << QByteArray("a { [$X] b c }") << "condition where";
    QTest::newRow("unterminated condition") << QByteArray("a b [$X") << "unterminated condition";
    QTest::newRow("too deep") << QByteArray("a {").repeated(KeyValuesMaxDepth + 1) +
                                     QByteArray("}").repeated(KeyValuesMaxDepth + 1)
                              << "nested too deep";
    QTest::newRow("backslash at the end") << QByteArray("a \"b\\") << "unterminated string";
}

void KeyValuesTest::malformedInputGivesAnError()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    const KeyValuesParse parsed = parseKeyValues(text);
    QVERIFY(!parsed.root);
    QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));

    // The deepest nesting allowed still parses.
    const KeyValuesParse deepest = parseKeyValues(QByteArray("a {").repeated(KeyValuesMaxDepth) +
                                                  QByteArray("}").repeated(KeyValuesMaxDepth));
    QVERIFY2(deepest.root, qPrintable(deepest.error));
}

QTEST_GUILESS_MAIN(KeyValuesTest)
#include "tst_keyvalues.moc"
