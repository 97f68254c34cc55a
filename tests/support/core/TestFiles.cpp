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

bool InUseFileOperations::remove(const QString &path)
{
    return !inUse.contains(path) && m_disk.remove(path);
}

bool InUseFileOperations::move(const QString &from, const QString &to)
{
    return !inUse.contains(to) && !inUse.contains(from) && m_disk.move(from, to);
}

bool InUseFileOperations::copy(const QString &from, const QString &to)
{
    return !inUse.contains(to) && m_disk.copy(from, to);
}
