// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QProcess;

// Ends a process a test started: asked to end first, killed when it has not
// ended within `graceMs`.
void stopProcess(QProcess &process, int graceMs = 5000);
