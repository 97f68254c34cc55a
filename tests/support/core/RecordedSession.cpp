// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordedSession.h"

#include "TestFiles.h"
#include "net/SocketModule.h"
#include "station/StationAddress.h"

#include <QDir>
#include <QTest>

RecordedSession::RecordedSession()
    : session(SocketModule::create(QStringLiteral(TAVRIX_COMPONENT_DIR), &loadError))
{
    QObject::connect(&session, &StreamSession::headersRead,
                     [this](const StationHeaders &read) { headers << read; });
    QObject::connect(&session, &StreamSession::progress, [this](qint64 bytes, qint64 fileSize) {
        lastProgress = bytes;
        fileSizeBytes = fileSize;
    });
    QObject::connect(&session, &StreamSession::stopped,
                     [this](const SessionStop &stop) { stops << stop; });
    QObject::connect(&session, &StreamSession::reconnecting,
                     [this](int seconds, int attempt, const QString &why) {
                         reconnects << qMakePair(seconds, attempt);
                         lossReasons << why;
                     });
    QObject::connect(&session, &StreamSession::reconnected, [this] { ++reconnections; });
}

void RecordedSession::start(const QString &address, qint32 fileSizeKB)
{
    const StationAddressParse parsed = parseStationAddress(address);
    QVERIFY2(parsed.address, qPrintable(address));
    session.start(*parsed.address, folder(), fileSizeKB);
}

QStringList RecordedSession::bufferFiles() const
{
    return QDir(root.path()).entryList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name);
}

QByteArray RecordedSession::file(const QString &name) const
{
    return readFile(root.filePath(name));
}

QByteArray RecordedSession::allBufferBytes() const
{
    QByteArray all;
    for (const QString &name : bufferFiles())
        all += readFile(folder() + name);
    return all;
}
