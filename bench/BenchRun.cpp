// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchRun.h"

#include "BenchStation.h"
#include "ChildProcess.h"
#include "InstalledTavrix.h"
#include "StreamPattern.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>
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
constexpr double MinTitledRatio = 0.95;
constexpr double MinTlsRatio = 0.9;
constexpr double MaxConversionCpuPerHour = 108.0; // 3 % of one core

// The stations of the throughput, titles, TLS, integrity and end-to-end rows
// loop this many seconds of 320 kbit/s MP3, whole frames.
constexpr int Mp3LoopSeconds = 30;

// The titled station: a title block after every 16000 audio bytes.
constexpr std::size_t TitleInterval = 16000;
// The AAC station plays a file of this many seconds over and over.
constexpr int AacFileSeconds = 60;
// The integrity run: the station's pace, the hand-off timer's interval and
// the most the buffer folder may hold at a time.
constexpr double IntegrityBytesPerSecond = 32.0 * 1024 * 1024;
constexpr int IntegrityHandOffMs = 2;
constexpr int IntegrityMaxBufferMiB = 256;

std::string format(const char *pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text(size_t(std::max(size, 0)), '\0');
    std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    return text;
}

// Makes `seconds` of a 440 Hz tone over soft pink noise with ffmpeg, encoded
// as `encoding` (codec and container options) into `file`.
void makeToneOverNoise(const std::string &file, int seconds,
                       const std::vector<std::string> &encoding, const std::string &what)
{
    std::vector<std::string> command{
        "ffmpeg",
        "-v",
        "error",
        "-y",
        "-f",
        "lavfi",
        "-i",
        format("sine=frequency=440:sample_rate=44100:duration=%d", seconds),
        "-f",
        "lavfi",
        "-i",
        format("anoisesrc=color=pink:amplitude=0.05:sample_rate=44100:duration=%d", seconds),
        "-filter_complex",
        "[0:a][1:a]amix=inputs=2,aformat=channel_layouts=stereo"};
    command.insert(command.end(), encoding.begin(), encoding.end());
    command.push_back(file);
    const ChildRun made = runChild(command);
    if (made.exitCode != 0 || !fs::exists(file))
        throw std::runtime_error("ffmpeg could not make " + what);
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

// Where retireFolder() keeps the folders of earlier runs.
std::string retiredFolder(const std::string &work)
{
    return work + "/retired";
}

// Retired folders whose files still hold what their run wrote.
std::vector<std::string> &unemptiedFolders()
{
    static std::vector<std::string> folders;
    return folders;
}

// Sets a finished run's folder aside as it is. Its files are emptied by the
// next emptyRetiredFolders(), just before the next run's stream begins.
void retireFolder(const std::string &folder)
{
    static int retiredRuns = 0;
    if (!fs::exists(folder))
        return;
    const std::string retired = retiredFolder(fs::path(folder).parent_path().string());
    fs::create_directories(retired);
    const std::string target = retired + "/" + std::to_string(retiredRuns++);
    fs::rename(folder, target);
    unemptiedFolders().push_back(target);
}

// Empties what earlier runs wrote and lets the disk catch up, so that one
// run's write-back does not slow down the next. Called just before a client's
// stream begins: this VM hands memory that stays free for a few seconds back
// to its host (free page reporting), and writing into such pages again costs
// a fault in the host for each one; a gigabyte written 10 s after a gigabyte
// was freed took 3.5 s of system time here, written at once 0.25 s. Freeing
// the last run's pages just before each start gives curl and the program the
// same memory, as a machine without such a host does.
//
// The emptied files are kept until the benchmark ends rather than removed:
// ext4 without a journal does not give a freed inode out again for some
// minutes and searches past every such inode whenever it creates a file, so
// removing each run's thousand buffer files made file creation slower with
// every run (Tavrix went from 2900 to 1300 MiB/s within one row).
void emptyRetiredFolders()
{
    for (const std::string &folder : unemptiedFolders()) {
        for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file())
                fs::resize_file(entry.path(), 0);
        }
    }
    unemptiedFolders().clear();
    ::sync();
}

// Sets `folder` aside and empties it with every earlier run's files.
void clearFolder(const std::string &folder)
{
    retireFolder(folder);
    emptyRetiredFolders();
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
    double tavrixCpuExact = 0; // the installed program's threads' run time
    double tavrixUser = 0;     // of its CPU time, in user mode
    double checkedBytes = 0;   // of the installed program's files, compared with the stream
};

// One titled run beside one untitled run of the same size.
struct TitledRun
{
    double plainSeconds = 0;
    double plainCpu = 0;
    double titledSeconds = 0;
    double titledCpu = 0;
    double titles = 0; // title changes the window was told of
};

struct ConversionRun
{
    double seconds = 0;
    double cpu = 0;
    double mp3Seconds = 0; // playing time of every converted file together
    double mp3Kbps = 0;
    double files = 0;
    double handedOff = 0;
    double rssGrowth = 0;
    double anonGrowth = 0;
    double warmRssGrowth = 0; // from the end of the warm-up on
    double warmAnonGrowth = 0;
    double hwm = 0;
};

