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

private:
    // Decodes the file into a new image library image and returns its RGBA8
    // pixels, storing the size in the two out-arguments. The pixels belong to
    // that image, which stays the library's current image until
    // releaseLoadedImage: the constructor uploads them in between.
    static unsigned char* loadImage(const std::string& path, int& width, int& height);
    static void releaseLoadedImage();
};
