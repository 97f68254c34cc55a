// SPDX-License-Identifier: GPL-3.0-or-later
#include "GameFileRecorder.h"

#include <QFile>

GameFileRecorder::GameFileRecorder(const std::array<QString, 2> &gameFiles)
    : m_gameFiles(gameFiles)
{
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { look(); });
    m_timer.start();
}

void GameFileRecorder::look()
{
    for (size_t slot = 0; slot < m_gameFiles.size(); ++slot) {
        QFile file(m_gameFiles[slot]);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const bool stable = !bytes.isEmpty() && bytes == m_seen[slot];
        m_seen[slot] = bytes;
        if (!stable || bytes == m_taken[slot])
            continue;
        // The second name starts as a copy of the first file.
        const bool firstCopy = slot == 1 && m_taken[1].isEmpty() && bytes == m_taken[0];
        m_taken[slot] = bytes;
        if (!firstCopy)
            m_files << bytes;
    }
}
