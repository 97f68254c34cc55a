// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

// The waits between attempts to reconnect to a station that was lost:
// 2, 4, 8 and 16 seconds, then 30 seconds for every further attempt.
class ReconnectSchedule final
{
public:
    static constexpr std::chrono::seconds MaxDelay{30};

    // The wait before the given attempt (1 for the first).
    static std::chrono::seconds delayFor(int attempt);

    // The wait before the next attempt, counting it.
    std::chrono::seconds next();

    // Attempts counted since the start or the last reset.
    int attempts() const { return m_attempts; }

    // Starts over at 2 seconds, for a connection that delivered audio again.
    void reset() { m_attempts = 0; }

private:
    int m_attempts = 0;
};
