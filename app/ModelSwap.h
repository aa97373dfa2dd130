// Opening another model while the viewer runs: a file dropped on the window, or the one shown again once its file changed.
#pragma once

#include <memory>
#include <string>

namespace import {
class ImportProcess;
}

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

// The model the viewer shows, replaced by another one, or by a new reading
// of its own file, without stopping the frames: the file is imported in its
// own process while the old model is still drawn, and swapped in only once
// it is there. A file that cannot be shown leaves the model shown as it is,
// and its lines say why.
class ModelSwap {
public:
    ModelSwap();
    ~ModelSwap();
    ModelSwap(const ModelSwap&) = delete;
    ModelSwap& operator=(const ModelSwap&) = delete;

    // Starts reading `path`; a reading still under way is given up for it.
    void open(const std::string& path);

    // Whether a reading is under way.
    bool busy() const { return pending != nullptr; }

    // Once a frame: when the reading has the model, puts it where the old
    // one was (framed, on its ground, seen from the start view unless the
    // tour is playing). True when the model was replaced.
    bool poll();

    // The file of the model shown, once one was swapped in.
    const std::string& shownPath() const { return shown; }

private:
    std::unique_ptr<import::ImportProcess> pending;
    std::string pendingPath;
    std::string shown;
};
