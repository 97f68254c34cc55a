// SPDX-License-Identifier: GPL-3.0-or-later
#include "TavrixScenarios.h"

#include "StreamPattern.h"
#include "app/ProgramEntry.h"
#include "audio/AudioPipeline.h"
#include "bufferfiles/BufferFolder.h"
#include "game/GameFolder.h"
#include "handoff/FileOperations.h"
#include "settings/Settings.h"
#include "station/StreamSession.h"
#include "ui/frmMain.h"
#include "ui/frmStart.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

std::string option(const ScenarioOptions &options, const std::string &key)
{
    const auto it = options.find(key);
    if (it == options.end())
        throw std::runtime_error("missing option --" + key);
    return it->second;
}

std::string optionOr(const ScenarioOptions &options, const std::string &key,
                     const std::string &fallback)
{
    const auto it = options.find(key);
    return it == options.end() ? fallback : it->second;
}

QString qOption(const ScenarioOptions &options, const std::string &key)
{
    return QString::fromStdString(option(options, key));
}

// Settings, the default buffer folder and the data folder (report copies, the
// trash) go to the bench's own home folder, never to the user's; this must
// happen before the application exists.
void useBenchHome(const QString &home)
{
    const QString runtime = home + QStringLiteral("/.runtime");
    QDir().mkpath(home + QStringLiteral("/.config"));
    QDir().mkpath(home + QStringLiteral("/.cache"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/.cache")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The main window's control of that object name.
template <typename Control> Control *control(const QWidget &window, const char *name)
{
    Control *found = window.findChild<Control *>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("the main window has no control ") + name);
    return found;
}

std::int64_t nanosOf(clockid_t clock)
{
    timespec t{};
    ::clock_gettime(clock, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A "VmRSS:"-style line of /proc/self/status, in KiB.
long long procStatusKiB(const std::string &key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0)
            return std::stoll(line.substr(key.size() + 1));
    }
    return -1;
}

void print(const char *key, double value)
{
    std::printf("%s %.6f\n", key, value);
}

// Message boxes are answered OK and recorded; an unexpected one ends the
// measurement as a failure. Folder pickers answer from a queue.
class BenchDialogs final : public Dialogs
{
public:
    MessageAnswer showMessage(QWidget *, MessageIcon, MessageButtons, const QString &,
                              const QString &text) override
    {
        messages << text;
        return MessageAnswer::Ok;
    }
    QString pickFolder(QWidget *, const QString &, const QString &) override
    {
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    int chooseItem(QWidget *, const QString &, const QString &, const QStringList &) override
    {
        return -1;
    }

    QStringList folders;
    QStringList messages;
};

// No document or game is ever opened by a bench run.
class QuietShell final : public Shell
{
public:
    void OpenDocument(const QString &) override {}
    LaunchResult launchProgram(const QString &, const QString &) override
    {
        return {false, QStringLiteral("the bench starts no game")};
    }
};

// The real file system; the hand-off's moves are recorded with the moved
// file's size and the moment the move was done.
class WatchedFileOperations final : public FileOperations
{
public:
    struct Move
    {
        QString from;
        QString to;
        qint64 size;
        std::int64_t nanos;
    };

    bool exists(const QString &path) const override { return m_disk.exists(path); }
    bool remove(const QString &path, QString *error) override { return m_disk.remove(path, error); }
    Replaced replace(const QString &from, const QString &to, QString *error) override
    {
        const qint64 size = QFileInfo(from).size();
        const Replaced result = m_disk.replace(from, to, error);
        if (result != Replaced::Yes)
            return result;
        moves.push_back({from, to, size, nanosOf(CLOCK_MONOTONIC)});
        if (moved)
            moved(moves.back());
        return result;
    }
    bool copy(const QString &from, const QString &to, QString *error) override
    {
        return m_disk.copy(from, to, error);
    }

    std::vector<Move> moves;
    // Called after each move, while the moved file is in the game folder.
    std::function<void(const Move &)> moved;

private:
    DiskFileOperations m_disk;
};

// A main window with a game folder (holding MP3Report.txt) and an empty
// buffer folder chosen through its buttons, shown offscreen.
class BenchSession
{
public:
    BenchSession(const QString &work, const QString &address)
        : gameFolder(work + QStringLiteral("/gta3/mp3/"))
        , bufferFolder(work + QStringLiteral("/buffer/"))
        , address(address)
    {
        QDir().mkpath(gameFolder);
        QDir().mkpath(bufferFolder);
        QFile report(gameFolder + QStringLiteral("MP3Report.txt"));
        if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate) || report.write("x\r\n") != 3)
            throw std::runtime_error("cannot write the game folder's report file");
        report.close();

        // No home folder: no installed game is looked for or offered.
        const PlatformServices services{&dialogs,
                                        &shell,
                                        &files,
                                        QCoreApplication::applicationDirPath(),
                                        socketModuleIn(QCoreApplication::applicationDirPath()),
                                        Settings::defaultFilePath(),
                                        QString(),
                                        QProcessEnvironment()};
        window = std::make_unique<frmMain>(services);
        dialogs.folders << gameFolder << bufferFolder;
        button("cmdGTAfolder")->click();
        button("cmdTemporary")->click();
        if (control<QLineEdit>(*window, "txtRadioPath")->text() != gameFolder.toLower() ||
            control<QLineEdit>(*window, "txtBufferPath")->text() != bufferFolder.toLower())
            throw std::runtime_error("the bench folders were not taken by the main window");
        dialogs.messages.clear();
        control<QLineEdit>(*window, "txtURL")->setText(address);

        window->show();
        waitFor([this] { return window->windowHandle() && window->windowHandle()->isExposed(); },
                10.0, 5);
        // Let the first paint and anything queued by the load settle before
        // measuring.
        settle(300);
    }

    QPushButton *button(const char *name) const { return control<QPushButton>(*window, name); }
    QString status() const { return control<QLabel>(*window, "lblStatus")->text(); }
    void useDsl() { control<QRadioButton>(*window, "optDSL")->click(); }
    void useCustom128()
    {
        control<QRadioButton>(*window, "optCustom")->click();
        control<QComboBox>(*window, "cmbBuffer")->setCurrentIndex(0);
    }

    // Runs the event loop until done() holds, a message box was shown or the
    // time is up; done() is checked every pollMs. Returns done().
    bool waitFor(const std::function<bool()> &done, double timeoutSeconds, int pollMs)
    {
        QEventLoop loop;
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        const std::int64_t deadline = nanosOf(CLOCK_MONOTONIC) + std::int64_t(timeoutSeconds * 1e9);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done() || !dialogs.messages.isEmpty() || nanosOf(CLOCK_MONOTONIC) > deadline)
                loop.quit();
        });
        poll.start(pollMs);
        if (!done())
            loop.exec();
        return done();
    }

    void settle(int ms)
    {
        const std::int64_t until = nanosOf(CLOCK_MONOTONIC) + std::int64_t(ms) * 1000000;
        waitFor([until] { return nanosOf(CLOCK_MONOTONIC) >= until; }, 60.0, 5);
    }

    std::string failure() const
    {
        if (!dialogs.messages.isEmpty())
            return "message box: " + dialogs.messages.join(QStringLiteral(" | ")).toStdString();
        return "status line: " + status().toStdString();
    }

    // Checks that the handed-off files and the ones left in the buffer folder
    // are, in order, the whole sequence of buffer files; `leftOver` checks
    // (or takes) each file left in the buffer folder, given the bytes
    // before it, and returns its size or throws. Returns the total.
    std::uint64_t
    verifyStream(const std::function<std::uint64_t(const QString &, std::uint64_t)> &leftOver,
                 int *fileCount) const
    {
        std::uint64_t total = 0;
        quint32 counter = 0;
        for (const WatchedFileOperations::Move &move : files.moves) {
            if (move.from != bufferFolder + BufferFolder::fileNameFor(counter))
                throw std::runtime_error("handed off out of order: " + move.from.toStdString());
            total += std::uint64_t(move.size);
            ++counter;
        }
        for (;;) {
            const QString path = bufferFolder + BufferFolder::fileNameFor(counter);
            if (!QFileInfo::exists(path))
                break;
            total += leftOver(path, total);
            ++counter;
        }
        const qsizetype listed =
            QDir(bufferFolder).entryList({QStringLiteral("*.mp3")}, QDir::Files).size();
        if (std::uint64_t(listed) + files.moves.size() != counter)
            throw std::runtime_error("the buffer folder holds files outside the sequence");
        *fileCount = int(counter);
        return total;
    }

    // The bytes the buffer folder holds now.
    std::uint64_t bufferedBytes() const
    {
        std::uint64_t bytes = 0;
        const QFileInfoList entries = QDir(bufferFolder).entryInfoList(QDir::Files);
        for (const QFileInfo &entry : entries)
            bytes += std::uint64_t(entry.size());
        return bytes;
    }

    BenchDialogs dialogs;
    QuietShell shell;
    WatchedFileOperations files;
    QString gameFolder;
    QString bufferFolder;
    QString address;
    std::unique_ptr<frmMain> window;
};

} // namespace

