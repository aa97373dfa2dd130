// What the import process tells the viewer while it works: the stage and how far, in memory both share.
#pragma once

#include <atomic>

namespace import {

struct ImportProgress {
    enum Stage : int { importing, building, sending, decodingTextures, sendingTextures, finished };
    std::atomic<int> stage{importing};
    // Bytes the files read so far take on disk: the budgets grow with them.
    std::atomic<unsigned long long> bytesRead{0};
    // How far the stage is, where it can tell: bytes of the model file
    // read, or textures decoded, of how many.
    std::atomic<unsigned long long> workDone{0};
    std::atomic<unsigned long long> workTotal{0};
    // The process's resident bytes as it started: the pages it still shares
    // with the viewer then, which its budget leaves out.
    std::atomic<unsigned long long> residentAtStart{0};
};

} // namespace import
