// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioSamples.h"

#include "TestFiles.h"
#include "ToolRun.h"
#include "bufferfiles/BufferFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QtDebug>

namespace AudioSamples {

QStringList bufferFiles(const QString &folder)
{
    QStringList names;
    for (quint32 i = 0;; ++i) {
        const QString name = folder + u'/' + BufferFolder::fileNameFor(i);
        if (!QFile::exists(name))
            return names;
        names << name;
    }
}

QString framesOfFiles(const QStringList &files, qint64 fileSize, QByteArrayList &frames)
{
    for (qsizetype f = 0; f < files.size(); ++f) {
        const QByteArray bytes = readFile(files[f]);
        qsizetype pos = 0;
        qsizetype lastFrame = 0;
        while (pos < bytes.size()) {
            const int length = AudioSamples::stereoFrameLength(QByteArrayView(bytes).sliced(pos));
            if (length == 0 || pos + length > bytes.size())
                return QStringLiteral("%1: no whole frame at %2").arg(files[f]).arg(pos);
            frames << bytes.mid(pos, length);
            lastFrame = length;
            pos += length;
        }
        // A finished file holds more than the size, by less than a frame;
        // the last one written may have been finished early (end of stream).
        const bool finished =
            f + 2 < files.size() || (f + 1 < files.size() && QFileInfo(files[f + 1]).size() > 0);
        if (finished && !bytes.isEmpty() &&
            (bytes.size() <= fileSize || bytes.size() - lastFrame > fileSize))
            return QStringLiteral("%1 has %2 bytes").arg(files[f]).arg(bytes.size());
    }
    return {};
}

namespace {

// Shorter audio has too few zero crossings to tell its tone within 2 %.
constexpr double MinToneSeconds = 1.0;

} // namespace

QByteArray tone(const QString &folder, const QString &fileName, const QStringList &codecArgs,
                double seconds, int rate, int channels, double frequency)
{
    const QString path = folder + u'/' + fileName;
    QStringList args{QStringLiteral("-hide_banner"),
                     QStringLiteral("-loglevel"),
                     QStringLiteral("error"),
                     QStringLiteral("-y"),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i")};
    args << QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=%3")
                .arg(frequency)
                .arg(rate)
                .arg(seconds)
         << QStringLiteral("-ac") << QString::number(channels) << codecArgs << path;
    const ToolRun result = runTool(QStringLiteral("ffmpeg"), args);
    QFile file(path);
    if (!result.ok || !file.open(QIODevice::ReadOnly)) {
        qWarning() << "ffmpeg" << args << "failed:" << result.err;
        return {};
    }
    return file.readAll();
}

int stereoFrameLength(QByteArrayView bytes)
{
    if (bytes.size() < 4)
        return 0;
    const auto b = [&](int i) { return quint8(bytes[i]); };
    // Sync, MPEG-1, Layer III; then the bit rate index, 44.1 kHz, padding;
    // then a channel mode other than single channel.
    if (b(0) != 0xFF || (b(1) & 0xFE) != 0xFA)
        return 0;
    static const int kbps[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                 112, 128, 160, 192, 224, 256, 320, 0};
    const int rate = kbps[b(2) >> 4];
    if (rate == 0 || ((b(2) >> 2) & 3) != 0 || (b(3) >> 6) == 3)
        return 0;
    return 144000 * rate / 44100 + ((b(2) >> 1) & 1);
}

Mp3Report checkMp3(const QByteArrayList &frames, const QString &folder)
{
    Mp3Report report;
    if (frames.isEmpty()) {
        report.problem = QStringLiteral("no frames");
        return report;
    }
    QByteArray all;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const QByteArray &frame = frames[i];
        const int length = stereoFrameLength(frame);
        if (length == 0 || length != frame.size()) {
            report.problem = QStringLiteral("entry %1 (%2 bytes) is not one whole 44.1 kHz "
                                            "stereo MPEG-1 Layer III frame (header length %3)")
                                 .arg(i)
                                 .arg(frame.size())
                                 .arg(length);
            return report;
        }
        if ((frame[2] & 0xF0) != (frames[0][2] & 0xF0)) {
            report.problem = QStringLiteral("entry %1 changes the bit rate").arg(i);
            return report;
        }
        all += frame;
    }
    static const int kbps[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                 112, 128, 160, 192, 224, 256, 320, 0};
    report.bitrateKbps = kbps[quint8(frames[0][2]) >> 4];

    const QString path = folder + QStringLiteral("/converted.mp3");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(all) != all.size()) {
        report.problem = QStringLiteral("cannot write %1").arg(path);
        return report;
    }
    file.close();

    const int bitrate = report.bitrateKbps;
    report = checkMp3File(path);
    report.bitrateKbps = bitrate;
    return report;
}

