// Starting, watching and collecting the import process.
#include "import/ImportProcess.h"

#include "base/FreedMemory.h"
#include "import/ModelReader.h"
#include "import/ModelTransfer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <limits>
#include <new>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/mman.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define BRASSFERN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRASSFERN_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef __GLIBC__
// The C library's report of a broken buffer, exported for its checked
// functions: its message goes out as a broken heap's does.
extern "C" [[noreturn]] void __chk_fail();
#endif

namespace import {

namespace {

constexpr int streamDescriptor = 3;
constexpr auto watchInterval = std::chrono::milliseconds(10);
// What the viewer reads at once, and what the pipe holds: a megabyte lets
// the process go on sending while the viewer draws a frame.
constexpr size_t chunkBytes = 1 << 20;
// How long a process whose stream has ended is given to be seen ending,
// rather than be killed for being slow to exit: how it ended says why.
constexpr auto exitGrace = std::chrono::seconds(1);

// Import processes this viewer has started, for the tests' stall and abort.
int importsStarted = 0;

// What the viewer keeps of what the process writes on its standard output
// and error (the C library's last words as it aborts, a library's warnings):
// lines, each cut to a length, up to a count; the rest is counted.
constexpr size_t mostOutputLines = 32;
constexpr size_t mostOutputLineBytes = 400;

// Bytes of the process's memory: its address space (statm's first field) or
// what of it is resident (the second).
unsigned long long memoryOf(pid_t process, int field)
{
    std::ifstream statm("/proc/" + std::to_string(process) + "/statm");
    unsigned long long pages[2] = {0, 0};
    statm >> pages[0] >> pages[1];
    return pages[field] * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
}

std::string megabytes(unsigned long long bytes)
{
    return std::to_string((bytes + (1ULL << 19)) >> 20) + " MB";
}

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f s", value);
    return text;
}

// A process's own time: the wall time less what it spends ready to run
// while the CPUs run others (schedstat's second field), the viewer's frames
// among them: a busy machine slows an import down, but does not stall it.
// A stopped or blocked process does not wait for a CPU: its time counts.
class OwnTime {
public:
    explicit OwnTime(pid_t process) : path("/proc/" + std::to_string(process) + "/schedstat") { step(); }
    // The seconds since the last step.
    double step()
    {
        const auto now = std::chrono::steady_clock::now();
        unsigned long long running = 0;
        unsigned long long waiting = waitedNanoseconds;
        std::ifstream(path) >> running >> waiting;
        const double counted = std::chrono::duration<double>(now - last).count() -
                               static_cast<double>(waiting - std::min(waiting, waitedNanoseconds)) / 1e9;
        last = now;
        waitedNanoseconds = std::max(waiting, waitedNanoseconds);
        return std::max(counted, 0.0);
    }

private:
    std::string path;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    unsigned long long waitedNanoseconds = 0;
};

// BRASSFERN_TEST_STALL_IMPORT="N BYTES": the stream of the Nth import stops after BYTES.
void stallForTests(int import)
{
    const char* setting = std::getenv("BRASSFERN_TEST_STALL_IMPORT");
    int which = 0;
    unsigned long long bytes = 0;
    if (setting != nullptr && std::sscanf(setting, "%d %llu", &which, &bytes) == 2 && which == import)
        TransferWriter::stallAfterBytes = bytes;
}

// A test hook, read by the import process alone (see ImportProcess.h):
// BRASSFERN_TEST_ABORT_IMPORT="N WHEN" ends the Nth import process as the C
// library ends one whose heap it finds broken, at `start` (before it reads
// or sends anything), at its first `texture` (the geometry sent, the
// texture decoded and not yet sent) or at `exit` (its whole stream sent).
std::string abortPointForTests(int import)
{
    const char* setting = std::getenv("BRASSFERN_TEST_ABORT_IMPORT");
    int which = 0;
    char when[16] = "";
    if (setting == nullptr || std::sscanf(setting, "%d %15s", &which, when) != 2 || which != import)
        return "";
    return when;
}

[[noreturn]] void abortForTests()
{
    // A line on standard output, then the C library's own last words on
    // standard error, by the path its malloc checks take, and SIGABRT.
    std::printf("import test hook: aborting\n");
    std::fflush(stdout);
#ifdef __GLIBC__
    __chk_fail();
#else
    std::fprintf(stderr, "import test hook: abort\n");
    std::abort();
#endif
}

// In the child: its address space may grow by the budget, so that an
// allocation past it fails at once (the importer turns that into a failed
// import) instead of being noticed by the watcher only once it is touched.
// The sanitizers reserve terabytes of address space for their own use, so
// there the watcher's look at the resident memory alone keeps the budget.
class AddressLimit {
public:
    explicit AddressLimit(const ImportBudget& budget) : budget(budget), start(memoryOf(getpid(), 0)) { set(0); }
    void set(unsigned long long bytesRead) const
    {
#ifndef BRASSFERN_ADDRESS_SANITIZER
        rlimit limit{};
        if (getrlimit(RLIMIT_AS, &limit) != 0)
            return;
        const rlim_t wanted = static_cast<rlim_t>(start + budget.memory(bytesRead));
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        setrlimit(RLIMIT_AS, &limit);
#else
        (void)bytesRead;
#endif
    }

private:
    const ImportBudget& budget;
    unsigned long long start;
};

[[noreturn]] void runChild(const std::string& path, int writeEnd, int outputEnd, ImportProgress* progress,
                           const ImportBudget& budget, pid_t viewer)
{
    progress->residentAtStart = memoryOf(getpid(), 1);
#ifdef __linux__
    // A viewer that ends on a fatal path does not wait for its import.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != viewer)
        _exit(1);
#else
    (void)viewer;
#endif
    // Only the stream and the output stay open: a descriptor of the
    // viewer's (another import's stream, above all) held here would keep its
    // reader waiting. Both go above the standard three first, wherever they
    // were opened (a viewer started with its output closed gets them there).
    const int stream = fcntl(writeEnd, F_DUPFD, streamDescriptor + 1);
    const int output = fcntl(outputEnd, F_DUPFD, streamDescriptor + 1);
    if (stream < 0 || output < 0 || dup2(stream, streamDescriptor) < 0 || dup2(output, STDOUT_FILENO) < 0 ||
        dup2(output, STDERR_FILENO) < 0)
        _exit(1);
    closefrom(streamDescriptor + 1);
    // Whatever the importer, the decoder or the C library says goes to the
    // viewer, which shows it as its own lines. A C library that would write
    // its fatal messages (a broken heap's) to the terminal instead is told
    // to write them there too (glibc before 2.27 opened /dev/tty for them).
    setenv("LIBC_FATAL_STDERR_", "1", 1);
    // A viewer that went away is no reason to die of a signal.
    std::signal(SIGPIPE, SIG_IGN);
    keepFreedMemory();
    stallForTests(importsStarted);
    const std::string abortPoint = abortPointForTests(importsStarted);
    if (abortPoint == "start")
        abortForTests();
    if (abortPoint == "texture")
        TransferWriter::beforeFirstTexture = abortForTests;
    const AddressLimit limit(budget);
    // A big model's arrays in 2 MB pages: a fifth of a 36 MB GLB's import
    // went to first touches of 4 KB ones. After the limit, so that the
    // heap grown counts against the budget like any other.
    growHeapInLargePages(static_cast<size_t>(std::min<unsigned long long>(256ULL << 20, budget.memory(0) / 4)));
    sendModel(path, streamDescriptor, progress, [&limit, progress](unsigned long long bytes) {
        limit.set(progress->bytesRead += bytes);
    });
    progress->stage = ImportProgress::finished;
    if (abortPoint == "exit")
        abortForTests();
    std::cout.flush();
    std::fflush(nullptr);
    _exit(0);
}

} // namespace

