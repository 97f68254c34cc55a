#include "MainWindowSession.h"

#include "WindowControls.h"

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
    QTest::mouseClick(control<QPushButton>(*window, "cmdGTAfolder"), Qt::LeftButton);
    services.dialogs.folders.push_back(bufferFolder);
    QTest::mouseClick(control<QPushButton>(*window, "cmdTemporary"), Qt::LeftButton);
    services.dialogs.messages.clear();
    window->show();
}

void MainWindowSession::start(const QString &address)
{
    control<QLineEdit>(*window, "txtURL")->setText(address);
    QTest::mouseClick(control<QPushButton>(*window, "cmdStart"), Qt::LeftButton);
    control<QTimer>(*window, "tmrMain")->stop();
}

void MainWindowSession::useCustomSize(int item)
{
    control<QRadioButton>(*window, "optCustom")->setChecked(true);
    control<QComboBox>(*window, "cmbBuffer")->setCurrentIndex(item);
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
