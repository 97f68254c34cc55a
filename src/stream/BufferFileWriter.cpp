// SPDX-License-Identifier: GPL-3.0-or-later
#include "stream/BufferFileWriter.h"

#include <algorithm>

namespace {

// The arrival goes to the file in writes of at most this size. Single large
// writes into the page cache (256 KiB and more) proved several times slower
// and far less even than the same bytes in pieces of this size, which is
// also the block size cp and cat use; smaller pieces only add system calls.
constexpr qint64 WritePieceBytes = 128 * 1024;

} // namespace

QString BufferFileWriter::fileNameFor(quint32 counter)
{
    return QStringLiteral("%1_strm.mp3").arg(counter, 3, 10, QLatin1Char('0'));
}

bool BufferFileWriter::openFirst(const QString &folder)
{
    m_folder = folder;
    if (!m_folder.isEmpty() && !m_folder.endsWith(u'/'))
        m_folder += u'/';
    m_bytes = 0;
    return createAndOpen(m_folder + fileNameFor(0));
}

bool BufferFileWriter::append(QByteArrayView data, qint64 limitBytes)
{
    if (!m_file.isOpen()) {
        m_error = QStringLiteral("%1: no buffer file is open").arg(m_file.fileName());
        return false;
    }

    // The file is opened unbuffered: these are the system writes of the
    // arrival, and a full disk shows here rather than at some later flush.
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 n =
            m_file.write(data.data() + written, std::min(WritePieceBytes, data.size() - written));
        if (n <= 0)
            break;
        written += n;
    }
    if (written != data.size()) {
        // A short write is followed by one that fails with the system's
        // reason (a full disk shows as "No space left on device"); both are
        // named, with what the file holds now.
        const QString reason = m_file.error() != QFileDevice::NoError
                                   ? m_file.errorString()
                                   : QStringLiteral("the system wrote nothing");
        m_error = QStringLiteral("%1: %2 (%3 of %4 bytes of this arrival written; the file "
                                 "holds %5 bytes)")
                      .arg(m_file.fileName(), reason)
                      .arg(written)
                      .arg(data.size())
                      .arg(m_bytes + written);
        m_file.close();
        return false;
    }

    m_bytes += data.size();
    if (m_bytes <= limitBytes)
        return true;

    return startNextFile();
}

bool BufferFileWriter::startNextFile()
{
    m_file.close();
    ++m_counter;
    m_bytes = 0;
    return createAndOpen(m_folder + fileNameFor(m_counter));
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
        m_error = QStringLiteral("%1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}
