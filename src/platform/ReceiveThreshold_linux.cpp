// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ReceiveThreshold.h"

#include <sys/socket.h>

bool setReceiveThreshold(qintptr socket, int bytes)
{
    return ::setsockopt(int(socket), SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes) == 0;
}
