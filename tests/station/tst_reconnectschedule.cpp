// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ReconnectSchedule.h"

#include <QTest>

using namespace std::chrono_literals;

class TestReconnectSchedule : public QObject
{
    Q_OBJECT

private slots:
    void delays();
};

void TestReconnectSchedule::delays()
{
    ReconnectSchedule schedule;
    const QList<std::chrono::seconds> expected = {2s, 4s, 8s, 16s, 30s, 30s, 30s};
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(schedule.next().count(), expected.at(i).count());
        QCOMPARE(schedule.attempts(), int(i + 1));
    }
    // Long outages stay at the cap, however many attempts they take.
    for (int i = 0; i < 100; ++i)
        QCOMPARE(schedule.next().count(), 30);
    QCOMPARE(ReconnectSchedule::delayFor(std::numeric_limits<int>::max()).count(), 30);

    schedule.reset();
    QCOMPARE(schedule.attempts(), 0);
    QCOMPARE(schedule.next().count(), 2);
    QCOMPARE(schedule.next().count(), 4);
}

QTEST_GUILESS_MAIN(TestReconnectSchedule)
#include "tst_reconnectschedule.moc"
