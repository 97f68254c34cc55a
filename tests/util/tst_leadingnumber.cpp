// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/LeadingNumber.h"

#include <QTest>
#include <cmath>
#include <limits>

class TestLeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void leadingNumber_data();
    void leadingNumber();
    void roundHalfEven_data();
    void roundHalfEven();
    void leadingInteger_data();
    void leadingInteger();
    void leadingNumberLength_data();
    void leadingNumberLength();
};

void TestLeadingNumber::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("plain") << QStringLiteral("8000") << 8000.0;
    QTest::newRow("blanks everywhere") << QStringLiteral(" 1 2") << 12.0;
    QTest::newRow("tab and line feed") << QStringLiteral("\t1\n2 3") << 123.0;
    QTest::newRow("carriage return ends") << QStringLiteral("12\r3") << 12.0;
    QTest::newRow("path behind") << QStringLiteral("8000/listen") << 8000.0;
    QTest::newRow("text first") << QStringLiteral("abc12") << 0.0;
    QTest::newRow("negative") << QStringLiteral("-42x") << -42.0;
    QTest::newRow("sign apart") << QStringLiteral("- 4 2") << -42.0;
    QTest::newRow("plus") << QStringLiteral("+7") << 7.0;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
    QTest::newRow("two signs") << QStringLiteral("--5") << 0.0;
    QTest::newRow("fraction") << QStringLiteral("2.5") << 2.5;
    QTest::newRow("fraction only") << QStringLiteral(".5") << 0.5;
    QTest::newRow("dot alone") << QStringLiteral(".") << 0.0;
    QTest::newRow("trailing dot") << QStringLiteral("5.") << 5.0;
    QTest::newRow("second dot ends") << QStringLiteral("1.2.3") << 1.2;
    QTest::newRow("exponent") << QStringLiteral("1e3") << 1000.0;
    QTest::newRow("exponent capital signed") << QStringLiteral("15E-1") << 1.5;
    QTest::newRow("exponent with blanks") << QStringLiteral("1 e + 2") << 100.0;
    QTest::newRow("e without digits") << QStringLiteral("12e") << 12.0;
    QTest::newRow("e sign without digits") << QStringLiteral("12e+kbps") << 12.0;
    QTest::newRow("leading zeros") << QStringLiteral("0008000") << 8000.0;
    QTest::newRow("bitrate with blank") << QStringLiteral(" 128") << 128.0;
    QTest::newRow("non-ASCII digit") << QStringLiteral("\u0661\u0662") << 0.0;
    QTest::newRow("huge exponent")
        << QStringLiteral("1e999999999999999999999") << std::numeric_limits<double>::infinity();
    QTest::newRow("huge negative")
        << QStringLiteral("-9e400") << -std::numeric_limits<double>::infinity();
    QTest::newRow("tiny") << QStringLiteral("1e-999999999999") << 0.0;
    QTest::newRow("many digits") << QString(5000, u'9') << std::numeric_limits<double>::infinity();
    QTest::newRow("many zeros then one")
        << (QStringLiteral("0.") + QString(5000, u'0') + QStringLiteral("1e5010")) << 1e9;
}

void TestLeadingNumber::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(::leadingNumber(text), expected);
}

void TestLeadingNumber::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");

    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("3.5") << 3.5 << 4.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("-3.5") << -3.5 << -4.0;
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.4999") << 2.4999 << 2.0;
    QTest::newRow("2.5001") << 2.5001 << 3.0;
    QTest::newRow("-0.6") << -0.6 << -1.0;
    QTest::newRow("large") << 1e300 << 1e300;
}

void TestLeadingNumber::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(::roundHalfEven(value), expected);
}

void TestLeadingNumber::leadingInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("minimum");
    QTest::addColumn<qint64>("maximum");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("port") << QStringLiteral("8000") << 0LL << 65535LL << true << 8000LL;
    QTest::newRow("rounded down to even")
        << QStringLiteral("80.5") << 0LL << 65535LL << true << 80LL;
    QTest::newRow("rounded up to even") << QStringLiteral("81.5") << 0LL << 65535LL << true << 82LL;
    QTest::newRow("upper edge") << QStringLiteral("65535") << 0LL << 65535LL << true << 65535LL;
    QTest::newRow("rounds past edge")
        << QStringLiteral("65535.5") << 0LL << 65535LL << false << 0LL;
    QTest::newRow("no number") << QStringLiteral("x") << 0LL << 65535LL << true << 0LL;
    QTest::newRow("below") << QStringLiteral("-1") << 0LL << 65535LL << false << 0LL;
    QTest::newRow("small negative rounds to zero")
        << QStringLiteral("-0.4") << 0LL << 65535LL << true << 0LL;
    QTest::newRow("infinite") << QStringLiteral("1e400") << std::numeric_limits<qint64>::min()
                              << std::numeric_limits<qint64>::max() << false << 0LL;
    QTest::newRow("beyond 64 bits") << QStringLiteral("1e19") << std::numeric_limits<qint64>::min()
                                    << std::numeric_limits<qint64>::max() << false << 0LL;
}

void TestLeadingNumber::leadingInteger()
{
    QFETCH(QString, text);
    QFETCH(qint64, minimum);
    QFETCH(qint64, maximum);
    QFETCH(bool, fits);
    QFETCH(qint64, expected);

    const std::optional<qint64> value = ::leadingInteger(text, minimum, maximum);
    QCOMPARE(value.has_value(), fits);
    if (fits)
        QCOMPARE(*value, expected);
}

void TestLeadingNumber::leadingNumberLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("expected");

    QTest::newRow("none") << QStringLiteral("/x") << qsizetype(0);
    QTest::newRow("digits then path") << QStringLiteral("8000/listen") << qsizetype(4);
    QTest::newRow("blanks after") << QStringLiteral("80 0 /x") << qsizetype(5);
    QTest::newRow("dangling e stays out") << QStringLiteral("80e/x") << qsizetype(2);
    QTest::newRow("exponent") << QStringLiteral("8e2/x") << qsizetype(3);
}

void TestLeadingNumber::leadingNumberLength()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, expected);
    QCOMPARE(::leadingNumberLength(text), expected);
}

QTEST_GUILESS_MAIN(TestLeadingNumber)
#include "tst_leadingnumber.moc"
