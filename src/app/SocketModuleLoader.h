// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/SocketComponent.h"
#include "net/SocketModule.h"

#include <functional>
#include <memory>

// Creates socket components from the module in `componentFolder`. When the
// module cannot be loaded, the component is null and the error names the
// module's path and the loader's reason on two lines.
inline std::function<std::unique_ptr<SocketComponent>(QString *error)>
socketModuleIn(const QString &componentFolder)
{
    return [componentFolder](QString *error) {
        QString reason;
        std::unique_ptr<SocketComponent> socket = SocketModule::create(componentFolder, &reason);
        if (!socket && error)
            *error = SocketModule::pathIn(componentFolder) + QStringLiteral("\n") + reason;
        return socket;
    };
}
