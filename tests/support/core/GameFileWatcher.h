// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

// Looks on a thread of its own, every `interval`, whether the game's two
// file names exist, as the game may open either at any moment, and counts
// the looks that found one missing once both had been there.
class GameFileWatcher final
{
public:
    GameFileWatcher(const std::array<QString, 2> &gameFiles, std::chrono::milliseconds interval);
    ~GameFileWatcher();

    GameFileWatcher(const GameFileWatcher &) = delete;
    GameFileWatcher &operator=(const GameFileWatcher &) = delete;

    // Looks since both names first existed.
    int looks() const { return m_looks; }
    // Of those, the looks that found a name missing.
    int missing() const { return m_missing; }

private:
    void watch();

    std::array<QString, 2> m_gameFiles;
    std::chrono::milliseconds m_interval;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_looks = 0;
    std::atomic<int> m_missing = 0;
    std::thread m_thread;
};
