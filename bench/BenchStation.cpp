// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchStation.h"

#include "ChildProcess.h"
#include "StreamPattern.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

void setTimeout(int fd, int option, int seconds)
{
    timeval tv{};
    tv.tv_sec = seconds;
    ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

// One client's connection, plain or TLS.
class Peer
{
public:
    Peer(int fd, SSL_CTX *tls)
        : m_fd(fd)
    {
        if (!tls)
            return;
        m_ssl = SSL_new(tls);
        if (!m_ssl || SSL_set_fd(m_ssl, fd) != 1 || SSL_accept(m_ssl) != 1)
            m_failed = true;
    }
    ~Peer()
    {
        if (m_ssl)
            SSL_free(m_ssl);
    }
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;

    bool failed() const { return m_failed; }

    ssize_t receive(char *buffer, std::size_t size)
    {
        if (!m_ssl)
            return ::recv(m_fd, buffer, size, 0);
        const int n = SSL_read(m_ssl, buffer, int(size));
        return n > 0 ? n : -1;
    }

    bool sendAll(const char *data, std::size_t size)
    {
        while (size > 0) {
            ssize_t n = 0;
            if (m_ssl) {
                const int piece = int(std::min<std::size_t>(size, 1 << 20));
                n = SSL_write(m_ssl, data, piece);
                if (n <= 0)
                    return false;
            } else {
                n = ::send(m_fd, data, size, MSG_NOSIGNAL);
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    return false;
                }
            }
            data += n;
            size -= std::size_t(n);
        }
        return true;
    }

    // Sends the pieces in order. A plain socket takes them in gathered
    // writes straight from where they are, as the untitled stream is sent
    // without a copy; TLS gets them joined.
    bool sendPieces(std::vector<iovec> &pieces)
    {
        if (m_ssl) {
            std::string joined;
            for (const iovec &piece : pieces)
                joined.append(static_cast<const char *>(piece.iov_base), piece.iov_len);
            return sendAll(joined.data(), joined.size());
        }
        std::size_t first = 0;
        while (first < pieces.size()) {
            msghdr message{};
            message.msg_iov = pieces.data() + first;
            message.msg_iovlen = std::min<std::size_t>(pieces.size() - first, IOV_MAX);
            ssize_t n = ::sendmsg(m_fd, &message, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            // Step past what was sent.
            while (first < pieces.size() && std::size_t(n) >= pieces[first].iov_len) {
                n -= ssize_t(pieces[first].iov_len);
                ++first;
            }
            if (n > 0) {
                pieces[first].iov_base = static_cast<char *>(pieces[first].iov_base) + n;
                pieces[first].iov_len -= std::size_t(n);
            }
        }
        return true;
    }

    // Ends the stream: TLS says so first, then the socket's sending side
    // is closed.
    void endStream()
    {
        if (m_ssl)
            SSL_shutdown(m_ssl);
        ::shutdown(m_fd, SHUT_WR);
    }

private:
    int m_fd;
    SSL *m_ssl = nullptr;
    bool m_failed = false;
};

// Reads the client's request up to its blank line, as a station would
// before it answers. Empty when there is none.
std::string readRequest(Peer &peer)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = peer.receive(buffer, sizeof buffer);
        if (n <= 0 || request.size() > 65536)
            return {};
        request.append(buffer, std::size_t(n));
    }
    return request;
}

