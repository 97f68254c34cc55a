// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayList>

class BufferFileWriter;

// Writes converted MP3 frames into the buffer files so that every file ends
// on a frame boundary: the frame that takes a file past the size limit is the
// last one in it, and the size counts the MP3 bytes written. Consecutive
// frames go to the file together, gathered into the same writes.
class Mp3FrameWriter final
{
public:
    explicit Mp3FrameWriter(BufferFileWriter &files);

    // Appends whole frames (each entry one frame). Returns false as
    // BufferFileWriter::append() does, its errorString() telling why.
    bool append(const QByteArrayList &frames, qint64 limitBytes);

private:
    BufferFileWriter &m_files;
};
