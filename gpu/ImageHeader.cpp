// Reading the claimed size out of the headers of the common image formats.
#include "gpu/ImageHeader.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <vector>

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

bool hasExtension(const std::string& path, const std::string& extension)
{
    if (path.size() < extension.size())
        return false;
    return std::equal(extension.rbegin(), extension.rend(), path.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// The frame header (SOF0..SOF15 but DHT, JPG and DAC) carries the size; the
// markers before it are skipped by their lengths.
bool readJpeg(std::ifstream& file, ImageHeader& header)
{
    file.seekg(2);
    unsigned char marker[4];
    while (file.read(reinterpret_cast<char*>(marker), 2)) {
        if (marker[0] != 0xFF)
            return false;
        if (marker[1] == 0xFF) { // fill byte
            file.seekg(-1, std::ios::cur);
            continue;
        }
        if (marker[1] == 0xD8 || (marker[1] >= 0xD0 && marker[1] <= 0xD7) || marker[1] == 0x01)
            continue; // markers without a length
        if (!file.read(reinterpret_cast<char*>(marker + 2), 2))
            return false;
        const unsigned length = bigEndian(marker + 2, 2);
        if (length < 2)
            return false;
        const unsigned char type = marker[1];
        if (type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC) {
            unsigned char frame[5];
            if (!file.read(reinterpret_cast<char*>(frame), 5))
                return false;
            header.height = bigEndian(frame + 1, 2);
            header.width = bigEndian(frame + 3, 2);
            return true;
        }
        file.seekg(length - 2, std::ios::cur);
    }
    return false;
}

} // namespace

bool ImageHeader::read(const std::string& path, ImageHeader& header)
{
    std::ifstream file(path, std::ios::binary);
    unsigned char head[26] = {};
    if (!file.read(reinterpret_cast<char*>(head), sizeof head) && file.gcount() < 4)
        return false;
    const std::streamsize got = file.gcount();
    file.clear();

    const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got >= 24 && std::equal(png, png + 8, head)) {
        header.width = bigEndian(head + 16, 4);
        header.height = bigEndian(head + 20, 4);
        return true;
    }
    if (head[0] == 0xFF && head[1] == 0xD8)
        return readJpeg(file, header);
    if (got >= 10 && (std::equal(head, head + 6, "GIF87a") || std::equal(head, head + 6, "GIF89a"))) {
        header.width = littleEndian(head + 6, 2);
        header.height = littleEndian(head + 8, 2);
        return true;
    }
    if (got >= 26 && head[0] == 'B' && head[1] == 'M') {
        header.width = static_cast<int>(littleEndian(head + 18, 4));
        // Negative heights mark top-down rows.
        header.height = std::abs(static_cast<long long>(static_cast<int>(littleEndian(head + 22, 4))));
        return true;
    }
    if (got >= 18 && hasExtension(path, ".tga")) {
        header.width = littleEndian(head + 12, 2);
        header.height = littleEndian(head + 14, 2);
        return true;
    }
    return false;
}
