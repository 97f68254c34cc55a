// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayServer.h"

// Windows has no display server to reach: the window system is always there.
struct DisplayServer::Connection
{
};

bool DisplayServer::isRequired()
{
    return false;
}

DisplayServer::DisplayServer(const QString &)
{}

DisplayServer::~DisplayServer() = default;
