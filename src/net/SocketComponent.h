#pragma once

#include <QByteArray>
#include <QString>

// The boundary of the socket component module (libtavrixsck.so). It is kept
// to plain abstract classes and one C factory function, so that nothing with a
// meta-object or a static library is duplicated across the module boundary.
// All events arrive on the thread that created the component (the GUI thread),
// one at a time.

class SocketComponentListener
{
public:
    virtual ~SocketComponentListener() = default;

    virtual void Sck_Connect() = 0;
    // bytesTotal: the number of bytes waiting to be taken with GetData().
    virtual void Sck_DataArrival(qint32 bytesTotal) = 0;
    virtual void Sck_Close() = 0;
    // Setting cancelDisplay to true suppresses the component's own error message.
    virtual void Sck_Error(qint16 number, const QString &description, bool &cancelDisplay) = 0;
};

// Shows the component's own error message (a modal box in the program,
// recorded in tests).
class SocketErrorDisplay
{
public:
    virtual ~SocketErrorDisplay() = default;
    virtual void showSocketError(qint16 number, const QString &description) = 0;
};

class SocketComponent
{
public:
    virtual ~SocketComponent() = default;

    virtual void setListener(SocketComponentListener *listener) = 0;
    virtual void setErrorDisplay(SocketErrorDisplay *display) = 0;

    // Returns at once; the outcome arrives as Sck_Connect or Sck_Error.
    virtual void Connect(const QString &remoteHost, quint16 remotePort) = 0;
    virtual void SendData(const QByteArray &data) = 0;
    // Every received byte not yet taken; they are removed from the component.
    virtual QByteArray GetData() = 0;
    // Ends the connection; harmless when none is open.
    virtual void Close() = 0;
};

// The module's one exported symbol; the caller owns the returned object.
#define TAVRIX_SOCKET_FACTORY_NAME "tavrix_create_socket_component"
using SocketComponentFactory = SocketComponent *(*)();
