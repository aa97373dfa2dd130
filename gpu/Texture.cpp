// Decoding images with DevIL and uploading them with a full mipmap chain.
#include "gpu/Texture.h"

#include "app/Fatal.h"
#include "gpu/ImageHeader.h"
#include "gpu/StartupTimes.h"

#include <IL/il.h>
#include <cstdlib>
#include <iostream>

namespace {

// The most pixels one image may decode to: a 16384 x 16384 picture, 1 GiB
// as RGBA8. Past this a scene texture is a mistake or a forgery, and the
// image library computes buffer sizes in 32-bit arithmetic that a few times
// more would wrap.
constexpr long long maxImagePixels = 1LL << 28;
constexpr ILsizei maxImageAllocationBytes = static_cast<ILsizei>(maxImagePixels) * 4;

ILsizei refusedAllocationBytes = 0;

// The image library's allocator, refusing what no texture could use: a
// format whose header is not checked beforehand then fails to load with the
// library's out-of-memory code instead of taking the machine's memory.
void* ILAPIENTRY allocateImageMemory(const ILsizei bytes)
{
    if (bytes > maxImageAllocationBytes) {
        refusedAllocationBytes = bytes;
        return nullptr;
    }
    return std::malloc(bytes);
}

void ILAPIENTRY freeImageMemory(const void* memory)
{
    std::free(const_cast<void*>(memory));
}

GLint maxTextureSize()
{
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

bool fitsTexture(long long width, long long height, GLint maxSize)
{
    return width > 0 && height > 0 && width <= maxSize && height <= maxSize && width * height <= maxImagePixels;
}

// The load failure with the library's pending codes; `reason`, when given,
// goes to standard error so that standard output keeps its exact lines.
[[noreturn]] void failToLoad(const std::string& path, const std::string& reason)
{
    std::cout << "Failed to load texture! - " << path << std::endl;
    std::cout << "Error-code(s):" << std::endl;
    for (ILenum code = ilGetError(); code != IL_NO_ERROR; code = ilGetError())
        std::cout << static_cast<unsigned>(code) << std::endl;
    if (!reason.empty())
        std::cerr << "Message: " << reason << std::endl;
    fatalExit(-1);
}

std::string tooLarge(long long width, long long height, GLint maxSize)
{
    return "the image is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels; textures here take at most " + std::to_string(maxSize) + " x " + std::to_string(maxSize) +
           " and " + std::to_string(maxImagePixels) + " pixels";
}

// Decodes into a new current image through `load` (a file or bytes), under
// the capped allocator, and converts it to RGBA8; every failure ends the
// process naming `name`. The pixels belong to the image, which stays current.
template <typename Load>
unsigned char* decodeImage(const std::string& name, GLint maxSize, int& width, int& height, Load load)
{
    ilSetMemory(allocateImageMemory, freeImageMemory);
    refusedAllocationBytes = 0;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    const bool loaded = load();
    if (refusedAllocationBytes != 0)
        failToLoad(name, "decoding the image needs " + std::to_string(refusedAllocationBytes) +
                             " bytes at once; at most " + std::to_string(maxImageAllocationBytes) + " are allowed");
    if (!loaded)
        failToLoad(name, "");
    if (!ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE) || ilGetData() == nullptr)
        fatal({"Failed to convert texture!"}, -1);
    width = ilGetInteger(IL_IMAGE_WIDTH);
    height = ilGetInteger(IL_IMAGE_HEIGHT);
    // Formats without a checked header: the GL would refuse the upload and
    // leave a texture without an image, which samples as black.
    if (!fitsTexture(width, height, maxSize))
        failToLoad(name, tooLarge(width, height, maxSize));
    return ilGetData();
}

} // namespace

Texture::Texture(const std::string& path)
{
    const StartupClock clock(startupTimes.textureDecoding);
    glGenTextures(1, &id);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, id);
    unsigned char* pixels = loadImage(path, width, height);
    upload(pixels);
    // The GL holds its own copy now; keeping the decoded image would only
    // double the memory of every scene texture.
    releaseLoadedImage();
}

Texture::Texture(const std::string& name, const unsigned char* encoded, size_t size)
{
    const StartupClock clock(startupTimes.textureDecoding);
    unsigned char* pixels = decodeImage(name, maxTextureSize(), width, height, [encoded, size] {
        return size <= 0x7fffffffu && ilLoadL(IL_TYPE_UNKNOWN, encoded, static_cast<ILuint>(size));
    });
    upload(pixels);
    releaseLoadedImage();
}

Texture::Texture(int width, int height, const unsigned char* rgbaPixels) : width(width), height(height)
{
    upload(rgbaPixels);
}

void Texture::upload(const unsigned char* pixels)
{
    if (id == 0)
        glGenTextures(1, &id);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void Texture::releaseLoadedImage()
{
    ILuint image = static_cast<ILuint>(ilGetInteger(IL_CUR_IMAGE));
    ilDeleteImages(1, &image);
}

unsigned char* Texture::loadImage(const std::string& path, int& width, int& height)
{
    const GLint maxSize = maxTextureSize();
    ImageHeader header;
    if (ImageHeader::read(path, header) && !fitsTexture(header.width, header.height, maxSize))
        failToLoad(path, tooLarge(header.width, header.height, maxSize));
    return decodeImage(path, maxSize, width, height, [&path] { return ilLoadImage(path.c_str()) != IL_FALSE; });
}
