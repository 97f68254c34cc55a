#include "app/ProgramEntry.h"
#include "ui/frmStart.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication();
    ProductionPlatform platform;
    frmStart start(platform.services());
    return QApplication::exec();
}
