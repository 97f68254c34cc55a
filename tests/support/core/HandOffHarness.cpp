// SPDX-License-Identifier: GPL-3.0-or-later
#include "HandOffHarness.h"

#include "bufferfiles/BufferFolder.h"

#include <QDir>

RecordingHandOffWindow::RecordingHandOffWindow(HandOffMachine &machine)
{
    QObject::connect(&machine, &HandOffMachine::statusChanged, &machine,
                     [this](const QString &text) { statusTexts << text; });
    QObject::connect(&machine, &HandOffMachine::blocked, &machine,
                     [this](const QString &reason) { blocked << reason; });
    QObject::connect(&machine, &HandOffMachine::resumed, &machine, [this] { ++resumed; });
    QObject::connect(&machine, &HandOffMachine::countdown, &machine,
                     [this](int secondsLeft) { countdown << secondsLeft; });
    QObject::connect(&machine, &HandOffMachine::launchDue, &machine, [this] { ++launches; });
}

HandOffHarness::HandOffHarness(bool autoStart)
{
    QDir().mkpath(bufferFolder);
    QDir().mkpath(gameFolder);
    machine.setFolders({bufferFolder, gameFiles});
    machine.startSession(autoStart);
}

void HandOffHarness::addBufferFiles(int first, int count, const QByteArray &prefix)
{
    for (int n = first; n < first + count; ++n)
        writeFile(bufferFolder + BufferFolder::fileNameFor(quint32(n)),
                  prefix + QByteArray::number(n));
}

void HandOffHarness::ticks(int count)
{
    for (int i = 0; i < count; ++i)
        machine.tick();
}

QStringList HandOffHarness::bufferFiles() const
{
    return QDir(bufferFolder).entryList(QDir::Files, QDir::Name);
}
