// SPDX-License-Identifier: GPL-3.0-or-later
#include "GameFileWatcher.h"

#include <QFileInfo>

GameFileWatcher::GameFileWatcher(const std::array<QString, 2> &gameFiles,
                                 std::chrono::milliseconds interval)
    : m_gameFiles(gameFiles)
    , m_interval(interval)
    , m_thread([this] { watch(); })
{}

GameFileWatcher::~GameFileWatcher()
{
    m_stop = true;
    m_thread.join();
}

void GameFileWatcher::watch()
{
    bool bothSeen = false;
    while (!m_stop) {
        const bool both = QFileInfo::exists(m_gameFiles[0]) && QFileInfo::exists(m_gameFiles[1]);
        bothSeen = bothSeen || both;
        if (bothSeen) {
            ++m_looks;
            if (!both)
                ++m_missing;
        }
        std::this_thread::sleep_for(m_interval);
    }
}
