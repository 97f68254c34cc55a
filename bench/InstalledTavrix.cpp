// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstalledTavrix.h"

#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Where the controls are in the main window (its layout is fixed, in
// pixels from the window's top left corner).
constexpr const char *AddressBox[] = {"100", "169"};    // txtURL
constexpr const char *DslMode[] = {"20", "258"};        // optDSL
constexpr const char *AutoStartGame[] = {"200", "484"}; // chkStart
constexpr const char *StartButton[] = {"392", "484"};   // cmdStart

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

// utime and stime of every thread the process has had, from /proc/PID/stat
// (fields 14 and 15, in clock ticks).
struct ProcessCpu
{
    double user = 0;
    double system = 0;
};

ProcessCpu processCpu(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    ProcessCpu cpu;
    const double hz = double(::sysconf(_SC_CLK_TCK));
    // The fields after the name begin with field 3 (state).
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            cpu.user = std::stod(field) / hz;
        else if (i == 15)
            cpu.system = std::stod(field) / hz;
    }
    return cpu;
}

// The time the process's current threads have run, from their schedstat
// (nanoseconds, not rounded to clock ticks).
double threadsRunSeconds(pid_t pid)
{
    double nanos = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const fs::directory_entry &task : fs::directory_iterator(tasks, error)) {
        std::ifstream file(task.path() / "schedstat");
        double ran = 0;
        if (file >> ran)
            nanos += ran;
    }
    return nanos / 1e9;
}

std::string xdotool(const std::vector<std::string> &args)
{
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    const ChildRun run = runChild(argv);
    if (run.exitCode != 0)
        throw std::runtime_error("xdotool " + args.front() + " failed");
    return run.output.substr(0, run.output.find('\n'));
}

void click(const std::string &window, const char *const at[2])
{
    xdotool({"mousemove", "--sync", "--window", window, at[0], at[1], "click", "1"});
}

