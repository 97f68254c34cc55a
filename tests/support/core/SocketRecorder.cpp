// SPDX-License-Identifier: GPL-3.0-or-later
#include "SocketRecorder.h"

#include "net/SocketModule.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <utility>

std::unique_ptr<SocketComponent> loadSocketComponent()
{
    QString error;
    auto component = SocketModule::create(QStringLiteral(TAVRIX_COMPONENT_DIR), &error);
    if (!component)
        qWarning("socket module: %s", qPrintable(error));
    return component;
}

SocketRecorder::SocketRecorder(SocketComponent *component)
    : sck(component)
{
    sck->setListener(this);
    sck->setErrorDisplay(this);
}

void SocketRecorder::Sck_Connect()
{
    Handler handler(this, QStringLiteral("connect"));
    runNestedLoop();
}

void SocketRecorder::Sck_DataArrival(qint32 bytesTotal)
{
    Handler handler(this, QStringLiteral("data"));
    counts << bytesTotal;
    if (takeData)
        received += sck->GetData();
    runNestedLoop();
    if (onData)
        onData();
    if (destroyOnData)
        owner.reset();
}

void SocketRecorder::Sck_Close()
{
    Handler handler(this, QStringLiteral("close"));
    if (closeOnEnd)
        sck->Close();
}

void SocketRecorder::Sck_Error(qint16 number, const QString &description, bool &cancel)
{
    Handler handler(this, QStringLiteral("error"));
    errors << qMakePair(number, description);
    cancel = cancelDisplay;
    if (closeOnEnd)
        sck->Close();
}

void SocketRecorder::Sck_CertificateRejected(const QString &host, quint16 port,
                                             const QString &reasons, const QByteArray &sha256)
{
    Handler handler(this, QStringLiteral("certificate"));
    rejections << Rejection{host, port, reasons, sha256};
    if (onCertificate)
        onCertificate();
}

void SocketRecorder::showSocketError(qint16 number, const QString &description)
{
    displayed << qMakePair(number, description);
}

void SocketRecorder::clear()
{
    events.clear();
    counts.clear();
    received.clear();
    errors.clear();
    rejections.clear();
    displayed.clear();
}

qint64 SocketRecorder::announcedTotal() const
{
    qint64 sum = 0;
    for (qint32 count : counts)
        sum += count;
    return sum;
}

void SocketRecorder::runNestedLoop()
{
    if (nestedLoopMs <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(nestedLoopMs, &loop, &QEventLoop::quit);
    nestedLoopMs = 0;
    loop.exec();
    if (afterNestedLoop)
        std::exchange(afterNestedLoop, nullptr)();
}

SocketRecorder::Handler::Handler(SocketRecorder *recorder, const QString &event)
    : r(recorder)
{
    r->events << event;
    r->maxDepth = std::max(r->maxDepth, ++r->depth);
}
