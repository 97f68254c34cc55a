// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ReconnectSchedule.h"

#include <algorithm>
#include <limits>

std::chrono::seconds ReconnectSchedule::delayFor(int attempt)
{
    // Doubling from 2 seconds passes the cap at the fifth attempt; clamping
    // first keeps the shift small for any attempt number.
    const int doublings = std::clamp(attempt, 1, 5);
    return std::min(std::chrono::seconds(1 << doublings), MaxDelay);
}

std::chrono::seconds ReconnectSchedule::next()
{
    if (m_attempts < std::numeric_limits<int>::max())
        ++m_attempts;
    return delayFor(m_attempts);
}
