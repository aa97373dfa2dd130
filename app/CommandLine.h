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
    // Non-empty: render in a hidden window, save this PNG and exit.
    std::string outputPath;
    // Non-empty: the program's own files are here, wherever it was started.
    std::string dataPath;
    int frames = 3; // frames drawn before --output saves the last one
    EffectSwitches effects = allEffectsOn;
    bool noTour = false;
    bool glDebug = false; // a debug context, its messages on standard error
    bool noGround = false; // a model starts without its ground
    bool watch = false;    // a model is opened again when its file changes
    // Where the viewer was started: screenshots go there, though the viewer
    // works in its data folder.
    std::string startFolder;
    bool help = false;
    bool version = false;

    // Parses argv[1..]. On failure returns false with one line naming the
    // option in `error`.
    bool parse(const std::vector<std::string>& args, std::string& error);
};

// The usage line, the options, the keys and the settings keys, for --help.
std::string viewerHelp();
// The usage line alone, printed under an error.
extern const char* const viewerUsage;
// "brassfern X.Y.Z", for --version.
std::string viewerVersion();