unsigned long long importMemoryCap(const std::string& meminfo)
{
    std::istringstream lines(meminfo);
    unsigned long long available = 0;
    unsigned long long free = 0;
    std::string name;
    unsigned long long kilobytes = 0;
    std::string unit;
    while (lines >> name >> kilobytes) {
        std::getline(lines, unit);
        if (name == "MemAvailable:")
            available = kilobytes;
        else if (name == "MemFree:")
            free = kilobytes;
    }
    const unsigned long long kilobytesFree = available != 0 ? available : free;
    if (kilobytesFree == 0)
        return std::numeric_limits<unsigned long long>::max();
    return kilobytesFree * 1024 / 2;
}

unsigned long long importMemoryCap()
{
    std::ifstream file("/proc/meminfo");
    std::ostringstream text;
    text << file.rdbuf();
    return importMemoryCap(text.str());
}

ImportProcess::ImportProcess(const std::string& path, const ImportBudget& budget) : budget(budget)
{
    void* shared = mmap(nullptr, sizeof(ImportProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        startFailure = std::string("cannot start the import process: ") + std::strerror(errno);
        return;
    }
    progress = new (shared) ImportProgress();
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC) != 0) {
        startFailure = std::string("cannot start the import process: ") + std::strerror(errno);
        return;
    }
    int outputEnds[2] = {-1, -1};
    if (pipe2(outputEnds, O_CLOEXEC) != 0) {
        startFailure = std::string("cannot start the import process: ") + std::strerror(errno);
        close(ends[0]);
        close(ends[1]);
        return;
    }
    fcntl(outputEnds[0], F_SETFL, fcntl(outputEnds[0], F_GETFL) | O_NONBLOCK);
    // The viewer takes the stream between its frames: it never waits on a
    // read, and the pipe holds what comes meanwhile (a megabyte, where the
    // system lets a pipe hold that much).
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    fcntl(ends[0], F_SETPIPE_SZ, static_cast<int>(chunkBytes));
    chunk.resize(chunkBytes);
    // Whatever is buffered would otherwise be written twice.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t viewer = getpid();
    viewerResident = memoryOf(viewer, 1);
    ++importsStarted;
    child = fork();
    if (child == 0)
        runChild(path, ends[1], outputEnds[1], progress, budget, viewer);
    close(ends[1]);
    close(outputEnds[1]);
    if (child < 0) {
        close(ends[0]);
        close(outputEnds[0]);
        startFailure = std::string("cannot start the import process: ") + std::strerror(errno);
        return;
    }
    stream = ends[0];
    output = outputEnds[0];
    watcher = std::thread([this] { watch(); });
}

