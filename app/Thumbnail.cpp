// Thumbnails: the import's budget for them, the square drawn, the crop to the model and the area-weighted fit.
#include "app/Thumbnail.h"

#include "app/Globals.h"
#include "app/PictureFile.h"
#include "camera/Camera.h"
#include "render/RenderPass.h"
#include "render/Renderer.h"
#include "scene/Framing.h"

#include <GL/glew.h>
#include <algorithm>
#include <cmath>
#include <glm/glm.hpp>
#include <utility>

namespace {

// Room around the model, a share of its longer side on each side.
constexpr double cropMargin = 0.04;

// The frame just drawn as RGBA, from the picture framebuffer.
PixelBlock readPicture()
{
    PixelBlock picture;
    picture.width = framebufferWidth;
    picture.height = framebufferHeight;
    picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->pictureFramebuffer);
    glReadBuffer(renderer->pictureFramebuffer != 0 ? GL_COLOR_ATTACHMENT0 : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, picture.width, picture.height, GL_RGBA, GL_UNSIGNED_BYTE, picture.pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    // Every pixel covered until the depth says otherwise: the final pass's
    // alpha is no coverage.
    for (size_t alpha = 3; alpha < picture.pixels.size(); alpha += 4)
        picture.pixels[alpha] = 255;
    return picture;
}

// Coverage from the geometry pass's depth: what it drew is nearer than the
// far plane it was cleared to; the backdrop writes no depth. The depth is
// the render size, which a thumbnail makes the picture's.
void coverFromDepth(PixelBlock& picture)
{
    std::vector<float> depth(static_cast<size_t>(renderWidth) * static_cast<size_t>(renderHeight));
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, renderWidth, renderHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const size_t sx = static_cast<size_t>(x) * static_cast<size_t>(renderWidth) / picture.width;
            const size_t sy = static_cast<size_t>(y) * static_cast<size_t>(renderHeight) / picture.height;
            const bool covered = depth[sy * static_cast<size_t>(renderWidth) + sx] < 1.0f;
            picture.pixels[(static_cast<size_t>(y) * picture.width + x) * 4 + 3] = covered ? 255 : 0;
        }
}

// Where the model's box falls in the picture, from the camera that drew it;
// the whole picture when some of it is behind the camera.
CropBox projectedModel(int width, int height)
{
    const CropBox whole{0, 0, width, height};
    const scene::Bounds bounds = scene::sceneBounds(sceneObjects);
    if (bounds.empty)
        return whole;
    const glm::mat4 toClip = camera->projection * camera->view;
    double low[2] = {1.0, 1.0};
    double high[2] = {-1.0, -1.0};
    for (int corner = 0; corner < 8; ++corner) {
        const glm::dvec3 point((corner & 1) ? bounds.high.x : bounds.low.x, (corner & 2) ? bounds.high.y : bounds.low.y,
                               (corner & 4) ? bounds.high.z : bounds.low.z);
        const glm::vec4 clip = toClip * glm::vec4(glm::vec3(point), 1.0f);
        if (!(clip.w > 0.0f))
            return whole;
        for (int axis = 0; axis < 2; ++axis) {
            low[axis] = std::min(low[axis], static_cast<double>(clip[axis] / clip.w));
            high[axis] = std::max(high[axis], static_cast<double>(clip[axis] / clip.w));
        }
    }
    const auto pixel = [](double ndc, int side) { return (ndc * 0.5 + 0.5) * side; };
    const int left = static_cast<int>(std::floor(pixel(std::max(low[0], -1.0), width)));
    const int bottom = static_cast<int>(std::floor(pixel(std::max(low[1], -1.0), height)));
    const int right = static_cast<int>(std::ceil(pixel(std::min(high[0], 1.0), width)));
    const int top = static_cast<int>(std::ceil(pixel(std::min(high[1], 1.0), height)));
    if (right <= left || top <= bottom)
        return whole;
    return CropBox{left, bottom, right - left, top - bottom};
}

// How much of source pixel `i` (of unit width) lies in [from, to).
double overlap(int i, double from, double to)
{
    return std::max(0.0, std::min(to, i + 1.0) - std::max(from, static_cast<double>(i)));
}

} // namespace

import::ImportBudget thumbnailBudget()
{
    import::ImportBudget budget;
    budget.baseSeconds = 5.0;
    budget.secondsPerMegabyte = 0.5;
    budget.baseBytes = 512ULL << 20;
    budget.bytesPerByteRead = 4;
    budget.mostBytes = import::importMemoryCap() / 2;
    return budget;
}

int thumbnailDrawSide(int size)
{
    return 2 * size;
}

void fitRenderToThumbnail(int side)
{
    renderWidth = side;
    renderHeight = side;
    // The shadow needs no more texels than the picture has pixels across,
    // and no fewer than its soft edge keeps its look with.
    const int shadowSide = std::max(512, side);
    shadowMapWidth = std::min(shadowMapWidth, shadowSide);
    shadowMapHeight = std::min(shadowMapHeight, shadowSide);
}

