// Loading image files into textures and uploading them with a full mipmap chain.
#include "gpu/Texture.h"

#include "base/Fatal.h"
#include "base/Printable.h"
#include "image/ImageDecoder.h"
#include "base/StartupTimes.h"

#include <algorithm>
#include <iostream>
#include <vector>

namespace {

// The load failure with the library's codes; the reason, when there is one,
// goes to standard error so that standard output keeps its exact lines.
[[noreturn]] void failToLoad(const std::string& path, const ImageFailure& failure)
{
    if (failure.conversion)
        fatal({"Failed to convert texture!"}, -1);
    std::cout << "Failed to load texture! - " << printable(path) << std::endl;
    std::cout << "Error-code(s):" << std::endl;
    for (unsigned code : failure.codes)
        std::cout << code << std::endl;
    if (!failure.reason.empty() && !failure.codesSayWhy)
        std::cerr << "Message: " << failure.reason << std::endl;
    fatalExit(-1);
}

} // namespace

int Texture::maxSide()
{
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

Texture::Texture(const std::string& path, bool mipmapped)
{
    const StartupClock clock(startupTimes.textureDecoding);
    glGenTextures(1, &id);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, id);
    ImageLimits limits;
    limits.maxSide = maxSide();
    std::vector<unsigned char> bytes;
    ImageFailure failure;
    DecodedImage image;
    if (!readImageFile(path, bytes, failure) ||
        !decodeImage(path, bytes.data(), bytes.size(), limits, RowOrder::asDecoded, image, failure))
        failToLoad(path, failure);
    width = image.width;
    height = image.height;
    upload(image.pixels, GL_RGBA, mipmapped);
    // The GL holds its own copy now; keeping the decoded image would only
    // double the memory of every scene texture.
    releaseDecodedImage();
}

Texture::Texture(int width, int height, const unsigned char* rgbaPixels, bool srgb, const unsigned char* mipmaps)
    : width(width), height(height)
{
    upload(rgbaPixels, srgb ? GL_SRGB8_ALPHA8 : GL_RGBA, true, mipmaps);
}

void Texture::upload(const unsigned char* pixels, GLint internalFormat, bool mipmapped, const unsigned char* mipmaps)
{
    if (id == 0)
        glGenTextures(1, &id);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    if (!mipmapped) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        return;
    }
    if (mipmaps != nullptr) {
        int level = 0;
        for (int w = width, h = height; w > 1 || h > 1;) {
            w = std::max(1, w / 2);
            h = std::max(1, h / 2);
            glTexImage2D(GL_TEXTURE_2D, ++level, internalFormat, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, mipmaps);
            mipmaps += 4 * static_cast<size_t>(w) * static_cast<size_t>(h);
        }
    } else {
        glGenerateMipmap(GL_TEXTURE_2D);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}
