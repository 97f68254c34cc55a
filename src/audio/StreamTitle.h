// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

// The "now playing" values of one ICY metadata block, such as
// "StreamTitle='Artist - Song';StreamUrl='http://...';" padded with NULs.
// Values are plain text: control characters become blanks, blanks around a
// value are dropped, and anything else (quotes, markup) is kept as sent.
struct StreamTitle
{
    QString title;
    QString url;
    bool hasTitle = false; // the block named a title, which may be empty
    bool hasUrl = false;

    // Reads the block's key='value'; pairs. A value ends at the first "';"
    // that is followed by the next key or the end of the block, so quotes
    // inside a title ("Guns N' Roses - Don't Cry") stay part of it. Values
    // are UTF-8, or one character per byte (Latin-1) when they are not valid
    // UTF-8. The first occurrence of a key counts; reading stops at text that
    // is not a key='value' pair, keeping what was read before it.
    static StreamTitle fromMetadata(QByteArrayView block);
};
