// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MemoryStatus.h"

#include <windows.h>

MemoryStatus readMemoryStatus()
{
    // The Ex call reports 64-bit sizes; the older one caps them at 4 GB.
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status))
        return {};
    return {status.ullTotalPhys, status.ullAvailPhys};
}
