// Opening another model while the viewer runs: a file dropped on the window, or the one shown read again.
#pragma once

#include <chrono>
#include <memory>
#include <string>

class ModelLoad;
namespace import {
class ImportProcess;
}

// The model the viewer shows, replaced by another one, or by a new reading
// of its own file, without stopping the frames: the file is imported in its
// own process, whose stream is taken a little each frame while the old
// model is still drawn, and swapped in only once it is all there. A file
// that cannot be shown leaves the model shown as it is, and its lines say
// why. A window's first model comes in the same way.
class ModelSwap {
public:
    ModelSwap();
    ~ModelSwap();
    ModelSwap(const ModelSwap&) = delete;
    ModelSwap& operator=(const ModelSwap&) = delete;

    // Starts reading `path` in a process of its own; a reading still under
    // way is given up for it.
    void startReading(const std::string& path);

    // The start-up's model, read by `started` where it was started early:
    // shown as any other once it is there, but a failure leaves the empty
    // stage without the line that says the model shown stays.
    void startWith(const std::string& path, std::unique_ptr<import::ImportProcess> started);

    // Whether a reading is under way, and whether it is the start-up's.
    bool busy() const { return pending != nullptr; }
    bool startingUp() const { return pending != nullptr && pendingFirst; }

    // Once a frame: takes what the reading has received, and once the model
    // is all there puts it where the old one was (framed, on its ground,
    // seen from the start view unless the tour is playing). True when the
    // model was replaced.
    bool poll();

    // The file of the model shown, once one was swapped in.
    const std::string& shownPath() const { return shown; }

private:
    void giveUp();

    std::unique_ptr<ModelLoad> pending;
    bool pendingFirst = false;
    std::chrono::steady_clock::time_point lastPoll;
    std::string shown;
};
