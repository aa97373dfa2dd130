// Reading the claimed format and size out of the headers of the image formats the viewer decodes.
#include "image/ImageHeader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

unsigned bigEndian(const unsigned char* p, int bytes)
{
    unsigned value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | p[i];
    return value;
}

unsigned littleEndian(const unsigned char* p, int bytes)
{
    unsigned value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

std::string lowerExtension(const std::string& name)
{
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot))
        return "";
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return extension;
}

using Result = ImageHeader::Result;

// Whether no complete chunk header claims more bytes than follow it. The
// image library's reader does not tell the PNG decoder when the bytes run
// out, so a chunk claiming two gigabytes is read to its end, out of nothing,
// for minutes. Bytes cut short elsewhere are read (see pngWholeChunks).
bool pngChunksFit(const unsigned char* bytes, size_t size)
{
    size_t at = 8;
    while (at + 8 <= size) {
        const unsigned long long length = bigEndian(bytes + at, 4);
        if (length > 0x7FFFFFFFu || at + 12 + length > size)
            return false;
        if (std::memcmp(bytes + at + 4, "IEND", 4) == 0)
            return true;
        at += 12 + static_cast<size_t>(length);
    }
    return true;
}

// The frame header (SOF0..SOF15 but DHT, JPG and DAC) carries the size; the
// segments before it are skipped by their lengths. Anything the walk does not
// expect (a stray byte between segments, a scan before the frame, the end of
// the bytes) makes the header unreadable: the decoder would skip or guess
// there, and a size it found on its own would never have been checked.
Result readJpeg(const unsigned char* bytes, size_t size, ImageHeader& header)
{
    size_t at = 2;
    while (at + 2 <= size) {
        if (bytes[at] != 0xFF)
            return Result::unreadable;
        const unsigned char type = bytes[at + 1];
        if (type == 0xFF) { // fill byte
            ++at;
            continue;
        }
        at += 2;
        if ((type >= 0xD0 && type <= 0xD7) || type == 0x01)
            continue; // markers without a length
        if (type == 0xD8 || type == 0xD9 || type == 0xDA || at + 2 > size)
            return Result::unreadable;
        const unsigned length = bigEndian(bytes + at, 2);
        if (length < 2)
            return Result::unreadable;
        if (type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC) {
            if (length < 8 || at + 7 > size)
                return Result::unreadable;
            header.height = bigEndian(bytes + at + 3, 2);
            header.width = bigEndian(bytes + at + 5, 2);
            return Result::read;
        }
        at += length;
    }
    return Result::unreadable;
}

// Only the layouts the image library converts faithfully: palettes of 1, 4
// and 8 bits (run-length coded where the format allows), and 24 and 32 bits.
// Its 16-bit conversions leave buffers smaller than the sizes they report.
Result readBmp(const unsigned char* bytes, size_t size, ImageHeader& header)
{
    if (size < 26)
        return Result::unreadable;
    const unsigned infoSize = littleEndian(bytes + 14, 4);
    unsigned bits = 0;
    unsigned compression = 0;
    if (infoSize == 12) { // the OS/2 header: 16-bit sizes
        if (size < 26)
            return Result::unreadable;
        header.width = littleEndian(bytes + 18, 2);
        header.height = littleEndian(bytes + 20, 2);
        bits = littleEndian(bytes + 24, 2);
    } else {
        if (infoSize < 40 || size < 34)
            return Result::unreadable;
        header.width = static_cast<int>(littleEndian(bytes + 18, 4));
        // Negative heights mark top-down rows.
        header.height = std::abs(static_cast<long long>(static_cast<int>(littleEndian(bytes + 22, 4))));
        bits = littleEndian(bytes + 28, 2);
        compression = littleEndian(bytes + 30, 4);
    }
    // The reader seeks to the pixels before it reads them, and its reader
    // of bytes in memory does not stop at their end.
    const unsigned long long pixels = littleEndian(bytes + 10, 4);
    if (pixels < 14ULL + infoSize || pixels > size)
        return Result::unreadable;
    const bool faithful = (compression == 0 && (bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32)) ||
                          (compression == 1 && bits == 8) || (compression == 2 && bits == 4) ||
                          (compression == 3 && bits == 32);
    return faithful ? Result::read : Result::unreadable;
}

