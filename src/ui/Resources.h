#pragma once

#include <QIcon>
#include <QtGlobal>

// The images are compiled into the windows' static library; a static
// library's resources must be registered explicitly before first use.
inline void loadResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(tavrix);
        return true;
    }();
    Q_UNUSED(loaded);
}

// The program's icon in all its sizes.
inline QIcon programIcon()
{
    loadResources();
    QIcon icon;
    for (const int size : {32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tavrix-%1.png").arg(size), QSize(size, size));
    return icon;
}