int runStreamScenario(int argc, char **argv, const ScenarioOptions &options)
{
    useBenchHome(qOption(options, "home"));
    QApplication app(argc, argv);

    const QString port = qOption(options, "port");
    const QString scheme = QString::fromStdString(optionOr(options, "scheme", "http"));
    const QString trust = QString::fromStdString(optionOr(options, "trust", ""));
    if (!trust.isEmpty()) {
        // As the window stores a certificate the user chose to trust.
        Settings settings(Settings::defaultFilePath());
        settings.setTrustedCertificate(
            StreamSession::hostPort(QStringLiteral("127.0.0.1"), quint16(port.toUInt())), trust);
        if (!settings.sync())
            throw std::runtime_error("cannot write the bench's settings");
    }
    BenchSession session(qOption(options, "work"), scheme + QStringLiteral("://127.0.0.1:") + port);
    if (option(options, "size") == "128")
        session.useCustom128();
    else
        session.useDsl();
    const int handOffMs = std::stoi(optionOr(options, "handoff-ms", "1000"));
    session.window->findChild<QTimer *>(QStringLiteral("tmrMain"))->setInterval(handOffMs);
    const std::uint64_t maxBuffered = std::stoull(optionOr(options, "max-buffer-mib", "0")) << 20;
    const double warmUp = std::stod(optionOr(options, "warm-up", "0"));

    StreamSession *streamSession = session.window->findChild<StreamSession *>();
    if (!streamSession || !streamSession->audio())
        throw std::runtime_error("the main window has no stream session with an audio path");
    // The wait before reconnecting is stretched, so that audio still being
    // converted when the station ends is written before the session is
    // cancelled, and never followed by a second stream.
    streamSession->setReconnectScale(1000);
    int titles = 0;
    QObject::connect(streamSession->audio(), &AudioPipeline::titleChanged, [&titles] { ++titles; });

    // What becomes of the files: "pattern" checks the buffer files left at
    // the end against the stream (the moved ones only count), "moves" also
    // checks every file as it reaches the game folder, "capture FILE"
    // appends every file, moved or left, to FILE.
    const std::string check = optionOr(options, "check", "pattern");
    const std::string capturePath = optionOr(options, "capture", "");
    const StreamPattern pattern(optionOr(options, "audio", ""));
    std::ofstream capture;
    if (check == "capture") {
        capture.open(capturePath, std::ios::binary | std::ios::trunc);
        if (!capture)
            throw std::runtime_error("cannot write " + capturePath);
    }
    const auto append = [&capture](const QString &path) {
        const std::uint64_t size = std::uint64_t(QFileInfo(path).size());
        // Inserting an empty stream buffer counts as a failure.
        if (size > 0) {
            std::ifstream in(path.toStdString(), std::ios::binary);
            capture << in.rdbuf();
        }
        if (!capture)
            throw std::runtime_error("cannot append to the capture file");
        return size;
    };
    std::uint64_t movedChecked = 0;
    std::string moveProblem;
    if (check == "moves") {
        session.files.moved = [&](const WatchedFileOperations::Move &move) {
            std::uint64_t size = 0;
            const std::string problem =
                pattern.checkFile(move.to.toStdString(), movedChecked, &size);
            if (moveProblem.empty() && (!problem.empty() || size != std::uint64_t(move.size)))
                moveProblem = problem.empty() ? "a moved file changed size" : problem;
            movedChecked += std::uint64_t(move.size);
        };
    } else if (check == "capture") {
        session.files.moved = [&](const WatchedFileOperations::Move &move) { append(move.to); };
    }

    // Tavrix reconnects to a station that ends after its audio: the bench's
    // stream is over once the loss is reported (the window's status line
    // says so, though the hand-off may write over it later) and the audio
    // converted so far is written; the session is then cancelled before
    // the first new attempt.
    bool lostReported = false;
    QObject::connect(streamSession, &StreamSession::reconnecting,
                     [&lostReported] { lostReported = true; });
    const auto lost = [&] { return lostReported && !streamSession->audio()->isFinishing(); };
    const double timeout = std::stod(option(options, "timeout"));

    const long long rssBefore = procStatusKiB("VmRSS");
    const long long anonBefore = procStatusKiB("RssAnon");
    long long rssWarm = -1;
    long long anonWarm = -1;
    std::uint64_t maxSeen = 0;
    std::int64_t nextLook = 0;
    const double cpuBefore = cpuSeconds();
    const std::int64_t start = nanosOf(CLOCK_MONOTONIC);
    session.button("cmdStart")->click();
    const bool ended = session.waitFor(
        [&] {
            const std::int64_t now = nanosOf(CLOCK_MONOTONIC);
            if (warmUp > 0 && rssWarm < 0 && now - start >= std::int64_t(warmUp * 1e9)) {
                rssWarm = procStatusKiB("VmRSS");
                anonWarm = procStatusKiB("RssAnon");
            }
            if (maxBuffered > 0 && now >= nextLook) {
                nextLook = now + 100000000;
                maxSeen = std::max(maxSeen, session.bufferedBytes());
                if (maxSeen > maxBuffered)
                    return true;
            }
            return lost();
        },
        timeout, 2);
    const std::int64_t end = nanosOf(CLOCK_MONOTONIC);
    const double cpuAfter = cpuSeconds();
    if (ended)
        session.button("cmdStart")->click();
    if (maxBuffered > 0 && maxSeen > maxBuffered) {
        std::fprintf(stderr, "stream: the buffer folder grew to %llu MiB\n",
                     static_cast<unsigned long long>(maxSeen >> 20));
        return 1;
    }
    if (!ended) {
        std::fprintf(stderr, "stream: the stream did not end as expected; %s\n",
                     session.failure().c_str());
        return 1;
    }
    // Deferred deletions of the closed connection are part of "after".
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const long long rssAfter = procStatusKiB("VmRSS");
    const long long anonAfter = procStatusKiB("RssAnon");
    const long long hwm = procStatusKiB("VmHWM");

    int fileCount = 0;
    std::uint64_t audio = 0;
    try {
        if (!moveProblem.empty())
            throw std::runtime_error(moveProblem);
        audio = session.verifyStream(
            [&](const QString &path, std::uint64_t offset) {
                if (check == "capture")
                    return append(path);
                std::uint64_t size = 0;
                const std::string problem = pattern.checkFile(path.toStdString(), offset, &size);
                if (!problem.empty())
                    throw std::runtime_error(problem);
                return size;
            },
            &fileCount);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "stream: %s\n", e.what());
        return 1;
    }

    print("seconds", double(end - start) / 1e9);
    print("cpu_seconds", cpuAfter - cpuBefore);
    print("rss_before_kib", double(rssBefore));
    print("rss_after_kib", double(rssAfter));
    print("rss_warm_kib", double(rssWarm));
    print("hwm_kib", double(hwm));
    print("rss_anon_growth_kib", double(anonAfter - anonBefore));
    print("rss_anon_warm_growth_kib", double(anonAfter - anonWarm));
    print("audio_bytes", double(audio));
    print("moved_bytes_checked", double(movedChecked));
    print("max_buffered_bytes", double(maxSeen));
    print("files", fileCount);
    print("handed_off", double(session.files.moves.size()));
    print("titles", titles);
    std::fflush(stdout);
    return 0;
}

