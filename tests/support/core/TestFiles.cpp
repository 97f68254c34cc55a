// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray processStatus(qint64 pid, const QByteArray &field)
{
    for (const QByteArray &line :
         readFile(QStringLiteral("/proc/%1/status").arg(pid)).split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed();
    }
    return {};
}

namespace {

bool inUseError(QString *error)
{
    if (error)
        *error = QStringLiteral("The file is in use");
    return false;
}

} // namespace

bool InUseFileOperations::remove(const QString &path, QString *error)
{
    if (inUse.contains(path))
        return inUseError(error);
    return m_disk.remove(path, error);
}

FileOperations::Replaced InUseFileOperations::replace(const QString &from, const QString &to,
                                                      QString *error)
{
    if (inUse.contains(to) && exists(to)) {
        inUseError(error);
        return Replaced::TargetInUse;
    }
    if (inUse.contains(from)) {
        inUseError(error);
        return Replaced::Failed;
    }
    return m_disk.replace(from, to, error);
}

bool InUseFileOperations::copy(const QString &from, const QString &to, QString *error)
{
    if (inUse.contains(to))
        return inUseError(error);
    return m_disk.copy(from, to, error);
}
