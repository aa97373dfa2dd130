// Command-line options of the capture tool.
#pragma once

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
    bool effects[3] = {true, true, true};
    float tourTime = -1.0f; // below 0: no tour replay
    float dt = 1.0f / 30.0f;
    int benchFrames = 0; // above 0: time this many frames after the warm-up ones

    // Parses argv[1..]; on failure returns false with a reason in `error`.
    bool parse(const std::vector<std::string>& args, std::string& error);

    static constexpr const char* usage =
        "usage: brassfern-capture [--eye X,Y,Z --at X,Y,Z] [--tour-time T] [--dt S] [--frames N] "
        "[--effects SDB] [--window WxH] [--bench N] --out FILE.png";
};
