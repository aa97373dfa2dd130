// Seeing that a model's file was written and then left alone, so that it can be read again.
#pragma once

#include <string>

// What a file looks like from outside, enough to see that it was written.
struct FileStamp {
    bool present = false;
    long long size = 0;
    long long modifiedNanoseconds = 0;

    bool operator==(const FileStamp& other) const
    {
        return present == other.present && size == other.size && modifiedNanoseconds == other.modifiedNanoseconds;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

FileStamp stampOf(const std::string& path);

// Tells when a watched file has changed and then stayed as it is for
// `settleSeconds`: an editor or an exporter writes a file in several steps
// (truncate, write, rename), and opening it halfway would show a broken
// model, or none, for nothing.
class FileWatch {
public:
    explicit FileWatch(double settleSeconds = 0.3) : settleSeconds(settleSeconds) {}

    // The file as it is now counts as seen.
    void reset(const FileStamp& seen);

    // Given the file's stamp at `seconds` (any clock that only moves on):
    // true once for each change that has settled, and only while the file
    // is there.
    bool settled(const FileStamp& now, double seconds);

private:
    double settleSeconds;
    FileStamp seen;
    FileStamp pending;
    bool changing = false;
    double pendingSince = 0.0;
};
