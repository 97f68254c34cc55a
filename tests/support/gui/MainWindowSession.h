// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SessionFolders.h"
#include "WindowControls.h"
#include "ui/frmMain.h"

#include <memory>

class QTimer;
class StreamSession;

// A main window with a game folder and a buffer folder chosen through its
// buttons, shown, with its hand-off timer kept still so buffer files stay
// where the stream wrote them.
struct MainWindowSession : SessionFolders
{
    std::unique_ptr<frmMain> window;

    // With `directoryServer`, the settings name it for the station search.
    explicit MainWindowSession(
        const QString &componentFolder = QStringLiteral(TAVRIX_COMPONENT_DIR),
        const QString &directoryServer = {});

    // The window's control by its object name.
    template <typename Control> Control *get(const char *name) const
    {
        return control<Control>(*window, name);
    }
    QTimer *handOffTimer() const;
    // The status line's text.
    QString status() const;

    // Types the address and clicks "Start Buffering"; the hand-off timer is
    // stopped again at once.
    void start(const QString &address);
    // Clicks "Start Buffering" or "Cancel".
    void clickStart();
    // Selects "Custom (use carefully)" and the size list's item.
    void useCustomSize(int item);
    // Readies the window for a run that ends in the game folder: no game
    // start, 128 KB files, reconnect waits a quarter of the real ones.
    // Returns the window's stream session, null if it has none.
    StreamSession *prepareForGameFolderRun();
};
