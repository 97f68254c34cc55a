// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The physical memory this system says the machine has, counted apart from
// readMemoryStatus(): the most that it may report (on Linux the kernel's
// physical pages, on Windows the memory installed).
quint64 physicalMemoryCeiling();
