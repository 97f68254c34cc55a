// The main window's side of the hand-off to the game folder: the one-second
// timer and the game launch.

#include "handoff/GameFolder.h"
#include "platform/Shell.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QLabel>

void frmMain::tmrMain_Timer()
{
    if (m_bufferQuestionOpen)
        return;
    m_handOff.tick();
}

void frmMain::setStatusText(const QString &text)
{
    lblStatus->setText(text);
}

void frmMain::setWelcomeText(const QString &text)
{
    lblWelcome->setText(text);
}

bool frmMain::autoStartChecked() const
{
    return chkStart->checkState() == Qt::Checked;
}

void frmMain::LaunchGame()
{
    lblWelcome->setText(QStringLiteral("Do not close this program until you have finished with "
                                       "your game or want to stop streaming the radio."));
    const QString gameDirectory = GameFolder::gameDirectory(m_state.RadioPath);
    if (!m_state.GameExe.isEmpty() && !gameDirectory.isEmpty())
        m_services.shell->launchProgram(m_state.GameExe, gameDirectory);
    m_state.AutoStartGame = false;
}