ImportProcess::~ImportProcess()
{
    stopWatching();
    if (stream >= 0)
        close(stream);
    if (output >= 0)
        close(output);
    if (progress != nullptr) {
        progress->~ImportProgress();
        munmap(progress, sizeof(ImportProgress));
    }
}

bool ImportProcess::receive(double seconds)
{
    return pump(Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)),
                1);
}

// Reads until the import is over or `until`, waiting up to
// `idleMilliseconds` at a time for the process to send more.
bool ImportProcess::pump(Clock::time_point until, int idleMilliseconds)
{
    while (!over) {
        // A stream that held what no import sends needs nothing more from
        // the process.
        if (!startFailure.empty() ||
            (reader.over() && !streamEnded && reader.result.outcome == TransferResult::Outcome::cut)) {
            over = true;
            break;
        }
        // Its last record came, or it ended: how the process ends says
        // whether it crashed, as it sent or after (a destructor at exit
        // finding its heap broken). That is waited for, a little.
        if (reader.over() || streamEnded) {
            if (!waitingForExit) {
                waitingForExit = true;
                waitingSince = Clock::now();
            }
            over = ended || Clock::now() - waitingSince > exitGrace;
            if (over || Clock::now() >= until)
                break;
            // The watcher sees the end within its interval: no longer a wait.
            std::this_thread::sleep_for(std::min<Clock::duration>(
                std::chrono::milliseconds(std::min(idleMilliseconds, 2)), until - Clock::now()));
            continue;
        }
        if (readSome()) {
            if (Clock::now() >= until)
                break;
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        pollfd wanted{stream, POLLIN, 0};
        if (left <= 0 || poll(&wanted, 1, static_cast<int>(std::min<long long>(left, idleMilliseconds))) == 0)
            break;
    }
    return over;
}

// One read: true when it gave bytes or ended the stream, false when
// nothing has come yet.
bool ImportProcess::readSome()
{
    const ssize_t got = read(stream, chunk.data(), chunk.size());
    if (got > 0) {
        reader.take(chunk.data(), static_cast<size_t>(got));
        return true;
    }
    if (got < 0 && errno == EINTR)
        return true;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return false;
    reader.end();
    streamEnded = true;
    return true;
}

bool ImportProcess::viewerBehind() const
{
    int unread = 0;
    return ioctl(stream, FIONREAD, &unread) == 0 && unread > 0;
}

// Resident bytes past those the process started with: pages it shared with
// the viewer then, and still maps, are the viewer's, however many there are
// and whatever the viewer does with its own copies since. Read every few
// milliseconds, so from statm: smaps_rollup's private counts walk every
// page of a big process (tens of milliseconds a read at a gigabyte).
unsigned long long ImportProcess::addedMemory() const
{
    const unsigned long long reported = progress->residentAtStart;
    if (reported == 0)
        return 0;
    // A process forked from the viewer starts with no more than the viewer had.
    const unsigned long long atStart = std::min(reported, viewerResident);
    const unsigned long long now = memoryOf(child, 1);
    return now > atStart ? now - atStart : 0;
}

void ImportProcess::watch()
{
    OwnTime time(child);
    double activeSeconds = 0.0;
    for (;;) {
        takeOutput();
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            waitStatus = status;
            takeOutput(true);
            ended = true;
            return;
        }
        if (stopping) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            waitStatus = status;
            stoppedByViewer = true;
            takeOutput(true);
            ended = true;
            return;
        }
        // Every stage counts, but not a process blocked on a full pipe, or
        // about to be, while the viewer is busy with its frame: a viewer
        // that reads as it draws never gets a healthy import killed.
        const double step = time.step();
        if (!viewerBehind())
            activeSeconds += step;
        if (killReason.empty()) {
            const unsigned long long bytesRead = progress->bytesRead;
            if (activeSeconds > budget.seconds(bytesRead))
                killReason = "the import did not finish within " + seconds(budget.seconds(bytesRead)) +
                             " and was stopped";
            else if (addedMemory() > budget.memory(bytesRead))
                killReason = "the import needed more than " + megabytes(budget.memory(bytesRead)) +
                             " of memory and was stopped";
            if (!killReason.empty())
                kill(child, SIGKILL);
        }
        std::this_thread::sleep_for(watchInterval);
    }
}

