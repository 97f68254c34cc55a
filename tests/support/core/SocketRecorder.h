// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/SocketComponent.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// The socket component from the built module, loaded as the program loads
// it; null, with the reason in the test log, when it cannot be.
std::unique_ptr<SocketComponent> loadSocketComponent();

// Records a socket component's events in the order they arrive ("connect",
// "data", "close", "error", "certificate") and reacts to them the way the
// test asks for.
class SocketRecorder final : public SocketComponentListener, public SocketErrorDisplay
{
public:
    struct Rejection
    {
        QString host;
        quint16 port;
        QString reasons;
        QByteArray sha256;
    };

    explicit SocketRecorder(SocketComponent *component);

    void Sck_Connect() override;
    void Sck_DataArrival(qint32 bytesTotal) override;
    void Sck_Close() override;
    void Sck_Error(qint16 number, const QString &description, bool &cancel) override;
    void Sck_CertificateRejected(const QString &host, quint16 port, const QString &reasons,
                                 const QByteArray &sha256) override;
    void showSocketError(qint16 number, const QString &description) override;

    // Forgets what was recorded.
    void clear();
    // The sum of the byte counts the data arrivals announced.
    qint64 announcedTotal() const;

    SocketComponent *sck;
    std::unique_ptr<SocketComponent> owner; // set when a test lets the listener destroy it
    QStringList events;
    QList<qint32> counts;
    QByteArray received;
    QList<QPair<qint16, QString>> errors;
    QList<Rejection> rejections;
    QList<QPair<qint16, QString>> displayed;
    bool takeData = true;
    bool closeOnEnd = false;
    bool cancelDisplay = false;
    bool destroyOnData = false;
    // Run after a data arrival or a rejected certificate has been recorded.
    std::function<void()> onData;
    std::function<void()> onCertificate;
    // A handler for connect or data runs a nested event loop this long, once,
    // as a modal message box would: other socket activity happens while the
    // handler is still running. afterNestedLoop runs when it has ended.
    int nestedLoopMs = 0;
    std::function<void()> afterNestedLoop;
    int depth = 0;
    int maxDepth = 0;

private:
    void runNestedLoop();

    // Records one event and how deeply handlers are nested while it runs.
    struct Handler
    {
        Handler(SocketRecorder *recorder, const QString &event);
        ~Handler() { --r->depth; }
        SocketRecorder *r;
    };
};
