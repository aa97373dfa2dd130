// A mipmapped RGBA8 texture made from one image file.
#pragma once

#include <GL/glew.h>
#include <cstddef>
#include <string>

class Texture {
public:
    int width = 0;
    int height = 0;
    GLuint id = 0;

    // Returns only with a loaded texture; an unreadable image ends the
    // process. The GL texture is not deleted by this record: its owner does.
    explicit Texture(const std::string& path);

    // From an encoded image in memory (a model's embedded texture); `name`
    // stands for the path in a failure report.
    Texture(const std::string& name, const unsigned char* encoded, size_t size);

    // From width x height RGBA8 pixels, rows bottom up: decoded pictures and
    // the one-texel colour of a surface without an image.
    Texture(int width, int height, const unsigned char* rgbaPixels);

    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

private:
    // Uploads `pixels` (RGBA8, width x height) with a full mipmap chain and
    // trilinear minification into a new texture, left bound on unit 0.
    void upload(const unsigned char* pixels);
    // Decodes the file into a new image library image and returns its RGBA8
    // pixels, storing the size in the two out-arguments. The pixels belong to
    // that image, which stays the library's current image until
    // releaseLoadedImage: the constructor uploads them in between.
    static unsigned char* loadImage(const std::string& path, int& width, int& height);
    static void releaseLoadedImage();
};
