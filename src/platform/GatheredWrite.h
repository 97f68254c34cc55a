// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <span>

class QFile;

// One piece of a gathered write.
struct WritePiece
{
    const char *data = nullptr;
    qint64 size = 0;
};

// Writes `pieces` in order at the position of `file` (open unbuffered), as
// one system write where the system can gather them. Returns the bytes
// written, which may be short of the whole; -1 when nothing could be written,
// with `reason` saying why.
qint64 writeGathered(QFile &file, std::span<const WritePiece> pieces, QString &reason);
