// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QTcpSocket>

// A listener that asks a station on 127.0.0.1 for its stream without titles
// and keeps every byte, to compare with what Tavrix wrote. Works in the
// thread's event loop.
class PlainListener final
{
public:
    explicit PlainListener(quint16 port);
    ~PlainListener();

    PlainListener(const PlainListener &) = delete;
    PlainListener &operator=(const PlainListener &) = delete;

    // The audio received so far: what follows the response's header.
    QByteArray audio() const;
    bool isConnected() const;

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

// Whether `part` (at least 4 KiB) is a contiguous piece of `whole` that
// ends no more than `slack` bytes before `whole` does; `why` says where it
// is not.
bool isContiguousPart(const QByteArray &part, const QByteArray &whole, qsizetype slack,
                      QString *why);