Mp3Report checkMp3File(const QString &path)
{
    Mp3Report report;
    const ToolRun probe =
        runTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name,sample_rate,channels"), QStringLiteral("-of"),
                 QStringLiteral("default=nw=1"), path});
    const QByteArray expected = "codec_name=mp3\nsample_rate=44100\nchannels=2\n";
    if (!probe.ok || probe.out != expected || !probe.err.isEmpty()) {
        report.problem = QStringLiteral("ffprobe says: %1 %2")
                             .arg(QString::fromUtf8(probe.out), QString::fromUtf8(probe.err));
        return report;
    }

    const ToolRun decode =
        runTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-s"), path});
    if (!decode.ok || !decode.err.isEmpty()) {
        report.problem = QStringLiteral("mpg123 says: %1").arg(QString::fromUtf8(decode.err));
        return report;
    }
    report.seconds = double(decode.out.size()) / (44100 * 2 * 2);
    report.toneHz = toneFrequency(decode.out);
    return report;
}

Mp3Report checkMp3Files(const QByteArrayList &files, const QString &folder, double toneHz)
{
    Mp3Report all;
    all.toneHz = toneHz;
    if (files.isEmpty())
        all.problem = QStringLiteral("no files");
    for (qsizetype i = 0; i < files.size() && all.problem.isEmpty(); ++i) {
        const QString path = folder + QStringLiteral("/file%1.mp3").arg(i);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(files[i]) != files[i].size()) {
            all.problem = QStringLiteral("cannot write %1").arg(path);
            break;
        }
        file.close();
        const Mp3Report report = checkMp3File(path);
        if (!report.problem.isEmpty())
            all.problem = QStringLiteral("file %1: %2").arg(i).arg(report.problem);
        else if (toneHz > 0 && report.seconds >= MinToneSeconds &&
                 qAbs(report.toneHz - toneHz) > toneHz * 0.02)
            all.problem = QStringLiteral("file %1 (%2 s) plays %3 Hz, not %4 Hz")
                              .arg(i)
                              .arg(report.seconds)
                              .arg(report.toneHz)
                              .arg(toneHz);
        all.seconds += report.seconds;
    }
    return all;
}

Mp3Report checkRemainingMp3Files(const QByteArrayList &files, const QString &folder, double toneHz)
{
    return files.isEmpty() ? Mp3Report() : checkMp3Files(files, folder, toneHz);
}

QString stationFileProblem(const QByteArray &file, const QString &path)
{
    qsizetype pos = 0;
    while (pos < file.size()) {
        const int length = stereoFrameLength(QByteArrayView(file).sliced(pos));
        if (length == 0)
            return QStringLiteral("no frame header at byte %1 of %2").arg(pos).arg(file.size());
        pos += length;
    }
    if (pos != file.size())
        return QStringLiteral("the last frame ends %1 bytes after the file").arg(pos - file.size());

    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file) != file.size())
        return QStringLiteral("cannot write %1").arg(path);
    out.close();
    const ToolRun probe =
        runTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("warning"), QStringLiteral("-show_entries"),
                 QStringLiteral("format=format_name"), QStringLiteral("-of"),
                 QStringLiteral("default=nw=1"), path});
    if (!probe.ok || probe.out != "format_name=mp3\n" || probe.err.contains("low score"))
        return QStringLiteral("ffprobe says: %1 %2")
            .arg(QString::fromUtf8(probe.out), QString::fromUtf8(probe.err));
    // Without -q, so that its notes on lost sync are heard.
    const ToolRun decode = runTool(QStringLiteral("mpg123"), {QStringLiteral("-t"), path});
    if (!decode.ok || decode.err.contains("resync") || decode.err.contains("Illegal"))
        return QStringLiteral("mpg123 says: %1").arg(QString::fromUtf8(decode.err));
    return {};
}

double toneFrequency(QByteArrayView pcm)
{
    const qsizetype samples = pcm.size() / 4;
    if (samples < 2)
        return 0;
    const auto left = [&](qsizetype i) {
        return qint16(quint8(pcm[i * 4]) | (quint8(pcm[i * 4 + 1]) << 8));
    };
    // A cycle counts when the signal climbs from below -Threshold to above
    // +Threshold: the near-silence at the end of a stream (a few units of
    // dither crossing zero every other sample) is not taken for a tone.
    constexpr int Threshold = 300;
    qsizetype rising = 0;
    bool low = false;
    for (qsizetype i = 0; i < samples; ++i) {
        if (left(i) < -Threshold) {
            low = true;
        } else if (low && left(i) > Threshold) {
            low = false;
            ++rising;
        }
    }
    return double(rising) * 44100.0 / double(samples);
}

} // namespace AudioSamples
