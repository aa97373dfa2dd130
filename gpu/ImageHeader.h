// The pixel size an image file claims, read from its header before anything is decoded.
#pragma once

#include <string>

struct ImageHeader {
    long long width = 0;
    long long height = 0;

    // The size claimed by a PNG, JPEG, GIF, BMP or (by its extension) TGA
    // file; false for other formats and for files too short to say. The image
    // library trusts these fields: it sizes its buffers from them in 32-bit
    // arithmetic, so a forged header makes it allocate gigabytes or wrap to a
    // buffer too small for the rows it then writes.
    static bool read(const std::string& path, ImageHeader& header);
};
