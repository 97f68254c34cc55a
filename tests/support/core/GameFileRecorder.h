// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayList>
#include <QStringList>
#include <QTimer>
#include <array>

// Keeps every file that appears under the game's two file names, in the
// order they appear, as the game would have found them: it looks every
// 20 ms and takes a file once its bytes stayed the same for two looks. The
// copy of the first file that gives the second name its start is not taken
// again. Works in the thread's event loop.
class GameFileRecorder final
{
public:
    explicit GameFileRecorder(const std::array<QString, 2> &gameFiles);

    GameFileRecorder(const GameFileRecorder &) = delete;
    GameFileRecorder &operator=(const GameFileRecorder &) = delete;

    const QByteArrayList &files() const { return m_files; }

private:
    void look();

    std::array<QString, 2> m_gameFiles;
    std::array<QByteArray, 2> m_seen;  // what each name held at the last look
    std::array<QByteArray, 2> m_taken; // the last file taken under each name
    QByteArrayList m_files;
    QTimer m_timer;
};
