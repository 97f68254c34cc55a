// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhysicalMemory.h"

#include <unistd.h>

quint64 physicalMemoryCeiling()
{
    // A container may show less than this.
    return quint64(sysconf(_SC_PHYS_PAGES)) * quint64(sysconf(_SC_PAGESIZE));
}
