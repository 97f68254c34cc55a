// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowSession.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

MainWindowSession::MainWindowSession(const QString &componentFolder)
{
    gameFolder = root.path() + QStringLiteral("/gta3/mp3/");
    bufferFolder = root.path() + QStringLiteral("/buffer/");
    writeFile(gameFolder + QStringLiteral("MP3Report.txt"), "old report");
    QDir().mkpath(bufferFolder);
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

QStringList MainWindowSession::bufferFiles() const
{
    return QDir(bufferFolder).entryList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name);
}

QByteArray MainWindowSession::allBufferBytes() const
{
    QByteArray all;
    for (const QString &name : bufferFiles())
        all += readFile(bufferFolder + name);
    return all;
}

QByteArrayList MainWindowSession::bufferFileContents() const
{
    QByteArrayList contents;
    for (const QString &name : bufferFiles()) {
        if (QByteArray bytes = readFile(bufferFolder + name); !bytes.isEmpty())
            contents << bytes;
    }
    return contents;
}

QStringList MainWindowSession::openBufferFiles() const
{
    QStringList open;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &link : descriptors.entryInfoList(QDir::Files | QDir::System)) {
        const QString target = link.symLinkTarget();
        if (target.startsWith(bufferFolder))
            open << target;
    }
    return open;
}

bool MainWindowSession::showedMessage(const QString &text) const
{
    for (const auto &message : services.dialogs.messages) {
        if (message.text == text)
            return true;
    }
    return false;
}
