// SPDX-License-Identifier: GPL-3.0-or-later
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
    // A TLS connection whose certificate failed verification and is not the
    // one trusted for it. reasons: the verification errors, joined with "; ";
    // sha256: the certificate's SHA-256 fingerprint (32 bytes). Handing that
    // fingerprint to ConnectEncrypted() accepts exactly this certificate. The
    // connection has not been used; Sck_Error (SocketErrorCertificateRejected,
    // "<host>: <reasons>") follows unless this handler closes the component.
    virtual void Sck_CertificateRejected(const QString & /*host*/, quint16 /*port*/,
                                         const QString & /*reasons*/, const QByteArray & /*sha256*/)
    {}
};

// Error numbers beyond the Winsock ones, as WinINet numbers them.
constexpr qint16 SocketErrorCertificateRejected = 12045; // certificate not trusted
constexpr qint16 SocketErrorSecureChannel = 12157;       // TLS handshake failed otherwise

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
    // remoteHost: a host name or an IP address (IPv6 without brackets).
    virtual void Connect(const QString &remoteHost, quint16 remotePort) = 0;
    // The same over TLS: the system's trusted certificate authorities, the
    // host name (or IP address) verified. Sck_Connect comes once the encrypted
    // session is up. A certificate that fails verification is accepted only
    // when its SHA-256 fingerprint (32 bytes) equals trustedSha256; otherwise
    // Sck_CertificateRejected and Sck_Error report it and no data is exchanged.
    virtual void ConnectEncrypted(const QString &remoteHost, quint16 remotePort,
                                  const QByteArray &trustedSha256) = 0;
    virtual void SendData(const QByteArray &data) = 0;
    // The received bytes not yet taken, at most 512 KiB at a time (more waiting
    // makes another data arrival); they are removed from the component.
    virtual QByteArray GetData() = 0;
    // Ends the connection; harmless when none is open.
    virtual void Close() = 0;
    // A slow stream wakes the program for every piece the station sends. With
    // a size above 1, the next data arrival may wait until that many bytes are
    // there (the system holds them meanwhile); bytes that stop short of it are
    // still announced about a second after the last arrival. 1 announces
    // every byte at once, as after connecting. Where the system cannot wait
    // for a size, arrivals stay as they are.
    virtual void SetArrivalSize(qint32 bytes) { Q_UNUSED(bytes); }
};

// The module's one exported symbol; the caller owns the returned object.
#define TAVRIX_SOCKET_FACTORY_NAME "tavrix_create_socket_component"
using SocketComponentFactory = SocketComponent *(*)();
