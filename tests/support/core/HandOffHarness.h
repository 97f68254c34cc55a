// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestFiles.h"
#include "handoff/HandOffMachine.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <array>

// Writes down what the hand-off tells, as a window would show it.
class RecordingHandOffWindow final
{
public:
    explicit RecordingHandOffWindow(HandOffMachine &machine);

    QStringList statusTexts;
    QStringList blocked;
    QList<int> countdown;
    int launches = 0;
    int resumed = 0;
};

// A buffer folder and a game folder in a temporary place, with a machine
// over them whose session has started.
struct HandOffHarness
{
    QTemporaryDir root;
    QString bufferFolder = root.filePath(QStringLiteral("buffer")) + QLatin1Char('/');
    QString gameFolder = root.filePath(QStringLiteral("Grand Theft Äuto/mp3")) + QLatin1Char('/');
    std::array<QString, 2> gameFiles{gameFolder + QStringLiteral("Tavrix_00.mp3"),
                                     gameFolder + QStringLiteral("Tavrix_01.mp3")};
    InUseFileOperations files;
    HandOffMachine machine{files};
    RecordingHandOffWindow window{machine};

    explicit HandOffHarness(bool autoStart = false);

    // Buffer files "first" .. "first + count - 1", each holding "<prefix><n>".
    void addBufferFiles(int first, int count, const QByteArray &prefix = "audio ");
    void ticks(int count);
    QStringList bufferFiles() const;
    QByteArray game(int slot) const { return readFile(gameFiles[size_t(slot)]); }
};
