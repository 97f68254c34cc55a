// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchStation.h"

#include "StreamPattern.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr char IcyHeader[] = "ICY 200 OK\r\n"
                             "icy-notice1:<BR>This stream requires a player<BR>\r\n"
                             "icy-name:Tavrix Bench\r\n"
                             "icy-genre:Benchmark\r\n"
                             "icy-url:http://127.0.0.1/\r\n"
                             "content-type:audio/mpeg\r\n"
                             "icy-pub:0\r\n"
                             "icy-br:128\r\n"
                             "\r\n";

void setTimeout(int fd, int option, int seconds)
{
    timeval tv{};
    tv.tv_sec = seconds;
    ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

bool sendAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// Reads the client's request up to its blank line, as a station would
// before it answers.
bool readRequest(int fd)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0 || request.size() > 65536)
            return false;
        request.append(buffer, std::size_t(n));
    }
    return true;
}

void sleepUntil(const timespec &deadline)
{
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

timespec plusSeconds(const timespec &start, double seconds)
{
    const auto whole = static_cast<time_t>(seconds);
    long nanos = start.tv_nsec + static_cast<long>((seconds - double(whole)) * 1e9);
    timespec t{start.tv_sec + whole, nanos};
    if (t.tv_nsec >= 1000000000L) {
        t.tv_sec += 1;
        t.tv_nsec -= 1000000000L;
    }
    return t;
}

void serve(int fd, const StationOptions &options, const StreamPattern &pattern)
{
    setTimeout(fd, SO_RCVTIMEO, 10);
    if (!readRequest(fd))
        return;
    if (options.bytesPerSecond > 0) {
        // Small paced writes must leave at once, as a live station's do.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    if (!sendAll(fd, IcyHeader, sizeof IcyHeader - 1))
        return;

    const std::size_t chunk = std::min(options.chunkBytes, StreamPattern::Period);
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    std::uint64_t sent = 0;
    while (options.audioBytes == 0 || sent < options.audioBytes) {
        std::size_t n = chunk;
        if (options.audioBytes != 0)
            n = std::size_t(std::min<std::uint64_t>(n, options.audioBytes - sent));
        if (options.bytesPerSecond > 0)
            sleepUntil(plusSeconds(start, double(sent) / options.bytesPerSecond));
        if (!sendAll(fd, pattern.at(sent), n))
            return;
        sent += n;
    }

    // Everything is sent: end the stream and wait for the client to close
    // its side, so no unread byte turns the close into a reset.
    ::shutdown(fd, SHUT_WR);
    setTimeout(fd, SO_RCVTIMEO, 60);
    char buffer[4096];
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
}

} // namespace

std::string stationHeader()
{
    return IcyHeader;
}

Station::Station(const StationOptions &options)
    : m_options(options)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        throw std::runtime_error("station: socket() failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(m_listener);
        throw std::runtime_error("station: cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
}

Station::~Station()
{
    ::close(m_listener);
}

void Station::serveForever()
{
    std::signal(SIGPIPE, SIG_IGN);
    const StreamPattern pattern;
    for (;;) {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            ::_exit(1);
        }
        serve(fd, m_options, pattern);
        ::close(fd);
    }
}

StationProcess::StationProcess(const StationOptions &options)
{
    Station station(options);
    m_port = station.port();
    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("station: fork() failed");
    if (m_pid == 0)
        station.serveForever();
}

StationProcess::~StationProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}
