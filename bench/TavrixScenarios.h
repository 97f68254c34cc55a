// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>

// The bench's child processes. Each runs Tavrix's real windows in this
// process (offscreen), does one measurement and prints its results as
// "key value" lines on standard output. Returns the process's exit code.
using ScenarioOptions = std::map<std::string, std::string>;

// The main window receives a whole stream in DSL mode (1024 KB buffer
// files) or in custom mode with the 128 KB item, from "Start Buffering" to
// the station's close. Options: home, work, port, size (dsl | 128), timeout,
// audio (the file whose bytes the station loops; the pseudo-random block
// without it).
int runStreamScenario(int argc, char **argv, const ScenarioOptions &options);

// A paced station with 128 KB buffer files: time from "Start Buffering" to
// the first file handed to the game folder. Options: home, work, port,
// timeout.
int runLatencyScenario(int argc, char **argv, const ScenarioOptions &options);

// The program's start as its entry builds it (start-up window, component
// check, main window) until the main window is shown and painted. Options:
// home, fork-ns (CLOCK_MONOTONIC of the parent just before it forked).
int runStartupScenario(int argc, char **argv, const ScenarioOptions &options);
