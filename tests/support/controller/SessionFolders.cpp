// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionFolders.h"

#include <QDir>
#include <QFileInfo>

SessionFolders::SessionFolders()
    : gameFolder(root.path() + QStringLiteral("/gta3/mp3/"))
    , bufferFolder(root.path() + QStringLiteral("/buffer/"))
{
    writeFile(gameFolder + QStringLiteral("MP3Report.txt"), "old report");
    QDir().mkpath(bufferFolder);
}

QStringList SessionFolders::bufferFiles() const
{
    return QDir(bufferFolder).entryList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name);
}

QByteArray SessionFolders::allBufferBytes() const
{
    QByteArray all;
    for (const QString &name : bufferFiles())
        all += readFile(bufferFolder + name);
    return all;
}

QByteArrayList SessionFolders::bufferFileContents() const
{
    QByteArrayList contents;
    for (const QString &name : bufferFiles()) {
        if (QByteArray bytes = readFile(bufferFolder + name); !bytes.isEmpty())
            contents << bytes;
    }
    return contents;
}

QStringList SessionFolders::openBufferFiles() const
{
    QStringList open;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &link : descriptors.entryInfoList(QDir::Files | QDir::System)) {
        const QString target = link.symLinkTarget();
        if (target.startsWith(bufferFolder))
            open << target;
    }
    return open;
}

bool SessionFolders::showedMessage(const QString &text) const
{
    for (const auto &message : services.dialogs.messages) {
        if (message.text == text)
            return true;
    }
    return false;
}

qsizetype SessionFolders::messagesStartingWith(const QString &prefix) const
{
    qsizetype count = 0;
    for (const auto &message : services.dialogs.messages)
        count += message.text.startsWith(prefix) ? 1 : 0;
    return count;
}