// The number a buffer file's name begins with; -1 for other names.
long long bufferNumber(const std::string &name)
{
    const std::string suffix = "_strm.mp3";
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return -1;
    const std::string digits = name.substr(0, name.size() - suffix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoll(digits);
}

// The program in a process of its own, with the run's home folder; killed
// with the object.
class ProgramProcess
{
public:
    ProgramProcess(const InstalledRunSetup &setup, const std::string &home,
                   const std::string &runtime)
    {
        const std::string log = setup.folder + "/tavrix.log";
        m_pid = ::fork();
        if (m_pid < 0)
            throw std::runtime_error("fork() failed");
        if (m_pid == 0) {
            ::setenv("HOME", home.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
            ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
            ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            ::setenv("DISPLAY", setup.display.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                ::dup2(out, 1);
                ::dup2(out, 2);
            }
            std::signal(SIGTERM, SIG_DFL);
            ::execl(setup.program.c_str(), setup.program.c_str(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
    }
    ~ProgramProcess()
    {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    ProgramProcess(const ProgramProcess &) = delete;
    ProgramProcess &operator=(const ProgramProcess &) = delete;

    pid_t pid() const { return m_pid; }
    bool running() const { return ::waitpid(m_pid, nullptr, WNOHANG) == 0; }

private:
    pid_t m_pid = -1;
};

// Watches the buffer folder and the game folder with inotify and keeps the
// size of every buffer file the program finished: at its close, or, when the
// hand-off moved it before it could be looked at, in the game folder.
class FolderWatch
{
public:
    FolderWatch(const std::string &bufferFolder, const std::string &gameFolder)
        : m_bufferFolder(bufferFolder)
        , m_gameFolder(gameFolder)
        , m_fd(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK))
    {
        if (m_fd < 0)
            throw std::runtime_error("inotify_init1() failed");
        m_buffer = ::inotify_add_watch(m_fd, bufferFolder.c_str(), IN_CLOSE_WRITE | IN_MOVED_FROM);
        m_game = ::inotify_add_watch(m_fd, gameFolder.c_str(), IN_MOVED_TO);
        if (m_buffer < 0 || m_game < 0)
            throw std::runtime_error("cannot watch the run's folders");
    }
    ~FolderWatch() { ::close(m_fd); }
    FolderWatch(const FolderWatch &) = delete;
    FolderWatch &operator=(const FolderWatch &) = delete;

    // Reads the events that arrive within `timeoutMs`.
    void wait(int timeoutMs)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return;
        alignas(inotify_event) char events[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(m_fd, events, sizeof events);
            if (n <= 0)
                return;
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(events + at);
                take(*event);
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

    std::uint64_t finishedBytes() const { return m_finishedBytes; }
    const std::map<long long, std::uint64_t> &sizes() const { return m_sizes; }
    // The buffer file each game file holds now, by the game file's name.
    const std::map<std::string, long long> &gameFiles() const { return m_gameFiles; }
    int moves() const { return m_moves; }

private:
    void take(const inotify_event &event)
    {
        const std::string name = event.len ? event.name : "";
        if (event.wd == m_buffer && (event.mask & IN_CLOSE_WRITE)) {
            const long long number = bufferNumber(name);
            struct stat info
            {
            };
            if (number >= 0 && ::stat((m_bufferFolder + "/" + name).c_str(), &info) == 0)
                record(number, std::uint64_t(info.st_size));
        } else if (event.wd == m_buffer && (event.mask & IN_MOVED_FROM)) {
            m_movedFrom[event.cookie] = bufferNumber(name);
        } else if (event.wd == m_game && (event.mask & IN_MOVED_TO)) {
            const auto from = m_movedFrom.find(event.cookie);
            if (from == m_movedFrom.end() || from->second < 0)
                return;
            ++m_moves;
            m_gameFiles[name] = from->second;
            struct stat info
            {
            };
            if (m_sizes.count(from->second) == 0 &&
                ::stat((m_gameFolder + "/" + name).c_str(), &info) == 0)
                record(from->second, std::uint64_t(info.st_size));
            m_movedFrom.erase(from);
        }
    }

    void record(long long number, std::uint64_t size)
    {
        auto &known = m_sizes[number];
        m_finishedBytes += size - known;
        known = size;
    }

    std::string m_bufferFolder;
    std::string m_gameFolder;
    int m_fd;
    int m_buffer = -1;
    int m_game = -1;
    std::uint64_t m_finishedBytes = 0;
    std::map<long long, std::uint64_t> m_sizes;
    std::map<std::uint32_t, long long> m_movedFrom;
    std::map<std::string, long long> m_gameFiles;
    int m_moves = 0;
};

} // namespace

InstalledRun runInstalledTavrix(const InstalledRunSetup &setup, const StreamPattern &pattern)
{
    const std::string home = setup.folder + "/home";
    const std::string buffer = setup.folder + "/buffer";
    const std::string game = setup.folder + "/gta3/mp3";
    for (const std::string &folder :
         {home + "/.config/TAVRIX", home + "/.cache", home + "/.local/share", buffer, game})
        fs::create_directories(folder);
    // The runtime folder holds the program's single-instance socket, whose
    // path must stay short.
    char runtimeTemplate[] = "/tmp/tavrix-bench-XXXXXX";
    if (!::mkdtemp(runtimeTemplate))
        throw std::runtime_error("cannot make a runtime folder in /tmp");
    const std::string runtime = runtimeTemplate;
    struct RemoveAtEnd
    {
        std::string folder;
        ~RemoveAtEnd() { fs::remove_all(folder); }
    } removeRuntime{runtime};
    // The game folder as the program leaves it once chosen: a report that
    // lists exactly its two files.
    writeFile(game + "/MP3Report.txt", "MP3 Report File\r\n\r\n"
                                       "\".\" - not an MP3 or supported MP3 type\r\n"
                                       "\"..\" - not an MP3 or supported MP3 type\r\n"
                                       "\"MP3Report.txt\" - not an MP3 or supported MP3 type\r\n"
                                       "\"Tavrix_00.mp3\" - OK\r\n"
                                       "\"Tavrix_01.mp3\" - OK\r\n\r\n"
                                       "TOTAL SUPPORTED MP3s: 2\r\n");
    writeFile(home + "/.config/TAVRIX/TAVRIX.conf", "[Settings]\nBufferPath=" + buffer +
                                                        "/\nRadioPath=" + game +
                                                        "/\nDiscoveryAsked=1\n");

    ProgramProcess program(setup, home, runtime);
    std::string window;
    for (int i = 0; i < 300 && window.empty(); ++i) {
        if (!program.running())
            throw std::runtime_error("the installed program ended at start-up; see " +
                                     setup.folder + "/tavrix.log");
        const ChildRun found = runChild({"xdotool", "search", "--onlyvisible", "--pid",
                                         std::to_string(program.pid()), "--name", "^Tavrix$"});
        if (found.exitCode == 0 && !found.output.empty())
            window = found.output.substr(0, found.output.find('\n'));
        else
            ::usleep(100000);
    }
    if (window.empty())
        throw std::runtime_error("the installed program showed no main window");
    // As a user would: the address typed into its box, DSL mode, no game.
    ::usleep(300000);
    click(window, AddressBox);
    xdotool({"key", "ctrl+a"});
    xdotool({"type", "--delay", "2", setup.address});
    click(window, DslMode);
    click(window, AutoStartGame);
    ::usleep(300000);

    if (setup.justBeforeStart)
        setup.justBeforeStart();
    FolderWatch watch(buffer, game);
    InstalledRun run;
    const ProcessCpu cpuBefore = processCpu(program.pid());
    const double exactBefore = threadsRunSeconds(program.pid());
    const std::int64_t start = monotonicNanos();
    click(window, StartButton);
    // A run that has finished no file after a minute has failed (a message
    // box waits for an answer, say).
    const std::int64_t deadline = start + std::int64_t(setup.timeoutSeconds * 1e9);
    const std::int64_t firstFileDeadline = start + std::int64_t(60e9);
    while (watch.finishedBytes() < setup.audioBytes && monotonicNanos() < deadline &&
           (watch.finishedBytes() > 0 || monotonicNanos() < firstFileDeadline) && program.running())
        watch.wait(100);
    const std::int64_t end = monotonicNanos();
    const ProcessCpu cpuAfter = processCpu(program.pid());
    run.userSeconds = cpuAfter.user - cpuBefore.user;
    run.cpuSeconds = run.userSeconds + cpuAfter.system - cpuBefore.system;
    run.cpuExactSeconds = threadsRunSeconds(program.pid()) - exactBefore;
    // Held where it is, so that what it wrote can be checked as it stands
    // (it would reconnect and write on).
    ::kill(program.pid(), SIGSTOP);
    watch.wait(0);
    run.seconds = double(end - start) / 1e9;
    if (watch.finishedBytes() != setup.audioBytes)
        throw std::runtime_error("the installed program's finished buffer files hold " +
                                 std::to_string(watch.finishedBytes()) + " of " +
                                 std::to_string(setup.audioBytes) + " bytes; see " + setup.folder +
                                 "/tavrix.log");

    // The files, numbered from 0 without a gap, are the stream in order;
    // those still in a folder are compared with it byte for byte.
    std::map<long long, std::uint64_t> offsets;
    std::uint64_t offset = 0;
    long long expected = 0;
    for (const auto &[number, size] : watch.sizes()) {
        if (number != expected++)
            throw std::runtime_error("buffer file " + std::to_string(expected - 1) + " is missing");
        offsets[number] = offset;
        offset += size;
    }
    run.files = int(watch.sizes().size());
    run.handedOff = watch.moves();
    // A file of the DSL mode holds 1024 KB, give or take one frame.
    if (run.files > 2 && watch.sizes().begin()->second < 1000 * 1024)
        throw std::runtime_error("the buffer files are not of the DSL mode's size");
    const auto check = [&](const std::string &path, long long number) {
        std::uint64_t size = 0;
        const std::string problem = pattern.checkFile(path, offsets.at(number), &size);
        if (!problem.empty() || size != watch.sizes().at(number))
            throw std::runtime_error(problem.empty() ? path + " changed size" : problem);
        run.checkedBytes += size;
    };
    for (const fs::directory_entry &entry : fs::directory_iterator(buffer)) {
        const long long number = bufferNumber(entry.path().filename().string());
        if (number >= 0 && offsets.count(number))
            check(entry.path().string(), number);
    }
    for (const auto &[name, number] : watch.gameFiles()) {
        if (fs::exists(game + "/" + name))
            check(game + "/" + name, number);
    }
    return run;
}
