// A mipmapped RGBA8 texture made from one image file.
#pragma once

#include <GL/glew.h>
#include <string>

class Texture {
public:
    int width = 0;
    int height = 0;
    GLuint id = 0;

    // Returns only with a loaded texture; an unreadable image ends the
    // process. The GL texture is not deleted by this record: its owner does.
    explicit Texture(const std::string& path);

    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    static unsigned char* loadImage(const std::string& path, int& width, int& height);
};
