// Reading image files and decoding checked image bytes with DevIL.
#include "image/ImageDecoder.h"

#include "base/RegularFile.h"
#include "image/ImageHeader.h"

#include <IL/il.h>
#include <cstdlib>
#include <cstring>

namespace {

constexpr ILsizei maxImageAllocationBytes = static_cast<ILsizei>(maxImagePixels) * 4;

ILsizei refusedAllocationBytes = 0;

// The image library's allocator, refusing what no texture could use: a
// decoder that sizes a buffer from something other than the checked header
// then fails with the library's out-of-memory code instead of taking the
// machine's memory.
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

bool fits(long long width, long long height, const ImageLimits& limits)
{
    return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
           width * height <= limits.maxPixels;
}

ILenum libraryType(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png:
        return IL_PNG;
    case ImageFormat::jpeg:
        return IL_JPG;
    case ImageFormat::bmp:
        return IL_BMP;
    case ImageFormat::tga:
        return IL_TGA;
    case ImageFormat::gif:
    case ImageFormat::unknown:
        break;
    }
    return IL_TYPE_UNKNOWN;
}

void takeLibraryCodes(ImageFailure& failure)
{
    for (ILenum code = ilGetError(); code != IL_NO_ERROR; code = ilGetError())
        failure.codes.push_back(static_cast<unsigned>(code));
}

} // namespace

std::string imageTooLarge(long long width, long long height, const ImageLimits& limits)
{
    return "the image is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels; textures here take at most " + std::to_string(limits.maxSide) + " x " +
           std::to_string(limits.maxSide) + " and " + std::to_string(limits.maxPixels) + " pixels";
}

bool readImageFile(const std::string& path, std::vector<unsigned char>& bytes, ImageFailure& failure)
{
    bytes.clear();
    RegularFile file(path);
    if (!file.isOpen()) {
        failure.reason = file.failure();
        failure.codes = {IL_COULD_NOT_OPEN_FILE};
        // The image library's own words say it for a file that is not there
        // or a directory; a pipe or a device it would have waited on.
        failure.codesSayWhy = file.failure() != "not a regular file";
        return false;
    }
    if (file.size() > maxImageFileBytes) {
        failure.codes = {IL_COULD_NOT_OPEN_FILE};
        failure.reason = "the file has " + std::to_string(file.size()) + " bytes; images are read up to " +
                         std::to_string(maxImageFileBytes);
        return false;
    }
    std::string reason;
    // A file that shrank while it was read is decoded as far as it goes.
    if (!file.readAll(bytes, maxImageFileBytes, reason) && bytes.empty()) {
        failure.codes = {IL_FILE_READ_ERROR};
        failure.reason = reason;
        return false;
    }
    return true;
}

bool decodeImage(const std::string& name, const unsigned char* bytes, size_t size, const ImageLimits& limits,
                 RowOrder order, DecodedImage& image, ImageFailure& failure)
{
    image = DecodedImage();
    ImageHeader header;
    ImageFormat format = ImageFormat::unknown;
    switch (ImageHeader::read(bytes, size, name, header)) {
    case ImageHeader::Result::read:
        if (!fits(header.width, header.height, limits)) {
            failure.reason = imageTooLarge(header.width, header.height, limits);
            return false;
        }
        format = header.format;
        break;
    case ImageHeader::Result::unreadable:
        failure.reason = std::string("the ") + formatName(header.format) + " header cannot be read to its size";
        return false;
    case ImageHeader::Result::unrecognised:
        // Bytes that only the name calls an image (an empty file, say) go to
        // that format's reader, which checks its signature before anything
        // else and fails with its own codes.
        format = formatOfExtension(name);
        break;
    }
    if (format == ImageFormat::gif) {
        failure.reason = "GIF images are not read (their reader writes past its colour table); "
                         "PNG, JPEG, BMP and TGA are";
        return false;
    }
    if (format == ImageFormat::unknown) {
        failure.reason = "not an image in a format read here: PNG, JPEG, BMP or TGA";
        return false;
    }
    if (size > 0xffffffffu) {
        failure.reason = "the image has more bytes than the image library reads";
        return false;
    }

    ilSetMemory(allocateImageMemory, freeImageMemory);
    refusedAllocationBytes = 0;
    ILuint decoded = 0;
    ilGenImages(1, &decoded);
    ilBindImage(decoded);
    if (order == RowOrder::bottomUp) {
        ilEnable(IL_ORIGIN_SET);
        ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
    }
    std::vector<unsigned char> ended;
    if (format == ImageFormat::png && size >= 8) {
        bool whole = false;
        const size_t chunks = pngWholeChunks(bytes, size, whole);
        if (!whole) {
            static const unsigned char endChunk[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
            ended.assign(bytes, bytes + chunks);
            ended.insert(ended.end(), endChunk, endChunk + sizeof endChunk);
            bytes = ended.data();
            size = ended.size();
        }
    }
    const bool loaded = ilLoadL(libraryType(format), bytes, static_cast<ILuint>(size)) != IL_FALSE;
    if (order == RowOrder::bottomUp)
        ilDisable(IL_ORIGIN_SET);
    if (refusedAllocationBytes != 0 || !loaded) {
        if (refusedAllocationBytes != 0)
            failure.reason = "decoding the image needs " + std::to_string(refusedAllocationBytes) +
                             " bytes at once; at most " + std::to_string(maxImageAllocationBytes) + " are allowed";
        else
            takeLibraryCodes(failure);
        releaseDecodedImage();
        return false;
    }
    image.width = ilGetInteger(IL_IMAGE_WIDTH);
    image.height = ilGetInteger(IL_IMAGE_HEIGHT);
    // Some readers leave an image whose buffer is smaller than its size
    // says (a 16-bit TGA, seen by the fuzzer); reading width x height pixels
    // from it would read past its end.
    if (!ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE) || ilGetData() == nullptr ||
        ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL) != 4 || ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE ||
        ilGetInteger(IL_IMAGE_DEPTH) < 1 ||
        static_cast<long long>(static_cast<unsigned>(ilGetInteger(IL_IMAGE_SIZE_OF_DATA))) <
            4LL * ilGetInteger(IL_IMAGE_WIDTH) * ilGetInteger(IL_IMAGE_HEIGHT)) {
        releaseDecodedImage();
        failure.conversion = true;
        return false;
    }
    image.width = ilGetInteger(IL_IMAGE_WIDTH);
    image.height = ilGetInteger(IL_IMAGE_HEIGHT);
    // The decoder's own idea of the size, should it differ from the header's.
    if (!fits(image.width, image.height, limits)) {
        releaseDecodedImage();
        failure.reason = imageTooLarge(image.width, image.height, limits);
        return false;
    }
    image.pixels = ilGetData();
    return true;
}

void releaseDecodedImage()
{
    ILuint image = static_cast<ILuint>(ilGetInteger(IL_CUR_IMAGE));
    ilDeleteImages(1, &image);
}
