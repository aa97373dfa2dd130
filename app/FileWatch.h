// Seeing that a model's file was written and then left alone, so that it can be read again.
#pragma once

#include <ostream>
#include <string>

// What a file looks like from outside, enough to see that it was written.
struct FileStamp {
    bool present = false; // a regular file is there
    long long size = 0;
    long long modifiedNanoseconds = 0;
    // When no regular file is there: what is there instead ("a FIFO", "a
    // directory", "a device", "a socket"), or why nothing could be seen
    // ("Permission denied"); empty where nothing is.
    std::string instead;

    bool operator==(const FileStamp& other) const
    {
        return present == other.present && size == other.size &&
               modifiedNanoseconds == other.modifiedNanoseconds && instead == other.instead;
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
    // is there. Where the file has settled as no regular file (deleted, or
    // replaced by a FIFO, a directory or a device), one line on `report`, when
    // given, says so, naming the file `path`: once for each such state it
    // takes, not once a frame, and not for one it passes through on its way
    // back (a save that moves the old file away first).
    bool settled(const FileStamp& now, double seconds, std::ostream* report = nullptr, const std::string& path = {});

private:
    double settleSeconds;
    FileStamp seen;
    FileStamp pending;
    bool changing = false;
    double pendingSince = 0.0;
    // The state last said or seen, which a line about the file's state must differ from.
    FileStamp told;
};
