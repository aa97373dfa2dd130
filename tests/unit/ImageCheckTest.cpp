// What image bytes may reach the image library: formats known by their bytes, sizes read and checked before
// anything is decoded, and headers that cannot be read refused.
#include "image/ImageDecoder.h"
#include "image/ImageHeader.h"

#include <IL/il.h>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes pngStart = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
const Bytes jpegStart = {0xFF, 0xD8};
// APP0 (JFIF) with its 16-byte length, then DQT with a short table.
const Bytes app0 = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
const Bytes dqt = {0xFF, 0xDB, 0, 4, 0, 0};

Bytes bigEndian(unsigned value)
{
    return {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

// The signature, a whole IHDR chunk claiming this size, and `rest`.
Bytes png(unsigned width, unsigned height, const Bytes& rest = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0, 0, 0, 0})
{
    return pngStart + bigEndian(width) + bigEndian(height) + Bytes{8, 2, 0, 0, 0} + Bytes(4, 0) + rest;
}

Bytes frame(unsigned char type, unsigned width, unsigned height)
{
    return {0xFF, type, 0, 11, 8, static_cast<unsigned char>(height >> 8), static_cast<unsigned char>(height),
            static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(width), 1, 1, 0x11, 0};
}

Bytes littleEndian(unsigned value, int bytes)
{
    Bytes out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    return out;
}

Bytes bmp(unsigned width, int height, unsigned bits, unsigned compression, unsigned pixels = 54)
{
    return Bytes{'B', 'M'} + Bytes(8, 0) + littleEndian(pixels, 4) + littleEndian(40, 4) + littleEndian(width, 4) +
           littleEndian(static_cast<unsigned>(height), 4) + littleEndian(1, 2) + littleEndian(bits, 2) +
           littleEndian(compression, 4) + Bytes(20, 0);
}

Bytes tga(unsigned char mapType, unsigned char imageType, unsigned mapLength, unsigned char mapBits, unsigned width,
          unsigned height, unsigned char depth)
{
    return Bytes{0, mapType, imageType} + littleEndian(0, 2) + littleEndian(mapLength, 2) + Bytes{mapBits} +
           littleEndian(0, 4) + littleEndian(width, 2) + littleEndian(height, 2) + Bytes{depth, 0};
}

struct HeaderCase {
    const char* what;
    std::string name;
    Bytes bytes;
    ImageHeader::Result result;
    ImageFormat format;
    long long width;
    long long height;
};

TEST(ImageHeader, ReadsEachFormatsSizeAndRefusesWhatItCannotRead)
{
    using R = ImageHeader::Result;
    using F = ImageFormat;
    const HeaderCase cases[] = {
        {"PNG", "a.png", png(65537, 2), R::read, F::png, 65537, 2},
        {"PNG named as JPEG", "a.jpg", png(3, 4), R::read, F::png, 3, 4},
        {"PNG cut in a chunk's header", "a.png", png(3, 4, {0, 0, 0}), R::read, F::png, 3, 4},
        {"PNG cut in its header", "a.png", pngStart + Bytes{0, 0}, R::unreadable, F::png, 0, 0},
        {"PNG whose chunk claims more than follows", "a.png", png(3, 4, bigEndian(0x7FFFFFF0) + Bytes{'t', 'E', 'X', 't'}),
         R::unreadable, F::png, 0, 0},
        {"baseline JPEG", "a.jpg", jpegStart + app0 + dqt + frame(0xC0, 640, 480), R::read, F::jpeg, 640, 480},
        {"progressive JPEG", "a.jpg", jpegStart + app0 + frame(0xC2, 7, 9), R::read, F::jpeg, 7, 9},
        {"JPEG with fill bytes", "a.jpg", jpegStart + Bytes{0xFF, 0xFF} + frame(0xC0, 5, 6), R::read, F::jpeg, 5, 6},
        {"JPEG with a stray byte after APP0", "a.jpg", jpegStart + app0 + Bytes{0} + frame(0xC0, 60000, 60000),
         R::unreadable, F::jpeg, 0, 0},
        {"JPEG whose scan comes first", "a.jpg", jpegStart + Bytes{0xFF, 0xDA, 0, 2} + frame(0xC0, 5, 6),
         R::unreadable, F::jpeg, 0, 0},
        {"JPEG cut before its frame", "a.jpg", jpegStart + app0, R::unreadable, F::jpeg, 0, 0},
        {"GIF", "a.gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 0x60, 0xEA, 2, 0}, R::read, F::gif, 60000, 2},
        {"BMP", "a.bmp", bmp(3, -5, 24, 0), R::read, F::bmp, 3, 5},
        {"BMP of run-length coded bytes", "a.bmp", bmp(3, 5, 8, 1), R::read, F::bmp, 3, 5},
        {"BMP of 16-bit colour", "a.bmp", bmp(3, 5, 16, 0), R::unreadable, F::bmp, 0, 0},
        {"BMP whose pixels lie past its end", "a.bmp", bmp(3, 5, 24, 0, 0xD9FF0036), R::unreadable, F::bmp, 0, 0},
        {"OS/2 BMP", "a.bmp", Bytes{'B', 'M'} + Bytes(8, 0) + littleEndian(26, 4) + littleEndian(12, 4) + littleEndian(7, 2) +
                                   littleEndian(8, 2) + littleEndian(1, 2) + littleEndian(24, 2),
         R::read, F::bmp, 7, 8},
        {"BMP with an unknown header", "a.bmp", Bytes{'B', 'M'} + Bytes(8, 0) + littleEndian(34, 4) + littleEndian(20, 4) + Bytes(16, 0),
         R::unreadable, F::bmp, 0, 0},
        {"true-colour TGA", "a.TGA", tga(0, 2, 0, 0, 60000, 3, 24), R::read, F::tga, 60000, 3},
        {"TGA of 16-bit colour", "a.tga", tga(0, 10, 0, 0, 4, 4, 16), R::unreadable, F::tga, 0, 0},
        {"colour-mapped TGA", "a.tga", tga(1, 1, 256, 24, 4, 4, 8), R::read, F::tga, 4, 4},
        {"TGA mapping only some indices", "a.tga", tga(1, 1, 16, 24, 4, 4, 8), R::unreadable, F::tga, 0, 0},
        {"TGA of no known type", "a.tga", tga(0, 5, 0, 0, 4, 4, 24), R::unreadable, F::tga, 0, 0},
        {"zeros as a Quake texture", "wall.wal", Bytes(4096, 0), R::unrecognised, F::unknown, 0, 0},
        {"zeros named PNG", "a.png", Bytes(64, 0), R::unrecognised, F::unknown, 0, 0},
        {"nothing", "a.png", Bytes(), R::unrecognised, F::unknown, 0, 0},
    };
    for (const HeaderCase& c : cases) {
        ImageHeader header;
        EXPECT_EQ(ImageHeader::read(c.bytes.data(), c.bytes.size(), c.name, header), c.result) << c.what;
        EXPECT_EQ(header.format, c.format) << c.what;
        if (c.result == R::read) {
            EXPECT_EQ(header.width, c.width) << c.what;
            EXPECT_EQ(header.height, c.height) << c.what;
        }
    }
}

// A real PNG, one pixel wide and two high: red on top, blue below.
Bytes redOverBluePng()
{
    ilInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    unsigned char rows[6] = {230, 20, 20, 20, 20, 230};
    ilTexImage(1, 2, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, rows);
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    const std::string path = testing::TempDir() + "red-over-blue.png";
    ilEnable(IL_FILE_OVERWRITE);
    ilSaveImage(path.c_str());
    ilDeleteImages(1, &image);
    std::vector<unsigned char> bytes;
    ImageFailure failure;
    EXPECT_TRUE(readImageFile(path, bytes, failure)) << failure.reason;
    std::remove(path.c_str());
    return bytes;
}

TEST(ImageDecoder, OnlyCheckedImagesOfTheReadFormatsAreDecoded)
{
    ilInit();
    const Bytes real = redOverBluePng();
    const ImageLimits limits;
    struct Case {
        const char* what;
        std::string name;
        Bytes bytes;
        std::string reason; // start of the reason, empty: decoded
    } cases[] = {
        {"a PNG", "a.png", real, ""},
        {"a PNG under another name", "a.wal", real, ""},
        {"zeros", "wall.wal", Bytes(4096, 0), "not an image in a format read here"},
        {"a GIF", "a.gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, "GIF images are not read"},
        {"a size past the limits", "a.png", png(65537, 65535),
         "the image is 65537 x 65535 pixels; textures here take at most 16384 x 16384"},
        {"an unreadable JPEG", "a.jpg", jpegStart + app0 + Bytes{0} + frame(0xC0, 8, 8),
         "the JPEG header cannot be read to its size"},
    };
    for (const Case& c : cases) {
        DecodedImage image;
        ImageFailure failure;
        const bool decoded =
            decodeImage(c.name, c.bytes.data(), c.bytes.size(), limits, RowOrder::asDecoded, image, failure);
        EXPECT_EQ(decoded, c.reason.empty()) << c.what;
        EXPECT_EQ(failure.reason.substr(0, c.reason.size()), c.reason) << c.what;
        if (decoded)
            releaseDecodedImage();
    }
}

// The image library's reader hands the decoder stale bytes past the end: a
// chunk header cut short once made it read on, out of nothing, for minutes.
// Whatever is cut short now ends at once; only the end chunk missing still
// leaves a whole picture.
TEST(ImageDecoder, PngBytesCutShortEndAtOnce)
{
    ilInit();
    const Bytes real = redOverBluePng();
    const Bytes withoutEnd(real.begin(), real.end() - 12);
    // As the fuzzer found it: whole chunks, then three bytes of a header.
    const Bytes headerCut = Bytes(real.begin(), real.begin() + 33) + bigEndian(32) + Bytes{'t', 'E', 'X', 't'} +
                            Bytes(36, 'a') + Bytes{0, 0, 0x7F};
    struct Case {
        const char* what;
        Bytes bytes;
        bool decodes;
    } cases[] = {
        {"without its end chunk", withoutEnd, true},
        {"cut inside its pixels", Bytes(real.begin(), real.begin() + static_cast<long>(real.size() / 2)), false},
        {"cut inside a chunk header", Bytes(real.begin(), real.begin() + 40), false},
        {"ending in part of a header", headerCut, false},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        DecodedImage image;
        ImageFailure failure;
        const bool decoded =
            decodeImage("a.png", c.bytes.data(), c.bytes.size(), ImageLimits(), RowOrder::asDecoded, image, failure);
        EXPECT_EQ(decoded, c.decodes) << c.what;
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0) << c.what;
        if (decoded) {
            EXPECT_EQ(image.height, 2) << c.what;
            releaseDecodedImage();
        } else {
            EXPECT_TRUE(!failure.codes.empty() || !failure.reason.empty()) << c.what;
        }
    }
}

TEST(ImageDecoder, BottomUpRowsPutThePicturesTopRowLast)
{
    const Bytes real = redOverBluePng();
    for (RowOrder order : {RowOrder::asDecoded, RowOrder::bottomUp}) {
        DecodedImage image;
        ImageFailure failure;
        ASSERT_TRUE(decodeImage("a.png", real.data(), real.size(), ImageLimits(), order, image, failure));
        ASSERT_EQ(image.width, 1);
        ASSERT_EQ(image.height, 2);
        const bool redFirst = image.pixels[0] > image.pixels[2];
        EXPECT_EQ(redFirst, order == RowOrder::asDecoded);
        releaseDecodedImage();
    }
}

} // namespace
