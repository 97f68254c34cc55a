// SPDX-License-Identifier: GPL-3.0-or-later
#include "StreamPattern.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

StreamPattern::StreamPattern(const std::string &file)
{
    if (file.empty()) {
        m_twice.resize(RandomPeriod);
        std::uint64_t x = 0x9E3779B97F4A7C15ULL;
        for (char &byte : m_twice) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            byte = static_cast<char>(x >> 56);
        }
    } else {
        std::ifstream in(file, std::ios::binary);
        m_twice.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (m_twice.empty())
            throw std::runtime_error("cannot read the stream's block from " + file);
    }
    m_period = m_twice.size();
    m_twice.insert(m_twice.end(), m_twice.begin(), m_twice.end());
}

bool StreamPattern::matches(const char *data, std::size_t size, std::uint64_t offset) const
{
    while (size > 0) {
        const std::size_t n = std::min(size, m_period);
        if (std::memcmp(data, at(offset), n) != 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

std::string StreamPattern::checkFile(const std::string &path, std::uint64_t offset,
                                     std::uint64_t *size, std::uint64_t skip) const
{
    *size = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return path + ": cannot be opened";
    if (::lseek(fd, off_t(skip), SEEK_SET) != off_t(skip)) {
        ::close(fd);
        return path + ": shorter than expected";
    }
    std::vector<char> block(1 << 20);
    std::string problem;
    for (;;) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0) {
            problem = path + ": read error";
            break;
        }
        if (n == 0)
            break;
        if (!matches(block.data(), std::size_t(n), offset + *size)) {
            problem = path + ": bytes differ from the stream near offset " +
                      std::to_string(offset + *size);
            break;
        }
        *size += std::uint64_t(n);
    }
    ::close(fd);
    return problem;
}
