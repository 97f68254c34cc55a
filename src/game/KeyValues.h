// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// Valve's KeyValues text format, as Steam writes libraryfolders.vdf and the
// appmanifest_<id>.acf files: a list of key/value pairs where a value is a
// string or a block `{ ... }` of pairs. Strings are quoted (with the escapes
// \" \\ \n \t) or bare words; `//` starts a comment to the end of the line;
// a condition such as `[$WIN32]` after a value is accepted and ignored.
struct KeyValues
{
    QString key;
    QString value;             // empty for a block
    QList<KeyValues> children; // the pairs of a block
    bool isBlock = false;

    // The first child whose key matches, whatever its letter case (Steam
    // itself ignores the case of keys); nullptr when there is none.
    const KeyValues *child(QStringView name) const;
    // The string value of that child; empty when missing or a block.
    QString childValue(QStringView name) const;
};

// `root` is a block holding the document's top-level pairs; on malformed
// input it is empty and `error` names the line and the fault.
struct KeyValuesParse
{
    std::optional<KeyValues> root;
    QString error;
};

// Blocks nest at most this deep; deeper input is refused as malformed.
inline constexpr int KeyValuesMaxDepth = 64;

KeyValuesParse parseKeyValues(QByteArrayView text);
