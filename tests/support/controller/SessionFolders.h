// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestServices.h"

#include <QByteArrayList>
#include <QStringList>
#include <QTemporaryDir>

// A game folder with its report and an empty buffer folder in a temporary
// place, the services a run is given, and what the run left in them.
struct SessionFolders
{
    QTemporaryDir root;
    TestServices services;
    QString gameFolder;
    QString bufferFolder;

    SessionFolders();

    QStringList bufferFiles() const;
    QByteArray allBufferBytes() const;         // the buffer files joined in name order
    QByteArrayList bufferFileContents() const; // the non-empty buffer files, in name order
    // The files of the buffer folder this process holds open.
    QStringList openBufferFiles() const;
    bool showedMessage(const QString &text) const;
    qsizetype messagesStartingWith(const QString &prefix) const;
};
