// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/FfmpegHandles.h"
#include "audio/Mp3Encoder.h"

#include <QTest>
#include <limits>

extern "C" {
#include <libavutil/channel_layout.h>
}

// The MP3 encoder takes whatever a decoder puts out. A decoder fed broken
// data may put out samples far beyond full scale or not numbers at all.
class TestMp3Encoder : public QObject
{
    Q_OBJECT

private slots:
    void samplesBeyondFullScale();
};

void TestMp3Encoder::samplesBeyondFullScale()
{
    Mp3Encoder encoder;
    QVERIFY2(encoder.open(128), qPrintable(encoder.errorString()));
    const ffmpeg::FramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = Mp3Encoder::SampleRate;
    frame->nb_samples = 20 * 1152;
    av_channel_layout_default(&frame->ch_layout, 2);
    QCOMPARE(av_frame_get_buffer(frame.get(), 0), 0);
    const float wild[] = {std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          1e30f,
                          -1e30f,
                          0.5f};
    for (int channel = 0; channel < 2; ++channel) {
        auto *samples = reinterpret_cast<float *>(frame->extended_data[channel]);
        for (int i = 0; i < frame->nb_samples; ++i)
            samples[i] = wild[(i / 7 + channel) % std::size(wild)];
    }

    // Encoded as full-scale noise: whole 128 kbit/s frames, and the program goes on.
    QVERIFY2(encoder.encode(frame.get()), qPrintable(encoder.errorString()));
    QVERIFY2(encoder.flush(), qPrintable(encoder.errorString()));
    const QByteArrayList frames = encoder.takeFrames();
    QVERIFY(frames.size() >= 20);
    for (const QByteArray &mp3 : frames) {
        QVERIFY(mp3.size() == 417 || mp3.size() == 418);
        QCOMPARE(quint8(mp3[0]), quint8(0xFF));
        QCOMPARE(quint8(mp3[1]) & 0xFE, 0xFA);
    }
}

QTEST_GUILESS_MAIN(TestMp3Encoder)
#include "tst_mp3encoder.moc"