struct IntegrityRun
{
    double seconds = 0;
    double bytes = 0;
    double checkedInGame = 0; // bytes checked as they reached the game folder
    double files = 0;
    double handedOff = 0;
    double maxBuffered = 0;
    std::string problem; // empty when every byte arrived once, in order and intact
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
    bool wants(const std::string &row) const
    {
        return m_config.only.empty() || m_config.only.count(row) != 0;
    }
    // Runs the throughput runs on the display set up by `runs` (offscreen
    // and, with a display, on it) into `offscreen` and `onX`.
    template <typename Run, typename Measure>
    void onEachDisplay(int runs, std::vector<Run> &offscreen, std::vector<Run> &onX,
                       Measure measure);
    void makeMp3Loop();
    ThroughputRun throughputRun(int index, const StationOptions &station, std::uint16_t port,
                                const std::vector<std::string> &tavrixArgs);
    void measureInstalled();
    std::string installedTable() const;
    std::string throughputTable(const std::vector<ThroughputRun> &runs, const std::string &title,
                                const std::string &curlLabel, const std::string &tavrixLabel,
                                double minRatio, bool cpuTarget) const;
    void curlRun(const StationOptions &station, std::uint16_t port, ThroughputRun &run);
    ChildRun tavrixStream(const std::vector<std::string> &args, double timeoutSeconds);
    void tavrixStreamRun(std::uint16_t port, const std::vector<std::string> &args,
                         ThroughputRun &run);
    TitledRun titledRun(int index, std::uint16_t plainPort, std::uint16_t titledPort);
    void measureTls();
    void measureConversion();
    ConversionRun conversionRun(std::uint16_t port, double audioSeconds);
    IntegrityRun integrityRun();
    std::string titlesTable(const std::vector<TitledRun> &runs, const std::string &platform) const;
    std::string conversionTable() const;
    std::string integrityTable() const;
    LatencyRun latencyRun(std::uint16_t port);
    StartupRun startupRun();

    const BenchConfig &m_config;
    std::string m_home;
    std::string m_mp3;       // the MP3 the stations loop
    StreamPattern m_pattern; // its bytes, as the stream
    std::string m_started;
    std::string m_loadBefore;
    std::string m_loadAfter;
    std::string m_curlVersion;
    std::vector<ThroughputRun> m_installed; // the installed program on Xvfb
    std::vector<ThroughputRun> m_throughput;
    std::vector<ThroughputRun> m_throughputOnX; // the same runs on a real X server
    std::vector<TitledRun> m_titled;
    std::vector<TitledRun> m_titledOnX;
    std::vector<ThroughputRun> m_tls;
    std::vector<ConversionRun> m_conversion;
    double m_aacBytesPerSecond = 0; // the AAC file's bytes per second of audio
    std::vector<IntegrityRun> m_integrity;
    std::vector<LatencyRun> m_latency;
    std::vector<StartupRun> m_startup;
};

