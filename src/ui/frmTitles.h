// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/TitleHistory.h"

#include <QDialog>

class QListWidget;
class QPushButton;

// The titles a station played: time and title, newest first. "Copy" puts the
// selected titles (all when none is selected) on the clipboard as plain
// text; "Close" closes the window.
class frmTitles final : public QDialog
{
    Q_OBJECT

public:
    explicit frmTitles(QWidget *owner);

    // Shows `entries` (oldest first, as TitleHistory gives them) of the
    // station `station`.
    void setTitles(const QString &station, const QList<PlayedTitle> &entries);

    // Controls, named as their object names.
    QListWidget *lstTitles = nullptr;
    QPushButton *cmdCopy = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    void cmdCopy_Click();
};
