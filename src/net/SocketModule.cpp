// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/SocketModule.h"

#include "net/SocketComponent.h"

#include <QDir>
#include <QLibrary>

namespace SocketModule {

QString fileName()
{
    return QStringLiteral(TAVRIX_SOCKET_MODULE_FILE);
}

QString pathIn(const QString &componentFolder)
{
    return QDir(componentFolder).filePath(fileName());
}

std::unique_ptr<SocketComponent> create(const QString &componentFolder, QString *error)
{
    // A QLibrary does not unload its library when destroyed, so the module
    // stays loaded for the rest of the run: components created from it may
    // live until the program ends.
    QLibrary library(pathIn(componentFolder));
    const auto factory =
        reinterpret_cast<SocketComponentFactory>(library.resolve(TAVRIX_SOCKET_FACTORY_NAME));
    if (!factory) {
        if (error)
            *error = library.errorString();
        return nullptr;
    }
    return std::unique_ptr<SocketComponent>(factory());
}

} // namespace SocketModule