int runLatencyScenario(int argc, char **argv, const ScenarioOptions &options)
{
    useBenchHome(qOption(options, "home"));
    QApplication app(argc, argv);

    BenchSession session(qOption(options, "work"),
                         QStringLiteral("127.0.0.1:") + qOption(options, "port"));
    session.useCustom128();
    const QString secondFile = session.bufferFolder + BufferFolder::fileNameFor(1);
    const QString firstGameFile = GameFolder::gameFileNames(session.gameFolder)[0];
    const double timeout = std::stod(option(options, "timeout"));

    std::int64_t firstFinished = 0;
    const auto handedOff = [&] {
        if (firstFinished == 0 && QFileInfo::exists(secondFile))
            firstFinished = nanosOf(CLOCK_MONOTONIC);
        return !session.files.moves.empty();
    };
    const std::int64_t start = nanosOf(CLOCK_MONOTONIC);
    session.button("cmdStart")->click();
    const bool done = session.waitFor(handedOff, timeout, 5);
    if (!done || session.files.moves.front().to != firstGameFile ||
        !QFileInfo::exists(firstGameFile)) {
        std::fprintf(stderr, "latency: no file reached the game folder; %s\n",
                     session.failure().c_str());
        return 1;
    }
    const std::int64_t handOff = session.files.moves.front().nanos;
    // Stop as the user would.
    session.button("cmdStart")->click();
    session.settle(50);

    print("first_file_finished_s", firstFinished ? double(firstFinished - start) / 1e9 : -1.0);
    print("first_handoff_s", double(handOff - start) / 1e9);
    print("first_file_bytes", double(session.files.moves.front().size));
    std::fflush(stdout);
    return 0;
}

