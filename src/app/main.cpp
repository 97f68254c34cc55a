#include "app/frmStart.h"
#include "platform/Dialogs.h"
#include "platform/FileOperations.h"
#include "platform/PlatformServices.h"
#include "platform/Shell.h"
#include "ui/Resources.h"
#include "ui/WindowFont.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(programIcon());
    // Message boxes and pickers use the windows' own font.
    QApplication::setFont(WindowFont::standard());
    // Lets desktops match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("net.oribel.Tavrix"));

    QtDialogs dialogs;
    DesktopShell shell;
    DiskFileOperations files;
    const PlatformServices services{&dialogs, &shell, &files,
                                    QCoreApplication::applicationDirPath()};

    frmStart start(services);
    return QApplication::exec();
}
