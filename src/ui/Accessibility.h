// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Teaches Qt's accessibility layer the program's own controls: the link
// labels (links that can be pressed), the progress strip (a progress bar with
// a value), drop-down lists (named after their label, not their current
// entry) and the main window (a window, not an anonymous pane). Safe to
// call more than once.
namespace Accessibility {
void install();
}
