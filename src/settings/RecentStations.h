// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <array>

class Settings;

// The recent stations: 41 slots of title and address, parallel to the items
// of the recent list. Slot k is item k.
class RecentStations
{
public:
    static constexpr int SlotCount = 41;
    static constexpr int ReadSlots = 31; // slots 0..30 are read back and searched

    struct Station
    {
        QString title;
        QString url;
    };
    static const std::array<Station, 4> PresetStations;

    // Reads slots 0..30; an empty title in slots 0..3 brings back the preset.
    // Slots with an empty title are left out, so that the titles returned (the
    // items of the list) stay parallel to the slots.
    QStringList load(const Settings &store);

    // "LastUsed" as an index: leading number rounded half-to-even; a value
    // outside 16 bits gives 0, a negative one 0.
    static int lastUsedIndex(const QString &lastUsed);

    // Appends the station unless its address equals one of slots 0..30
    // exactly, or all slots are taken. Returns true when it was appended.
    bool add(const QString &title, const QString &url);

    // Writes "LastUsed" (the selected index, -1 for none), then slots 0..count
    // (one empty pair after the last station, while a slot exists for it).
    void save(Settings &store, int selectedIndex) const;

    int count() const { return m_count; }
    QString title(int slot) const;
    QString url(int slot) const; // empty outside 0..40

    bool StationInRecent = false;

private:
    std::array<QString, SlotCount> m_titles;
    std::array<QString, SlotCount> m_urls;
    int m_count = 0;
};
