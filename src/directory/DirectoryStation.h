// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One station as the community station directory lists it, reduced to what
// Tavrix shows and uses. Every text is plain text as received (never markup),
// cut to a sane length and free of control characters.
struct DirectoryStation
{
    QString uuid; // the directory's id (hex digits and dashes), empty if it sent none
    QString name;
    QString address; // http(s) only: the resolved stream address, else the listed one
    QString codec;   // as the directory writes it, e.g. "MP3", "AAC+"
    int bitrate = 0; // kbit/s, 0 when unknown
    QString country;
    QString countryCode;
    QString tags; // comma separated
    bool hls = false;
};

struct StationListParse
{
    bool ok = false; // false: the answer is not a JSON array
    QList<DirectoryStation> stations;
};

// Reads the directory's answer to a station search (a JSON array of station
// objects). Entries that are not objects, have no usable http(s) address or
// failed the directory's last check are left out; fields of the wrong type
// read as empty.
StationListParse parseStationList(const QByteArray &json);
