// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioSamples.h"
#include "audio/Mp3Transcoder.h"
#include "audio/TranscodingWorker.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestTranscodingWorker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void convertsOffTheCallersThread();
    void reportsFailureOnce();
    void destroyedMidStream();
    void backlogCountedAndDrained();

private:
    QTemporaryDir m_dir;
    QByteArray m_aac;
};

void TestTranscodingWorker::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_aac = AudioSamples::tone(m_dir.path(), "in.aac",
                               {"-c:a", "aac", "-b:a", "128k", "-f", "adts"}, 4);
    QVERIFY(!m_aac.isEmpty());
}

void TestTranscodingWorker::convertsOffTheCallersThread()
{
    Mp3Transcoder reference(160);
    QVERIFY(reference.feed(m_aac));
    QVERIFY(reference.finish());
    const QByteArrayList expected = reference.takeFrames();

    TranscodingWorker worker(160);
    QByteArrayList frames;
    QStringList events;
    connect(&worker, &TranscodingWorker::mp3Frames, this, [&](const QByteArrayList &got) {
        QCOMPARE(QThread::currentThread(), thread());
        frames += got;
        if (events.isEmpty() || events.last() != "frames")
            events << "frames";
    });
    connect(&worker, &TranscodingWorker::formatKnown, this,
            [&](const QString &codec) { events << "format " + codec; });
    connect(&worker, &TranscodingWorker::failed, this,
            [&](const QString &reason) { events << "failed " + reason; });
    connect(&worker, &TranscodingWorker::finished, this, [&] { events << "finished"; });

    for (qsizetype pos = 0; pos < m_aac.size(); pos += 3000)
        worker.feed(m_aac.mid(pos, 3000));
    worker.finish();
    QTRY_VERIFY_WITH_TIMEOUT(events.contains("finished"), 20000);

    QCOMPARE(events, QStringList({"format AAC", "frames", "finished"}));
    QCOMPARE(frames, expected);
}

void TestTranscodingWorker::reportsFailureOnce()
{
    TranscodingWorker worker(192);
    QSignalSpy failed(&worker, &TranscodingWorker::failed);
    QSignalSpy frames(&worker, &TranscodingWorker::mp3Frames);
    QSignalSpy finished(&worker, &TranscodingWorker::finished);
    worker.feed(QByteArray(300 * 1024, 'x'));
    worker.feed(m_aac);
    worker.finish();
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 20000);
    QTest::qWait(200);
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.at(0).at(0).toString().startsWith("No audio format recognised"));
    QCOMPARE(frames.size(), 0);
    QCOMPARE(finished.size(), 0);
}

void TestTranscodingWorker::destroyedMidStream()
{
    // Destroyed while converting, with arrivals still queued, and once
    // before anything was fed: no crash, no signal afterwards.
    for (int wait : {0, 30, 150}) {
        int framesAfter = 0;
        bool gone = false;
        {
            auto *worker = new TranscodingWorker(192);
            connect(worker, &TranscodingWorker::mp3Frames, this, [&] {
                if (gone)
                    ++framesAfter;
            });
            for (qsizetype pos = 0; wait > 0 && pos < m_aac.size(); pos += 2000)
                worker->feed(m_aac.mid(pos, 2000));
            QTest::qWait(wait);
            delete worker;
            gone = true;
        }
        QTest::qWait(100);
        QCOMPARE(framesAfter, 0);
    }
}

// Arrivals faster than conversion: the queue is counted, the worker says it
// is backlogged past the limit and drained once it is down to the low mark,
// and nothing converted is lost on the way. A failed conversion still takes
// its bytes off the count.
void TestTranscodingWorker::backlogCountedAndDrained()
{
    const QByteArray stream = m_aac.repeated(10);
    TranscodingWorker worker(128);
    QSignalSpy drained(&worker, &TranscodingWorker::backlogDrained);
    QSignalSpy finished(&worker, &TranscodingWorker::finished);
    QByteArrayList frames;
    connect(&worker, &TranscodingWorker::mp3Frames, this,
            [&](const QByteArrayList &got) { frames += got; });
    QVERIFY(stream.size() > TranscodingWorker::BacklogLimitBytes);
    worker.feed(stream.first(TranscodingWorker::BacklogLimitBytes));
    QVERIFY(!worker.isBacklogged());
    worker.feed(stream.sliced(TranscodingWorker::BacklogLimitBytes));
    QVERIFY(worker.isBacklogged());
    QVERIFY(worker.queuedBytes() > TranscodingWorker::BacklogLimitBytes);
    QTRY_COMPARE_WITH_TIMEOUT(drained.size(), 1, 60000);
    QVERIFY(!worker.isBacklogged());
    QVERIFY(worker.queuedBytes() <= TranscodingWorker::BacklogLowBytes);
    worker.finish();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
    QCOMPARE(worker.queuedBytes(), 0);
    QCOMPARE(drained.size(), 1);

    Mp3Transcoder reference(128);
    QVERIFY(reference.feed(stream));
    QVERIFY(reference.finish());
    QCOMPARE(frames, reference.takeFrames());

    TranscodingWorker failing(192);
    QSignalSpy failed(&failing, &TranscodingWorker::failed);
    for (int i = 0; i < 8; ++i)
        failing.feed(QByteArray(256 * 1024, 'x'));
    QVERIFY(failing.isBacklogged());
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(failing.queuedBytes(), 0, 20000);
}

QTEST_GUILESS_MAIN(TestTranscodingWorker)
#include "tst_transcodingworker.moc"
