#pragma once

#include "TestServices.h"
#include "ui/frmMain.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A main window with a game folder and a buffer folder chosen through its
// buttons, shown, with its hand-off timer kept still so buffer files stay
// where the stream wrote them.
struct MainWindowSession
{
    TemporarySettingsLocation settings;
    QTemporaryDir root;
    TestServices services;
    QString gameFolder;
    QString bufferFolder;
    std::unique_ptr<frmMain> window;

    explicit MainWindowSession(
        const QString &componentFolder = QStringLiteral(TAVRIX_COMPONENT_DIR));

    // Types the address and clicks "Start Buffering"; the hand-off timer is
    // stopped again at once.
    void start(const QString &address);
    // Selects "Custom (use carefully)" and the size list's item.
    void useCustomSize(int item);

    QStringList bufferFiles() const;
    QByteArray allBufferBytes() const; // the buffer files joined in name order
    bool showedMessage(const QString &text) const;
};
