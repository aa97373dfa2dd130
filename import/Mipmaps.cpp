// Mipmap levels by area averaging, in linear light for sRGB textures.
#include "import/Mipmaps.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace import {

namespace {

// sRGB bytes as linear light, and back, rounded to the nearest byte.
struct SrgbTables {
    static constexpr int buckets = 4096;
    std::array<float, 256> toLinear{};
    // Where linear light turns from one byte to the next: halfway between
    // the two bytes' values.
    std::array<float, 255> turns{};
    // The byte of the start of each of `buckets` equal spans of [0, 1].
    std::array<unsigned char, buckets + 1> bucketStart{};

    SrgbTables()
    {
        for (int i = 0; i < 256; ++i) {
            const float c = static_cast<float>(i) / 255.0f;
            toLinear[static_cast<size_t>(i)] = c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
        }
        for (size_t i = 0; i < turns.size(); ++i)
            turns[i] = 0.5f * (toLinear[i] + toLinear[i + 1]);
        for (int k = 0; k <= buckets; ++k)
            bucketStart[static_cast<size_t>(k)] = byteFrom(0, static_cast<float>(k) / buckets);
    }

    unsigned char byteFrom(int byte, float linear) const
    {
        while (byte < 255 && turns[static_cast<size_t>(byte)] < linear)
            ++byte;
        return static_cast<unsigned char>(byte);
    }

    // The byte whose linear value is nearest.
    unsigned char toByte(float linear) const
    {
        if (!(linear > 0.0f))
            return 0;
        if (linear >= 1.0f)
            return 255;
        return byteFrom(bucketStart[static_cast<size_t>(linear * buckets)], linear);
    }
};

const SrgbTables& srgbTables()
{
    static const SrgbTables tables;
    return tables;
}

// How much of each source row (or column) of `from` falls in each of the
// `to` target ones: the target's span over the source, in source units.
struct Footprint {
    int first = 0;
    int last = 0; // inclusive
    float firstWeight = 1.0f;
    float lastWeight = 1.0f;
};

std::vector<Footprint> footprints(int from, int to)
{
    std::vector<Footprint> out(static_cast<size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double start = i * step;
        const double end = (i + 1) * step;
        Footprint& f = out[static_cast<size_t>(i)];
        f.first = static_cast<int>(start);
        f.last = std::min(from - 1, static_cast<int>(std::ceil(end)) - 1);
        f.firstWeight = static_cast<float>(std::min(end, f.first + 1.0) - start);
        f.lastWeight = f.last == f.first ? f.firstWeight : static_cast<float>(end - f.last);
    }
    return out;
}

float weightAt(const Footprint& f, int i)
{
    return i == f.first ? f.firstWeight : i == f.last ? f.lastWeight : 1.0f;
}

// One level from the one above it, as a GL makes each level from the one
// before: every level costs a quarter of the one above, and no copy of the
// picture in floats is ever held (a 16384-pixel side would take 4 GB).
void halve(const unsigned char* source, int width, int height, int toWidth, int toHeight, bool srgb,
           unsigned char* target)
{
    const SrgbTables& tables = srgbTables();
    const std::vector<Footprint> columns = footprints(width, toWidth);
    const std::vector<Footprint> rows = footprints(height, toHeight);
    for (int y = 0; y < toHeight; ++y) {
        const Footprint& row = rows[static_cast<size_t>(y)];
        for (int x = 0; x < toWidth; ++x) {
            const Footprint& column = columns[static_cast<size_t>(x)];
            float sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            float area = 0.0f;
            for (int sy = row.first; sy <= row.last; ++sy)
                for (int sx = column.first; sx <= column.last; ++sx) {
                    const float weight = weightAt(row, sy) * weightAt(column, sx);
                    const unsigned char* texel =
                        source + 4 * (static_cast<size_t>(sy) * static_cast<size_t>(width) + static_cast<size_t>(sx));
                    for (int c = 0; c < 3; ++c)
                        sum[c] += weight * (srgb ? tables.toLinear[texel[c]] : texel[c] / 255.0f);
                    sum[3] += weight * (texel[3] / 255.0f);
                    area += weight;
                }
            unsigned char* out =
                target + 4 * (static_cast<size_t>(y) * static_cast<size_t>(toWidth) + static_cast<size_t>(x));
            for (int c = 0; c < 4; ++c) {
                const float mean = sum[c] / area;
                out[c] = srgb && c < 3 ? tables.toByte(mean)
                                       : static_cast<unsigned char>(std::clamp(mean, 0.0f, 1.0f) * 255.0f + 0.5f);
            }
        }
    }
}

} // namespace

size_t mipmapBytes(int width, int height)
{
    size_t bytes = 0;
    while (width > 1 || height > 1) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        bytes += 4 * static_cast<size_t>(width) * static_cast<size_t>(height);
    }
    return bytes;
}

std::vector<unsigned char> makeMipmaps(const ModelImage& image)
{
    std::vector<unsigned char> levels;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != 4 * static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return levels;
    levels.resize(mipmapBytes(image.width, image.height));
    const bool srgb = image.space == ColourSpace::srgb;
    const unsigned char* source = image.pixels.data();
    unsigned char* target = levels.data();
    int width = image.width;
    int height = image.height;
    while (width > 1 || height > 1) {
        const int toWidth = std::max(1, width / 2);
        const int toHeight = std::max(1, height / 2);
        halve(source, width, height, toWidth, toHeight, srgb, target);
        source = target;
        target += 4 * static_cast<size_t>(toWidth) * static_cast<size_t>(toHeight);
        width = toWidth;
        height = toHeight;
    }
    return levels;
}

} // namespace import
