// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The audio bytes the bench station sends: one block repeated over and over.
// By default the block is pseudo-random and its length is prime, so block
// boundaries never line up with buffer-file or read sizes, and a lost,
// repeated or reordered piece of the stream shows as a mismatch. A block
// read from a file (an MP3 made of whole frames) gives a stream that Tavrix's
// frame reader follows frame by frame, as it does a real station's.
class StreamPattern
{
public:
    // The pseudo-random block's length.
    static constexpr std::size_t RandomPeriod = 1000003;

    // The pseudo-random block, or the bytes of `file` when it is given.
    explicit StreamPattern(const std::string &file = {});

    std::size_t period() const { return m_period; }

    // Any run of up to period() bytes of the endless stream, starting at
    // offset, is one contiguous slice from here.
    const char *at(std::uint64_t offset) const { return m_twice.data() + offset % m_period; }

    // Whether `size` bytes at `data` are the stream's bytes from `offset` on.
    bool matches(const char *data, std::size_t size, std::uint64_t offset) const;

    // Checks a file's contents, from its byte `skip` on, against the stream
    // from `offset` on; *size is the number of bytes checked. Returns an
    // empty string when they match, else what is wrong.
    std::string checkFile(const std::string &path, std::uint64_t offset, std::uint64_t *size,
                          std::uint64_t skip = 0) const;

private:
    std::vector<char> m_twice; // the block twice over
    std::size_t m_period = 0;
};
