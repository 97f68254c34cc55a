// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/StreamSession.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A session with the built socket component, writing into a temporary
// buffer folder, with what it reported recorded.
struct RecordedSession
{
    RecordedSession();

    // Starts a session with `address` ("host:port[/path]") and files of
    // `fileSizeKB` KB.
    void start(const QString &address, qint32 fileSizeKB = 128);

    QString folder() const { return root.path() + QLatin1Char('/'); }
    // The buffer folder's MP3s by name.
    QStringList bufferFiles() const;
    QByteArray file(const QString &name) const;
    // Every buffer file's bytes, one after the other.
    QByteArray allBufferBytes() const;

    QTemporaryDir root;
    QString loadError;
    StreamSession session;
    QList<StationHeaders> headers;
    QList<SessionStop> stops;
    QList<QPair<int, int>> reconnects; // wait in seconds, attempt
    QStringList lossReasons;
    int reconnections = 0;
    qint64 lastProgress = -1;
    qint64 fileSizeBytes = 0;
};
