// Floating-point RGB images that the texture synthesiser paints into.
#include "Image.h"

#include <algorithm>
#include <cmath>

namespace scenegen {

Image::Image(int width, int height, const glm::vec3& fill)
    : width_(width), height_(height), pixels_(size_t(width) * size_t(height), fill)
{
}

glm::vec3& Image::atWrapped(int x, int y)
{
    x %= width_;
    y %= height_;
    if (x < 0)
        x += width_;
    if (y < 0)
        y += height_;
    return at(x, y);
}

void Image::blendWrapped(int x, int y, const glm::vec3& colour, float alpha)
{
    glm::vec3& pixel = atWrapped(x, y);
    pixel += (colour - pixel) * alpha;
}

glm::vec3 Image::mean() const
{
    // Accumulate in double so the result does not depend on summation rounding drift.
    double r = 0.0, g = 0.0, b = 0.0;
    for (const glm::vec3& p : pixels_) {
        r += p.r;
        g += p.g;
        b += p.b;
    }
    const double n = double(pixels_.size());
    return glm::vec3(float(r / n), float(g / n), float(b / n));
}

std::vector<uint8_t> Image::toRgb8() const
{
    std::vector<uint8_t> bytes;
    bytes.reserve(pixels_.size() * 3);
    for (const glm::vec3& p : pixels_) {
        for (int c = 0; c < 3; ++c)
            bytes.push_back(uint8_t(std::lround(std::clamp(p[c], 0.0f, 1.0f) * 255.0f)));
    }
    return bytes;
}

} // namespace scenegen