// TGA has no signature: only a header that holds values the format allows
// counts as one. Colour-mapped images must map every 8-bit index, or the
// conversion would read past the colour map; 16-bit colour is left out, as
// for BMP.
Result readTga(const unsigned char* bytes, size_t size, ImageHeader& header)
{
    if (size < 18)
        return Result::unreadable;
    const unsigned mapType = bytes[1];
    const unsigned imageType = bytes[2];
    const unsigned mapFirst = littleEndian(bytes + 3, 2);
    const unsigned mapLength = littleEndian(bytes + 5, 2);
    const unsigned mapEntryBits = bytes[7];
    const unsigned depth = bytes[16];
    const unsigned descriptor = bytes[17];
    bool valid = mapType <= 1 && (descriptor & 0x10) == 0;
    switch (imageType) {
    case 1:
    case 9:
        valid = valid && mapType == 1 && depth == 8 && mapFirst == 0 && mapLength >= 256 &&
                (mapEntryBits == 24 || mapEntryBits == 32);
        break;
    case 2:
    case 10:
        valid = valid && (depth == 24 || depth == 32);
        break;
    case 3:
    case 11:
        valid = valid && depth == 8;
        break;
    default:
        valid = false;
    }
    if (!valid)
        return Result::unreadable;
    header.width = littleEndian(bytes + 12, 2);
    header.height = littleEndian(bytes + 14, 2);
    return Result::read;
}

} // namespace

ImageFormat formatOfExtension(const std::string& name)
{
    const std::string extension = lowerExtension(name);
    if (extension == "png")
        return ImageFormat::png;
    if (extension == "jpg" || extension == "jpeg" || extension == "jpe" || extension == "jfif")
        return ImageFormat::jpeg;
    if (extension == "gif")
        return ImageFormat::gif;
    if (extension == "bmp" || extension == "dib")
        return ImageFormat::bmp;
    if (extension == "tga")
        return ImageFormat::tga;
    return ImageFormat::unknown;
}

const char* formatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png:
        return "PNG";
    case ImageFormat::jpeg:
        return "JPEG";
    case ImageFormat::gif:
        return "GIF";
    case ImageFormat::bmp:
        return "BMP";
    case ImageFormat::tga:
        return "TGA";
    case ImageFormat::unknown:
        break;
    }
    return "unknown";
}

size_t pngWholeChunks(const unsigned char* bytes, size_t size, bool& ended)
{
    ended = false;
    size_t at = 8;
    while (at + 12 <= size) {
        const unsigned long long length = bigEndian(bytes + at, 4);
        if (length > 0x7FFFFFFFu || at + 12 + length > size)
            break;
        const bool last = std::memcmp(bytes + at + 4, "IEND", 4) == 0;
        at += 12 + static_cast<size_t>(length);
        if (last) {
            ended = true;
            break;
        }
    }
    return std::min(at, size);
}

ImageHeader::Result ImageHeader::read(const unsigned char* bytes, size_t size, const std::string& name,
                                      ImageHeader& header)
{
    header = ImageHeader();
    const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(bytes, png, 8) == 0) {
        header.format = ImageFormat::png;
        if (size < 24 || std::memcmp(bytes + 12, "IHDR", 4) != 0)
            return Result::unreadable;
        header.width = bigEndian(bytes + 16, 4);
        header.height = bigEndian(bytes + 20, 4);
        return pngChunksFit(bytes, size) ? Result::read : Result::unreadable;
    }
    // The decoder itself asks for no more than these two bytes.
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
        header.format = ImageFormat::jpeg;
        return readJpeg(bytes, size, header);
    }
    if (size >= 6 && (std::memcmp(bytes, "GIF87a", 6) == 0 || std::memcmp(bytes, "GIF89a", 6) == 0)) {
        header.format = ImageFormat::gif;
        if (size < 10)
            return Result::unreadable;
        header.width = littleEndian(bytes + 6, 2);
        header.height = littleEndian(bytes + 8, 2);
        return Result::read;
    }
    if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        header.format = ImageFormat::bmp;
        return readBmp(bytes, size, header);
    }
    if (formatOfExtension(name) == ImageFormat::tga) {
        header.format = ImageFormat::tga;
        return readTga(bytes, size, header);
    }
    return Result::unrecognised;
}
