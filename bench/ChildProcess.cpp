// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChildProcess.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::int64_t monotonicNanos()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::map<std::string, std::string> ChildRun::values() const
{
    std::map<std::string, std::string> result;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto space = line.find(' ');
        if (space != std::string::npos)
            result[line.substr(0, space)] = line.substr(space + 1);
    }
    return result;
}

double ChildRun::number(const std::string &key) const
{
    const auto all = values();
    const auto it = all.find(key);
    if (it == all.end())
        throw std::runtime_error("the child printed no \"" + key + "\":\n" + output);
    return std::stod(it->second);
}

ChildRun runChild(std::vector<std::string> argv, const std::string &startNanosArg)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe() failed");

    ChildRun run;
    run.startNanos = monotonicNanos();
    for (std::string &arg : argv) {
        if (!startNanosArg.empty() && arg == startNanosArg)
            arg = std::to_string(run.startNanos);
    }
    std::vector<char *> args;
    for (std::string &arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork() failed");
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        run.output.append(buffer, std::size_t(n));
    }
    ::close(pipeFds[0]);

    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("wait4() failed");
    }
    run.wallSeconds = double(monotonicNanos() - run.startNanos) / 1e9;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
