// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
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

// An image drawn for the screen's pixel density: where a logical pixel is more
// than one device pixel, the "@2x" file beside `path` (twice the size, marked
// as such), so the image stays sharp at the same logical size.
inline QPixmap imageForRatio(const QString &path, qreal devicePixelRatio)
{
    loadResources();
    if (devicePixelRatio > 1.0) {
        QString sharp = path;
        sharp.insert(sharp.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x"));
        QPixmap image(sharp);
        if (!image.isNull()) {
            image.setDevicePixelRatio(2.0);
            return image;
        }
    }
    return QPixmap(path);
}
