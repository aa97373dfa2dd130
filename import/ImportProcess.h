// Reading a model given by path in a process of its own, within a time and a memory budget.
#pragma once

#include "import/ModelData.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <thread>

namespace Assimp {
class IOSystem;
}

namespace import {

// What the import process tells the viewer while it works, in memory both share.
struct ImportProgress {
    enum Stage : int { importing, building, sending, decodingTextures, sendingTextures, finished };
    std::atomic<int> stage{importing};
    // Bytes the files read so far take on disk: the budgets grow with them.
    std::atomic<unsigned long long> bytesRead{0};
    // How far the stage is, where it can tell: bytes of the model file
    // read, or textures decoded, of how many.
    std::atomic<unsigned long long> workDone{0};
    std::atomic<unsigned long long> workTotal{0};
};

struct ImportBudget {
    // Time spent importing and decoding, not waiting for the viewer to take
    // what was sent: a base for any file plus a share for each megabyte read.
    double baseSeconds = 10.0;
    double secondsPerMegabyte = 1.0;
    // Resident memory of the import process.
    unsigned long long baseBytes = 1ULL << 30;
    unsigned long long bytesPerByteRead = 8;

    double seconds(unsigned long long bytesRead) const { return baseSeconds + secondsPerMegabyte * bytesRead / 1e6; }
    unsigned long long memory(unsigned long long bytesRead) const { return baseBytes + bytesPerByteRead * bytesRead; }
};

// The importer and the image library read files from strangers, and both
// have inputs that crash them, make them loop forever or take all the
// memory there is (nodes that share children, chunk lengths that lie,
// headers that claim billions of pixels). Whatever a file does to them here
// ends this process alone: the viewer reports why and goes on.
//
// The process starts at construction, so that it can work while the viewer
// opens its window; `finish` collects the model. Start it before the
// viewer's own threads exist where possible: the child then holds a copy of
// a process with one thread.
class ImportProcess {
public:
    explicit ImportProcess(const std::string& path, const ImportBudget& budget = ImportBudget());
    ~ImportProcess();
    ImportProcess(const ImportProcess&) = delete;
    ImportProcess& operator=(const ImportProcess&) = delete;

    // Waits for the model. False, with the reason in `reason`, when there is
    // none: the importer refused the file, or the process crashed, ran out
    // of its time or memory, or could not start. A process that ended while
    // decoding textures still gives its model, with a note for the rest.
    bool finish(ModelData& model, std::string& reason);

    // Whether `finish` would return without waiting on the import itself:
    // the process has ended, or has the model and is sending it (which
    // `finish` takes as fast as it comes), or never started.
    bool ready() const;

    // What the process says of its progress, and when it started.
    const ImportProgress* progressPage() const { return progress; }
    std::chrono::steady_clock::time_point startedAt() const { return started; }

private:
    void watch();
    void stopWatching();

    ImportBudget budget;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    ImportProgress* progress = nullptr; // shared with the child
    pid_t child = -1;
    int stream = -1; // the read end of the child's records
    std::string startFailure;
    std::thread watcher;
    std::atomic<bool> stopping{false};
    // Set by the watcher once the child has ended: how, and why it was ended.
    std::atomic<bool> ended{false};
    int waitStatus = 0;
    std::string killReason;
};

// The import process's side: reads `path` and writes the records of
// ModelTransfer.h to `fd`, keeping `progress` up to date and telling
// `onRead` the bytes of every file it opens. The model's files come from
// `files` (taken over) when given, from the disk otherwise. Returns when all
// is sent.
void sendModel(const std::string& path, int fd, ImportProgress* progress,
               const std::function<void(unsigned long long)>& onRead, Assimp::IOSystem* files = nullptr);

} // namespace import
