// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmTitles.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int TitleRole = Qt::UserRole;
}

frmTitles::frmTitles(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmTitles"));
    setWindowTitle(QStringLiteral("Played Titles"));
    resize(460, 320);

    auto *layout = new QVBoxLayout(this);
    lstTitles = new QListWidget(this);
    lstTitles->setObjectName(QStringLiteral("lstTitles"));
    lstTitles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstTitles->setAccessibleName(QStringLiteral("Played titles"));
    layout->addWidget(lstTitles);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdCopy = new QPushButton(QStringLiteral("&Copy"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);

    connect(cmdCopy, &QPushButton::clicked, this, &frmTitles::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

void frmTitles::setTitles(const QString &station, const QList<PlayedTitle> &entries)
{
    setWindowTitle(station.isEmpty() ? QStringLiteral("Played Titles")
                                     : QStringLiteral("Played Titles - ") + station);
    lstTitles->clear();
    for (auto entry = entries.crbegin(); entry != entries.crend(); ++entry) {
        auto *item = new QListWidgetItem(
            entry->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) +
            QStringLiteral("   ") + entry->title);
        item->setData(TitleRole, entry->title);
        item->setToolTip(entry->title);
        lstTitles->addItem(item);
    }
    if (lstTitles->count() > 0)
        lstTitles->setCurrentRow(0);
}

void frmTitles::cmdCopy_Click()
{
    QList<QListWidgetItem *> items = lstTitles->selectedItems();
    if (items.isEmpty()) {
        for (int i = 0; i < lstTitles->count(); ++i)
            items << lstTitles->item(i);
    }
    QStringList titles;
    for (const QListWidgetItem *item : std::as_const(items))
        titles << item->data(TitleRole).toString();
    if (!titles.isEmpty())
        QGuiApplication::clipboard()->setText(titles.join(u'\n'));
}
