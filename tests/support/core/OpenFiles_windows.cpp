// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenFiles.h"

#include <QDir>
#include <windows.h>

QStringList openFilesIn(const QString &folder)
{
    QStringList open;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::System)) {
        const QString path = folder + name;
        // An open without any sharing fails while another handle is open.
        const HANDLE handle =
            CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                        GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        else if (GetLastError() == ERROR_SHARING_VIOLATION)
            open << path;
    }
    return open;
}
