// How long the steps of the start-up took, for the tools that report them.
#pragma once

#include <chrono>

// Milliseconds. The viewer only fills them in; the benchmark prints them.
struct StartupTimes {
    double context = 0.0;     // glfwInit to a current, loaded GL context
    double renderer = 0.0;    // the renderer with its targets and effects
    double light = 0.0;       // the light with its shadow targets and blur
    double sceneImport = 0.0; // the scene file to drawable objects, of which:
    double sceneTextureDecoding = 0.0;
    double sceneProgramBuilds = 0.0;
    double sceneMeshUpload = 0.0;

    // Running totals over the whole start-up, kept where the work is done.
    double textureDecoding = 0.0;
    double programBuilds = 0.0;
    double meshUpload = 0.0;
};

extern StartupTimes startupTimes;

// Adds the time between its construction and its end to `total`.
class StartupClock {
public:
    explicit StartupClock(double& total) : total(total), start(std::chrono::steady_clock::now()) {}
    ~StartupClock()
    {
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    StartupClock(const StartupClock&) = delete;
    StartupClock& operator=(const StartupClock&) = delete;

private:
    double& total;
    const std::chrono::steady_clock::time_point start;
};
