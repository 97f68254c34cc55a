// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

// Test audio made with the ffmpeg program, and the checks a player would make
// of converted MP3.
namespace AudioSamples {

// The buffer files of `folder` in the order they were written.
QStringList bufferFiles(const QString &folder);

// Splits every buffer file into MP3 frames; fails when a file does not end
// on a frame boundary or a finished file is not `fileSize` plus less than a
// frame (the last one written may have been finished early).
QString framesOfFiles(const QStringList &files, qint64 fileSize, QByteArrayList &frames);

// A sine tone of `frequency` Hz, `seconds` long, at `rate` Hz with `channels` channels, encoded
// with the ffmpeg output options `codecArgs` (codec, bit rate, container)
// into `folder`/`fileName`. Returns the file's bytes; empty when ffmpeg
// failed (the reason goes to the test log).
QByteArray tone(const QString &folder, const QString &fileName, const QStringList &codecArgs,
                double seconds, int rate = 44100, int channels = 2, double frequency = 440);

// The length of the MPEG-1 Layer III, 44.1 kHz, two-channel frame whose
// header starts `bytes`, or 0 when it is not such a header.
int stereoFrameLength(QByteArrayView bytes);

struct Mp3Report
{
    QString problem; // empty when the MP3 is sound
    double seconds = 0;
    int bitrateKbps = 0;
    double toneHz = 0; // the frequency of the decoded tone
};

// Checks converted frames as a player would: every entry one whole frame of
// the same bit rate; written out, ffprobe sees MP3, 44100 Hz, 2 channels and
// mpg123 decodes it without a complaint. Reports the decoded duration.
Mp3Report checkMp3(const QByteArrayList &frames, const QString &folder);

// Checks an MP3 file as a player would: ffprobe sees MP3, 44100 Hz, 2
// channels and mpg123 decodes it without a complaint. Reports the decoded
// duration and tone.
Mp3Report checkMp3File(const QString &path);

// Checks whole MP3 files, in the order a player plays them, each with
// checkMp3File(); a file of a second or more whose tone is more than 2 %
// away from `toneHz` (when above 0) is a problem too. Reports the decoded
// duration of all of them.
Mp3Report checkMp3Files(const QByteArrayList &files, const QString &folder, double toneHz);
// The same for what a buffer folder still holds, which may be nothing.
Mp3Report checkRemainingMp3Files(const QByteArrayList &files, const QString &folder, double toneHz);

// Checks a file the game gets from an MP3 station as the game's player
// meets it: it begins with a 44.1 kHz stereo MPEG-1 Layer III frame header
// and is whole frames to its last byte; ffprobe takes it for MP3 without a
// "low score" doubt, and mpg123 decodes it without having to resync. Returns
// the problem, empty when there is none.
QString stationFileProblem(const QByteArray &file, const QString &path);

// The frequency of a pure tone in 16-bit interleaved stereo PCM, counted
// from the cycles of its first channel (near-silence does not count).
double toneFrequency(QByteArrayView pcm);

} // namespace AudioSamples
