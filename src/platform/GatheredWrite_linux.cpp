// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GatheredWrite.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/uio.h>

namespace {

// More than any caller gathers; writev takes at least 1024.
constexpr std::size_t MaxPieces = 64;

} // namespace

qint64 writeGathered(QFile &file, std::span<const WritePiece> pieces, QString &reason)
{
    std::array<iovec, MaxPieces> vectors;
    const std::size_t count = std::min(pieces.size(), MaxPieces);
    for (std::size_t i = 0; i < count; ++i)
        vectors[i] = {const_cast<char *>(pieces[i].data), std::size_t(pieces[i].size)};
    for (;;) {
        const ssize_t n = ::writev(file.handle(), vectors.data(), int(count));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            reason = qt_error_string(errno);
        return n;
    }
}
