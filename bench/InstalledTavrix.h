// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StreamPattern.h"

#include <cstdint>
#include <functional>
#include <string>

// One run of the installed program as a user runs it: `tavrix` from an
// installed layout starts on an X server with settings of its own that
// name a buffer folder and a game folder (with its MP3Report.txt); the
// station's address is typed into the window, DSL mode chosen, "Auto start
// GTA" cleared and "Start Buffering" clicked, all with xdotool. The run is
// watched from outside: it ends when every byte the station sent is in a
// finished buffer file, wherever the hand-off has moved it by then.
struct InstalledRunSetup
{
    std::string program; // the installed tavrix
    std::string display; // the X server, e.g. ":93"
    std::string folder;  // made for the run: home, buffer folder, game folder
    std::string address; // typed into the window
    std::uint64_t audioBytes = 0;
    double timeoutSeconds = 900;
    std::function<void()> justBeforeStart; // called just before the click on Start
};

struct InstalledRun
{
    double seconds = 0;             // from just before the click on Start to the last byte
    double cpuSeconds = 0;          // utime + stime of the process (all its threads) over that time
    double userSeconds = 0;         // of which utime
    double cpuExactSeconds = 0;     // the same from the threads' run times (schedstat)
    int files = 0;                  // buffer files the stream filled
    int handedOff = 0;              // of which moved into the game folder meanwhile
    std::uint64_t checkedBytes = 0; // of the files still there, compared with the stream
};

// Runs the program once; throws when it cannot be driven or its files are
// not the stream. `pattern` is the station's audio.
InstalledRun runInstalledTavrix(const InstalledRunSetup &setup, const StreamPattern &pattern);
