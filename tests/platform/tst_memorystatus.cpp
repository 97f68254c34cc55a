// SPDX-License-Identifier: GPL-3.0-or-later
// The About window's memory line and the reading of the machine's memory.

#include "PhysicalMemory.h"
#include "platform/MemoryStatus.h"

#include <QTest>

class tst_MemoryStatus : public QObject
{
    Q_OBJECT

private slots:
    void memoryLine_data();
    void memoryLine();
    void readsThisMachine();
};

void tst_MemoryStatus::memoryLine_data()
{
    QTest::addColumn<quint64>("total");
    QTest::addColumn<quint64>("available");
    QTest::addColumn<QString>("expected");

    auto row = [](const char *name, quint64 total, quint64 available, const char *expected) {
        QTest::newRow(name) << total << available
                            << QStringLiteral("Total physical memory:   ") +
                                   QLatin1String(expected);
    };
    // A hundredth part ending in .5 takes the even neighbour, below or above.
    row("half, even below", 1050, 1050, "1 KB (105% free)");
    row("half, even above", 1150, 1150, "1 KB (95% free)");
    row("half, even below, 4 GB", 4294967250ULL, 4294967250ULL, "4194303 KB (100% free)");
    row("half, even above, 4 GB", 4294967350ULL, 4294967350ULL, "4194304 KB (99% free)");
    // All memory free reads 100% only when the divisor was not rounded up.
    row("256 MiB rounded up", 268435456ULL, 268435456ULL, "262144 KB (99% free)");
    row("exact divisor", 100000000ULL, 100000000ULL, "97656 KB (100% free)");
    row("not limited to 100", 100, 300, "0 KB (300% free)");
    // Totals beyond 32 bits are read in full, never as negative numbers.
    row("all 32 bits set", 4294967295ULL, 2147483648ULL, "4194303 KB (49% free)");
    row("64 GiB", 68719476736ULL, 34359738368ULL, "67108864 KB (50% free)");
    row("1 TiB", 1099511627776ULL, 274877906944ULL, "1073741824 KB (24% free)");
    // A divisor that rounds to 0 shows 0% instead of dividing by zero.
    row("divisor rounds to 0", 50, 50, "0 KB (0% free)");
    row("nothing reported", 0, 0, "0 KB (0% free)");
    row("smallest divisor of 1", 51, 51, "0 KB (51% free)");
}

void tst_MemoryStatus::memoryLine()
{
    QFETCH(quint64, total);
    QFETCH(quint64, available);
    QFETCH(QString, expected);
    QCOMPARE(::memoryLine(MemoryStatus{total, available}), expected);
}

void tst_MemoryStatus::readsThisMachine()
{
    const MemoryStatus status = readMemoryStatus();
    QVERIFY(status.totalPhys > 0);
    QVERIFY(status.availPhys > 0);
    QVERIFY(status.availPhys <= status.totalPhys);
    // Counted in bytes: any machine that runs this has more than 64 MiB.
    QVERIFY(status.totalPhys >= 64ULL * 1024 * 1024);
    // Never more than the system's own count, and whole kilobytes (the
    // memory comes in pages).
    QVERIFY(status.totalPhys <= physicalMemoryCeiling());
    QCOMPARE(status.totalPhys % 1024, quint64(0));
}

QTEST_GUILESS_MAIN(tst_MemoryStatus)
#include "tst_memorystatus.moc"
