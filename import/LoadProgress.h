// The line on standard error that tells how a long model load is going.
#pragma once

#include "import/ImportProcess.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace import {

// Silent for a model that opens at once. Once a load has taken `showAfter`,
// says what stage it is in, how far and how long, every `interval`: on a
// terminal as one line rewritten in place, elsewhere (a log, a pipe) as a
// plain line when the stage changes and every `plainInterval` besides.
// Whoever prints other lines while it runs calls `clearLine` first.
class LoadProgress {
public:
    using Clock = std::chrono::steady_clock;
    struct Timing {
        double showAfter = 1.0;
        double interval = 0.1;
        double plainInterval = 5.0;
    };
    // The viewer's timing: BRASSFERN_PROGRESS_AFTER, when set, replaces the
    // second after which a load shows (0 shows every load, for checks).
    static Timing viewerTiming();

    LoadProgress(const std::string& name, const ImportProgress* shared, Clock::time_point started,
                 std::ostream& out, bool terminal, const Timing& timing);
    ~LoadProgress();
    LoadProgress(const LoadProgress&) = delete;
    LoadProgress& operator=(const LoadProgress&) = delete;

    // The viewer's own stages, once the import process has handed over.
    void setStage(const std::string& stage);
    void clearLine();
    // Ends the reports; when any was shown, the closing line says `summary`
    // and the time taken. Without a summary (the load failed, and says so
    // itself) the line only goes.
    void finish(const std::string& summary);

private:
    void run();
    std::string describe(double seconds) const;
    void print(const std::string& text, bool last);

    std::string name;
    const ImportProgress* shared;
    Clock::time_point started;
    std::ostream& out;
    bool terminal;
    Timing timing;

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool shown = false;
    bool lineOpen = false; // a terminal line waits to be rewritten
    std::string ownStage;
    std::string lastStage;
    double lastPlain = 0.0;
    std::thread thread;
};

} // namespace import
