// The viewer's command line: brassfern [options] [SCENE_FILE].
#pragma once

#include "base/EffectSwitches.h"

#include <string>
#include <vector>

struct ViewerOptions {
    // Empty: the built-in scene, found as the program always has.
    std::string scenePath;
    // Empty: Settings/resolution.txt, silently optional.
    std::string settingsPath;
    // Non-empty: render with no window shown, save this PNG and exit.
    std::string outputPath;
    // Non-empty: the program's own files are here, wherever it was started.
    std::string dataPath;
    int frames = 3; // frames drawn before --output saves the last one
    EffectSwitches effects = allEffectsOn;
    bool noTour = false;
    bool glDebug = false; // a debug context, its messages on standard error
    bool noGround = false; // a model starts without its ground
    bool watch = false;    // a model is opened again when its file changes
    // With --output: drawn through EGL with no window system even where a
    // display could be opened.
    bool headless = false;
    // With --output, positive: a thumbnail, fitted within size x size in the
    // model's aspect, one still frame from the start view (no tour) read
    // within the thumbnail's import budget.
    int size = 0;
    // With --output: the backdrop and the ground left out, transparent in the PNG.
    bool transparent = false;
    // Where the viewer was started: screenshots go there, though the viewer
    // works in its data folder.
    std::string startFolder;
    bool help = false;
    bool version = false;

    // Parses argv[1..]. On failure returns false with one line naming the
    // option in `error`.
    bool parse(const std::vector<std::string>& args, std::string& error);
};

// The largest --size: its supersampled render still fits the GL's targets.
constexpr int maxPictureSize = 4096;

// The usage line, the options, the keys and the settings keys, for --help.
std::string viewerHelp();
// The usage line alone, printed under an error.
extern const char* const viewerUsage;
// "brassfern X.Y.Z", for --version.
std::string viewerVersion();
