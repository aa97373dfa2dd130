// Turning image files and image bytes into RGBA8 pixels, handing the image library only what it can take safely.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The most pixels one image may decode to: a 16384 x 16384 picture, 1 GiB
// as RGBA8. It also keeps every buffer the image library sizes in 32-bit
// arithmetic (at most 8 bytes a pixel, sixteen bits in four channels) below
// the 2^32 bytes at which its sizes would wrap.
constexpr long long maxImagePixels = 1LL << 28;
// Image files are read whole before they are decoded; none that the limits
// above allow comes near this.
constexpr size_t maxImageFileBytes = size_t(1) << 30;

struct ImageLimits {
    long long maxSide = 16384;
    long long maxPixels = maxImagePixels;
};

enum class RowOrder {
    // As the image library delivers them: what the built-in scene is made for.
    asDecoded,
    // The bottom row first, whatever the file stores: with texture
    // coordinates whose v grows upward, as the model importer gives them for
    // every format, the picture is then the right way up.
    bottomUp,
};

struct ImageFailure {
    // Why, for a person; empty where the library's codes alone tell it.
    std::string reason;
    // The reason is one the codes say as well (a file that cannot be
    // opened): the built-in scene's failure report shows the codes alone.
    bool codesSayWhy = false;
    // The image library's error codes, as its failure report lists them.
    std::vector<unsigned> codes;
    // Decoded, but not convertible to RGBA8.
    bool conversion = false;
};

// An image decoded into the image library's current image.
struct DecodedImage {
    int width = 0;
    int height = 0;
    const unsigned char* pixels = nullptr; // RGBA8, owned by the library's image
};

// The bytes of a regular file of at most maxImageFileBytes. A missing file
// or a directory fails with the library's code for a file that cannot be
// opened; anything else that is not a regular file (a pipe would block the
// viewer, a device never end) is refused without being read.
bool readImageFile(const std::string& path, std::vector<unsigned char>& bytes, ImageFailure& failure);

// Decodes `bytes`, named `name` (a path, or a model's name for an image
// inside it), into a new current image of the library, converted to RGBA8;
// `image.pixels` stays valid until releaseDecodedImage. A failure leaves no
// image behind. The format comes from
// the bytes, never from the name alone, and only PNG, JPEG, BMP and TGA
// reach the library, after their headers were read and their sizes checked
// against `limits`. GIF headers are read for their size and then refused:
// the library's GIF reader writes past its colour table.
bool decodeImage(const std::string& name, const unsigned char* bytes, size_t size, const ImageLimits& limits,
                 RowOrder order, DecodedImage& image, ImageFailure& failure);

// Deletes the library's current image, which decodeImage left bound.
void releaseDecodedImage();

// "the image is W x H pixels; textures here take at most ...".
std::string imageTooLarge(long long width, long long height, const ImageLimits& limits);
