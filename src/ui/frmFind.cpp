// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmFind.h"

#include "directory/PlayableCodecs.h"
#include "directory/StationDirectory.h"
#include "platform/Shell.h"
#include "ui/Links.h"
#include "ui/WindowFont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { NameColumn, CodecColumn, BitrateColumn, CountryColumn, TagsColumn, ColumnCount };

// The item's index into the station list.
constexpr int StationRole = Qt::UserRole;

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    // Enter belongs to the search box and the result list, not to a button.
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmFind::frmFind(const PlatformServices &services, const QString &serverSetting, QWidget *owner)
    : QDialog(owner)
    , m_services(services)
    , m_directory(new StationDirectory(serverSetting, this))
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(tr("Find a station"));
    setFont(WindowFont::standard());
    setWindowModality(Qt::WindowModal);
    buildControls();

    connect(m_directory, &StationDirectory::searchFinished, this, &frmFind::showStations);
    connect(m_directory, &StationDirectory::searchFailed, this, &frmFind::showFailure);
}

void frmFind::buildControls()
{
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setPlaceholderText(tr("Station name or tag"));
    txtSearch->setClearButtonEnabled(true);
    // Placeholders vanish once typed into: screen readers get fixed names.
    txtSearch->setAccessibleName(tr("Station name or tag"));
    connect(txtSearch, &QLineEdit::returnPressed, this, &frmFind::cmdSearch_Click);

    cmbSearchBy = new QComboBox(this);
    cmbSearchBy->setObjectName(QStringLiteral("cmbSearchBy"));
    cmbSearchBy->addItem(tr("Name"));
    cmbSearchBy->addItem(tr("Tag"));
    cmbSearchBy->setAccessibleName(tr("Search by"));

    cmdSearch = button(tr("Search"), "cmdSearch", this);
    connect(cmdSearch, &QPushButton::clicked, this, &frmFind::cmdSearch_Click);

    txtCountry = new QLineEdit(this);
    txtCountry->setObjectName(QStringLiteral("txtCountry"));
    txtCountry->setPlaceholderText(tr("Any country (name or code, e.g. DE)"));
    txtCountry->setAccessibleName(tr("Country"));
    connect(txtCountry, &QLineEdit::returnPressed, this, &frmFind::cmdSearch_Click);

    cmbCodec = new QComboBox(this);
    cmbCodec->setObjectName(QStringLiteral("cmbCodec"));
    cmbCodec->setAccessibleName(tr("Format"));
    cmbCodec->addItem(tr("Any format"), QString());
    for (const char *codec : {"MP3", "AAC", "AAC+", "OGG", "OPUS", "FLAC"})
        cmbCodec->addItem(QLatin1String(codec), QLatin1String(codec));

    lstResults = new QTreeWidget(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setAccessibleName(tr("Stations found"));
    lstResults->setColumnCount(ColumnCount);
    lstResults->setHeaderLabels(
        {tr("Name"), tr("Format"), tr("kbit/s"), tr("Country"), tr("Tags")});
    lstResults->setRootIsDecorated(false);
    lstResults->setUniformRowHeights(true);
    lstResults->setAllColumnsShowFocus(true);
    lstResults->setSelectionMode(QAbstractItemView::SingleSelection);
    lstResults->header()->setStretchLastSection(true);
    lstResults->setColumnWidth(NameColumn, 190);
    lstResults->setColumnWidth(CodecColumn, 150);
    lstResults->setColumnWidth(BitrateColumn, 50);
    lstResults->setColumnWidth(CountryColumn, 90);
    // Double click and Enter.
    connect(lstResults, &QTreeWidget::itemActivated, this, &frmFind::cmdUse_Click);
    connect(lstResults, &QTreeWidget::currentItemChanged, this, &frmFind::updateUseButton);

    chkHideUnplayable = new QCheckBox(tr("Hide stations that may not play"), this);
    chkHideUnplayable->setObjectName(QStringLiteral("chkHideUnplayable"));
    chkHideUnplayable->setChecked(true);
    connect(chkHideUnplayable, &QCheckBox::toggled, this, &frmFind::chkHideUnplayable_Click);

    prgBusy = new QProgressBar(this);
    prgBusy->setObjectName(QStringLiteral("prgBusy"));
    prgBusy->setRange(0, 0);
    prgBusy->setTextVisible(false);
    prgBusy->setMaximumWidth(120);
    prgBusy->setVisible(false);
    prgBusy->setAccessibleName(tr("Searching"));

    lblStatus =
        new QLabel(tr("Type a station's name or a tag such as \"rock\" and press Enter."), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    // Messages may quote what the directory sent: never markup.
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);

    cmdWebsite = button(tr("Directory web site"), "cmdWebsite", this);
    connect(cmdWebsite, &QPushButton::clicked, this, &frmFind::cmdWebsite_Click);
    cmdUse = button(tr("Use"), "cmdUse", this);
    cmdUse->setEnabled(false);
    connect(cmdUse, &QPushButton::clicked, this, &frmFind::cmdUse_Click);
    cmdClose = button(tr("Close"), "cmdClose", this);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(txtSearch, 1);
    searchRow->addWidget(cmbSearchBy);
    searchRow->addWidget(cmdSearch);

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(txtCountry, 1);
    filterRow->addWidget(cmbCodec);
    filterRow->addWidget(chkHideUnplayable);

    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(lblStatus, 1);
    statusRow->addWidget(prgBusy);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(cmdWebsite);
    buttonRow->addStretch(1);
    buttonRow->addWidget(cmdUse);
    buttonRow->addWidget(cmdClose);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addLayout(filterRow);
    layout->addWidget(lstResults, 1);
    layout->addLayout(statusRow);
    layout->addLayout(buttonRow);

    resize(640, 400);
}

void frmFind::stationStarted(const QString &address)
{
    m_directory->stationStarted(address);
}

void frmFind::cmdSearch_Click()
{
    DirectoryQuery query;
    query.text = txtSearch->text();
    query.field =
        cmbSearchBy->currentIndex() == 1 ? DirectoryQuery::Field::Tag : DirectoryQuery::Field::Name;
    query.country = txtCountry->text();
    query.codec = cmbCodec->currentData().toString();
    lstResults->clear();
    m_stations.clear();
    m_showingResults = false;
    updateUseButton();
    setBusy(true);
    lblStatus->setText(tr("Searching the station directory..."));
    m_directory->search(query);
}

void frmFind::showStations(const QList<DirectoryStation> &stations)
{
    setBusy(false);
    m_stations = stations;
    m_showingResults = true;
    lstResults->clear();
    const QBrush unplayableText = palette().brush(QPalette::Disabled, QPalette::Text);
    for (qsizetype i = 0; i < m_stations.size(); ++i) {
        const DirectoryStation &station = m_stations[i];
        const bool playable = isPlayable(station);
        QString codec = station.codec.isEmpty() ? tr("unknown") : station.codec;
        if (station.hls)
            codec += tr(" (HLS)");
        if (!playable)
            codec += tr(" - may not play");
        auto *item = new QTreeWidgetItem(lstResults);
        item->setText(NameColumn, station.name.isEmpty() ? station.address : station.name);
        item->setText(CodecColumn, codec);
        item->setText(BitrateColumn,
                      station.bitrate > 0 ? QString::number(station.bitrate) : QString());
        item->setTextAlignment(BitrateColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(CountryColumn,
                      station.country.isEmpty() ? station.countryCode : station.country);
        item->setText(TagsColumn, station.tags);
        item->setData(NameColumn, StationRole, int(i));
        item->setToolTip(NameColumn, station.address);
        if (!playable) {
            for (int column = 0; column < ColumnCount; ++column)
                item->setForeground(column, unplayableText);
            item->setToolTip(CodecColumn,
                             tr("Tavrix may not be able to bring this format to the game."));
        }
    }
    chkHideUnplayable_Click();
}

void frmFind::showFailure(const QString &message)
{
    setBusy(false);
    m_showingResults = false;
    lblStatus->setText(message);
}

void frmFind::chkHideUnplayable_Click()
{
    const bool hide = chkHideUnplayable->isChecked();
    for (int i = 0; i < lstResults->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lstResults->topLevelItem(i);
        const int index = item->data(NameColumn, StationRole).toInt();
        item->setHidden(hide && !isPlayable(m_stations[index]));
    }
    if (lstResults->currentItem() && lstResults->currentItem()->isHidden())
        lstResults->setCurrentItem(nullptr);
    if (m_showingResults)
        showCount();
    updateUseButton();
}

void frmFind::showCount()
{
    int hidden = 0;
    for (int i = 0; i < lstResults->topLevelItemCount(); ++i)
        hidden += lstResults->topLevelItem(i)->isHidden() ? 1 : 0;
    const int shown = lstResults->topLevelItemCount() - hidden;
    QString text;
    if (shown == 0)
        text = tr("No station found.");
    else if (shown == 1)
        text = tr("1 station found.");
    else
        text = tr("%1 stations found.").arg(shown);
    if (hidden == 1)
        text += tr(" 1 more that may not play is hidden.");
    else if (hidden > 1)
        text += tr(" %1 more that may not play are hidden.").arg(hidden);
    lblStatus->setText(text);
}

void frmFind::setBusy(bool busy)
{
    prgBusy->setVisible(busy);
}

void frmFind::updateUseButton()
{
    QTreeWidgetItem *item = lstResults->currentItem();
    cmdUse->setEnabled(item && !item->isHidden());
}

void frmFind::cmdUse_Click()
{
    QTreeWidgetItem *item = lstResults->currentItem();
    if (!item || item->isHidden())
        return;
    const int index = item->data(NameColumn, StationRole).toInt();
    if (index < 0 || index >= m_stations.size())
        return;
    const DirectoryStation &station = m_stations[index];
    m_directory->stationChosen(station);
    emit stationChosen(station.address);
    accept();
}

void frmFind::cmdWebsite_Click()
{
    m_services.shell->OpenDocument(Links::stationDirectory());
}
