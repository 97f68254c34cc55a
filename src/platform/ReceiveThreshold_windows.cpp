// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ReceiveThreshold.h"

// Winsock accepts no receive low-water mark on TCP sockets: every piece the
// station sends stays an arrival of its own.
bool setReceiveThreshold(qintptr, int)
{
    return false;
}