void fitRenderToPicture()
{
    int largestWidth = 0;
    int largestHeight = 0;
    largestRenderTarget(largestWidth, largestHeight);
    const auto side = [](int picture, int largest) {
        return std::min(largest, static_cast<int>(std::ceil(pictureRenderScale * static_cast<float>(picture))));
    };
    renderWidth = side(framebufferWidth, largestWidth);
    renderHeight = side(framebufferHeight, largestHeight);
}

CropBox withMargin(CropBox box, double margin, int width, int height)
{
    const int grow = static_cast<int>(std::ceil(margin * std::max(box.width, box.height)));
    const int left = std::max(0, box.left - grow);
    const int bottom = std::max(0, box.bottom - grow);
    const int right = std::min(width, box.left + box.width + grow);
    const int top = std::min(height, box.bottom + box.height + grow);
    return CropBox{left, bottom, right - left, top - bottom};
}

CropBox coveredBox(const PixelBlock& picture)
{
    int left = picture.width;
    int bottom = picture.height;
    int right = 0;
    int top = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (picture.pixels[(static_cast<size_t>(y) * picture.width + x) * picture.channels + 3] != 0) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                bottom = std::min(bottom, y);
                top = std::max(top, y + 1);
            }
    if (right <= left)
        return CropBox{0, 0, picture.width, picture.height};
    return CropBox{left, bottom, right - left, top - bottom};
}

PixelBlock fitWithin(const PixelBlock& picture, const CropBox& box, int size)
{
    const double scale = static_cast<double>(size) / std::max(box.width, box.height);
    PixelBlock fitted;
    fitted.channels = picture.channels;
    fitted.width = std::max(1, static_cast<int>(std::lround(box.width * scale)));
    fitted.height = std::max(1, static_cast<int>(std::lround(box.height * scale)));
    fitted.pixels.resize(static_cast<size_t>(fitted.width) * static_cast<size_t>(fitted.height) * fitted.channels);
    const double stepX = static_cast<double>(box.width) / fitted.width;
    const double stepY = static_cast<double>(box.height) / fitted.height;
    for (int y = 0; y < fitted.height; ++y)
        for (int x = 0; x < fitted.width; ++x) {
            const double fromX = box.left + x * stepX;
            const double fromY = box.bottom + y * stepY;
            const int endX = std::min(picture.width, static_cast<int>(std::ceil(fromX + stepX)));
            const int endY = std::min(picture.height, static_cast<int>(std::ceil(fromY + stepY)));
            double sum[4] = {0.0, 0.0, 0.0, 0.0};
            double area = 0.0;
            for (int sy = static_cast<int>(fromY); sy < endY; ++sy)
                for (int sx = static_cast<int>(fromX); sx < endX; ++sx) {
                    const double weight = overlap(sx, fromX, fromX + stepX) * overlap(sy, fromY, fromY + stepY);
                    const size_t at = (static_cast<size_t>(sy) * picture.width + sx) * picture.channels;
                    const unsigned char* source = &picture.pixels[at];
                    const double cover = picture.channels == 4 ? source[3] / 255.0 : 1.0;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += weight * cover * source[c];
                    sum[3] += weight * cover;
                    area += weight;
                }
            unsigned char* target = &fitted.pixels[(static_cast<size_t>(y) * fitted.width + x) * fitted.channels];
            for (int c = 0; c < 3; ++c)
                target[c] = static_cast<unsigned char>(sum[3] > 0.0 ? std::lround(sum[c] / sum[3]) : 0);
            if (fitted.channels == 4)
                target[3] = static_cast<unsigned char>(area > 0.0 ? std::lround(255.0 * sum[3] / area) : 0);
        }
    return fitted;
}

bool saveFittedPicture(const std::string& path, int size, bool transparent, std::string* reason)
{
    PixelBlock picture = readPicture();
    if (transparent)
        coverFromDepth(picture);
    PixelBlock fitted = std::move(picture);
    if (size > 0) {
        const CropBox model = transparent ? coveredBox(fitted) : projectedModel(fitted.width, fitted.height);
        fitted = fitWithin(fitted, withMargin(model, cropMargin, fitted.width, fitted.height), size);
    }
    if (!transparent) {
        // An opaque picture has no use for its alpha.
        size_t to = 0;
        for (size_t from = 0; from < fitted.pixels.size(); from += 4)
            for (int c = 0; c < 3; ++c)
                fitted.pixels[to++] = fitted.pixels[from + c];
        fitted.pixels.resize(to);
        fitted.channels = 3;
    }
    std::string why;
    const bool saved = writePicture(path, fitted.width, fitted.height, fitted.pixels.data(), why, fitted.channels);
    if (reason != nullptr)
        *reason = why;
    return saved;
}
