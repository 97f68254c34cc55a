// SPDX-License-Identifier: GPL-3.0-or-later
// tavrix_bench: measures Tavrix's stream pipeline against curl, its memory,
// its hand-off latency and its start-up. Run through bench/run, which builds
// it; without a command it runs every measurement and writes the results.
// The commands "stream", "latency" and "startup" are the child processes it
// starts for each Tavrix measurement.

#include "BenchRun.h"
#include "BenchStation.h"
#include "TavrixScenarios.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: tavrix_bench --work FOLDER [--results FILE] [--runs N]\n"
                 "                    [--latency-runs N] [--startup-runs N] [--mib N]\n"
                 "                    [--display :N] [--only ROW,...] [--conversion-runs N]\n"
                 "                    [--audio-minutes N] [--speed N] [--integrity-mib N]\n"
                 "                    [--titles-runs N] [--installed PROGRAM]\n"
                 "  FOLDER needs at least 5 GiB free; FILE gets the results table.\n"
                 "  Defaults: 5 throughput runs of 1024 MiB, 10 titles runs (each a titled\n"
                 "  and an untitled stream), 3 latency and 5 start-up runs,\n"
                 "  3 conversion runs of 60 minutes of AAC at 60x real time, one integrity\n"
                 "  run of 2048 MiB. With --display the throughput and titles runs are\n"
                 "  repeated on that X server. ROW is endtoend (PROGRAM, the installed tavrix,\n"
                 "  on the display), throughput (with memory), titles, tls, conversion,\n"
                 "  integrity, latency or startup; without --only all are run.\n"
                 "       tavrix_bench station [--mib N] [--rate BYTES_PER_S] [--chunk BYTES]\n"
                 "                            [--metaint BYTES] [--certificate PEM --key PEM]\n"
                 "  serves the bench's stream on 127.0.0.1 until interrupted (for profiling\n"
                 "  the \"stream\", \"latency\" and \"startup\" commands by hand).\n");
}

// "--key value" pairs from argv[first] on.
bool parseOptions(int argc, char **argv, int first, ScenarioOptions &options)
{
    for (int i = first; i < argc; i += 2) {
        if (std::strncmp(argv[i], "--", 2) != 0 || i + 1 >= argc)
            return false;
        options[argv[i] + 2] = argv[i + 1];
    }
    return true;
}

std::string selfPath()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, std::size_t(n)) : std::string();
}

int positive(const ScenarioOptions &options, const char *key, int fallback)
{
    const auto it = options.find(key);
    const int value = it == options.end() ? fallback : std::stoi(it->second);
    if (value < 1)
        throw std::invalid_argument(std::string("--") + key + " must be at least 1");
    return value;
}

double positiveNumber(const ScenarioOptions &options, const char *key, double fallback)
{
    const auto it = options.find(key);
    const double value = it == options.end() ? fallback : std::stod(it->second);
    if (!(value > 0))
        throw std::invalid_argument(std::string("--") + key + " must be above 0");
    return value;
}

std::set<std::string> rows(const std::string &list)
{
    static const std::set<std::string> known = {"endtoend",   "throughput", "titles",  "tls",
                                                "conversion", "integrity",  "latency", "startup"};
    std::set<std::string> chosen;
    std::istringstream names(list);
    std::string name;
    while (std::getline(names, name, ',')) {
        if (known.count(name) == 0)
            throw std::invalid_argument("--only: no row named \"" + name + "\"");
        chosen.insert(name);
    }
    return chosen;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 && argv[1][0] != '-' ? argv[1] : std::string();
    ScenarioOptions options;
    if (!parseOptions(argc, argv, command.empty() ? 1 : 2, options)) {
        usage();
        return 2;
    }
    try {
        if (command == "stream")
            return runStreamScenario(argc, argv, options);
        if (command == "latency")
            return runLatencyScenario(argc, argv, options);
        if (command == "startup")
            return runStartupScenario(argc, argv, options);
        if (command == "station") {
            StationOptions station;
            // --mib 0 streams until the client goes away.
            station.audioBytes =
                options.count("mib") ? std::stoull(options["mib"]) << 20 : std::uint64_t(1) << 30;
            if (options.count("rate"))
                station.bytesPerSecond = std::stod(options["rate"]);
            if (options.count("chunk"))
                station.chunkBytes = std::size_t(positive(options, "chunk", 1));
            if (options.count("metaint"))
                station.metaInt = std::size_t(positive(options, "metaint", 1));
            if (options.count("certificate") || options.count("key")) {
                station.certificateFile = options["certificate"];
                station.keyFile = options["key"];
            }
            Station server(station);
            std::printf("port %u\n", unsigned(server.port()));
            std::fflush(stdout);
            server.serveForever();
        }
        if (!command.empty() || !options.count("work")) {
            usage();
            return 2;
        }
        BenchConfig config;
        config.self = selfPath();
        config.work = std::filesystem::absolute(options["work"]).string();
        config.results = options.count("results") ? options["results"] : std::string();
        config.installed = options.count("installed") ? options["installed"] : std::string();
        config.runs = positive(options, "runs", config.runs);
        config.titlesRuns = positive(options, "titles-runs", config.titlesRuns);
        config.latencyRuns = positive(options, "latency-runs", config.latencyRuns);
        config.startupRuns = positive(options, "startup-runs", config.startupRuns);
        config.streamBytes = std::uint64_t(positive(options, "mib", 1024)) << 20;
        config.display = options.count("display") ? options["display"] : std::string();
        if (options.count("only"))
            config.only = rows(options["only"]);
        config.conversionRuns = positive(options, "conversion-runs", config.conversionRuns);
        config.audioMinutes = positiveNumber(options, "audio-minutes", config.audioMinutes);
        config.speed = positiveNumber(options, "speed", config.speed);
        config.integrityBytes = std::uint64_t(positive(options, "integrity-mib", 2048)) << 20;
        return runBenchmark(config);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tavrix_bench: %s\n", e.what());
        return 1;
    }
}
