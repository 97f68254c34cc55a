#include "MainWindowSession.h"

#include <QComboBox>
#include <QDir>
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
    window->cmdGTAfolder_Click();
    services.dialogs.folders.push_back(bufferFolder);
    window->cmdTemporary_Click();
    services.dialogs.messages.clear();
    window->show();
}

void MainWindowSession::start(const QString &address)
{
    window->txtURL->setText(address);
    QTest::mouseClick(window->cmdStart, Qt::LeftButton);
    window->tmrMain()->stop();
}

void MainWindowSession::useCustomSize(int item)
{
    window->optCustom->setChecked(true);
    window->optCustom_Click();
    window->cmbBuffer->setCurrentIndex(item);
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

bool MainWindowSession::showedMessage(const QString &text) const
{
    for (const auto &message : services.dialogs.messages) {
        if (message.text == text)
            return true;
    }
    return false;
}
