// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/RecentStations.h"

#include "settings/Settings.h"
#include "util/LeadingNumber.h"

// The built-in stations that fill the first four slots on a first run. They
// are only offered in the list; nothing contacts them unless the user starts
// one of them.
const std::array<RecentStations::Station, 4> RecentStations::PresetStations{{
    {QStringLiteral(
         "Harbour Lights Radio - Chill-out and mellow downtempo grooves every night [32 KBPS]"),
     QStringLiteral("http://91.121.59.45:8012")},
    {QStringLiteral(
         "Neon Nights FM: Synthwave and italo disco for late night rides by the sea [24 KBPS]"),
     QStringLiteral("http://64.71.79.181:5234")},
    {QStringLiteral(
         "Ocean Drive Classics - Soul and funk from the golden era of dance floors [96 KBPS]"),
     QStringLiteral("http://212.83.150.15:8082")},
    {QStringLiteral(
         "Liberty Rock Hits - Classic rock anthems with more music less talk [160 KBPS]"),
     QStringLiteral("http://178.32.62.172:9470")},
}};

QStringList RecentStations::load(const Settings &store)
{
    m_titles.fill(QString());
    m_urls.fill(QString());
    m_count = 0;

    QStringList titles;
    for (int n = 0; n < ReadSlots; ++n) {
        QString title = store.recentTitle(n);
        QString url = store.recentUrl(n);
        if (n < int(PresetStations.size()) && title.isEmpty()) {
            title = PresetStations[n].title;
            url = PresetStations[n].url;
        }
        if (title.isEmpty())
            continue;
        // Stations are packed without gaps, so item k of the list is always
        // slot k even when a stored slot in between had no title.
        m_titles[m_count] = title;
        m_urls[m_count] = url;
        ++m_count;
        titles << title;
    }
    return titles;
}

int RecentStations::lastUsedIndex(const QString &lastUsed)
{
    const std::optional<qint64> index = leadingInteger(lastUsed, -32768, 32767);
    if (!index || *index < 0)
        return 0;
    return int(*index);
}

bool RecentStations::add(const QString &title, const QString &url)
{
    StationInRecent = false;
    for (int n = 0; n < ReadSlots; ++n) {
        if (m_urls[n] == url) {
            StationInRecent = true;
            break;
        }
    }
    const bool append = !StationInRecent && m_count < SlotCount;
    if (append) {
        m_titles[m_count] = title;
        m_urls[m_count] = url;
        ++m_count;
    }
    StationInRecent = false;
    return append;
}

void RecentStations::save(Settings &store, int selectedIndex) const
{
    store.setLastUsed(selectedIndex);
    const int last = qMin(m_count, SlotCount - 1);
    for (int n = 0; n <= last; ++n) {
        store.setRecent(n, m_titles[n], m_urls[n]);
    }
}

QString RecentStations::title(int slot) const
{
    return slot >= 0 && slot < SlotCount ? m_titles[slot] : QString();
}

QString RecentStations::url(int slot) const
{
    return slot >= 0 && slot < SlotCount ? m_urls[slot] : QString();
}
