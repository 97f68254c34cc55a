// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The names (without folder) of the "*.mp3" files in one folder, matched
// whatever the letter case, re-read on request. Names that begin with a number
// are ordered by that number first, so numbered buffer files keep their
// creation order past "999"; other names follow in ascending order. An empty
// folder path lists nothing.
class FolderListing
{
public:
    void setFolder(const QString &folder); // re-reads
    QString folder() const { return m_folder; }
    void refresh();

    const QStringList &names() const { return m_names; }
    qsizetype count() const { return m_names.size(); }

private:
    QString m_folder;
    QStringList m_names;
};
