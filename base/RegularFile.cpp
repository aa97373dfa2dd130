// Opening and reading the files the viewer is given.
#include "base/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// No caller reads more into memory at once.
constexpr unsigned long long maxReadLimit = 1ULL << 40;

} // namespace

RegularFile::RegularFile(const std::string& path)
{
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        directory = S_ISDIR(status.st_mode);
        why = directory ? "it is a directory" : "not a regular file";
        close(fd);
        fd = -1;
        return;
    }
    bytes = static_cast<unsigned long long>(status.st_size);
    stored = std::min(bytes, 512ULL * static_cast<unsigned long long>(status.st_blocks));
    id = {static_cast<unsigned long long>(status.st_dev), static_cast<unsigned long long>(status.st_ino)};
    // Reads of a regular file never block anyway; a caller that hands the
    // descriptor on gets an ordinary one.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

RegularFile::~RegularFile()
{
    if (fd >= 0)
        close(fd);
}

bool RegularFile::read(char* into, size_t size, size_t& got, std::string& reason)
{
    got = 0;
    while (got < size) {
        const ssize_t now = ::read(fd, into + got, size - got);
        if (now < 0 && errno == EINTR)
            continue;
        if (now < 0) {
            reason = std::strerror(errno);
            return false;
        }
        if (now == 0)
            break;
        got += static_cast<size_t>(now);
    }
    return true;
}

template <typename Bytes> bool RegularFile::readInto(Bytes& data, unsigned long long limit, std::string& reason)
{
    data.clear();
    if (fd < 0) {
        reason = why;
        return false;
    }
    // One byte past the limit tells a file that is too long from one that
    // fills it exactly.
    limit = std::min(limit, maxReadLimit);
    const unsigned long long wanted = std::min(bytes, limit) + 1;
    size_t got = 0;
    for (;;) {
        const unsigned long long grown = std::max<unsigned long long>(wanted, 2ULL * got + 4096);
        data.resize(static_cast<size_t>(std::min(limit + 1, grown)));
        size_t now = 0;
        if (!read(reinterpret_cast<char*>(&data[got]), data.size() - got, now, reason)) {
            data.resize(got);
            return false;
        }
        got += now;
        if (got < data.size() || got > limit)
            break;
    }
    data.resize(std::min<unsigned long long>(got, limit));
    if (got > limit) {
        reason = "it is longer than " + megabytesText(limit);
        return false;
    }
    return true;
}

bool RegularFile::readAll(std::string& text, unsigned long long limit, std::string& reason)
{
    return readInto(text, limit, reason);
}

bool RegularFile::readAll(std::vector<unsigned char>& data, unsigned long long limit, std::string& reason)
{
    return readInto(data, limit, reason);
}

int RegularFile::release()
{
    const int taken = fd;
    fd = -1;
    return taken;
}

std::string megabytesText(unsigned long long bytes)
{
    if (bytes < (1ULL << 20))
        return std::to_string(bytes) + " bytes";
    return std::to_string((bytes + (1ULL << 19)) >> 20) + " MB";
}
