// Stamps of a watched file and the wait for its writer to finish.
#include "app/FileWatch.h"

#include <sys/stat.h>

FileStamp stampOf(const std::string& path)
{
    struct stat status {};
    FileStamp stamp;
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return stamp;
    stamp.present = true;
    stamp.size = static_cast<long long>(status.st_size);
    stamp.modifiedNanoseconds =
        static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + static_cast<long long>(status.st_mtim.tv_nsec);
    return stamp;
}

void FileWatch::reset(const FileStamp& now)
{
    seen = now;
    changing = false;
}

bool FileWatch::settled(const FileStamp& now, double seconds)
{
    if (now == seen) {
        changing = false;
        return false;
    }
    if (!changing || now != pending) {
        pending = now;
        pendingSince = seconds;
        changing = true;
        return false;
    }
    // Gone (mid-rename, or deleted) is not a model to open; its return is a
    // change like any other.
    if (!now.present || seconds - pendingSince < settleSeconds)
        return false;
    seen = now;
    changing = false;
    return true;
}