void Benchmark::run()
{
    fs::create_directories(m_config.work);
    fs::remove_all(retiredFolder(m_config.work));
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

    if (wants("endtoend") || wants("throughput") || wants("titles") || wants("tls") ||
        wants("integrity"))
        makeMp3Loop();
    if (wants("endtoend"))
        measureInstalled();
    if (wants("throughput")) {
        StationOptions flood;
        flood.audioBytes = m_config.streamBytes;
        flood.audioFile = m_mp3;
        const StationProcess station(flood);
        onEachDisplay(m_config.runs, m_throughput, m_throughputOnX,
                      [&](int i) { return throughputRun(i, flood, station.port(), {}); });
    }
    if (wants("titles")) {
        StationOptions plain;
        plain.audioBytes = m_config.streamBytes;
        plain.audioFile = m_mp3;
        StationOptions titled = plain;
        titled.metaInt = TitleInterval;
        const StationProcess plainStation(plain);
        const StationProcess titledStation(titled);
        onEachDisplay(m_config.titlesRuns, m_titled, m_titledOnX, [&](int i) {
            return titledRun(i, plainStation.port(), titledStation.port());
        });
    }
    if (wants("tls"))
        measureTls();
    if (wants("conversion"))
        measureConversion();
    if (wants("integrity"))
        m_integrity.push_back(integrityRun());
    if (wants("latency")) {
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
    if (wants("startup")) {
        // The first start warms the file cache and is not counted.
        startupRun();
        for (int i = 0; i < m_config.startupRuns; ++i) {
            m_startup.push_back(startupRun());
            progress(format("start-up run %d/%d: main window painted after %.1f ms", i + 1,
                            m_config.startupRuns, m_startup.back().painted));
        }
    }
    m_loadAfter = loadAverage();
    fs::remove_all(retiredFolder(m_config.work));
}

// Thirty seconds of a 440 Hz tone over soft pink noise as 320 kbit/s MP3,
// nothing but frames (no ID3 tag, no Xing frame), so that the stream the
// stations loop is a run of whole frames for the frame reader to follow, as
// a real MP3 station's is.
void Benchmark::makeMp3Loop()
{
    if (!m_mp3.empty())
        return;
    const std::string folder = m_config.work + "/mp3";
    fs::create_directories(folder);
    const std::string mp3 = folder + "/loop.mp3";
    makeToneOverNoise(mp3, Mp3LoopSeconds,
                      {"-c:a", "libmp3lame", "-b:a", "320k", "-write_xing", "0", "-id3v2_version",
                       "0", "-write_id3v1", "0", "-f", "mp3"},
                      "the MP3 the stations send");
    m_mp3 = mp3;
    m_pattern = StreamPattern(mp3);
}

// The program as installed, on the X server, against curl; see
// InstalledTavrix.h for how it is driven and watched.
void Benchmark::measureInstalled()
{
    if (m_config.installed.empty() || m_config.display.empty())
        throw std::runtime_error("the end-to-end row needs --installed PROGRAM and --display :N");
    // xdotool works on the same display.
    ::setenv("DISPLAY", m_config.display.c_str(), 1);
    StationOptions flood;
    flood.audioBytes = m_config.streamBytes;
    flood.audioFile = m_mp3;
    const StationProcess station(flood);
    const std::string folder = m_config.work + "/installed";
    for (int i = 0; i < m_config.runs; ++i) {
        ThroughputRun run;
        const auto installed = [&] {
            retireFolder(folder);
            InstalledRunSetup setup;
            setup.program = m_config.installed;
            setup.display = m_config.display;
            setup.folder = folder;
            setup.address = format("http://127.0.0.1:%u/", unsigned(station.port()));
            setup.audioBytes = m_config.streamBytes;
            setup.justBeforeStart = emptyRetiredFolders;
            const InstalledRun result = runInstalledTavrix(setup, m_pattern);
            retireFolder(folder);
            run.tavrixSeconds = result.seconds;
            run.tavrixCpu = result.cpuSeconds;
            run.tavrixCpuExact = result.cpuExactSeconds;
            run.tavrixUser = result.userSeconds;
            run.files = result.files;
            run.handedOff = result.handedOff;
            run.checkedBytes = double(result.checkedBytes);
        };
        // Alternate the order, as in the other rows.
        if (i % 2 == 0) {
            curlRun(flood, station.port(), run);
            installed();
        } else {
            installed();
            curlRun(flood, station.port(), run);
        }
        const double bytes = double(m_config.streamBytes);
        progress(format("end-to-end run %d/%d: curl %.0f MiB/s, Tavrix %.0f MiB/s; CPU curl "
                        "%.3f s, Tavrix %.3f s (user %.3f s; threads' run time %.3f s)",
                        i + 1, m_config.runs, bytes / MiB / run.curlSeconds,
                        bytes / MiB / run.tavrixSeconds, run.curlCpu, run.tavrixCpu, run.tavrixUser,
                        run.tavrixCpuExact));
        m_installed.push_back(run);
    }
}

template <typename Run, typename Measure>
void Benchmark::onEachDisplay(int runs, std::vector<Run> &offscreen, std::vector<Run> &onX,
                              Measure measure)
{
    for (int i = 0; i < runs; ++i)
        offscreen.push_back(measure(i));
    if (m_config.display.empty())
        return;
    // The window draws its progress on a real display too.
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::setenv("DISPLAY", m_config.display.c_str(), 1);
    for (int i = 0; i < runs; ++i)
        onX.push_back(measure(i));
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

ThroughputRun Benchmark::throughputRun(int index, const StationOptions &station, std::uint16_t port,
                                       const std::vector<std::string> &tavrixArgs)
{
    ThroughputRun run;
    // Alternate the order so that neither client always runs on a freshly
    // synced disk.
    if (index % 2 == 0) {
        curlRun(station, port, run);
        tavrixStreamRun(port, tavrixArgs, run);
    } else {
        tavrixStreamRun(port, tavrixArgs, run);
        curlRun(station, port, run);
    }
    const double bytes = double(m_config.streamBytes);
    progress(format("%sthroughput run %d/%d: curl %.0f MiB/s, Tavrix %.0f MiB/s; CPU curl %.3f s, "
                    "Tavrix %.3f s",
                    station.certificateFile.empty() ? "" : "TLS ", index + 1, m_config.runs,
                    bytes / MiB / run.curlSeconds, bytes / MiB / run.tavrixSeconds, run.curlCpu,
                    run.tavrixCpu));
    return run;
}

void Benchmark::curlRun(const StationOptions &station, std::uint16_t port, ThroughputRun &run)
{
    const std::string folder = m_config.work + "/curl";
    const std::string file = folder + "/stream.mp3";
    retireFolder(folder);
    fs::create_directories(folder);
    const bool tls = !station.certificateFile.empty();
    std::vector<std::string> args = {"curl", "--http0.9",      "-s", "-o", file,
                                     "-w",   "%{time_total}\n"};
    if (tls)
        args.push_back("-k");
    args.push_back((tls ? "https" : "http") + std::string("://127.0.0.1:") + std::to_string(port) +
                   "/");
    emptyRetiredFolders();
    const ChildRun child = runChild(args);
    if (child.exitCode != 0)
        throw std::runtime_error(format("curl failed with exit code %d", child.exitCode));
    run.curlSeconds = std::stod(child.output);
    run.curlWall = child.wallSeconds;
    run.curlCpu = child.cpuSeconds;

    // With --http0.9 curl takes the ICY response as a whole for the body:
    // its file holds the header block followed by the audio.
    const std::string header = stationHeader(station, false);
    std::string start(header.size(), '\0');
    std::ifstream(file, std::ios::binary).read(start.data(), std::streamsize(start.size()));
    std::uint64_t size = 0;
    const std::string problem = m_pattern.checkFile(file, 0, &size, header.size());
    if (start != header || !problem.empty() || size != m_config.streamBytes)
        throw std::runtime_error(
            "curl's file is not the response: " +
            (problem.empty() ? std::to_string(size) + " audio bytes" : problem));
    retireFolder(folder);
}

ChildRun Benchmark::tavrixStream(const std::vector<std::string> &args, double timeoutSeconds)
{
    const std::string folder = m_config.work + "/tavrix";
    clearFolder(folder);
    std::vector<std::string> argv = {
        m_config.self, "stream", "--home",    m_home,
        "--work",      folder,   "--timeout", format("%.0f", timeoutSeconds)};
    if (!m_mp3.empty()) {
        argv.push_back("--audio");
        argv.push_back(m_mp3);
    }
    argv.insert(argv.end(), args.begin(), args.end());
    const ChildRun child = runChild(argv);
    retireFolder(folder);
    if (child.exitCode != 0)
        throw std::runtime_error("a Tavrix stream run failed");
    return child;
}

void Benchmark::tavrixStreamRun(std::uint16_t port, const std::vector<std::string> &args,
                                ThroughputRun &run)
{
    std::vector<std::string> all = {"--port", std::to_string(port), "--size", "dsl"};
    all.insert(all.end(), args.begin(), args.end());
    const ChildRun child = tavrixStream(all, 900);
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
}

TitledRun Benchmark::titledRun(int index, std::uint16_t plainPort, std::uint16_t titledPort)
{
    TitledRun run;
    const auto one = [&](std::uint16_t port, double &seconds, double &cpu) {
        const ChildRun child = tavrixStream({"--port", std::to_string(port), "--size", "dsl"}, 900);
        if (child.number("audio_bytes") != double(m_config.streamBytes))
            throw std::runtime_error("Tavrix's buffer files do not hold the whole stream");
        seconds = child.number("seconds");
        cpu = child.number("cpu_seconds");
        return child.number("titles");
    };
    // Alternate which goes first, as for curl and Tavrix.
    if (index % 2 == 0) {
        one(plainPort, run.plainSeconds, run.plainCpu);
        run.titles = one(titledPort, run.titledSeconds, run.titledCpu);
    } else {
        run.titles = one(titledPort, run.titledSeconds, run.titledCpu);
        one(plainPort, run.plainSeconds, run.plainCpu);
    }
    // The station changes the title every 256 blocks: a run that saw none
    // did not read the titles at all.
    if (run.titles < 1)
        throw std::runtime_error("the window was told of no title in the titled run");
    const double bytes = double(m_config.streamBytes);
    progress(format("titles run %d/%d: untitled %.0f MiB/s, titled %.0f MiB/s, %.0f titles",
                    index + 1, m_config.titlesRuns, bytes / MiB / run.plainSeconds,
                    bytes / MiB / run.titledSeconds, run.titles));
    return run;
}

void Benchmark::measureTls()
{
    // A self-signed certificate made for this run; Tavrix trusts it the way
    // the window stores a certificate the user accepted: by its SHA-256.
    const std::string folder = m_config.work + "/tls";
    fs::create_directories(folder);
    const StationCertificate certificate = makeStationCertificate(folder);
    StationOptions tls;
    tls.audioBytes = m_config.streamBytes;
    tls.audioFile = m_mp3;
    tls.certificateFile = certificate.certificateFile;
    tls.keyFile = certificate.keyFile;
    const StationProcess station(tls);
    for (int i = 0; i < m_config.runs; ++i)
        m_tls.push_back(throughputRun(i, tls, station.port(),
                                      {"--scheme", "https", "--trust", certificate.sha256}));
}

void Benchmark::measureConversion()
{
    // A minute of a tone over soft noise as 128 kbit/s AAC in ADTS, made
    // once; the station sends it over and over.
    const std::string folder = m_config.work + "/aac";
    fs::create_directories(folder);
    const std::string aac = folder + "/tone.aac";
    makeToneOverNoise(aac, AacFileSeconds, {"-c:a", "aac", "-b:a", "128k", "-f", "adts"},
                      "the AAC file");
    m_aacBytesPerSecond = double(fs::file_size(aac)) / AacFileSeconds;

    const double audioSeconds = m_config.audioMinutes * 60.0;
    StationOptions station;
    station.audioFile = aac;
    station.contentType = "audio/aac";
    // No icy-br: Tavrix encodes a station of unknown bit rate at 192 kbit/s.
    station.bitrate.clear();
    station.audioBytes = std::uint64_t(double(fs::file_size(aac)) * audioSeconds / AacFileSeconds);
    station.bytesPerSecond = m_aacBytesPerSecond * m_config.speed;
    // 20 writes per second, as a station that sends as the audio comes.
    station.chunkBytes = std::size_t(std::max(1.0, station.bytesPerSecond / 20));
    const StationProcess process(station);
    for (int i = 0; i < m_config.conversionRuns; ++i) {
        m_conversion.push_back(conversionRun(process.port(), audioSeconds));
        const ConversionRun &run = m_conversion.back();
        progress(format("conversion run %d/%d: %.1f s CPU for %.0f s of audio in %.1f s, "
                        "VmRSS growth %.0f KiB",
                        i + 1, m_config.conversionRuns, run.cpu, audioSeconds, run.seconds,
                        run.rssGrowth));
    }
}

ConversionRun Benchmark::conversionRun(std::uint16_t port, double audioSeconds)
{
    const std::string capture = m_config.work + "/aac/converted.mp3";
    const double expectedSeconds = audioSeconds / m_config.speed;
    const ChildRun child =
        tavrixStream({"--port", std::to_string(port), "--size", "dsl", "--check", "capture",
                      "--capture", capture, "--warm-up", format("%.3f", expectedSeconds / 12)},
                     std::max(900.0, expectedSeconds * 20));
    ConversionRun run;
    run.seconds = child.number("seconds");
    run.cpu = child.number("cpu_seconds");
    run.files = child.number("files");
    run.handedOff = child.number("handed_off");
    run.rssGrowth = child.number("rss_after_kib") - child.number("rss_before_kib");
    run.anonGrowth = child.number("rss_anon_growth_kib");
    run.warmRssGrowth = child.number("rss_after_kib") - child.number("rss_warm_kib");
    run.warmAnonGrowth = child.number("rss_anon_warm_growth_kib");
    run.hwm = child.number("hwm_kib");

    // Every converted file, handed off or left, together: what a player
    // makes of it.
    const ChildRun probe =
        runChild({"ffprobe", "-v", "error", "-select_streams", "a:0", "-count_packets",
                  "-show_entries", "stream=codec_name,sample_rate,bit_rate,nb_read_packets", "-of",
                  "default=noprint_wrappers=1", capture});
    fs::remove(capture);
    if (probe.exitCode != 0)
        throw std::runtime_error("ffprobe cannot read the converted files");
    std::map<std::string, std::string> fields;
    std::istringstream lines(probe.output);
    std::string field;
    while (std::getline(lines, field)) {
        const auto equals = field.find('=');
        if (equals != std::string::npos)
            fields[field.substr(0, equals)] = field.substr(equals + 1);
    }
    if (fields["codec_name"] != "mp3" || fields["sample_rate"] != "44100")
        throw std::runtime_error("the converted files are not 44.1 kHz MP3:\n" + probe.output);
    // MPEG-1 Layer III: 1152 samples per frame.
    run.mp3Seconds = std::stod(fields["nb_read_packets"]) * 1152.0 / 44100.0;
    run.mp3Kbps = std::stod(fields["bit_rate"]) / 1000.0;
    // A few frames of encoder delay and padding at most.
    const double tolerance = std::max(2.0, audioSeconds * 0.001);
    if (std::abs(run.mp3Seconds - audioSeconds) > tolerance)
        throw std::runtime_error(format("%.1f s of audio were sent, the converted files play "
                                        "%.1f s",
                                        audioSeconds, run.mp3Seconds));
    return run;
}

IntegrityRun Benchmark::integrityRun()
{
    StationOptions station;
    station.audioBytes = m_config.integrityBytes;
    station.audioFile = m_mp3;
    station.bytesPerSecond = IntegrityBytesPerSecond;
    station.chunkBytes = std::size_t(256) << 10;
    const StationProcess process(station);
    const double expectedSeconds = double(station.audioBytes) / IntegrityBytesPerSecond;
    IntegrityRun run;
    try {
        const ChildRun child =
            tavrixStream({"--port", std::to_string(process.port()), "--size", "dsl", "--check",
                          "moves", "--handoff-ms", std::to_string(IntegrityHandOffMs),
                          "--max-buffer-mib", std::to_string(IntegrityMaxBufferMiB)},
                         std::max(900.0, expectedSeconds * 10));
        run.seconds = child.number("seconds");
        run.bytes = child.number("audio_bytes");
        run.checkedInGame = child.number("moved_bytes_checked");
        run.files = child.number("files");
        run.handedOff = child.number("handed_off");
        run.maxBuffered = child.number("max_buffered_bytes");
        if (run.bytes != double(station.audioBytes))
            run.problem =
                format("%.0f of %.0f bytes arrived", run.bytes, double(station.audioBytes));
    } catch (const std::exception &e) {
        // The run's own report went to standard error.
        run.problem = e.what();
    }
    progress(format("integrity run: %.0f MiB, %.0f MiB checked in the game folder, at most "
                    "%.0f MiB buffered%s%s",
                    run.bytes / MiB, run.checkedInGame / MiB, run.maxBuffered / MiB,
                    run.problem.empty() ? "" : "; failed: ", run.problem.c_str()));
    return run;
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
                                       const std::string &title, const std::string &curlLabel,
                                       const std::string &tavrixLabel, double minRatio,
                                       bool cpuTarget) const
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
    out << format("### %s: %.0f MiB over 127.0.0.1 into files on the same disk\n\n", title.c_str(),
                  bytes / MiB);
    out << "| Client | MiB/s | CPU s per GiB |\n|---|---:|---:|\n";
    out << format("| %s | %.0f | %.3f |\n", curlLabel.c_str(), median(curlRate), median(curlCpu));
    out << format("| %s | %.0f | %.3f |\n", tavrixLabel.c_str(), median(tavrixRate),
                  median(tavrixCpu));
    out << format("| **Tavrix / curl** | **%.2f** | **%.2f** |\n", median(rateRatio),
                  median(cpuRatio));
    if (cpuTarget) {
        out << format("| Target | at least %.1f | at most %.1f |\n", minRatio, MaxCpuRatio);
        out << format("| Result | %s | %s |\n\n", verdict(median(rateRatio) >= minRatio),
                      verdict(median(cpuRatio) <= MaxCpuRatio));
    } else {
        out << format("| Target | at least %.1f | |\n", minRatio);
        out << format("| Result | %s | |\n\n", verdict(median(rateRatio) >= minRatio));
    }
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

std::string Benchmark::installedTable() const
{
    const double bytes = double(m_config.streamBytes);
    const double perGiB = GiB / bytes;
    const std::vector<ThroughputRun> &runs = m_installed;
    const auto curlRate =
        column(runs, [&](const ThroughputRun &r) { return bytes / MiB / r.curlSeconds; });
    const auto curlWallRate =
        column(runs, [&](const ThroughputRun &r) { return bytes / MiB / r.curlWall; });
    const auto tavrixRate =
        column(runs, [&](const ThroughputRun &r) { return bytes / MiB / r.tavrixSeconds; });
    const auto curlCpu = column(runs, [&](const ThroughputRun &r) { return r.curlCpu * perGiB; });
    const auto tavrixCpu =
        column(runs, [&](const ThroughputRun &r) { return r.tavrixCpu * perGiB; });
    const auto tavrixExact =
        column(runs, [&](const ThroughputRun &r) { return r.tavrixCpuExact * perGiB; });
    const auto tavrixUser =
        column(runs, [&](const ThroughputRun &r) { return r.tavrixUser * perGiB; });
    const auto rateRatio =
        column(runs, [](const ThroughputRun &r) { return r.curlSeconds / r.tavrixSeconds; });
    const auto cpuRatio =
        column(runs, [](const ThroughputRun &r) { return r.tavrixCpu / r.curlCpu; });
    const auto files = column(runs, [](const ThroughputRun &r) { return r.files; });
    const auto handedOff = column(runs, [](const ThroughputRun &r) { return r.handedOff; });
    const auto checked = column(runs, [](const ThroughputRun &r) { return r.checkedBytes / MiB; });
    std::ostringstream out;
    out << format("### End to end: the installed program on Xvfb, %.0f MiB of MP3 over 127.0.0.1 "
                  "into files on the same disk\n\n",
                  bytes / MiB);
    out << "| Client | MiB/s | CPU s per GiB |\n|---|---:|---:|\n";
    out << format("| curl --http0.9 | %.0f | %.3f |\n", median(curlRate), median(curlCpu));
    out << format("| Tavrix (installed `tavrix`, DSL mode, 1024 KB files, hand-off on) | %.0f | "
                  "%.3f |\n",
                  median(tavrixRate), median(tavrixCpu));
    out << format("| **Tavrix / curl** | **%.2f** | **%.2f** |\n", median(rateRatio),
                  median(cpuRatio));
    out << format("| Target | at least %.1f | at most %.1f |\n", MinThroughputRatio, MaxCpuRatio);
    out << format("| Result | %s | %s |\n\n", verdict(median(rateRatio) >= MinThroughputRatio),
                  verdict(median(cpuRatio) <= MaxCpuRatio));
    out << "Per run (in order; curl went first in the odd-numbered runs):\n\n";
    out << "- curl MiB/s: " << list(curlRate, "%.0f")
        << " (process start to exit: " << list(curlWallRate, "%.0f") << ")\n";
    out << "- Tavrix MiB/s: " << list(tavrixRate, "%.0f") << "\n";
    out << "- CPU s per GiB, curl: " << list(curlCpu, "%.3f")
        << "; Tavrix: " << list(tavrixCpu, "%.3f") << ", of which user mode "
        << list(tavrixUser, "%.3f")
        << " (from its threads' run times: " << list(tavrixExact, "%.3f") << ")\n";
    out << "- Tavrix buffer files: " << list(files, "%.0f")
        << "; handed into the game folder during the run: " << list(handedOff, "%.0f")
        << "; MiB still in a folder at the end and compared with the stream: "
        << list(checked, "%.0f") << "\n\n";
    return out.str();
}

std::string Benchmark::titlesTable(const std::vector<TitledRun> &runs,
                                   const std::string &platform) const
{
    const double bytes = double(m_config.streamBytes);
    const auto plainRate =
        column(runs, [&](const TitledRun &r) { return bytes / MiB / r.plainSeconds; });
    const auto titledRate =
        column(runs, [&](const TitledRun &r) { return bytes / MiB / r.titledSeconds; });
    const auto plainCpu =
        column(runs, [&](const TitledRun &r) { return r.plainCpu * GiB / bytes; });
    const auto titledCpu =
        column(runs, [&](const TitledRun &r) { return r.titledCpu * GiB / bytes; });
    const auto ratio =
        column(runs, [](const TitledRun &r) { return r.plainSeconds / r.titledSeconds; });
    const auto titles = column(runs, [](const TitledRun &r) { return r.titles; });
    std::ostringstream out;
    out << format("### Titles (%s): %.0f MiB with a title block every %zu bytes, against the "
                  "same stream without\n\n",
                  platform.c_str(), bytes / MiB, TitleInterval);
    out << "| Stream | MiB/s | CPU s per GiB |\n|---|---:|---:|\n";
    out << format("| Without titles | %.0f | %.3f |\n", median(plainRate), median(plainCpu));
    out << format("| With titles (icy-metaint: %zu) | %.0f | %.3f |\n", TitleInterval,
                  median(titledRate), median(titledCpu));
    out << format("| **With / without** | **%.2f** | |\n", median(ratio));
    out << format("| Target | at least %.2f | |\n", MinTitledRatio);
    out << format("| Result | %s | |\n\n", verdict(median(ratio) >= MinTitledRatio));
    out << "Per run (in order): without titles " << list(plainRate, "%.0f")
        << " MiB/s; with titles " << list(titledRate, "%.0f") << " MiB/s; ratio "
        << list(ratio, "%.2f") << "; title changes shown " << list(titles, "%.0f") << ".\n\n";
    return out.str();
}

std::string Benchmark::conversionTable() const
{
    const double audioSeconds = m_config.audioMinutes * 60.0;
    const auto cpuPerHour = column(
        m_conversion, [&](const ConversionRun &r) { return r.cpu / (audioSeconds / 3600.0); });
    const auto seconds = column(m_conversion, [](const ConversionRun &r) { return r.seconds; });
    const auto played = column(m_conversion, [](const ConversionRun &r) { return r.mp3Seconds; });
    const auto kbps = column(m_conversion, [](const ConversionRun &r) { return r.mp3Kbps; });
    const auto growth = column(m_conversion, [](const ConversionRun &r) { return r.rssGrowth; });
    const auto anon = column(m_conversion, [](const ConversionRun &r) { return r.anonGrowth; });
    const auto warm = column(m_conversion, [](const ConversionRun &r) { return r.warmRssGrowth; });
    const auto warmAnon =
        column(m_conversion, [](const ConversionRun &r) { return r.warmAnonGrowth; });
    const auto hwm = column(m_conversion, [](const ConversionRun &r) { return r.hwm; });
    const auto files = column(m_conversion, [](const ConversionRun &r) { return r.files; });
    const auto handedOff = column(m_conversion, [](const ConversionRun &r) { return r.handedOff; });
    std::ostringstream out;
    out << format("### Conversion: %.0f min of 128 kbit/s AAC (ADTS) to MP3, sent at %.0fx "
                  "real time\n\n",
                  m_config.audioMinutes, m_config.speed);
    out << "| | Figure | Target | Result |\n|---|---:|---:|---|\n";
    out << format("| CPU s per hour of audio | %.1f s (%.2f %% of one core) | below %.0f s | "
                  "%s |\n",
                  median(cpuPerHour), median(cpuPerHour) / 36.0, MaxConversionCpuPerHour,
                  verdict(median(cpuPerHour) < MaxConversionCpuPerHour));
    out << format("| VmRSS growth | %.0f KiB | below %.0f KiB | %s |\n", median(growth),
                  MaxRssGrowthKiB, verdict(median(growth) < MaxRssGrowthKiB));
    out << format("| RssAnon growth | %.0f KiB | below %.0f KiB | %s |\n", median(anon),
                  MaxRssGrowthKiB, verdict(median(anon) < MaxRssGrowthKiB));
    out << format("| VmRSS growth after the first twelfth | %.0f KiB | below %.0f KiB | %s |\n",
                  median(warm), MaxRssGrowthKiB, verdict(median(warm) < MaxRssGrowthKiB));
    out << format("| RssAnon growth after the first twelfth | %.0f KiB | below %.0f KiB | %s "
                  "|\n\n",
                  median(warmAnon), MaxRssGrowthKiB, verdict(median(warmAnon) < MaxRssGrowthKiB));
    out << "Per run (in order):\n\n";
    out << "- CPU s per hour of audio: " << list(cpuPerHour, "%.1f")
        << "; stream time: " << list(seconds, "%.1f s") << "\n";
    out << "- converted files play " << list(played, "%.1f s") << " at "
        << list(kbps, "%.0f kbit/s") << "; buffer files " << list(files, "%.0f")
        << ", handed off during the run " << list(handedOff, "%.0f") << "\n";
    out << "- VmRSS growth " << list(growth, "%.0f KiB") << " (after the first twelfth of the "
        << "stream: " << list(warm, "%.0f KiB") << "); RssAnon growth " << list(anon, "%.0f KiB")
        << " (after the first twelfth: " << list(warmAnon, "%.0f KiB") << "); peak VmHWM "
        << list(hwm, "%.0f KiB") << "\n\n";
    return out.str();
}

std::string Benchmark::integrityTable() const
{
    std::ostringstream out;
    for (const IntegrityRun &run : m_integrity) {
        out << format("### Integrity: %.0f MiB through the main window, every file checked as "
                      "it reaches the game folder\n\n",
                      run.bytes / MiB);
        out << "| Audio bytes | Checked in the game folder | Checked in the buffer folder | "
               "Files (handed off) | Most buffered | Result |\n|---:|---:|---:|---:|---:|---|\n";
        out << format("| %.0f | %.0f | %.0f | %.0f (%.0f) | %.0f MiB | %s |\n\n", run.bytes,
                      run.checkedInGame, run.bytes - run.checkedInGame, run.files, run.handedOff,
                      run.maxBuffered / MiB, verdict(run.problem.empty()));
        if (!run.problem.empty())
            out << "Failed: " << run.problem << "\n\n";
        out << format("The stream took %.1f s (the station paced at %.0f MiB/s).\n\n", run.seconds,
                      IntegrityBytesPerSecond / MiB);
    }
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
    out << format("Figures are medians of %d throughput, %d titles, %d latency, %d start-up and "
                  "%d conversion runs; ratios are medians of the per-run ratios.\n\n",
                  m_config.runs, m_config.titlesRuns, m_config.latencyRuns, m_config.startupRuns,
                  m_config.conversionRuns);

    if (!m_installed.empty())
        out << installedTable();
    if (!m_throughput.empty()) {
        out << "The rows below run Tavrix's windows inside a bench process (offscreen, or on "
               "Xvfb where they say so) rather than the installed program: they leave out the "
               "program's own start-up and settings, typing and clicking through the X server, "
               "and the check from outside; the stream is the same.\n\n";
        const std::string curl = "curl --http0.9";
        const std::string tavrix = "Tavrix (DSL mode, 1024 KB files)";
        out << throughputTable(m_throughput, "Throughput (offscreen)", curl, tavrix,
                               MinThroughputRatio, true);
        if (!m_throughputOnX.empty())
            out << throughputTable(m_throughputOnX, "Throughput (on Xvfb, a real X server)", curl,
                                   tavrix, MinThroughputRatio, true);
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
    }
    if (!m_titled.empty())
        out << titlesTable(m_titled, "offscreen");
    if (!m_titledOnX.empty())
        out << titlesTable(m_titledOnX, "on Xvfb");
    if (!m_tls.empty())
        out << throughputTable(m_tls,
                               "TLS (offscreen, self-signed certificate trusted by its "
                               "SHA-256)",
                               "curl --http0.9 -k", "Tavrix (DSL mode, 1024 KB files)", MinTlsRatio,
                               false);
    if (!m_conversion.empty())
        out << conversionTable();
    out << integrityTable();

    if (!m_latency.empty()) {
        out << "### Latency: first hand-off at 128 kbit/s with 128 KB buffer files\n\n";
        out << "| Floor (first file full) | First file finished | First hand-off "
               "(Tavrix_00.mp3) | Target (floor + 3 s) | Result |\n";
        out << "|---:|---:|---:|---:|---|\n";
        out << format("| %.2f s | %.2f s | %.2f s | %.2f s | %s |\n\n", floor, median(finished),
                      median(handOff), floor + HandOffTicks,
                      verdict(median(handOff) <= floor + HandOffTicks));
        out << "Per run, first file finished: " << list(finished, "%.2f s")
            << "; first hand-off: " << list(handOff, "%.2f s") << ".\n\n";
    }
    if (!m_startup.empty()) {
        out << "### Start-up: process start to the main window on screen (offscreen)\n\n";
        out << "| Main window shown | Main window first painted | Painted, from the kernel's "
               "process start time |\n|---:|---:|---:|\n";
        out << format("| %.1f ms | %.1f ms | %.0f ms |\n\n", median(shown), median(painted),
                      median(sinceStart));
        out << "Per run, first painted: " << list(painted, "%.1f ms") << ".\n\n";
    }

    out << "### How it is measured\n\n"
        << format("- End to end: `bench/run` builds the program (RelWithDebInfo) and installs it "
                  "with `cmake --install` into a staging prefix; `bin/tavrix` (a link to "
                  "`libexec/tavrix/tavrix`, beside its socket component) runs on Xvfb with a "
                  "fresh home folder whose settings name an empty buffer folder and a game folder "
                  "holding MP3Report.txt. xdotool clicks into the address box, types "
                  "http://127.0.0.1:PORT/, clicks DSL mode, clears \"Auto start GTA\" and clicks "
                  "\"Start Buffering\". The bench watches both folders with inotify: a buffer "
                  "file counts with its size when the program closes it (or, when the hand-off "
                  "moved it first, its size in the game folder); the run ends when the finished "
                  "files hold every audio byte sent. Time: from just before the click on Start "
                  "to that moment. CPU: utime + stime of the program's process from "
                  "/proc/PID/stat (every thread, exited ones too; clock ticks of 10 ms) read "
                  "just before the click and at the end; the threads' run times from "
                  "/proc/PID/task/*/schedstat are given beside it. The program is then stopped "
                  "(SIGSTOP, so that it does not reconnect), the files numbered from 000 without "
                  "a gap, and every file still in the buffer or game folder compared with the "
                  "stream at its place; files the hand-off replaced during the run count by "
                  "their size only. curl runs as below, alternating with it, its file in the "
                  "same work folder. The stream: %d s of 320 kbit/s MP3 (a tone over pink noise "
                  "made by ffmpeg with libmp3lame, whole frames only) sent over and over, so "
                  "that the program's frame reader cuts the files at frame boundaries as for a "
                  "real station.\n",
                  Mp3LoopSeconds)
        << "- The station is a small program of the bench in its own process: it answers "
           "\"ICY 200 OK\", icy- headers and a blank line, then sends the audio (the MP3 "
           "above, looped; the latency row sends a repeating pseudo-random block) in writes "
           "of up to 1 MiB; the same station "
           "serves curl and Tavrix. Both clients' files are checked byte for byte "
           "against what was sent. With --http0.9 curl stores the whole response, so "
           "its file also holds the "
        << stationHeader(StationOptions(), false).size()
        << "-byte header block. The files of earlier runs are emptied and the disk "
           "synced just before each client's stream begins (curl's start; the click on "
           "Start once the window is ready): this VM hands memory that stays free for a "
           "few seconds back to its host, and writing into it again costs a fault in the "
           "host per page (1 GiB written 10 s after 1 GiB was freed: 3.5 s of system "
           "time; at once: 0.25 s), so both clients get memory freed a moment before, as "
           "on a machine without such a host. The emptied files are removed only when the "
           "benchmark ends, because ext4 without a journal searches past every recently "
           "freed inode when it creates a file, and removing a thousand files after "
           "every run made later runs slower and slower.\n"
           "- curl: `curl --http0.9 -s -o FILE -w '%{time_total}' http://127.0.0.1:PORT/`; "
           "MiB/s from curl's own transfer time, CPU from wait4() (user + system, "
           "including curl's start-up).\n"
           "- Tavrix: a fresh bench process builds the main window `frmMain` offscreen "
           "with the real socket module libtavrixsck.so, chooses the game and buffer "
           "folders through its buttons, picks DSL mode and clicks \"Start Buffering\". "
           "Time and CPU (getrusage, whole process) run from the click until the stream "
           "session reports that the connection was lost (its \"reconnecting\" signal, "
           "which the status line shows as \"Connection to ... lost\"; the station closed "
           "it after the audio; the session is then cancelled before reconnecting). The "
           "hand-off timer "
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
           "ticks). One warm-up start is not counted.\n"
        << format(
               "- Titles: a second station answers \"icy-metaint: %zu\" to the request's "
               "\"Icy-MetaData: 1\" (Tavrix always asks) and sends a title block "
               "(\"StreamTitle='...';StreamUrl='...';\", padded to a multiple of 16 bytes) after "
               "every %zu audio bytes; the title changes every 256 blocks. Each run streams "
               "the same audio once from each station, alternating which goes first (the "
               "second stream of a run comes out a few percent slower whichever it is, so the "
               "row has an even number of runs, each order equally often); the buffer files "
               "must hold the audio without the blocks, byte for byte, and the window must "
               "have been told of the titles. The ratio is the untitled run's time over the "
               "titled run's. The station sends the titled stream in gathered writes straight "
               "from its audio, as it sends the untitled one, so that its own work is the same "
               "for both.\n",
               TitleInterval, TitleInterval)
        << "- TLS: the station wraps each connection in TLS (OpenSSL) with a P-256 certificate "
           "made for the run by `openssl req -x509`; its SHA-256 fingerprint goes into the "
           "bench home's settings under [Certificates] for 127.0.0.1:PORT, as the window "
           "stores a certificate the user trusted. Tavrix plays https://127.0.0.1:PORT; "
           "curl runs with --http0.9 -k. Both checked byte for byte as above.\n"
        << format("- Conversion: ffmpeg makes %d s of a 440 Hz tone over soft pink noise as "
                  "128 kbit/s AAC (ADTS) once; the station sends it over and over as "
                  "\"content-type: audio/aac\" without icy-br (so Tavrix encodes 192 kbit/s MP3), "
                  "paced to %gx the file's "
                  "bytes per second of audio in 20 writes a second, until %g min of audio are "
                  "sent. Tavrix converts it in DSL mode and the hand-off moves the files as in "
                  "normal use; the run ends when the loss is reported and the converter has "
                  "written everything (the session's wait before reconnecting is stretched so "
                  "that no second stream begins); every file, handed off or left, is appended to "
                  "one file that "
                  "ffprobe must read as 44.1 kHz MP3 playing the whole time sent (within 2 s or "
                  "0.1 %%). "
                  "CPU per hour of audio = Tavrix's process CPU (getrusage) from the click to "
                  "the reported loss / hours of audio sent: at %gx the run is %g times shorter "
                  "than the audio, and the CPU is what converting all of it costs. VmRSS and "
                  "RssAnon growth from just before the click to after the session's end (the "
                  "difference between the two is mostly the converter's libraries' code, "
                  "mapped when first used), and from the end of the first twelfth of the "
                  "stream, when the converter runs, to the end.\n",
                  AacFileSeconds, m_config.speed, m_config.audioMinutes, m_config.speed,
                  m_config.speed)
        << format("- Integrity: the station sends the pattern paced at %.0f MiB/s; the "
                  "window's hand-off timer tmrMain ticks every %d ms instead of every second "
                  "so that the hand-off keeps up (at most %d MiB may wait in the buffer "
                  "folder, looked at every 100 ms, or the run fails). Every file is checked "
                  "against the stream at the offset where the previous one ended, at the "
                  "moment it is moved into the game folder; the files left in the buffer "
                  "folder at the end are checked after it. The files' order is the buffer "
                  "files' numbering; no byte may be lost, repeated, reordered or changed.\n",
                  IntegrityBytesPerSecond / MiB, IntegrityHandOffMs, IntegrityMaxBufferMiB);
    return out.str();
}

void writeResults(const std::string &path, const std::string &latest)
{
    std::string history = "## History\n\nNo earlier runs recorded.\n";
    {
        std::ifstream file(path);
        const std::string old((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
        // The real-time section (bench/realtime) and the history stay.
        std::size_t at = old.find("\n## Real-time station");
        if (at == std::string::npos)
            at = old.find("\n## History");
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
        // Some rows alone do not replace the latest full run.
        if (!config.results.empty() && config.only.empty()) {
            writeResults(config.results, latest);
            progress("written to " + config.results);
        } else if (!config.results.empty()) {
            progress("only some rows were measured: " + config.results + " is left as it is");
        }
        return 0;
    } catch (const std::exception &e) {
        std::cerr << "bench: " << e.what() << std::endl;
        return 1;
    }
}
