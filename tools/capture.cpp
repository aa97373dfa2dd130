// brassfern-capture: renders the viewer's real frame off screen and saves the window's picture.
#include "app/Application.h"
#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "render/Renderer.h"
#include "tools/CaptureOptions.h"
#include "tools/PassTimer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <IL/il.h>
#include <algorithm>
#include <chrono>
#include <iostream>
#include <vector>

namespace {

bool savePicture(const std::string& path)
{
    std::vector<unsigned char> pixels(static_cast<size_t>(windowWidth) * static_cast<size_t>(windowHeight) * 3);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(static_cast<ILuint>(windowWidth), static_cast<ILuint>(windowHeight), 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
               pixels.data());
    // GL rows run bottom-up; saying so lets the writer store the picture upright.
    ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
    ilEnable(IL_FILE_OVERWRITE);
    const bool saved = ilSaveImage(path.c_str()) != IL_FALSE;
    ilDeleteImages(1, &image);
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    const auto processStart = std::chrono::steady_clock::now();
    CaptureOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::cerr << "brassfern-capture: " << error << "\n" << CaptureOptions::usage << std::endl;
        return 2;
    }

    openWindow(false, options.windowWidth, options.windowHeight);
    initScene();
    for (size_t i = 0; i < 3 && i < renderer->effectEnabled.size(); ++i)
        renderer->effectEnabled[i] = options.effects[i];

    if (options.freeCamera) {
        tourActive = false;
        camera->setPosition(options.eye.x, options.eye.y, options.eye.z);
        camera->lookAtTarget(options.at);
    } else if (options.tourTime >= 0.0f) {
        // The frame loop's own order: time first, then the camera control.
        while (totalTime < options.tourTime) {
            totalTime += options.dt;
            controlCamera(options.dt);
        }
    } else {
        tourActive = false;
    }

    std::vector<double> frameMilliseconds;
    double startToFirstFrame = 0.0;
    for (int frame = 0; frame < options.frames; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        renderFrame();
        if (frame + 1 < options.frames) {
            glfwSwapBuffers(window);
            reportGlError();
        }
        glFinish(); // the frame is done only when the GPU is
        const auto end = std::chrono::steady_clock::now();
        frameMilliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        if (frame == 0)
            startToFirstFrame = std::chrono::duration<double, std::milli>(end - processStart).count();
    }
    glFinish();
    const bool saved = savePicture(options.outPath);
    reportGlError();
    if (options.timing) {
        // The first frame pays for shader compilation on drivers that
        // compile lazily; it is reported apart from the steady state.
        std::cout << "first-frame-ms " << frameMilliseconds.front() << std::endl;
        std::cout << "start-to-first-frame-ms " << startToFirstFrame << std::endl;
        if (frameMilliseconds.size() > 1) {
            std::vector<double> steady(frameMilliseconds.begin() + 1, frameMilliseconds.end());
            std::sort(steady.begin(), steady.end());
            std::cout << "frame-ms-median " << steady[steady.size() / 2] << std::endl;
        }
        printPassTimes(options.frames);
    }
    shutdown();
    glfwTerminate();
    if (!saved) {
        std::cerr << "brassfern-capture: could not write " << options.outPath << std::endl;
        return 1;
    }
    return 0;
}
