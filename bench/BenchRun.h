// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <set>
#include <string>

struct BenchConfig
{
    std::string self;    // this program, started again for each Tavrix measurement
    std::string work;    // scratch folder: buffer files, curl's file, settings
    std::string results; // Markdown file whose "Latest run" part is rewritten
    // The program in an installed layout (bin/tavrix), for the end-to-end
    // row; empty leaves that row out.
    std::string installed;
    int runs = 5;
    // Titled and untitled runs in pairs. The second stream of a pair comes
    // out a few percent slower whichever it is, so the order alternates
    // and an even number of pairs has each order equally often.
    int titlesRuns = 10;
    int latencyRuns = 3;
    int startupRuns = 5;
    std::uint64_t streamBytes = std::uint64_t(1) << 30;
    // An X server (e.g. Xvfb's ":99") for the throughput runs on a real
    // display; empty for offscreen only.
    std::string display;
    // The rows to measure ("endtoend", "throughput" (with memory), "titles", "tls",
    // "conversion", "integrity", "latency", "startup"); empty for all.
    std::set<std::string> only;
    int conversionRuns = 3;
    double audioMinutes = 60; // of AAC per conversion run
    double speed = 60;        // the AAC station's pace, times real time
    std::uint64_t integrityBytes = std::uint64_t(2) << 30;
};

// Runs every measurement, prints the table and writes it into the results
// file. Returns the process's exit code: 0 when everything could be measured
// (whether or not the targets are met), 1 otherwise.
int runBenchmark(const BenchConfig &config);
