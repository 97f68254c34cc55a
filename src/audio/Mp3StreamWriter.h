// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/Mp3FrameReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <span>

class BufferFileWriter;

// Writes a station's MP3 bytes into the buffer files as they arrive, so that
// every file begins with a frame and ends where a frame ends: the frame that
// would take a file past the size limit begins the next one. What comes
// before the stream's first frame (an ID3 tag, the end of a frame the
// connection began in) stays at the start of the first file, and bytes
// between frames that belong to none stay with the frame before them. Joined
// in order, the files hold the stream byte for byte.
//
// The bytes go to the files straight from the arrival, in the file writer's
// gathered writes; only the few whose place is still open (a header that has
// not wholly arrived, a frame found while searching until the next one
// confirms it) are copied and held back for the next arrival.
//
// Where no frame is found for a while (a stream that is MP3 no longer), a
// file is cut once it holds the limit and one longest frame more, so that
// files still reach the game.
class Mp3StreamWriter final
{
public:
    explicit Mp3StreamWriter(BufferFileWriter &files);

    // A new stream begins in the current file; what is held back of the last
    // one is dropped (finish() writes it).
    void restart();
    // Appends the next bytes of the stream, the runs one after the other.
    // Returns false as BufferFileWriter::append() does, its errorString()
    // telling why.
    bool append(std::span<const QByteArrayView> runs, qint64 limitBytes);
    // The stream ends: what is held back goes into the current file, and
    // the next stream begins.
    bool finish();

    // Bytes of the stream not in a file yet.
    qint64 heldBytes() const { return m_held.size(); }

private:
    qint64 fileStart() const;
    bool writeUpTo(qint64 end);
    bool cutAt(qint64 position);
    bool cutJunkBefore(qint64 bound, qint64 limitBytes);

    BufferFileWriter &m_files;
    Mp3FrameReader m_reader;
    QList<Mp3FrameReader::Frame> m_frames;  // found in the arrival; keeps its room
    QList<QByteArrayView> m_pieces;         // the pieces of one write; keeps its room
    std::span<const QByteArrayView> m_runs; // the arrival being written
    qint64 m_arrivalStart = 0;              // the stream position of its first byte
    QByteArray m_held;                      // the stream's bytes not in a file before the arrival
    qint64 m_written = 0;                   // the stream's bytes before this position are in files
    qint64 m_fed = 0;                       // the stream's bytes so far
    qint64 m_lastFrameEnd = 0;
    bool m_fileHasFrame = false;
};
