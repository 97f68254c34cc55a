// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayServer.h"

#include <xcb/xcb.h>

struct DisplayServer::Connection
{
    xcb_connection_t *handle = nullptr;
};

namespace {

QString reason(int error)
{
    switch (error) {
    case XCB_CONN_CLOSED_PARSE_ERR:
        return QStringLiteral("the display name is not valid");
    case XCB_CONN_CLOSED_INVALID_SCREEN:
        return QStringLiteral("the server has no such screen");
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED:
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
    case XCB_CONN_CLOSED_REQ_LEN_EXCEED:
    case XCB_CONN_CLOSED_FDPASSING_FAILED:
        return QStringLiteral("the connection failed");
    default:
        // A refused socket and a refused authorisation both end here.
        return QStringLiteral("no X server answers there, or it refused the connection");
    }
}

} // namespace

bool DisplayServer::isRequired()
{
    return true;
}

DisplayServer::DisplayServer(const QString &name)
    : m_connection(std::make_unique<Connection>())
{
    const QByteArray encoded = name.toLocal8Bit();
    int screen = 0;
    xcb_connection_t *connection =
        xcb_connect(encoded.isEmpty() ? nullptr : encoded.constData(), &screen);
    m_connection->handle = connection;
    // xcb_connect never returns null; a failed connection reports its error
    // and must still be released.
    if (const int code = xcb_connection_has_error(connection))
        m_error = reason(code);
    else if (screen < 0 || screen >= xcb_setup_roots_length(xcb_get_setup(connection)))
        m_error = reason(XCB_CONN_CLOSED_INVALID_SCREEN);
}

DisplayServer::~DisplayServer()
{
    xcb_disconnect(m_connection->handle);
}
