// SPDX-License-Identifier: GPL-3.0-or-later
#include "bufferfiles/BufferFileWriter.h"

#include "platform/GatheredWrite.h"

#include <QDir>
#include <algorithm>
#include <array>

namespace {

// The arrival goes to the file in writes of at most this size. Single large
// writes into the page cache (256 KiB and more) proved several times slower
// and far less even than the same bytes in pieces of this size, which is
// also the block size cp and cat use; smaller pieces only add system calls.
constexpr qint64 WritePieceBytes = 128 * 1024;

// At most this many pieces are gathered into one write. The audio between a
// station's title blocks comes in runs of thousands of bytes, so a write is
// full long before this.
constexpr int GatheredPieces = 64;

} // namespace

bool BufferFileWriter::openFirst(const BufferFolder &folder)
{
    m_folder = folder;
    m_bytes = 0;
    return createAndOpen(m_folder.filePath(BufferFolder::fileNameFor(0)));
}

bool BufferFileWriter::append(QByteArrayView data, qint64 limitBytes)
{
    return append(std::span(&data, 1), limitBytes);
}

bool BufferFileWriter::append(std::span<const QByteArrayView> pieces, qint64 limitBytes)
{
    if (!m_file.isOpen()) {
        m_error = QStringLiteral("%1: no buffer file is open")
                      .arg(QDir::toNativeSeparators(m_file.fileName()));
        return false;
    }

    qint64 total = 0;
    for (const QByteArrayView piece : pieces)
        total += piece.size();
    QString reason;
    const qint64 written = writePieces(pieces, reason);
    if (written != total) {
        m_error = QStringLiteral("%1: %2 (%3 of %4 bytes of this arrival written; the file "
                                 "holds %5 bytes)")
                      .arg(QDir::toNativeSeparators(m_file.fileName()), reason)
                      .arg(written)
                      .arg(total)
                      .arg(m_bytes + written);
        m_file.close();
        return false;
    }

    m_bytes += total;
    if (m_bytes <= limitBytes)
        return true;

    return startNextFile();
}

// Writes the pieces in order, gathered into system writes straight to the
// file: the file is opened unbuffered, so these are the
// arrival's only writes and a full disk shows here rather than at some later
// flush. Each write ends at the next multiple of WritePieceBytes in the file
// where it can: arrivals of any size (a station's title blocks taken out,
// TLS records) then still fill the page cache in whole aligned pieces, which
// the kernel keeps in fewer, larger pages than the same bytes written at odd
// offsets. Returns the bytes written; when that is short of the whole,
// `reason` says why.
qint64 BufferFileWriter::writePieces(std::span<const QByteArrayView> pieces, QString &reason)
{
    const std::size_t count = pieces.size();
    std::array<WritePiece, GatheredPieces> gathered;
    qint64 written = 0;
    std::size_t index = 0; // the first piece not wholly written
    qsizetype offset = 0;  // how much of it is written
    for (;;) {
        const qint64 room = WritePieceBytes - (m_bytes + written) % WritePieceBytes;
        int used = 0;
        qint64 batch = 0;
        qsizetype from = offset;
        for (std::size_t i = index; i < count && used < GatheredPieces && batch < room;
             ++i, from = 0) {
            const qint64 size = std::min<qint64>(pieces[i].size() - from, room - batch);
            if (size == 0)
                continue;
            gathered[used++] = {pieces[i].data() + from, size};
            batch += size;
        }
        if (used == 0)
            return written;

        const qint64 n = writeGathered(m_file, std::span(gathered.data(), used), reason);
        if (n <= 0) {
            // A short write is followed by one that fails with the system's
            // reason: a full disk shows as "No space left on device".
            if (n == 0)
                reason = QStringLiteral("the system wrote nothing");
            return written;
        }
        written += n;
        for (qint64 left = n; left > 0;) {
            const qint64 rest = pieces[index].size() - offset;
            if (left < rest) {
                offset += left;
                left = 0;
            } else {
                left -= rest;
                ++index;
                offset = 0;
            }
        }
    }
}

bool BufferFileWriter::startNextFile()
{
    m_file.close();
    ++m_counter;
    m_bytes = 0;
    return createAndOpen(m_folder.filePath(BufferFolder::fileNameFor(m_counter)));
}

void BufferFileWriter::close()
{
    m_file.close();
}

// Creates the file empty (an old one of that name is truncated) and keeps it
// open for writing as the current buffer file.
bool BufferFileWriter::createAndOpen(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_error =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), m_file.errorString());
        return false;
    }
    return true;
}
