// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>
#include <array>

// Finds the frames of an MP3 stream (MPEG-1, 2 or 2.5 Layer III) in its
// bytes, fed in arrivals of any size. Positions count from the stream's
// first byte. An ID3v2 tag at the start is stepped over. A frame is taken
// where its header is followed, one frame length later, by a header of the
// same version and sample rate; once frames follow each other, each header
// found where the previous frame ends is taken as it comes. Where that fails
// (junk between frames, a cut in the stream) the search starts again a byte
// further on. Nothing is decided before the bytes that decide it have
// arrived, so the frames found do not depend on how the stream was cut.
//
// Free-format frames (bit rate index 0), whose length only the distance to
// the next header tells, are not taken: no streaming encoder in common use
// sends them, and the format check does not accept them as MP3 either.
//
// Only the few bytes still undecided are kept: at most one frame and a
// header while searching, less than a header while frames follow.
class Mp3FrameReader final
{
public:
    struct Frame
    {
        qint64 start = 0;
        qint64 length = 0;
    };

    // The longest Layer III frame: 320 kbit/s at 32 kHz with padding.
    static constexpr qint64 MaxFrameLength = 1441;

    // The length of the Layer III frame whose header begins `header` (four
    // bytes or more), or 0 when it is not such a header.
    static qint64 frameLength(QByteArrayView header);

    // Reads the next bytes of the stream and appends the frames found with
    // them to `frames`, in stream order.
    void feed(QByteArrayView bytes, QList<Frame> &frames);

    // Every position before this one is decided: it is the start of a frame
    // reported, or of none. It lies beyond the bytes fed while the end of
    // the last frame found has not arrived.
    qint64 decided() const { return m_pos; }
    // Whether frames are following each other at the moment.
    bool inStep() const { return m_state == State::InStep; }

private:
    enum class State { AtStart, Searching, InStep };

    bool copy(qint64 at, int count, unsigned char *out) const;
    qint64 headerAt(qint64 at, bool &missing) const;
    bool sameKind(qint64 first, qint64 second) const;
    void step(QList<Frame> &frames);

    State m_state = State::AtStart;
    qint64 m_pos = 0;                      // the next position to decide
    qint64 m_fed = 0;                      // bytes fed so far
    qint64 m_keptStart = 0;                // the position of m_kept's first byte
    QByteArray m_kept;                     // undecided bytes of earlier arrivals
    QByteArrayView m_arrival;              // the arrival being read, at m_fed - its size
    std::array<unsigned char, 2> m_kind{}; // version and sample rate bits of the frames in step
};
