// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TerminationSignals.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

class TerminationSignalsTest : public QObject
{
    Q_OBJECT

private slots:
    void eachSignalArrivesOnTheEventLoopOnce_data();
    void eachSignalArrivesOnTheEventLoopOnce();
};

void TerminationSignalsTest::eachSignalArrivesOnTheEventLoopOnce_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TerminationSignalsTest::eachSignalArrivesOnTheEventLoopOnce()
{
    QFETCH(int, number);
    TerminationSignals termination;
    QVERIFY(termination.isInstalled());
    QSignalSpy received(&termination, &TerminationSignals::received);

    // The handler must not have ended the process; the number reaches the
    // event loop, not the handler's context.
    QVERIFY(::raise(number) == 0);
    QCOMPARE(received.size(), 0);
    QVERIFY(received.wait(5000));
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.first().first().toInt(), number);

    // After the first signal a second one would take its default action.
    struct sigaction current = {};
    QVERIFY(::sigaction(number, nullptr, &current) == 0);
    QVERIFY(current.sa_handler == SIG_DFL);
}

QTEST_GUILESS_MAIN(TerminationSignalsTest)
#include "tst_terminationsignals.moc"
