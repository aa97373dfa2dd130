// Reading a model given by path in a process of its own, within a time and a memory budget.
#pragma once

#include "import/ImportProgress.h"
#include "import/ModelData.h"
#include "import/ModelTransfer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace import {

// Half of the memory that `meminfo` (the text of /proc/meminfo) says is
// available: the model must fit a second time in the viewer, which takes
// its arrays and then the GL's copies of them. MemAvailable counts the
// caches the kernel would give up, and is never more than the machine has;
// a kernel without it gives MemFree. No limit when neither is there.
unsigned long long importMemoryCap(const std::string& meminfo);
// The same for this machine now.
unsigned long long importMemoryCap();

struct ImportBudget {
    // Time the process spends on the model, in every stage, sending
    // included, but not while what it sent waits for the viewer to take it,
    // nor while it waits for a CPU that the machine gives to others: a base
    // for any file plus a share for each megabyte read.
    double baseSeconds = 10.0;
    double secondsPerMegabyte = 1.0;
    // Memory the process adds to what it shared with the viewer as it
    // started: resident bytes past those it started with, and its address
    // space likewise. A base plus a share of the bytes read, but never more
    // than `mostBytes`, whatever size the files claim.
    unsigned long long baseBytes = 1ULL << 30;
    unsigned long long bytesPerByteRead = 8;
    unsigned long long mostBytes = importMemoryCap();

    double seconds(unsigned long long bytesRead) const { return baseSeconds + secondsPerMegabyte * bytesRead / 1e6; }
    unsigned long long memory(unsigned long long bytesRead) const
    {
        return std::min(mostBytes, baseBytes + bytesPerByteRead * bytesRead);
    }
};

// The importer and the image library read files from strangers, and both
// have inputs that crash them, make them loop forever or take all the
// memory there is (nodes that share children, chunk lengths that lie,
// headers that claim billions of pixels). Whatever a file does to them here
// ends this process alone: the viewer reports why and goes on.
//
// The process starts at construction, so that it can work while the viewer
// opens its window; `receive` takes its stream between frames, `finish`
// collects the model. Start it before the viewer's own threads exist where
// possible: the child then holds a copy of a process with one thread.
//
// For the tests, BRASSFERN_TEST_STALL_IMPORT="N BYTES" makes the Nth import
// process of the viewer stop itself (SIGSTOP) once it has sent BYTES bytes,
// as one stalled by a bug or a debugger would: nothing else can stop it
// halfway through its stream at a known point. Likewise
// BRASSFERN_TEST_ABORT_IMPORT="N WHEN", read by the import process alone,
// makes the Nth write "import test hook: aborting" on its standard output
// and end as the C library ends a process whose heap it finds broken (its
// own line on standard error, "*** buffer overflow detected ***:
// terminated" from glibc, then SIGABRT), at WHEN: `start` (before it reads
// or sends anything), `texture` (the geometry sent, its first texture
// decoded and not yet sent) or `exit` (its whole stream sent, as it leaves).
//
// A process that dies by a signal of its own fails the import with the
// signal ("the importer crashed (Aborted)"), whatever it sent before, even
// all of its stream: only a crash while textures are decoded keeps the
// model, with a line for each texture left.
class ImportProcess {
public:
    explicit ImportProcess(const std::string& path, const ImportBudget& budget = ImportBudget());
    ~ImportProcess();
    ImportProcess(const ImportProcess&) = delete;
    ImportProcess& operator=(const ImportProcess&) = delete;

    // Takes what the process has sent, for about `seconds` at most, and
    // waits no longer than a millisecond for more. True once the import is
    // over: `finish` then returns without waiting.
    bool receive(double seconds);

    // Waits for the import to be over (its budget bounds the wait) and
    // gives the model. False, with the reason in `reason`, when there is
    // none: the importer refused the file, the stream held what no import
    // sends, or the process crashed, ran out of its time or memory, or could
    // not start. A process that ended while decoding textures still gives
    // its model, with a note for the rest.
    bool finish(ModelData& model, std::string& reason);

    // What the process wrote on its standard output and error (the C
    // library's last words as it aborts, a library's warnings), once
    // `finish` has returned: its lines, each cut to 400 bytes, at most 32 of
    // them, and how many more there were. None of it reaches the terminal
    // by itself: the viewer prints them as its own lines.
    const std::vector<std::string>& processOutput() const { return outputLines; }
    unsigned long long processOutputLeftOut() const { return outputLinesLeftOut; }

    // What the process says of its progress, and when it started.
    const ImportProgress* progressPage() const { return progress; }
    std::chrono::steady_clock::time_point startedAt() const { return started; }

private:
    using Clock = std::chrono::steady_clock;
    bool pump(Clock::time_point until, int idleMilliseconds);
    bool readSome();
    std::string cutReason() const;
    bool crashed() const;
    std::string crashReason() const;
    void takeOutput(bool last = false);
    void endOutputLine();
    void watch();
    bool viewerBehind() const;
    unsigned long long addedMemory() const;
    void stopWatching();

    ImportBudget budget;
    Clock::time_point started = Clock::now();
    ImportProgress* progress = nullptr; // shared with the child
    pid_t child = -1;
    int stream = -1; // the read end of the child's records, not blocking
    int output = -1; // the read end of its standard output and error, not blocking
    unsigned long long viewerResident = 0; // as the child was forked
    std::string startFailure;
    // The model as it arrives.
    ModelData model;
    TransferReader reader{model};
    std::vector<unsigned char> chunk;
    bool streamEnded = false;
    // Since when the stream has needed nothing more, and the process's end is awaited.
    bool waitingForExit = false;
    Clock::time_point waitingSince;
    bool over = false;
    bool collected = false;
    std::thread watcher;
    std::atomic<bool> stopping{false};
    // Set by the watcher once the child has ended: how, and why it was ended.
    std::atomic<bool> ended{false};
    int waitStatus = 0;
    std::string killReason;
    bool stoppedByViewer = false; // killed as it was no longer wanted
    // What it wrote on its standard output and error, taken by the watcher.
    std::vector<std::string> outputLines;
    unsigned long long outputLinesLeftOut = 0;
    std::string outputLine; // the line coming
    bool outputLineCut = false;
};

} // namespace import
