// SPDX-License-Identifier: GPL-3.0-or-later
#include "stream/Mp3FrameWriter.h"

#include "stream/BufferFileWriter.h"

Mp3FrameWriter::Mp3FrameWriter(BufferFileWriter &files)
    : m_files(files)
{}

bool Mp3FrameWriter::append(const QByteArrayList &frames, qint64 limitBytes)
{
    QByteArray piece;
    for (const QByteArray &frame : frames) {
        piece += frame;
        // This frame finishes the file: the piece ends with it, and the
        // writer starts the next file after it.
        if (m_files.bytes() + piece.size() > limitBytes) {
            if (!m_files.append(piece, limitBytes))
                return false;
            piece.clear();
        }
    }
    return piece.isEmpty() || m_files.append(piece, limitBytes);
}
