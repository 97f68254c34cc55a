// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OpenFiles.h"
#include "TestServices.h"

#include <QByteArrayList>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

// A game folder with its report and an empty buffer folder in a temporary
// place, the services a run is given, and what the run left in them.
struct SessionFolders
{
    QTemporaryDir root;
    TestServices services;
    QString gameFolder = root.path() + QStringLiteral("/gta3/mp3/");
    QString bufferFolder = root.path() + QStringLiteral("/buffer/");

    SessionFolders()
    {
        writeFile(gameFolder + QStringLiteral("MP3Report.txt"), "old report");
        QDir().mkpath(bufferFolder);
    }

    QStringList bufferFiles() const
    {
        return QDir(bufferFolder).entryList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name);
    }
    // The buffer files joined in name order.
    QByteArray allBufferBytes() const { return bufferFileContents().join(); }
    // The non-empty buffer files, in name order.
    QByteArrayList bufferFileContents() const
    {
        QByteArrayList contents;
        for (const QString &name : bufferFiles()) {
            if (QByteArray bytes = readFile(bufferFolder + name); !bytes.isEmpty())
                contents << bytes;
        }
        return contents;
    }
    // The files of the buffer folder held open.
    QStringList openBufferFiles() const { return openFilesIn(bufferFolder); }
    qsizetype messagesStartingWith(const QString &prefix) const
    {
        qsizetype count = 0;
        for (const auto &message : services.dialogs.messages)
            count += message.text.startsWith(prefix) ? 1 : 0;
        return count;
    }
    bool showedMessage(const QString &text) const
    {
        for (const auto &message : services.dialogs.messages) {
            if (message.text == text)
                return true;
        }
        return false;
    }
};
