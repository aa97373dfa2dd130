// An RGBA8 texture, mipmapped unless its reader wants its full size alone, from an image file or from decoded pixels.
#pragma once

#include <GL/glew.h>
#include <string>

class Texture {
public:
    int width = 0;
    int height = 0;
    GLuint id = 0;

    // From an image file, rows in the order the image library delivers them.
    // Returns only with a loaded texture; an unreadable image ends the
    // process. The GL texture is not deleted by this record: its owner does.
    // With `mipmapped` false the texture has its full-size level alone,
    // read texel by texel (a noise pattern fetched by integer position):
    // making mipmaps has a software GL build a program at its first use.
    explicit Texture(const std::string& path, bool mipmapped = true);

    // From width x height RGBA8 pixels, the first row at texture coordinate
    // t = 0: pictures decoded elsewhere and the one-texel colour of a surface
    // without an image. With `srgb` the GL decodes the colour channels from
    // the sRGB encoding as it reads them (before it filters), for colours
    // that are lit in linear units.
    // `mipmaps`, where given, holds the smaller levels down to 1 x 1, one
    // after another, each halved (rounding down) from the one before;
    // otherwise the GL makes them.
    Texture(int width, int height, const unsigned char* rgbaPixels, bool srgb = false,
            const unsigned char* mipmaps = nullptr);

    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // The largest side this GL takes.
    static int maxSide();

private:
    // Uploads `pixels` (RGBA8, width x height) with a full mipmap chain and
    // trilinear minification (or, not `mipmapped`, nearest texels) into a
    // new texture stored as `internalFormat`, left bound on unit 0.
    void upload(const unsigned char* pixels, GLint internalFormat = GL_RGBA, bool mipmapped = true,
                const unsigned char* mipmaps = nullptr);
};
