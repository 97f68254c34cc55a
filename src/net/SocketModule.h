// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

class SocketComponent;

// Finds and loads the socket component module from the program's component
// folder.
namespace SocketModule {

// The module's file name ("libtavrixsck.so" on Linux, "tavrixsck.dll" on
// Windows).
QString fileName();

// Full path of the module inside the given component folder.
QString pathIn(const QString &componentFolder);

// Loads the module from the component folder and creates one component.
// Returns null and sets *error when the module is missing or unusable.
std::unique_ptr<SocketComponent> create(const QString &componentFolder, QString *error);

} // namespace SocketModule
