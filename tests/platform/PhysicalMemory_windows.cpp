// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhysicalMemory.h"

#include <windows.h>

quint64 physicalMemoryCeiling()
{
    // The memory modules as the firmware reports them, in KB; the system
    // keeps some of it for itself.
    ULONGLONG kilobytes = 0;
    if (!GetPhysicallyInstalledSystemMemory(&kilobytes))
        return 0;
    return quint64(kilobytes) * 1024;
}
