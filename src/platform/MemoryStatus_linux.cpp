// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MemoryStatus.h"

#include <QByteArray>
#include <QFile>
#include <QList>

namespace {

// The value of a "Name:   12345 kB" line of /proc/meminfo, in bytes.
bool meminfoValue(const QByteArray &line, const QByteArray &name, quint64 *bytes)
{
    if (!line.startsWith(name))
        return false;
    const QList<QByteArray> fields = line.mid(name.size()).simplified().split(' ');
    bool ok = false;
    const quint64 value = fields.value(0).toULongLong(&ok);
    if (!ok)
        return false;
    *bytes = fields.value(1) == "kB" ? value * 1024 : value;
    return true;
}

} // namespace

MemoryStatus readMemoryStatus()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return {};
    MemoryStatus status;
    quint64 free = 0;
    bool haveAvailable = false;
    // /proc files report a size of 0; readAll() reads on to the end anyway.
    const QList<QByteArray> lines = meminfo.readAll().split('\n');
    for (const QByteArray &line : lines) {
        meminfoValue(line, "MemTotal:", &status.totalPhys);
        meminfoValue(line, "MemFree:", &free);
        if (meminfoValue(line, "MemAvailable:", &status.availPhys))
            haveAvailable = true;
    }
    // Kernels before 3.14 have no MemAvailable.
    if (!haveAvailable)
        status.availPhys = free;
    return status;
}
