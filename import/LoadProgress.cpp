// Progress of a model load: a watcher thread that reads the import process's shared page.
#include "import/LoadProgress.h"

#include <cstdio>
#include <cstdlib>

namespace import {

namespace {

// The stages of the import process in words.
std::string importStageName(int stage)
{
    switch (stage) {
    case ImportProgress::importing:
        return "reading";
    case ImportProgress::building:
        return "building the meshes";
    case ImportProgress::sending:
        return "receiving the meshes";
    case ImportProgress::decodingTextures:
    case ImportProgress::sendingTextures:
        return "decoding textures";
    default:
        return "finishing";
    }
}

} // namespace

LoadProgress::Timing LoadProgress::viewerTiming()
{
    Timing timing;
    if (const char* after = std::getenv("BRASSFERN_PROGRESS_AFTER")) {
        char* end = nullptr;
        const double seconds = std::strtod(after, &end);
        if (end != after && *end == '\0' && seconds >= 0.0 && seconds < 3600.0)
            timing.showAfter = seconds;
    }
    return timing;
}

LoadProgress::LoadProgress(const std::string& name, const ImportProgress* shared, Clock::time_point started,
                           std::ostream& out, bool terminal, const Timing& timing)
    : name(name), shared(shared), started(started), out(out), terminal(terminal), timing(timing)
{
    thread = std::thread([this] { run(); });
}

LoadProgress::~LoadProgress()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable())
        thread.join();
}

void LoadProgress::setStage(const std::string& stage)
{
    const std::lock_guard<std::mutex> lock(mutex);
    ownStage = stage;
}

void LoadProgress::clearLine()
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (lineOpen) {
        out << "\r\033[K" << std::flush;
        lineOpen = false;
    }
}

void LoadProgress::finish(const std::string& summary)
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable())
        thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const std::lock_guard<std::mutex> lock(mutex);
    // A load that passed the threshold between two looks (or before the
    // first) still says where it was.
    if (!shown && seconds >= timing.showAfter && !summary.empty()) {
        print(describe(seconds), false);
        shown = true;
    }
    if (!shown)
        return;
    if (summary.empty()) {
        if (lineOpen)
            out << "\r\033[K" << std::flush;
        lineOpen = false;
        return;
    }
    char took[32];
    std::snprintf(took, sizeof took, "%.1f s", seconds);
    print("brassfern: opened " + name + ": " + summary + " in " + took, true);
    lineOpen = false;
}

std::string LoadProgress::describe(double seconds) const
{
    std::string stage = ownStage;
    unsigned long long done = 0;
    unsigned long long total = 0;
    if (stage.empty() && shared != nullptr) {
        const int at = shared->stage;
        stage = importStageName(at);
        if (at == ImportProgress::importing || at == ImportProgress::decodingTextures ||
            at == ImportProgress::sendingTextures) {
            done = shared->workDone;
            total = shared->workTotal;
        }
    }
    std::string line = "brassfern: opening " + name + ": " + stage;
    char text[64];
    if (total > 0 && done <= total) {
        std::snprintf(text, sizeof text, " %.0f%%", 100.0 * static_cast<double>(done) / static_cast<double>(total));
        line += text;
    }
    std::snprintf(text, sizeof text, ", %.1f s", seconds);
    return line + text;
}

// On a terminal every line replaces the open one; `last` ends it.
void LoadProgress::print(const std::string& text, bool last)
{
    if (terminal)
        out << "\r" << text << "\033[K" << (last ? "\n" : "") << std::flush;
    else
        out << text << "\n" << std::flush;
    lineOpen = terminal && !last;
}

void LoadProgress::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    const auto step = std::chrono::duration<double>(timing.interval);
    for (; !stopping; wake.wait_for(lock, step)) {
        if (stopping)
            break;
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        if (seconds < timing.showAfter)
            continue;
        shown = true;
        const std::string line = describe(seconds);
        if (terminal) {
            print(line, false);
            continue;
        }
        const std::string stageName = ownStage.empty() && shared != nullptr ? importStageName(shared->stage) : ownStage;
        if (stageName != lastStage || seconds - lastPlain >= timing.plainInterval) {
            lastStage = stageName;
            lastPlain = seconds;
            print(line, false);
        }
    }
}

} // namespace import
