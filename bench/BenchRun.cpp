// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchRun.h"

#include "BenchStation.h"
#include "ChildProcess.h"
#include "StreamPattern.h"

#include <QtGlobal>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double MiB = 1024.0 * 1024.0;
constexpr double GiB = 1024.0 * MiB;
constexpr std::uint64_t RequiredFreeBytes = std::uint64_t(5) << 30;

// The paced station of the latency measurement: 128 kbit/s in chunks of
// 1000 bytes, 16 a second.
constexpr double PacedBytesPerSecond = 16000.0;
constexpr std::size_t PacedChunkBytes = 1000;
constexpr int LatencyBufferKB = 128;
constexpr double HandOffTicks = 3.0;

// Targets.
constexpr double MinThroughputRatio = 1.0;
constexpr double MaxCpuRatio = 1.0;
constexpr double MaxRssGrowthKiB = 2048.0;

std::string format(const char *pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

std::string list(const std::vector<double> &values, const char *pattern)
{
    std::string text;
    for (const double value : values)
        text += (text.empty() ? "" : ", ") + format(pattern, value);
    return text;
}

std::string firstLine(const std::string &text)
{
    return text.substr(0, text.find('\n'));
}

std::string readFirstLine(const std::string &path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

std::string cpuModel()
{
    std::ifstream file("/proc/cpuinfo");
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

std::string loadAverage()
{
    const std::string line = readFirstLine("/proc/loadavg");
    std::istringstream fields(line);
    std::string one, five, fifteen;
    fields >> one >> five >> fifteen;
    return one + " / " + five + " / " + fifteen;
}

void checkFreeSpace(const std::string &folder)
{
    struct statvfs info
    {
    };
    if (::statvfs(folder.c_str(), &info) != 0)
        throw std::runtime_error("cannot read the free space of " + folder);
    const std::uint64_t free = std::uint64_t(info.f_bavail) * info.f_frsize;
    if (free < RequiredFreeBytes)
        throw std::runtime_error(format("only %.1f GiB free in %s; the benchmark needs at least "
                                        "5 GiB (1 GiB of buffer files plus curl's 1 GiB file)",
                                        double(free) / GiB, folder.c_str()));
}

// Removes what a run wrote and lets the disk catch up, so that one run's
// write-back does not slow down the next.
void clearFolder(const std::string &folder)
{
    fs::remove_all(folder);
    ::sync();
}

void progress(const std::string &text)
{
    std::cerr << "bench: " << text << std::endl;
}

struct ThroughputRun
{
    double curlSeconds = 0; // curl's own transfer time (time_total)
    double curlWall = 0;    // process start to exit
    double curlCpu = 0;
    double tavrixSeconds = 0;
    double tavrixCpu = 0;
    double rssBefore = 0;
    double rssAfter = 0;
    double hwm = 0;
    double anonGrowth = 0;
    double files = 0;
    double handedOff = 0;
};

struct LatencyRun
{
    double finished = 0;
    double handOff = 0;
};

struct StartupRun
{
    double shown = 0;
    double painted = 0;
    double sinceProcessStart = 0;
};

class Benchmark
{
public:
    explicit Benchmark(const BenchConfig &config)
        : m_config(config)
        , m_home(config.work + "/home")
    {}

    void run();
    std::string report() const;

private:
    ThroughputRun throughputRun(int index, std::uint16_t port);
    std::string throughputTable(const std::vector<ThroughputRun> &runs,
                                const std::string &platform) const;
    void curlRun(std::uint16_t port, ThroughputRun &run);
    void tavrixStreamRun(std::uint16_t port, ThroughputRun &run);
    LatencyRun latencyRun(std::uint16_t port);
    StartupRun startupRun();

    const BenchConfig &m_config;
    std::string m_home;
    StreamPattern m_pattern;
    std::string m_started;
    std::string m_loadBefore;
    std::string m_loadAfter;
    std::string m_curlVersion;
    std::vector<ThroughputRun> m_throughput;
    std::vector<ThroughputRun> m_throughputOnX; // the same runs on a real X server
    std::vector<LatencyRun> m_latency;
    std::vector<StartupRun> m_startup;
};

void Benchmark::run()
{
    fs::create_directories(m_config.work);
    checkFreeSpace(m_config.work);
    fs::create_directories(m_home);
    // curl and the Tavrix children never see the user's home folder.
    ::setenv("HOME", m_home.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const std::time_t now = std::time(nullptr);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
    m_started = stamp;
    m_loadBefore = loadAverage();
    const ChildRun version = runChild({"curl", "--version"});
    if (version.exitCode != 0)
        throw std::runtime_error("curl is not installed");
    m_curlVersion = firstLine(version.output).substr(0, firstLine(version.output).find(" ("));

    {
        StationOptions flood;
        flood.audioBytes = m_config.streamBytes;
        const StationProcess station(flood);
        for (int i = 0; i < m_config.runs; ++i)
            m_throughput.push_back(throughputRun(i, station.port()));
        if (!m_config.display.empty()) {
            // The window draws its progress on a real display too.
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            ::setenv("DISPLAY", m_config.display.c_str(), 1);
            for (int i = 0; i < m_config.runs; ++i)
                m_throughputOnX.push_back(throughputRun(i, station.port()));
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
    }
    {
        StationOptions paced;
        paced.bytesPerSecond = PacedBytesPerSecond;
        paced.chunkBytes = PacedChunkBytes;
        const StationProcess station(paced);
        for (int i = 0; i < m_config.latencyRuns; ++i) {
            m_latency.push_back(latencyRun(station.port()));
            progress(format("latency run %d/%d: first hand-off after %.2f s", i + 1,
                            m_config.latencyRuns, m_latency.back().handOff));
        }
    }
    // The first start warms the file cache and is not counted.
    startupRun();
    for (int i = 0; i < m_config.startupRuns; ++i) {
        m_startup.push_back(startupRun());
        progress(format("start-up run %d/%d: main window painted after %.1f ms", i + 1,
                        m_config.startupRuns, m_startup.back().painted));
    }
    m_loadAfter = loadAverage();
}

ThroughputRun Benchmark::throughputRun(int index, std::uint16_t port)
{
    ThroughputRun run;
    // Alternate the order so that neither client always runs on a freshly
    // synced disk.
    if (index % 2 == 0) {
        curlRun(port, run);
        tavrixStreamRun(port, run);
    } else {
        tavrixStreamRun(port, run);
        curlRun(port, run);
    }
    const double bytes = double(m_config.streamBytes);
    progress(format("throughput run %d/%d: curl %.0f MiB/s, Tavrix %.0f MiB/s; CPU curl %.3f s, "
                    "Tavrix %.3f s",
                    index + 1, m_config.runs, bytes / MiB / run.curlSeconds,
                    bytes / MiB / run.tavrixSeconds, run.curlCpu, run.tavrixCpu));
    return run;
}

void Benchmark::curlRun(std::uint16_t port, ThroughputRun &run)
{
    const std::string folder = m_config.work + "/curl";
    const std::string file = folder + "/stream.mp3";
    clearFolder(folder);
    fs::create_directories(folder);
    const ChildRun child = runChild({"curl", "--http0.9", "-s", "-o", file, "-w", "%{time_total}\n",
                                     "http://127.0.0.1:" + std::to_string(port) + "/"});
    if (child.exitCode != 0)
        throw std::runtime_error(format("curl failed with exit code %d", child.exitCode));
    run.curlSeconds = std::stod(child.output);
    run.curlWall = child.wallSeconds;
    run.curlCpu = child.cpuSeconds;

    // With --http0.9 curl takes the ICY response as a whole for the body:
    // its file holds the header block followed by the audio.
    const std::string header = stationHeader();
    std::string start(header.size(), '\0');
    std::ifstream(file, std::ios::binary).read(start.data(), std::streamsize(start.size()));
    std::uint64_t size = 0;
    const std::string problem = m_pattern.checkFile(file, 0, &size, header.size());
    if (start != header || !problem.empty() || size != m_config.streamBytes)
        throw std::runtime_error(
            "curl's file is not the response: " +
            (problem.empty() ? std::to_string(size) + " audio bytes" : problem));
    clearFolder(folder);
}

void Benchmark::tavrixStreamRun(std::uint16_t port, ThroughputRun &run)
{
    const std::string folder = m_config.work + "/tavrix";
    clearFolder(folder);
    const ChildRun child =
        runChild({m_config.self, "stream", "--home", m_home, "--work", folder, "--port",
                  std::to_string(port), "--size", "dsl", "--timeout", "900"});
    if (child.exitCode != 0)
        throw std::runtime_error("the Tavrix stream run failed");
    if (child.number("audio_bytes") != double(m_config.streamBytes))
        throw std::runtime_error("Tavrix's buffer files do not hold the whole stream");
    run.tavrixSeconds = child.number("seconds");
    run.tavrixCpu = child.number("cpu_seconds");
    run.rssBefore = child.number("rss_before_kib");
    run.rssAfter = child.number("rss_after_kib");
    run.hwm = child.number("hwm_kib");
    run.anonGrowth = child.number("rss_anon_growth_kib");
    run.files = child.number("files");
    run.handedOff = child.number("handed_off");
    clearFolder(folder);
}

LatencyRun Benchmark::latencyRun(std::uint16_t port)
{
    const std::string folder = m_config.work + "/latency";
    clearFolder(folder);
    const ChildRun child = runChild({m_config.self, "latency", "--home", m_home, "--work", folder,
                                     "--port", std::to_string(port), "--timeout", "60"});
    if (child.exitCode != 0)
        throw std::runtime_error("the Tavrix latency run failed");
    // The first file is finished by the arrival that takes it past 128 KB, so
    // it holds a little more (the custom "128 KB" size was in use).
    const double firstFile = child.number("first_file_bytes");
    if (firstFile <= LatencyBufferKB * 1024.0 || firstFile > LatencyBufferKB * 1024.0 + 16384.0)
        throw std::runtime_error(
            format("the first buffer file held %.0f bytes, not a little over 128 KB", firstFile));
    LatencyRun run;
    run.finished = child.number("first_file_finished_s");
    run.handOff = child.number("first_handoff_s");
    clearFolder(folder);
    return run;
}

StartupRun Benchmark::startupRun()
{
    const std::string marker = "@fork-ns@";
    const ChildRun child =
        runChild({m_config.self, "startup", "--home", m_home, "--fork-ns", marker}, marker);
    if (child.exitCode != 0)
        throw std::runtime_error("the Tavrix start-up run failed");
    return {child.number("shown_ms"), child.number("painted_ms"),
            child.number("painted_since_process_start_ms")};
}

template <typename Run, typename Field>
std::vector<double> column(const std::vector<Run> &runs, Field field)
{
    std::vector<double> values;
    for (const Run &run : runs)
        values.push_back(field(run));
    return values;
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

std::string Benchmark::throughputTable(const std::vector<ThroughputRun> &runs,
                                       const std::string &platform) const
{
    const double bytes = double(m_config.streamBytes);
    const double perGiB = GiB / bytes;
    const auto curlRate =
        column(runs, [&](const ThroughputRun &r) { return bytes / MiB / r.curlSeconds; });
    const auto tavrixRate =
        column(runs, [&](const ThroughputRun &r) { return bytes / MiB / r.tavrixSeconds; });
    const auto curlCpu = column(runs, [&](const ThroughputRun &r) { return r.curlCpu * perGiB; });
    const auto tavrixCpu =
        column(runs, [&](const ThroughputRun &r) { return r.tavrixCpu * perGiB; });
    const auto rateRatio =
        column(runs, [](const ThroughputRun &r) { return r.curlSeconds / r.tavrixSeconds; });
    const auto cpuRatio =
        column(runs, [](const ThroughputRun &r) { return r.tavrixCpu / r.curlCpu; });
    const auto curlWallRate =
        column(runs, [&](const ThroughputRun &r) { return bytes / MiB / r.curlWall; });
    const auto files = column(runs, [](const ThroughputRun &r) { return r.files; });
    const auto handedOff = column(runs, [](const ThroughputRun &r) { return r.handedOff; });
    std::ostringstream out;
    out << format("### Throughput (%s): %.0f MiB over 127.0.0.1 into files on the same disk\n\n",
                  platform.c_str(), bytes / MiB);
    out << "| Client | MiB/s | CPU s per GiB |\n|---|---:|---:|\n";
    out << format("| curl --http0.9 | %.0f | %.3f |\n", median(curlRate), median(curlCpu));
    out << format("| Tavrix (DSL mode, 1024 KB files) | %.0f | %.3f |\n", median(tavrixRate),
                  median(tavrixCpu));
    out << format("| **Tavrix / curl** | **%.2f** | **%.2f** |\n", median(rateRatio),
                  median(cpuRatio));
    out << format("| Target | at least %.1f | at most %.1f |\n", MinThroughputRatio, MaxCpuRatio);
    out << format("| Result | %s | %s |\n\n", verdict(median(rateRatio) >= MinThroughputRatio),
                  verdict(median(cpuRatio) <= MaxCpuRatio));
    out << "Per run (in order):\n\n";
    out << "- curl MiB/s: " << list(curlRate, "%.0f")
        << " (process start to exit: " << list(curlWallRate, "%.0f") << ")\n";
    out << "- Tavrix MiB/s: " << list(tavrixRate, "%.0f") << "\n";
    out << "- CPU s per GiB, curl: " << list(curlCpu, "%.3f")
        << "; Tavrix: " << list(tavrixCpu, "%.3f") << "\n";
    out << "- Tavrix buffer files written: " << list(files, "%.0f")
        << "; handed off to the game folder during the run: " << list(handedOff, "%.0f") << "\n\n";
    return out.str();
}

std::string Benchmark::report() const
{
    const auto rssBefore = column(m_throughput, [](const ThroughputRun &r) { return r.rssBefore; });
    const auto rssAfter = column(m_throughput, [](const ThroughputRun &r) { return r.rssAfter; });
    const auto rssGrowth =
        column(m_throughput, [](const ThroughputRun &r) { return r.rssAfter - r.rssBefore; });
    const auto hwm = column(m_throughput, [](const ThroughputRun &r) { return r.hwm; });
    const auto anonGrowth =
        column(m_throughput, [](const ThroughputRun &r) { return r.anonGrowth; });

    const double floor = (LatencyBufferKB * 1024.0 + 1.0) / PacedBytesPerSecond;
    const auto finished = column(m_latency, [](const LatencyRun &r) { return r.finished; });
    const auto handOff = column(m_latency, [](const LatencyRun &r) { return r.handOff; });
    const auto shown = column(m_startup, [](const StartupRun &r) { return r.shown; });
    const auto painted = column(m_startup, [](const StartupRun &r) { return r.painted; });
    const auto sinceStart =
        column(m_startup, [](const StartupRun &r) { return r.sinceProcessStart; });

    utsname system{};
    ::uname(&system);
    std::ostringstream out;
    out << "## Latest run\n\n";
    out << format("%s on %s (%ld cores), Linux %s, Qt %s, %s, %s build.  \n", m_started.c_str(),
                  cpuModel().c_str(), ::sysconf(_SC_NPROCESSORS_ONLN), system.release, qVersion(),
                  m_curlVersion.c_str(), TAVRIX_BENCH_BUILD_TYPE);
    out << format("Load average (1 / 5 / 15 min) before: %s, after: %s.  \n", m_loadBefore.c_str(),
                  m_loadAfter.c_str());
    out << format("Figures are medians of %d throughput, %d latency and %d start-up runs; "
                  "ratios are medians of the per-run ratios.\n\n",
                  m_config.runs, m_config.latencyRuns, m_config.startupRuns);

    out << throughputTable(m_throughput, "offscreen");
    if (!m_throughputOnX.empty())
        out << throughputTable(m_throughputOnX, "on Xvfb, a real X server");
    out << "### Memory: Tavrix's resident set (VmRSS) around the stream\n\n";
    out << "| Before | After | Growth | Target | Result | Peak (VmHWM) |\n";
    out << "|---:|---:|---:|---:|---|---:|\n";
    out << format("| %.0f KiB | %.0f KiB | %.0f KiB | below %.0f KiB | %s | %.0f KiB |\n\n",
                  median(rssBefore), median(rssAfter), median(rssGrowth), MaxRssGrowthKiB,
                  verdict(median(rssGrowth) < MaxRssGrowthKiB), median(hwm));
    out << "Growth per run: " << list(rssGrowth, "%.0f KiB")
        << "; of which anonymous memory (RssAnon; the rest is mapped files such as code "
           "first used during the stream): "
        << list(anonGrowth, "%.0f KiB") << ".\n\n";

    out << "### Latency: first hand-off at 128 kbit/s with 128 KB buffer files\n\n";
    out << "| Floor (first file full) | First file finished | First hand-off "
           "(Tavrix_00.mp3) | Target (floor + 3 s) | Result |\n";
    out << "|---:|---:|---:|---:|---|\n";
    out << format("| %.2f s | %.2f s | %.2f s | %.2f s | %s |\n\n", floor, median(finished),
                  median(handOff), floor + HandOffTicks,
                  verdict(median(handOff) <= floor + HandOffTicks));
    out << "Per run, first file finished: " << list(finished, "%.2f s")
        << "; first hand-off: " << list(handOff, "%.2f s") << ".\n\n";

    out << "### Start-up: process start to the main window on screen (offscreen)\n\n";
    out << "| Main window shown | Main window first painted | Painted, from the kernel's "
           "process start time |\n|---:|---:|---:|\n";
    out << format("| %.1f ms | %.1f ms | %.0f ms |\n\n", median(shown), median(painted),
                  median(sinceStart));
    out << "Per run, first painted: " << list(painted, "%.1f ms") << ".\n\n";

    out << "### How it is measured\n\n"
           "- The station is a small program of the bench in its own process: it answers "
           "\"ICY 200 OK\", icy- headers and a blank line, then sends the audio (a "
           "repeating pseudo-random block) in writes of up to 1 MiB; the same station "
           "serves curl and Tavrix. Both clients' files are checked byte for byte "
           "against what was sent. With --http0.9 curl stores the whole response, so "
           "its file also holds the "
        << stationHeader().size()
        << "-byte header block.\n"
           "- curl: `curl --http0.9 -s -o FILE -w '%{time_total}' http://127.0.0.1:PORT/`; "
           "MiB/s from curl's own transfer time, CPU from wait4() (user + system, "
           "including curl's start-up).\n"
           "- Tavrix: a fresh bench process builds the main window `frmMain` offscreen "
           "with the real socket module libtavrixsck.so, chooses the game and buffer "
           "folders through its buttons, picks DSL mode and clicks \"Start Buffering\". "
           "Time and CPU (getrusage, whole process) run from the click until the status "
           "line reports that the connection was lost (the station closed it after the "
           "audio; the session is then cancelled before reconnecting). The hand-off timer "
           "tmrMain keeps running and moves finished files into the game folder as in "
           "normal use; the moved files' sizes count towards the total. VmRSS is read "
           "from /proc/self/status just before the click and after the end.\n"
           "- Latency: a station paced at 16000 bytes/s (1000-byte chunks every 62.5 ms), "
           "custom mode with the \"128 KB\" item; the time from the click to the move of "
           "the first buffer file to Tavrix_00.mp3. The floor is (128 x 1024 + 1) / "
           "16000 s: a file is finished only when a write takes it past its size.\n"
           "- Start-up: the bench process builds the program the way its entry does "
           "(QApplication, resources, icon, the production dialogs, shell and file "
           "operations, then `frmStart`, which finds libtavrixsck.so and opens `frmMain`), "
           "timed from the parent's fork() to the main window's first Show and Paint "
           "events. The last column takes the start from /proc/self/stat instead (10 ms "
           "ticks). One warm-up start is not counted.\n";
    return out.str();
}

void writeResults(const std::string &path, const std::string &latest)
{
    std::string history = "## History\n\nNo earlier runs recorded.\n";
    {
        std::ifstream file(path);
        const std::string old((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
        const std::size_t at = old.find("\n## History");
        if (at != std::string::npos)
            history = old.substr(at + 1);
    }
    std::ofstream file(path, std::ios::trunc);
    file << "# Tavrix benchmark\n\n"
            "Written by `bench/run`, which replaces everything above \"History\" with its "
            "latest figures; the history is kept.\n\n"
         << latest << "\n"
         << history;
}

} // namespace

int runBenchmark(const BenchConfig &config)
{
    try {
        Benchmark benchmark(config);
        benchmark.run();
        const std::string latest = benchmark.report();
        std::cout << latest << std::flush;
        if (!config.results.empty()) {
            writeResults(config.results, latest);
            progress("written to " + config.results);
        }
        return 0;
    } catch (const std::exception &e) {
        std::cerr << "bench: " << e.what() << std::endl;
        return 1;
    }
}
