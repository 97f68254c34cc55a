#pragma once

#include "settings/RecentStations.h"
#include "stream/BufferFileWriter.h"
#include "stream/ResponseParser.h"

#include <QString>
#include <array>

// Everything the main window keeps between two handlers. Owned by the main
// window, touched only on its thread.
struct SessionState
{
    // Station and stream
    bool Streaming = false;
    QString StationURL; // the address text, trimmed, without "http://"
    QString StationHost;
    quint16 StationPort = 0;
    QString StationPath = QStringLiteral("/");
    qint32 PrebufferKB = 0;  // size of each buffer file in KB of 1024 bytes
    ResponseParser Response; // its stage is the response stage (0, 1, 2)
    bool AutoStartGame = false;
    bool ShowBufferingStatus = false;

    // Buffer files
    QString BufferPath;          // ends with '/'; empty while none is chosen
    BufferFileWriter BufferFile; // current file, its name, byte count and the counter
    bool BufferFolderAccepted = false;

    // Game folder and hand-off
    QString RadioPath; // ends with '/'; empty while none is chosen
    std::array<QString, 2> GameFileNames;
    QString GameExe;
    quint8 GameSlot = 0;
    std::array<QString, 2> SlotBufferNames;
    quint8 HandOffStage = 0;
    qint16 SkippedSlot = 0;

    // Recent stations (titles, addresses, StationInRecent)
    RecentStations Recent;
};
