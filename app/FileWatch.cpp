// Stamps of a watched file, the wait for its writer to finish, and the lines when it is no longer a file to read.
#include "app/FileWatch.h"

#include "base/Printable.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "something else";
}

bool sameState(const FileStamp& a, const FileStamp& b)
{
    return a.present == b.present && a.instead == b.instead;
}

} // namespace

FileStamp stampOf(const std::string& path)
{
    struct stat status {};
    FileStamp stamp;
    if (stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            stamp.instead = std::strerror(errno);
        return stamp;
    }
    if (!S_ISREG(status.st_mode)) {
        stamp.instead = kindOf(status.st_mode);
        return stamp;
    }
    stamp.present = true;
    stamp.size = static_cast<long long>(status.st_size);
    stamp.modifiedNanoseconds =
        static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + static_cast<long long>(status.st_mtim.tv_nsec);
    return stamp;
}

void FileWatch::reset(const FileStamp& now)
{
    seen = now;
    told = now;
    changing = false;
}

bool FileWatch::settled(const FileStamp& now, double seconds, std::ostream* report, const std::string& path)
{
    if (now == seen) {
        changing = false;
        told = now;
        return false;
    }
    if (!changing || now != pending) {
        pending = now;
        pendingSince = seconds;
        changing = true;
        return false;
    }
    if (seconds - pendingSince < settleSeconds)
        return false;
    // Gone (mid-save, or deleted) or something else in the file's place is
    // not a model to open; its return is a change like any other. Said only
    // once it has lasted, so that a save that moves the old file away first
    // says nothing.
    if (!now.present) {
        if (!sameState(now, told) && report != nullptr) {
            const std::string state =
                now.instead.empty() ? "no longer exists" : "is no longer a regular file (" + now.instead + ")";
            *report << "brassfern: " << printable(path) << " " << state << "; the model shown stays" << std::endl;
        }
        told = now;
        return false;
    }
    seen = now;
    told = now;
    changing = false;
    return true;
}