namespace {

// Notes when the main window is first shown and first painted, then closes
// it through its own close path, which ends the program.
class StartupWatcher final : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (painted == 0 && watched->isWidgetType() &&
            watched->objectName() == QStringLiteral("frmMain")) {
            if (event->type() == QEvent::Show && shown == 0) {
                shown = nanosOf(CLOCK_MONOTONIC);
            } else if (event->type() == QEvent::Paint) {
                painted = nanosOf(CLOCK_MONOTONIC);
                paintedBoot = nanosOf(CLOCK_BOOTTIME);
                auto *window = static_cast<QWidget *>(watched);
                QTimer::singleShot(0, window, [window] { window->close(); });
            }
        }
        return QObject::eventFilter(watched, event);
    }

    std::int64_t shown = 0;
    std::int64_t painted = 0;
    std::int64_t paintedBoot = 0;
};

// The process's start as the kernel recorded it (/proc/self/stat field 22,
// clock ticks since boot), in nanoseconds of CLOCK_BOOTTIME.
std::int64_t processStartBootNanos()
{
    std::ifstream file("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    // The fields after the name begin with field 3 (state).
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return std::stoll(field) * (1000000000 / ticks);
}

} // namespace

int runStartupScenario(int argc, char **argv, const ScenarioOptions &options)
{
    const std::int64_t forked = std::stoll(option(options, "fork-ns"));
    useBenchHome(qOption(options, "home"));
    StartupWatcher watcher;

    // From here on as the program's entry does it.
    QApplication app(argc, argv);
    app.installEventFilter(&watcher);
    setUpApplication();
    ProductionPlatform platform;
    frmStart start(platform.services());
    QTimer::singleShot(30000, &app, [] { QCoreApplication::exit(2); });
    const int code = QApplication::exec();
    if (code != 0 || watcher.painted == 0) {
        std::fprintf(stderr, "startup: the main window was not shown (exit code %d)\n", code);
        return 1;
    }
    print("shown_ms", double(watcher.shown - forked) / 1e6);
    print("painted_ms", double(watcher.painted - forked) / 1e6);
    print("painted_since_process_start_ms",
          double(watcher.paintedBoot - processStartBootNanos()) / 1e6);
    std::fflush(stdout);
    return 0;
}
