// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bufferfiles/BufferFolder.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <span>

// Writes the stream into numbered buffer files in the buffer folder:
// "000_strm.mp3" first in every session, then the counter (never reset while
// the program runs), named by BufferFolder::fileNameFor(). A file is finished
// when a write takes it past the size limit: that whole write stays in it and
// the next file begins.
class BufferFileWriter
{
public:
    // Creates "000_strm.mp3" in `folder` empty (truncating an old one) and opens
    // it as the current file. Returns false and sets errorString() on failure.
    bool openFirst(const BufferFolder &folder);

    // Appends to the current file and starts the next one when the file holds
    // more than limitBytes. Returns false and sets errorString() when a file
    // cannot be written or created; the files written so far stay as they are.
    bool append(QByteArrayView data, qint64 limitBytes);

    // Appends `pieces` one after the other as one write would: all of them
    // go to the current file, gathered into the same system writes, and the
    // limit is looked at after the last one.
    bool append(std::span<const QByteArrayView> pieces, qint64 limitBytes);

    // Finishes the current file where it is and opens the next number, so
    // that what has been written can be handed off now. Returns false as
    // append() does.
    bool startNextFile();

    void close();
    bool isOpen() const { return m_file.isOpen(); }

    QString fileName() const { return m_file.fileName(); }
    qint64 bytes() const { return m_bytes; }
    quint32 counter() const { return m_counter; }
    void resetBytes() { m_bytes = 0; }

    // "<file>: <reason>" for the last failure.
    QString errorString() const { return m_error; }

private:
    qint64 writePieces(std::span<const QByteArrayView> pieces, QString &reason);
    bool createAndOpen(const QString &path);

    BufferFolder m_folder;
    QFile m_file;
    qint64 m_bytes = 0;
    quint32 m_counter = 0;
    QString m_error;
};