bool asksForTitles(std::string request)
{
    std::transform(request.begin(), request.end(), request.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return request.find("\r\nicy-metadata: 1\r\n") != std::string::npos ||
           request.find("\r\nicy-metadata:1\r\n") != std::string::npos;
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

void serve(int fd, SSL_CTX *tls, const StationOptions &options, const StreamPattern &audio)
{
    setTimeout(fd, SO_RCVTIMEO, 10);
    Peer peer(fd, tls);
    if (peer.failed())
        return;
    const std::string request = readRequest(peer);
    if (request.empty())
        return;
    if (options.bytesPerSecond > 0) {
        // Small paced writes must leave at once, as a live station's do.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    const bool titles = options.metaInt > 0 && asksForTitles(request);
    const std::string header = stationHeader(options, titles);
    if (!peer.sendAll(header.data(), header.size()))
        return;

    const std::size_t chunk = std::min(options.chunkBytes, audio.period());
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    std::uint64_t sent = 0;
    std::uint64_t nextBlock = options.metaInt;
    std::vector<iovec> pieces;
    // The title blocks of the chunk being sent, kept until it is sent; the
    // station builds a block only when the title changes.
    std::deque<std::string> blocks;
    std::uint64_t blocksSong = 0;
    while (options.audioBytes == 0 || sent < options.audioBytes) {
        std::size_t n = chunk;
        if (options.audioBytes != 0)
            n = std::size_t(std::min<std::uint64_t>(n, options.audioBytes - sent));
        if (options.bytesPerSecond > 0)
            sleepUntil(plusSeconds(start, double(sent) / options.bytesPerSecond));
        if (!titles) {
            if (!peer.sendAll(audio.at(sent), n))
                return;
        } else {
            // The audio of this chunk with the title blocks that fall into it.
            pieces.clear();
            while (blocks.size() > 1)
                blocks.pop_front();
            for (std::uint64_t at = sent; at < sent + n;) {
                const std::uint64_t upTo = std::min<std::uint64_t>(sent + n, nextBlock);
                pieces.push_back({const_cast<char *>(audio.at(at)), std::size_t(upTo - at)});
                at = upTo;
                if (at == nextBlock) {
                    const std::uint64_t index = nextBlock / options.metaInt - 1;
                    if (blocks.empty() || index / TitleBlocksPerSong != blocksSong) {
                        blocksSong = index / TitleBlocksPerSong;
                        blocks.push_back(titleBlock(index));
                    }
                    pieces.push_back({blocks.back().data(), blocks.back().size()});
                    nextBlock += options.metaInt;
                }
            }
            if (!peer.sendPieces(pieces))
                return;
        }
        sent += n;
    }

    // Everything is sent: end the stream and wait for the client to close
    // its side, so no unread byte turns the close into a reset.
    peer.endStream();
    setTimeout(fd, SO_RCVTIMEO, 60);
    char buffer[4096];
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
}

// The TLS context of a station with a certificate; null without one.
SSL_CTX *tlsContext(const StationOptions &options)
{
    if (options.certificateFile.empty())
        return nullptr;
    SSL_CTX *context = SSL_CTX_new(TLS_server_method());
    if (!context ||
        SSL_CTX_use_certificate_chain_file(context, options.certificateFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, options.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(context);
        throw std::runtime_error("station: cannot load the TLS certificate " +
                                 options.certificateFile);
    }
    return context;
}

} // namespace

std::string stationHeader(const StationOptions &options, bool titles)
{
    std::string header = "ICY 200 OK\r\n"
                         "icy-notice1:<BR>This stream requires a player<BR>\r\n"
                         "icy-name:Tavrix Bench\r\n"
                         "icy-genre:Benchmark\r\n"
                         "icy-url:http://127.0.0.1/\r\n"
                         "content-type:" +
                         options.contentType +
                         "\r\n"
                         "icy-pub:0\r\n";
    if (!options.bitrate.empty())
        header += "icy-br:" + options.bitrate + "\r\n";
    if (titles)
        header += "icy-metaint:" + std::to_string(options.metaInt) + "\r\n";
    return header + "\r\n";
}

StationCertificate makeStationCertificate(const std::string &folder)
{
    StationCertificate made{folder + "/station.crt", folder + "/station.key", {}};
    const ChildRun request =
        runChild({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                  "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                  "-keyout", made.keyFile, "-out", made.certificateFile});
    const ChildRun fingerprint = runChild(
        {"openssl", "x509", "-in", made.certificateFile, "-noout", "-fingerprint", "-sha256"});
    // "sha256 Fingerprint=AB:CD:..."
    const std::string line = fingerprint.output.substr(0, fingerprint.output.find('\n'));
    if (request.exitCode != 0 || fingerprint.exitCode != 0 || line.find('=') == std::string::npos)
        throw std::runtime_error("openssl could not make the station's certificate");
    for (const char c : line.substr(line.find('=') + 1)) {
        if (c != ':')
            made.sha256 += char(std::tolower(static_cast<unsigned char>(c)));
    }
    return made;
}

std::string titleBlock(std::uint64_t blockIndex)
{
    std::string block = "StreamTitle='Bench Artist - Song " +
                        std::to_string(blockIndex / TitleBlocksPerSong) +
                        "';StreamUrl='http://127.0.0.1/';";
    const std::size_t units = (block.size() + 15) / 16;
    block.resize(units * 16, '\0');
    return char(units) + block;
}

struct Station::Content
{
    explicit Content(const StationOptions &options)
        : audio(options.audioFile)
        , tls(tlsContext(options))
    {}
    ~Content() { SSL_CTX_free(tls); }
    Content(const Content &) = delete;
    Content &operator=(const Content &) = delete;

    const StreamPattern audio;
    SSL_CTX *const tls;
};

Station::Station(const StationOptions &options)
    : m_options(options)
    , m_content(std::make_unique<Content>(options))
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
    for (;;) {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            ::_exit(1);
        }
        serve(fd, m_content->tls, m_options, m_content->audio);
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
    if (m_pid == 0) {
        // Ended by SIGTERM with the object: whatever handler the parent
        // installed (a test framework's crash report) is not the station's.
        std::signal(SIGTERM, SIG_DFL);
        station.serveForever();
    }
}

StationProcess::~StationProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}
