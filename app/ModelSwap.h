// Opening another model while the viewer runs: a file dropped on the window, or the one shown read again.
#pragma once

#include <memory>
#include <string>

namespace import {
class ImportProcess;
}

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

    // Starts reading `path` in a process of its own; a reading still under
    // way is given up for it.
    void startReading(const std::string& path);

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
