// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

// An ICY station on 127.0.0.1 in a process of its own, so that its work is
// never counted as the client's. It answers every connection, one after the
// other, with "ICY 200 OK", a few icy- headers, a blank line and then the
// audio: StreamPattern's bytes, or a file's bytes sent over and over.
struct StationOptions
{
    // Audio bytes per connection; after them the station closes the
    // connection. 0 sends until the client goes away.
    std::uint64_t audioBytes = 0;
    // 0 sends as fast as the client takes it; otherwise the audio is paced
    // to this rate in chunks of chunkBytes.
    double bytesPerSecond = 0;
    std::size_t chunkBytes = std::size_t(1) << 20;
    // When not 0 and the request asks for titles ("Icy-MetaData: 1"), the
    // response carries icy-metaint and a title block follows every metaInt
    // audio bytes.
    std::size_t metaInt = 0;
    // The audio to loop instead of the pattern (a whole file); empty for the
    // pattern.
    std::string audioFile;
    std::string contentType = "audio/mpeg";
    // The icy-br header's value; empty leaves the header out.
    std::string bitrate = "128";
    // PEM files: when set, every connection is TLS with this certificate.
    std::string certificateFile;
    std::string keyFile;
};

// The status line and header block the station sends before the audio.
std::string stationHeader(const StationOptions &options, bool titles);

// A self-signed certificate for 127.0.0.1 made by `openssl req` in
// `folder`, with its SHA-256 fingerprint as the settings store a trusted
// certificate's: lower-case hex of the DER form, no separators.
struct StationCertificate
{
    std::string certificateFile;
    std::string keyFile;
    std::string sha256;
};
StationCertificate makeStationCertificate(const std::string &folder);

// The title changes every this many title blocks.
constexpr std::uint64_t TitleBlocksPerSong = 256;

// The title block that follows the audio byte blockIndex * metaInt: a length
// byte (in 16-byte units) and "StreamTitle='...';" padded with zeros.
std::string titleBlock(std::uint64_t blockIndex);

// Listens on 127.0.0.1, on a port the system picks.
class Station
{
public:
    explicit Station(const StationOptions &options);
    ~Station();
    Station(const Station &) = delete;
    Station &operator=(const Station &) = delete;

    std::uint16_t port() const { return m_port; }

    // Answers connections, one after the other, until the process ends.
    [[noreturn]] void serveForever();

private:
    struct Content;

    StationOptions m_options;
    // The audio and the TLS context, loaded before the station serves.
    std::unique_ptr<Content> m_content;
    int m_listener = -1;
    std::uint16_t m_port = 0;
};

// A Station in a child process, ended with the object.
class StationProcess
{
public:
    explicit StationProcess(const StationOptions &options);
    ~StationProcess();
    StationProcess(const StationProcess &) = delete;
    StationProcess &operator=(const StationProcess &) = delete;

    std::uint16_t port() const { return m_port; }

private:
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};
