// Height maps into normal maps and separate maps into one surface texture, in the import process.
#include "import/TextureRecipe.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace import {

namespace {

// Texels further apart than this in any two channels are coloured: JPEG
// noise moves a grey texel by a level or two.
constexpr int greyTolerance = 4;

unsigned char encodeUnit(float value)
{
    return static_cast<unsigned char>(std::lround(std::clamp(value * 0.5f + 0.5f, 0.0f, 1.0f) * 255.0f));
}

// The mean of a texel's colour channels.
unsigned char meanOf(const unsigned char* texel)
{
    return static_cast<unsigned char>((texel[0] + texel[1] + texel[2] + 1) / 3);
}

// The texel of `image` nearest to the centre of texel (x, y) of an image `width` x `height`.
const unsigned char* nearest(const ModelImage& image, int x, int y, int width, int height)
{
    const long long column = (2LL * x + 1) * image.width / (2LL * width);
    const long long row = (2LL * y + 1) * image.height / (2LL * height);
    return image.pixels.data() + 4 * (static_cast<size_t>(row) * static_cast<size_t>(image.width) +
                                      static_cast<size_t>(column));
}

} // namespace

bool isHeightMap(const ModelImage& image)
{
    const size_t texels = image.pixels.size() / 4;
    size_t coloured = 0;
    for (size_t i = 0; i < texels; ++i) {
        const unsigned char* t = image.pixels.data() + 4 * i;
        const int spread = std::max({t[0], t[1], t[2]}) - std::min({t[0], t[1], t[2]});
        coloured += spread > greyTolerance ? 1 : 0;
    }
    return texels > 0 && coloured * 100 <= texels * 2;
}

ModelImage normalsFromHeights(const ModelImage& heights, float scale)
{
    ModelImage out;
    out.width = heights.width;
    out.height = heights.height;
    out.pixels.resize(heights.pixels.size());
    const int width = heights.width;
    const int height = heights.height;
    const auto at = [&](int x, int y) {
        x = (x + width) % width;
        y = (y + height) % height;
        return static_cast<float>(heights.pixels[4 * (static_cast<size_t>(y) * static_cast<size_t>(width) +
                                                      static_cast<size_t>(x))]) /
               255.0f;
    };
    // Slopes in height per texel, made steeper for larger images so that a
    // feature of a given share of the image leans the same at any size.
    const float across = std::isfinite(scale) ? scale * static_cast<float>(width) / 32.0f : 0.0f;
    const float up = std::isfinite(scale) ? scale * static_cast<float>(height) / 32.0f : 0.0f;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Rows run bottom first, so y grows with v, the bitangent's way.
            const float dx = 0.5f * (at(x + 1, y) - at(x - 1, y)) * across;
            const float dy = 0.5f * (at(x, y + 1) - at(x, y - 1)) * up;
            const float length = std::sqrt(dx * dx + dy * dy + 1.0f);
            unsigned char* texel =
                out.pixels.data() + 4 * (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x));
            texel[0] = encodeUnit(-dx / length);
            texel[1] = encodeUnit(-dy / length);
            texel[2] = encodeUnit(1.0f / length);
            texel[3] = 255;
        }
    return out;
}

ModelImage packSurface(const ModelImage* roughness, const ModelImage* metalness, const ModelImage* specular)
{
    const ModelImage* const maps[3] = {roughness, metalness, specular};
    ModelImage out;
    for (const ModelImage* map : maps)
        if (map != nullptr && static_cast<long long>(map->width) * map->height >
                                  static_cast<long long>(out.width) * out.height) {
            out.width = map->width;
            out.height = map->height;
        }
    out.pixels.assign(4 * static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 255);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            unsigned char* texel =
                out.pixels.data() + 4 * (static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x));
            for (int channel = 0; channel < 3; ++channel)
                if (maps[channel] != nullptr)
                    texel[1 + channel] = meanOf(nearest(*maps[channel], x, y, out.width, out.height));
        }
    return out;
}

ModelImage withOpacity(const ModelImage* colour, const ModelImage& opacity)
{
    ModelImage out;
    const bool colourLarger = colour != nullptr && static_cast<long long>(colour->width) * colour->height >
                                                       static_cast<long long>(opacity.width) * opacity.height;
    out.width = colourLarger ? colour->width : opacity.width;
    out.height = colourLarger ? colour->height : opacity.height;
    // Exporters write the opacity either into an alpha channel or as grey.
    bool alphaHeld = false;
    for (size_t i = 3; i < opacity.pixels.size() && !alphaHeld; i += 4)
        alphaHeld = opacity.pixels[i] != 255;
    out.pixels.assign(4 * static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 255);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            unsigned char* texel =
                out.pixels.data() + 4 * (static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x));
            if (colour != nullptr)
                std::copy_n(nearest(*colour, x, y, out.width, out.height), 3, texel);
            const unsigned char* seeThrough = nearest(opacity, x, y, out.width, out.height);
            texel[3] = alphaHeld ? seeThrough[3] : meanOf(seeThrough);
        }
    return out;
}

void makeOpaque(ModelImage& image)
{
    for (size_t i = 3; i < image.pixels.size(); i += 4)
        image.pixels[i] = 255;
}

bool makeTexture(const TextureRequest& request, const std::vector<const ModelImage*>& images, ModelImage& out,
                 std::string& reason)
{
    if (request.use == TextureUse::surface) {
        if (images.size() != 3 || std::all_of(images.begin(), images.end(), [](const ModelImage* i) { return !i; })) {
            reason = "the material names none of its maps";
            return false;
        }
        out = packSurface(images[0], images[1], images[2]);
        return true;
    }
    if (request.use == TextureUse::colourOpacity) {
        if (images.size() != 2 || images[1] == nullptr) {
            reason = "its opacity map cannot be read";
            return false;
        }
        out = withOpacity(images[0], *images[1]);
        return true;
    }
    if (images.size() != 1 || images[0] == nullptr) {
        reason = "the material names no image for it";
        return false;
    }
    out = *images[0];
    if (request.use == TextureUse::metalRough)
        makeOpaque(out);
    else if (request.use == TextureUse::normal && isHeightMap(out))
        out = normalsFromHeights(out, request.bumpScale);
    return true;
}

} // namespace import
