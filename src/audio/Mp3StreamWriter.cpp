// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp3StreamWriter.h"

#include "bufferfiles/BufferFileWriter.h"

#include <algorithm>
#include <limits>

namespace {

// The file writer starts no file of its own: the cuts are made here.
constexpr qint64 NoLimit = std::numeric_limits<qint64>::max();

} // namespace

Mp3StreamWriter::Mp3StreamWriter(BufferFileWriter &files)
    : m_files(files)
{}

void Mp3StreamWriter::restart()
{
    m_reader = Mp3FrameReader();
    m_held.clear();
    m_runs = {};
    m_arrivalStart = 0;
    m_written = 0;
    m_fed = 0;
    m_lastFrameEnd = 0;
    m_fileHasFrame = false;
}

bool Mp3StreamWriter::append(std::span<const QByteArrayView> runs, qint64 limitBytes)
{
    const qint64 arrivalStart = m_fed;
    m_frames.resize(0);
    for (const QByteArrayView run : runs) {
        m_reader.feed(run, m_frames);
        m_fed += run.size();
    }
    m_runs = runs;
    m_arrivalStart = arrivalStart;

    bool ok = true;
    for (const Mp3FrameReader::Frame &frame : std::as_const(m_frames)) {
        ok = cutJunkBefore(frame.start, limitBytes);
        // The frame does not fit: it begins the next file. A file holds at
        // least one frame, however small the limit.
        if (ok && m_fileHasFrame && frame.start - fileStart() + frame.length > limitBytes)
            ok = cutAt(frame.start);
        if (!ok)
            break;
        m_fileHasFrame = true;
        m_lastFrameEnd = frame.start + frame.length;
    }
    // Bytes from the first undecided position on may still begin the next
    // file: they wait for the bytes that decide.
    const qint64 end = std::min(m_reader.decided(), m_fed);
    ok = ok && cutJunkBefore(end, limitBytes) && writeUpTo(end);

    // Whatever is not in a file now is held back; on a failure too, so the
    // bytes the failure left unwritten are not mistaken for written ones.
    QByteArray held(m_fed - m_written, Qt::Uninitialized);
    qint64 pieceStart = arrivalStart - m_held.size();
    char *to = held.data();
    const auto keep = [&](QByteArrayView piece) {
        const qint64 from = std::max(m_written, pieceStart);
        if (from < pieceStart + piece.size())
            to = std::copy(piece.begin() + (from - pieceStart), piece.end(), to);
        pieceStart += piece.size();
    };
    keep(m_held);
    for (const QByteArrayView run : runs)
        keep(run);
    m_held = std::move(held);
    m_runs = {};
    m_arrivalStart = m_fed;
    return ok;
}

bool Mp3StreamWriter::finish()
{
    const bool ok = writeUpTo(m_fed);
    restart();
    return ok;
}

// The stream position of the current file's first byte.
qint64 Mp3StreamWriter::fileStart() const
{
    return m_written - m_files.bytes();
}

// Writes the stream's bytes from m_written up to `end` into the current file:
// first what is held back, then the arrival's runs, gathered in one append.
bool Mp3StreamWriter::writeUpTo(qint64 end)
{
    if (end <= m_written)
        return true;
    m_pieces.resize(0);
    qint64 pieceStart = m_arrivalStart - m_held.size();
    const auto take = [&](QByteArrayView piece) {
        const qint64 from = std::max(m_written, pieceStart);
        const qint64 to = std::min(end, pieceStart + piece.size());
        if (from < to)
            m_pieces.append(piece.sliced(from - pieceStart, to - from));
        pieceStart += piece.size();
    };
    take(m_held);
    for (const QByteArrayView run : m_runs)
        take(run);
    if (!m_files.append(m_pieces, NoLimit))
        return false;
    m_written = end;
    return true;
}

// Ends the current file just before `position` and starts the next.
bool Mp3StreamWriter::cutAt(qint64 position)
{
    if (!writeUpTo(position) || !m_files.startNextFile())
        return false;
    m_fileHasFrame = false;
    return true;
}

// A stretch without frames is cut where the file would hold more than the
// limit and one longest frame, never inside a frame, for every such place
// before `bound`, up to which every position is decided.
bool Mp3StreamWriter::cutJunkBefore(qint64 bound, qint64 limitBytes)
{
    for (;;) {
        const qint64 cut =
            std::max(fileStart() + limitBytes + Mp3FrameReader::MaxFrameLength, m_lastFrameEnd);
        if (cut >= bound || cut > m_fed)
            return true;
        if (!cutAt(cut))
            return false;
    }
}
