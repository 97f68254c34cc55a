// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

struct BenchConfig
{
    std::string self;    // this program, started again for each Tavrix measurement
    std::string work;    // scratch folder: buffer files, curl's file, settings
    std::string results; // Markdown file whose "Latest run" part is rewritten
    int runs = 5;
    int latencyRuns = 3;
    int startupRuns = 5;
    std::uint64_t streamBytes = std::uint64_t(1) << 30;
    // An X server (e.g. Xvfb's ":99") for the throughput runs on a real
    // display; empty for offscreen only.
    std::string display;
};

// Runs every measurement, prints the table and writes it into the results
// file. Returns the process's exit code: 0 when everything could be measured
// (whether or not the targets are met), 1 otherwise.
int runBenchmark(const BenchConfig &config);
