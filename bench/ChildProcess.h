// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One finished child process: how it ended, what it printed and what it
// cost, measured by the parent.
struct ChildRun
{
    int exitCode = -1;           // -1 when it did not exit normally
    double wallSeconds = 0;      // from just before fork() to its end
    double cpuSeconds = 0;       // user + system time of the child (wait4)
    std::int64_t startNanos = 0; // CLOCK_MONOTONIC just before fork()
    std::string output;          // its standard output

    // The "key value" lines of the output.
    std::map<std::string, std::string> values() const;
    double number(const std::string &key) const;
};

// Runs a program (looked up on PATH) to its end, capturing its standard
// output; standard error passes through. `startNanosArg`, when not empty,
// is replaced in the arguments by the fork time in nanoseconds.
ChildRun runChild(std::vector<std::string> argv, const std::string &startNanosArg = {});

std::int64_t monotonicNanos();
