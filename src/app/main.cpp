#include "app/ProgramEntry.h"
#include "app/frmStart.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication();
    ProductionPlatform platform;
    frmStart start(platform.services());
    return QApplication::exec();
}
