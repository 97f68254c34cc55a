// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The system's low-water mark for receiving on a connected TCP socket: the
// socket is reported readable only once this many bytes wait (or the
// connection has ended). Returns false where the system has no such mark.
bool setReceiveThreshold(qintptr socket, int bytes);
