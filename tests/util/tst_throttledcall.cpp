// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/ThrottledCall.h"

#include <QElapsedTimer>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

class ThrottledCallTest : public QObject
{
    Q_OBJECT

private slots:
    void burstsGiveOneLateCall();
    void flushCancelAndContext();
};

// The first request is made at once; a burst within the interval gives one
// call when the interval is over, not before.
void ThrottledCallTest::burstsGiveOneLateCall()
{
    int calls = 0;
    QElapsedTimer clock;
    qint64 lateCallAt = -1;
    ThrottledCall throttled(200ms, this, [&] {
        ++calls;
        lateCallAt = clock.elapsed();
    });
    clock.start();
    throttled.request();
    QCOMPARE(calls, 1);
    for (int i = 0; i < 50; ++i)
        throttled.request();
    QCOMPARE(calls, 1);
    QTRY_COMPARE(calls, 2);
    QVERIFY2(lateCallAt >= 190, qPrintable(QString::number(lateCallAt)));
    QTest::qWait(300);
    QCOMPARE(calls, 2);

    // Long enough after the last call, a request is made at once again.
    throttled.request();
    QCOMPARE(calls, 3);
}

void ThrottledCallTest::flushCancelAndContext()
{
    int calls = 0;
    ThrottledCall throttled(10s, this, [&] { ++calls; });
    throttled.flush();
    QCOMPARE(calls, 0);
    throttled.request();
    throttled.request();
    QCOMPARE(calls, 1);
    throttled.flush();
    QCOMPARE(calls, 2);
    throttled.flush();
    QCOMPARE(calls, 2);

    throttled.request();
    throttled.cancel();
    throttled.flush();
    QCOMPARE(calls, 2);

    // No call for a context that is gone.
    auto context = std::make_unique<QObject>();
    int orphanCalls = 0;
    ThrottledCall orphan(50ms, context.get(), [&] { ++orphanCalls; });
    orphan.request();
    orphan.request();
    context.reset();
    QTest::qWait(150);
    QCOMPARE(orphanCalls, 1);
}

QTEST_GUILESS_MAIN(ThrottledCallTest)
#include "tst_throttledcall.moc"
