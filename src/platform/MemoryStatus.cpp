// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MemoryStatus.h"

#include <cfenv>
#include <cmath>

QString memoryLine(const MemoryStatus &status)
{
    const quint64 totalKB = status.totalPhys / 1024;
    // The divisor is rounded to nearest, a half to the even neighbour.
    const int oldRounding = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double divisor = std::nearbyint(static_cast<double>(status.totalPhys) / 100.0);
    std::fesetround(oldRounding);
    // 50 bytes or less in all would make the divisor 0; such a machine
    // shows 0% free rather than dividing by zero.
    const quint64 freePercent =
        divisor > 0 ? status.availPhys / static_cast<quint64>(divisor) : quint64(0);
    return QStringLiteral("Total physical memory:   %1 KB (%2% free)")
        .arg(totalKB)
        .arg(freePercent);
}
