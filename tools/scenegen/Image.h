// Floating-point RGB images that the texture synthesiser paints into.
#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <vector>

namespace scenegen {

// Row 0 is texture coordinate v = 0: the file is written top row first and the viewer uploads
// rows in that order from t = 0, so rows grow with v exactly as stored here.
class Image {
public:
    Image() = default;
    Image(int width, int height, const glm::vec3& fill = glm::vec3(0.0f));

    int width() const { return width_; }
    int height() const { return height_; }

    glm::vec3& at(int x, int y) { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    const glm::vec3& at(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    glm::vec3& atWrapped(int x, int y);

    // Blends colour over the pixel, with coordinates wrapped so brush strokes tile.
    void blendWrapped(int x, int y, const glm::vec3& colour, float alpha);

    glm::vec3 mean() const;
    // Clamped, rounded, 8 bits per channel, row 0 first.
    std::vector<uint8_t> toRgb8() const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<glm::vec3> pixels_;
};

} // namespace scenegen
