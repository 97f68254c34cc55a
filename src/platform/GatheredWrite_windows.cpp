// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GatheredWrite.h"

#include <QFile>

// Windows has no gathering write for ordinary files: the pieces go one after
// the other, each straight to the system as the file is unbuffered.
qint64 writeGathered(QFile &file, std::span<const WritePiece> pieces, QString &reason)
{
    qint64 written = 0;
    for (const WritePiece &piece : pieces) {
        const qint64 n = file.write(piece.data, piece.size);
        if (n < 0) {
            if (written > 0)
                return written;
            reason = file.errorString();
            return -1;
        }
        written += n;
        if (n < piece.size)
            return written;
    }
    return written;
}
