// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowSession.h"

#include "settings/Settings.h"
#include "station/StreamSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

MainWindowSession::MainWindowSession(const QString &componentFolder, const QString &directoryServer)
{
    if (!directoryServer.isEmpty()) {
        Settings settings(services.location.configFile());
        settings.setDirectoryServer(directoryServer);
        settings.sync();
    }
    window = std::make_unique<frmMain>(services.services(componentFolder));
    services.dialogs.folders.push_back(gameFolder);
    get<QPushButton>("cmdGTAfolder")->click();
    services.dialogs.folders.push_back(bufferFolder);
    get<QPushButton>("cmdTemporary")->click();
    services.dialogs.messages.clear();
    window->show();
}

QTimer *MainWindowSession::handOffTimer() const
{
    return get<QTimer>("tmrMain");
}

QString MainWindowSession::status() const
{
    return get<QLabel>("lblStatus")->text();
}

void MainWindowSession::start(const QString &address)
{
    get<QLineEdit>("txtURL")->setText(address);
    clickStart();
    handOffTimer()->stop();
}

void MainWindowSession::clickStart()
{
    QTest::mouseClick(get<QPushButton>("cmdStart"), Qt::LeftButton);
}

void MainWindowSession::useCustomSize(int item)
{
    QTest::mouseClick(get<QRadioButton>("optCustom"), Qt::LeftButton);
    get<QComboBox>("cmbBuffer")->setCurrentIndex(item);
}

StreamSession *MainWindowSession::prepareForGameFolderRun()
{
    get<QCheckBox>("chkStart")->setChecked(false);
    useCustomSize(0); // 128 KB
    auto *stream = window->findChild<StreamSession *>();
    if (stream)
        stream->setReconnectScale(0.25);
    return stream;
}
