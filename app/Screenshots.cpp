// Saving the frame drawn as a picture: under a name asked for, or the next free one.
#include "app/Screenshots.h"

#include "app/Globals.h"
#include "app/PictureFile.h"
#include "render/Renderer.h"
#include "base/Printable.h"

#include <GL/glew.h>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

namespace {

// The frame just drawn: the picture target's, where the renderer draws into
// one, else the window's back buffer. Rows bottom-up, as the GL reads them.
std::vector<unsigned char> readFrame()
{
    std::vector<unsigned char> pixels(static_cast<size_t>(framebufferWidth) * static_cast<size_t>(framebufferHeight) *
                                      3);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->pictureFramebuffer);
    glReadBuffer(renderer->pictureFramebuffer != 0 ? GL_COLOR_ATTACHMENT0 : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, framebufferWidth, framebufferHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return pixels;
}

} // namespace

void Screenshots::saveIfWanted()
{
    if (!wanted)
        return;
    wanted = false;
    const std::vector<unsigned char> pixels = readFrame();
    for (int number = 1; number <= 9999; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "brassfern-%04d.png", number);
        const std::string path = (std::filesystem::path(folder) / name).string();
        // The file is only ever created new: a name already taken, by a link
        // to nothing too, is passed over, and so is one that another program
        // takes at the same moment.
        std::string reason;
        const NewPicture outcome = writeNewPicture(path, framebufferWidth, framebufferHeight, pixels.data(), reason);
        if (outcome == NewPicture::taken)
            continue;
        if (outcome == NewPicture::written)
            std::cout << "Saved " << printable(path) << std::endl;
        else
            std::cerr << "brassfern: could not write " << printable(path) << ": " << printable(reason) << std::endl;
        return;
    }
    std::cerr << "brassfern: no free screenshot name left in " << printable(folder) << std::endl;
}

bool saveWindowPicture(const std::string& path, std::string* reason)
{
    const std::vector<unsigned char> pixels = readFrame();
    std::string why;
    const bool saved = writePicture(path, framebufferWidth, framebufferHeight, pixels.data(), why);
    if (reason != nullptr)
        *reason = why;
    return saved;
}
