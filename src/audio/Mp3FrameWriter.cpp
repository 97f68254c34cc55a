// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp3FrameWriter.h"

#include "bufferfiles/BufferFileWriter.h"

Mp3FrameWriter::Mp3FrameWriter(BufferFileWriter &files)
    : m_files(files)
{}

bool Mp3FrameWriter::append(const QByteArrayList &frames, qint64 limitBytes)
{
    QList<QByteArrayView> piece;
    qint64 pieceBytes = 0;
    for (const QByteArray &frame : frames) {
        piece.append(frame);
        pieceBytes += frame.size();
        // This frame finishes the file: the piece ends with it, and the
        // writer starts the next file after it.
        if (m_files.bytes() + pieceBytes > limitBytes) {
            if (!m_files.append(piece, limitBytes))
                return false;
            piece.clear();
            pieceBytes = 0;
        }
    }
    return piece.isEmpty() || m_files.append(piece, limitBytes);
}
