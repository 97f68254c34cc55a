// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether a folder can take the files Tavrix writes into it, and whether two
// folders are entangled. Paths are compared by what they lead to on disk
// (symbolic links and "..", followed), not by their spelling.
namespace FolderCheck {

// Empty when `folder` exists, is a folder and can be written into; else what
// is wrong, to follow the folder's name: "does not exist", "is not a folder",
// "cannot be written: Read-only file system" (the system's own text).
QString problem(const QString &folder);

// Empty when this user may write into the existing folder `folder`; else
// "cannot be written: " and the system's reason.
QString writeProblem(const QString &folder);

// True when both paths lead to the same folder or one lies inside the other.
bool overlap(const QString &a, const QString &b);

} // namespace FolderCheck
