// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Whether a program started; `error` says why not ("wine is not installed (not
// found on the PATH)", "wine failed to start: ..."), for a message such as
// "Could not start the game: <error>".
struct LaunchResult
{
    bool started = false;
    QString error;
};

namespace ProcessStart {

// Starts `program` detached, in `workingDirectory` with `environment`; it
// outlives this program.
LaunchResult startDetached(const QString &program, const QStringList &arguments,
                           const QString &workingDirectory, const QProcessEnvironment &environment);

// The executable `name` in the folders of the environment's PATH; empty when
// none of them holds it.
QString findOnPath(const QString &name, const QProcessEnvironment &environment);

} // namespace ProcessStart
