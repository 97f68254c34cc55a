// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct MemoryStatus
{
    quint64 totalPhys = 0; // bytes
    quint64 availPhys = 0; // bytes
};

// The machine's physical memory (on Linux /proc/meminfo: MemTotal,
// MemAvailable).
MemoryStatus readMemoryStatus();

// "Total physical memory:   <KB> KB (<percent>% free)": total/1024 with the
// remainder dropped; divisor = total/100 rounded half-to-even; free percent =
// available / divisor with the remainder dropped, not limited to 100.
QString memoryLine(const MemoryStatus &status);
