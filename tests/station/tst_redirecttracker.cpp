// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/RedirectTracker.h"

#include <QTest>

using Error = RedirectTracker::Error;

Q_DECLARE_METATYPE(RedirectTracker::Error)

namespace {

StationAddress address(const QString &text)
{
    const StationAddressParse parsed = parseStationAddress(text);
    return parsed.address.value_or(StationAddress());
}

} // namespace

class TestRedirectTracker : public QObject
{
    Q_OBJECT

private slots:
    void resolve_data();
    void resolve();
    void authorization_data();
    void authorization();
    void hopLimit();
    void loops();
};

void TestRedirectTracker::resolve_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("location");
    QTest::addColumn<Error>("error");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("path");

    const QString base = QStringLiteral("http://radio.example:8000/dir/live?x=1");
    QTest::newRow("absolute to https")
        << base << QStringLiteral("https://cdn.example/live.mp3") << Error::None << true
        << QStringLiteral("cdn.example") << 443 << QStringLiteral("/live.mp3");
    QTest::newRow("https to http")
        << QStringLiteral("https://radio.example/") << QStringLiteral("http://radio.example:8080/s")
        << Error::None << false << QStringLiteral("radio.example") << 8080 << QStringLiteral("/s");
    QTest::newRow("absolute path")
        << base << QStringLiteral("/other?sid=2") << Error::None << false
        << QStringLiteral("radio.example") << 8000 << QStringLiteral("/other?sid=2");
    QTest::newRow("relative path")
        << base << QStringLiteral("high.mp3") << Error::None << false
        << QStringLiteral("radio.example") << 8000 << QStringLiteral("/dir/high.mp3");
    QTest::newRow("parent path") << base << QStringLiteral("../up") << Error::None << false
                                 << QStringLiteral("radio.example") << 8000
                                 << QStringLiteral("/up");
    QTest::newRow("query only") << base << QStringLiteral("?x=2") << Error::None << false
                                << QStringLiteral("radio.example") << 8000
                                << QStringLiteral("/dir/live?x=2");
    QTest::newRow("network path keeps the scheme")
        << QStringLiteral("https://radio.example/") << QStringLiteral("//edge.example:9000/a")
        << Error::None << true << QStringLiteral("edge.example") << 9000 << QStringLiteral("/a");
    QTest::newRow("IPv6 target") << base << QStringLiteral("http://[2001:db8::1]:8000/s")
                                 << Error::None << false << QStringLiteral("2001:db8::1") << 8000
                                 << QStringLiteral("/s");
    QTest::newRow("blanks around")
        << base << QStringLiteral("  /s  ") << Error::None << false
        << QStringLiteral("radio.example") << 8000 << QStringLiteral("/s");
    QTest::newRow("missing") << base << QString() << Error::NoLocation << false << QString() << 0
                             << QString();
    QTest::newRow("other scheme") << base << QStringLiteral("ftp://radio.example/a.mp3")
                                  << Error::UnsupportedScheme << false << QString() << 0
                                  << QString();
    QTest::newRow("mail") << base << QStringLiteral("mailto:dj@radio.example")
                          << Error::UnsupportedScheme << false << QString() << 0 << QString();
    QTest::newRow("no host") << base << QStringLiteral("http://") << Error::InvalidLocation << false
                             << QString() << 0 << QString();
    QTest::newRow("bad port") << base << QStringLiteral("http://radio.example:99999/")
                              << Error::InvalidLocation << false << QString() << 0 << QString();
}

void TestRedirectTracker::resolve()
{
    QFETCH(QString, current);
    QFETCH(QString, location);
    QFETCH(Error, error);
    QFETCH(bool, tls);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, path);

    const RedirectTracker::Step step = RedirectTracker::resolve(address(current), location);
    QCOMPARE(step.error, error);
    QCOMPARE(step.address.has_value(), error == Error::None);
    if (error != Error::None) {
        QVERIFY(!RedirectTracker::errorText(error).isEmpty());
        return;
    }
    QCOMPARE(step.address->tls, tls);
    QCOMPARE(step.address->host, host);
    QCOMPARE(int(step.address->port), port);
    QCOMPARE(step.address->path, path);
}

void TestRedirectTracker::authorization_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QByteArray>("authorization");

    const QByteArray djAuth = "Basic " + QByteArray("dj:pw").toBase64();
    QTest::newRow("same host keeps it")
        << QStringLiteral("dj:pw@radio.example/a") << QStringLiteral("/b") << djAuth;
    QTest::newRow("upgrade to https keeps it")
        << QStringLiteral("dj:pw@radio.example/a") << QStringLiteral("https://radio.example/b")
        << djAuth;
    QTest::newRow("other host drops it") << QStringLiteral("dj:pw@radio.example/a")
                                         << QStringLiteral("http://cdn.example/b") << QByteArray();
    QTest::newRow("https to http drops it")
        << QStringLiteral("https://dj:pw@radio.example/a")
        << QStringLiteral("http://radio.example/b") << QByteArray();
    QTest::newRow("location's own user wins")
        << QStringLiteral("dj:pw@radio.example/a") << QStringLiteral("http://x:y@radio.example/b")
        << "Basic " + QByteArray("x:y").toBase64();
}

void TestRedirectTracker::authorization()
{
    QFETCH(QString, current);
    QFETCH(QString, location);
    QFETCH(QByteArray, authorization);

    const RedirectTracker::Step step = RedirectTracker::resolve(address(current), location);
    QVERIFY(step.address);
    QCOMPARE(step.address->authorization, authorization);
}

void TestRedirectTracker::hopLimit()
{
    RedirectTracker tracker(address(QStringLiteral("radio.example/0")));
    for (int hop = 1; hop <= RedirectTracker::MaxHops; ++hop) {
        const RedirectTracker::Step step = tracker.follow(u'/' + QString::number(hop));
        QCOMPARE(step.error, Error::None);
        QCOMPARE(tracker.hops(), hop);
        QCOMPARE(tracker.current().path, u'/' + QString::number(hop));
    }
    const RedirectTracker::Step sixth = tracker.follow(QStringLiteral("/6"));
    QCOMPARE(sixth.error, Error::TooManyRedirects);
    QVERIFY(!sixth.address);
    QCOMPARE(tracker.hops(), RedirectTracker::MaxHops);
    QCOMPARE(tracker.current().path, QStringLiteral("/5"));

    // A bad Location is no hop.
    RedirectTracker fresh(address(QStringLiteral("radio.example/")));
    QCOMPARE(fresh.follow(QStringLiteral("gopher://x/")).error, Error::UnsupportedScheme);
    QCOMPARE(fresh.hops(), 0);
}

void TestRedirectTracker::loops()
{
    RedirectTracker toItself(address(QStringLiteral("radio.example/a")));
    QCOMPARE(toItself.follow(QStringLiteral("/a")).error, Error::Loop);

    // Letter case of the host and the explicit default port are the same stop.
    RedirectTracker circle(address(QStringLiteral("radio.example/a")));
    QCOMPARE(circle.follow(QStringLiteral("https://radio.example/b")).error, Error::None);
    QCOMPARE(circle.follow(QStringLiteral("http://RADIO.example:80/a")).error, Error::Loop);
    QCOMPARE(circle.current().path, QStringLiteral("/b"));

    // The same path over TLS is another stop.
    RedirectTracker upgrade(address(QStringLiteral("radio.example/a")));
    QCOMPARE(upgrade.follow(QStringLiteral("https://radio.example/a")).error, Error::None);
}

QTEST_GUILESS_MAIN(TestRedirectTracker)
#include "tst_redirecttracker.moc"