// Takes what the process wrote on its standard output and error, without
// waiting: it must never wait on a full pipe. Once the process is gone,
// `last` keeps a line it left without its end.
void ImportProcess::takeOutput(bool last)
{
    char bytes[4096];
    for (;;) {
        const ssize_t got = output >= 0 ? read(output, bytes, sizeof bytes) : 0;
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; ++i) {
            const char c = bytes[i];
            if (c == '\n' || c == '\r')
                endOutputLine();
            else if (outputLine.size() < mostOutputLineBytes)
                outputLine += c;
            else
                outputLineCut = true;
        }
    }
    if (last)
        endOutputLine();
}

void ImportProcess::endOutputLine()
{
    const bool blank = outputLine.find_first_not_of(" \t") == std::string::npos;
    if (!blank && outputLines.size() < mostOutputLines)
        outputLines.push_back(outputLine + (outputLineCut ? "..." : ""));
    else if (!blank)
        ++outputLinesLeftOut;
    outputLine.clear();
    outputLineCut = false;
}

void ImportProcess::stopWatching()
{
    if (!watcher.joinable())
        return;
    stopping = true;
    watcher.join();
}

// Why a stream stopped short: what it held that no import sends, or how the
// process ended.
std::string ImportProcess::cutReason() const
{
    std::string why = reader.result.reason;
    if (why.empty())
        why = killReason;
    if (why.empty() && WIFSIGNALED(waitStatus))
        why = crashReason();
    if (why.empty() && WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) != 0)
        why = "the import process ended with status " + std::to_string(WEXITSTATUS(waitStatus));
    return why.empty() ? "the import process ended before the model was complete" : why;
}

// Whether the process ended by a signal of its own: not one the viewer
// sent, for its budget or because nothing more was wanted of it.
bool ImportProcess::crashed() const
{
    return ended && WIFSIGNALED(waitStatus) && killReason.empty() && !stoppedByViewer;
}

std::string ImportProcess::crashReason() const
{
    // The scene file is mapped into the import process: its bytes vanish
    // under the reader when the file is cut short (an exporter writing it
    // anew), and nothing else in it raises SIGBUS on this system.
    if (WTERMSIG(waitStatus) == SIGBUS)
        return "the file was cut short while it was read (" + std::string(strsignal(SIGBUS)) + ")";
    return "the importer crashed (" + std::string(strsignal(WTERMSIG(waitStatus))) + ")";
}

bool ImportProcess::finish(ModelData& out, std::string& reason)
{
    if (!startFailure.empty()) {
        reason = startFailure;
        return false;
    }
    if (collected) {
        reason = "the import was collected already";
        return false;
    }
    while (!pump(Clock::now() + std::chrono::seconds(1), 100)) {
    }
    collected = true;
    // Over: whatever the process still does is not wanted.
    stopWatching();
    out = std::move(model);
    const TransferResult& result = reader.result;
    // A crash is a crash, whatever came before it: a process that sent its
    // whole model and then died as it left (a destructor finding its heap
    // broken) is no model to trust, nor is an empty one "nothing to draw".
    // Only textures being decoded are let go of, as below, the model kept.
    if (result.outcome == TransferResult::Outcome::complete && !crashed())
        return true;
    if (result.outcome == TransferResult::Outcome::failed) {
        reason = result.reason.empty() ? "the importer gave no reason" : result.reason;
        if (crashed())
            reason += "; then " + crashReason();
        return false;
    }
    const std::string why = cutReason();
    const bool keptThroughTextures =
        result.geometryComplete && (!crashed() || (result.pendingTexture >= 0 && !out.meshes.empty()));
    if (result.outcome == TransferResult::Outcome::complete || !keptThroughTextures) {
        reason = why;
        return false;
    }
    // Every mesh arrived; only the textures from the one being read on are missing.
    for (size_t i = result.pendingTexture < 0 ? out.textures.size() : static_cast<size_t>(result.pendingTexture);
         i < out.textures.size(); ++i)
        out.notes.push_back("Could not load texture " + out.textures[i].name + ": " +
                            (static_cast<int>(i) == result.pendingTexture ? why : "not read after that") +
                            "; its meshes show their colour");
    return true;
}

} // namespace import
