// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controller/PlatformServices.h"
#include "directory/DirectoryStation.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class StationDirectory;

// The station search: looks stations up in the community station directory
// and hands the chosen one's address to the main window. Owned by the main
// window and kept while it lives (hidden between uses), so that the chosen
// station's click can be reported once it plays.
class frmFind final : public QDialog
{
    Q_OBJECT

public:
    // serverSetting: the directory server setting (empty: found through DNS).
    frmFind(const PlatformServices &services, const QString &serverSetting, QWidget *owner);

    // The main window started playing this address.
    void stationStarted(const QString &address);

signals:
    // The user chose a station: its stream address.
    void stationChosen(const QString &address);

private:
    void buildControls();
    void cmdSearch_Click();
    void cmdUse_Click();
    void cmdWebsite_Click();
    void chkHideUnplayable_Click();
    void showStations(const QList<DirectoryStation> &stations);
    void showFailure(const QString &message);
    void showCount();
    void setBusy(bool busy);
    void updateUseButton();

    PlatformServices m_services;
    StationDirectory *m_directory = nullptr;
    QList<DirectoryStation> m_stations;
    bool m_showingResults = false;

    QLineEdit *txtSearch = nullptr;
    QComboBox *cmbSearchBy = nullptr;
    QLineEdit *txtCountry = nullptr;
    QComboBox *cmbCodec = nullptr;
    QPushButton *cmdSearch = nullptr;
    QTreeWidget *lstResults = nullptr;
    QCheckBox *chkHideUnplayable = nullptr;
    QProgressBar *prgBusy = nullptr;
    QLabel *lblStatus = nullptr;
    QPushButton *cmdWebsite = nullptr;
    QPushButton *cmdUse = nullptr;
    QPushButton *cmdClose = nullptr;
};
