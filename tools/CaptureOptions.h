// Command-line options of the capture tool.
#pragma once

#include "camera/Controls.h"
#include "base/EffectSwitches.h"

#include <glm/glm.hpp>
#include <string>
#include <vector>

struct CaptureOptions {
    // --eye and --at, given together: this pose and no tour. Without them
    // and without --tour-time the picture shows the start view.
    bool freeCamera = false;
    glm::vec3 eye{0.0f};
    glm::vec3 at{0.0f};
    int frames = 3;
    std::string outPath = "capture.png";
    int windowWidth = 0; // 0: from the settings
    int windowHeight = 0;
    EffectSwitches effects = allEffectsOn;
    float tourTime = -1.0f; // below 0: no tour replay
    float dt = pictureFrameSeconds;
    int benchFrames = 0; // above 0: time this many frames after the warm-up ones
    bool moving = false; // the timed frames turn the camera as a drag does
    std::string modelPath; // empty: the built-in scene
    bool noGround = false; // a model without the ground under it
    bool help = false;

    // Parses argv[1..]; on failure returns false with a reason in `error`.
    bool parse(const std::vector<std::string>& args, std::string& error);

    static constexpr const char* usage =
        "usage: brassfern-capture [--eye X,Y,Z --at X,Y,Z] [--tour-time T] [--dt S] [--frames N] "
        "[--effects SDB] [--window WxH] [--bench N [--moving]] [--no-ground] --out FILE.png [MODEL]";

    static constexpr const char* helpText =
        "usage: brassfern-capture [options] [MODEL]\n"
        "\n"
        "Starts as the viewer does in a hidden window, draws frames of the built-in scene\n"
        "(or of MODEL, framed as the viewer frames it) through the real pipeline and\n"
        "saves the last one.\n"
        "\n"
        "Options:\n"
        "  -h, --help         this text, then exit\n"
        "  --out FILE.png     the picture to write (default capture.png)\n"
        "  --eye X,Y,Z        camera position; goes with --at, without the tour\n"
        "  --at X,Y,Z         the point the camera looks at\n"
        "  --tour-time T      replay the tour to T seconds (0 to 3600)\n"
        "  --dt S             the tour replay's step in seconds (default 1/30)\n"
        "  --frames N         frames drawn before the picture (default 3)\n"
        "  --effects SDB      three digits, 0 or 1: ambient occlusion, depth of field,\n"
        "                     bloom (default 111)\n"
        "  --window WxH       window size instead of the settings' one\n"
        "  --bench N          time N frames after five warm-up ones and print the\n"
        "                     start-up split and each pass's GPU time\n"
        "  --moving           with --bench: the camera turns in every frame after the\n"
        "                     first, as a drag turns it, and the viewer's moving frames\n"
        "                     are timed\n"
        "  --no-ground        MODEL without the ground under it\n"
        "\n"
        "Without --eye, --at and --tour-time the picture shows the start view. Shaders,\n"
        "textures and Settings/resolution.txt come from the working directory, or from\n"
        "where the viewer finds its own when that has no Shader folder.\n";
};
