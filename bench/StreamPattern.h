// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The audio bytes the bench station sends: a pseudo-random block repeated
// over and over. Its length is prime, so the block boundaries never line up
// with buffer-file or read sizes, and a lost, repeated or reordered piece of
// the stream shows as a mismatch.
class StreamPattern
{
public:
    static constexpr std::size_t Period = 1000003;

    StreamPattern();

    // Period + Period bytes: any run of up to Period bytes of the endless
    // stream, starting at offset, is one contiguous slice of this buffer.
    const char *at(std::uint64_t offset) const { return m_twice.data() + offset % Period; }

    // Whether `size` bytes at `data` are the stream's bytes from `offset` on.
    bool matches(const char *data, std::size_t size, std::uint64_t offset) const;

    // Checks a file's contents, from its byte `skip` on, against the stream
    // from `offset` on; *size is the number of bytes checked. Returns an
    // empty string when they match, else what is wrong.
    std::string checkFile(const std::string &path, std::uint64_t offset, std::uint64_t *size,
                          std::uint64_t skip = 0) const;

private:
    std::vector<char> m_twice;
};
