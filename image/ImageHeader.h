// The format and pixel size an image claims, read from its first bytes before anything is decoded.
#pragma once

#include <cstddef>
#include <string>

// The formats the viewer hands to the image library. Its other loaders
// (Quake textures, palettes, game formats) were never meant for files from
// strangers: some of them free twice on a file of zeros.
enum class ImageFormat { unknown, png, jpeg, gif, bmp, tga };

struct ImageHeader {
    ImageFormat format = ImageFormat::unknown;
    long long width = 0;
    long long height = 0;

    enum class Result {
        read,         // format, width and height are set
        unrecognised, // no signature of a format above
        unreadable,   // the signature of one, but a header that cannot be read to its size
    };

    // The image library trusts the size fields: it sizes its buffers from
    // them in 32-bit arithmetic, so a forged header makes it allocate
    // gigabytes or wrap to a buffer too small for the rows it then writes.
    // TGA has no signature, so `name` ending in ".tga" stands for it; its
    // header must then hold values a TGA can have.
    static Result read(const unsigned char* bytes, size_t size, const std::string& name, ImageHeader& header);
};

// The format that `name`'s extension names, unknown for any other.
ImageFormat formatOfExtension(const std::string& name);

// "PNG", "JPEG"...: for messages.
const char* formatName(ImageFormat format);

// The PNG bytes up to the end of their last whole chunk, and whether that
// chunk is the end chunk. Past the bytes it is given, the image library's
// reader hands the decoder stale bytes and no error: bytes cut short inside
// a chunk, or without an end chunk, were read on out of nothing for minutes.
// Ending them after their last whole chunk with an end chunk of their own
// makes the decoder stop there, with the library's own codes when the
// picture is incomplete.
size_t pngWholeChunks(const unsigned char* bytes, size_t size, bool& ended);
