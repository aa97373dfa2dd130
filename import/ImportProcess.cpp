// Starting, watching and collecting the import process.
#include "import/ImportProcess.h"

#include "import/ModelTransfer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <new>
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

namespace import {

namespace {

constexpr int streamDescriptor = 3;
constexpr auto watchInterval = std::chrono::milliseconds(10);

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

[[noreturn]] void runChild(const std::string& path, int writeEnd, ImportProgress* progress, const ImportBudget& budget,
                           pid_t viewer)
{
#ifdef __linux__
    // A viewer that ends on a fatal path does not wait for its import.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != viewer)
        _exit(1);
#else
    (void)viewer;
#endif
    // Only the stream stays open: a descriptor of the viewer's (another
    // import's stream, above all) held here would keep its reader waiting.
    if (writeEnd != streamDescriptor) {
        dup2(writeEnd, streamDescriptor);
        close(writeEnd);
    }
    closefrom(streamDescriptor + 1);
    // A viewer that went away is no reason to die of a signal.
    std::signal(SIGPIPE, SIG_IGN);
    const AddressLimit limit(budget);
    sendModel(path, streamDescriptor, progress, [&limit, progress](unsigned long long bytes) {
        limit.set(progress->bytesRead += bytes);
    });
    progress->stage = ImportProgress::finished;
    _exit(0);
}

} // namespace

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
    // Whatever is buffered would otherwise be written twice.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t viewer = getpid();
    child = fork();
    if (child == 0)
        runChild(path, ends[1], progress, budget, viewer);
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        startFailure = std::string("cannot start the import process: ") + std::strerror(errno);
        return;
    }
    stream = ends[0];
    watcher = std::thread([this] { watch(); });
}

ImportProcess::~ImportProcess()
{
    stopWatching();
    if (stream >= 0)
        close(stream);
    if (progress != nullptr) {
        progress->~ImportProgress();
        munmap(progress, sizeof(ImportProgress));
    }
}

bool ImportProcess::ready() const
{
    return !startFailure.empty() || ended || progress->stage >= ImportProgress::sending;
}

void ImportProcess::watch()
{
    using Clock = std::chrono::steady_clock;
    double activeSeconds = 0.0;
    Clock::time_point last = Clock::now();
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            waitStatus = status;
            ended = true;
            return;
        }
        if (stopping) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            waitStatus = status;
            ended = true;
            return;
        }
        const Clock::time_point now = Clock::now();
        const int stage = progress->stage;
        if (stage == ImportProgress::importing || stage == ImportProgress::building ||
            stage == ImportProgress::decodingTextures)
            activeSeconds += std::chrono::duration<double>(now - last).count();
        last = now;
        if (killReason.empty()) {
            const unsigned long long bytesRead = progress->bytesRead;
            const unsigned long long resident = memoryOf(child, 1);
            if (activeSeconds > budget.seconds(bytesRead))
                killReason = "the import did not finish within " + seconds(budget.seconds(bytesRead)) +
                             " and was stopped";
            else if (resident > budget.memory(bytesRead))
                killReason = "the import needed more than " + megabytes(budget.memory(bytesRead)) +
                             " of memory and was stopped";
            if (!killReason.empty())
                kill(child, SIGKILL);
        }
        std::this_thread::sleep_for(watchInterval);
    }
}

void ImportProcess::stopWatching()
{
    if (!watcher.joinable())
        return;
    stopping = true;
    watcher.join();
}

bool ImportProcess::finish(ModelData& model, std::string& reason)
{
    if (!startFailure.empty()) {
        reason = startFailure;
        return false;
    }
    if (stream < 0) {
        reason = "the import was collected already";
        return false;
    }
    const TransferResult result = readTransfer(stream, model);
    close(stream);
    stream = -1;
    // Give a process that ended by itself a moment to be seen doing so,
    // rather than be killed for being slow to exit.
    for (int i = 0; i < 100 && !ended; ++i)
        std::this_thread::sleep_for(watchInterval);
    stopWatching();

    if (result.outcome == TransferResult::Outcome::complete)
        return true;
    if (result.outcome == TransferResult::Outcome::failed) {
        reason = result.reason.empty() ? "the importer gave no reason" : result.reason;
        return false;
    }
    std::string why = killReason;
    if (why.empty() && WIFSIGNALED(waitStatus))
        why = "the importer crashed (" + std::string(strsignal(WTERMSIG(waitStatus))) + ")";
    if (why.empty() && WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) != 0)
        why = "the import process ended with status " + std::to_string(WEXITSTATUS(waitStatus));
    if (why.empty())
        why = result.reason.empty() ? "the import process ended before the model was complete" : result.reason;
    if (!result.geometryComplete) {
        reason = why;
        return false;
    }
    // Every mesh arrived; only the textures from the one being read on are missing.
    for (size_t i = result.pendingTexture < 0 ? model.textures.size() : static_cast<size_t>(result.pendingTexture);
         i < model.textures.size(); ++i)
        model.notes.push_back("Could not load texture " + model.textures[i].name + ": " +
                              (static_cast<int>(i) == result.pendingTexture ? why : "not read after that") +
                              "; its meshes show their colour");
    return true;
}

} // namespace import
