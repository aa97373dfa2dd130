// Fitting a drawn square to a thumbnail: the crop to what is covered, its margin, and the area-weighted scaling.
#include "app/Thumbnail.h"

#include <gtest/gtest.h>

namespace {

// A picture of `width` x `height` RGBA pixels, all clear.
PixelBlock clearPicture(int width, int height)
{
    PixelBlock picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    return picture;
}

void paint(PixelBlock& picture, int x, int y, unsigned char r, unsigned char g, unsigned char b, unsigned char a)
{
    unsigned char* pixel = &picture.pixels[(static_cast<size_t>(y) * picture.width + x) * 4];
    pixel[0] = r;
    pixel[1] = g;
    pixel[2] = b;
    pixel[3] = a;
}

TEST(ThumbnailFit, CropFindsTheCoveredPixelsAndGrowsByItsMarginWithinThePicture)
{
    PixelBlock picture = clearPicture(100, 80);
    paint(picture, 10, 20, 9, 9, 9, 255);
    paint(picture, 29, 59, 9, 9, 9, 1);
    const CropBox covered = coveredBox(picture);
    EXPECT_EQ(covered.left, 10);
    EXPECT_EQ(covered.bottom, 20);
    EXPECT_EQ(covered.width, 20);
    EXPECT_EQ(covered.height, 40);

    // 10 % of the longer side, 40: four pixels each way, but not past the edge.
    const CropBox grown = withMargin(CropBox{2, 20, 20, 40}, 0.1, 100, 62);
    EXPECT_EQ(grown.left, 0);
    EXPECT_EQ(grown.bottom, 16);
    EXPECT_EQ(grown.width, 26);
    EXPECT_EQ(grown.height, 46);

    const CropBox whole = coveredBox(clearPicture(7, 5));
    EXPECT_EQ(whole.width * 10 + whole.height, 75);
}

TEST(ThumbnailFit, ScalingKeepsTheAspectAndWeighsColourByCoverage)
{
    // A 4 x 2 picture: a red covered pixel beside a clear green one, then
    // three covered blue ones under an orange, to fit within 2 x 2.
    PixelBlock picture = clearPicture(4, 2);
    paint(picture, 0, 0, 255, 0, 0, 255);
    paint(picture, 1, 0, 0, 255, 0, 0);
    paint(picture, 0, 1, 255, 0, 0, 255);
    paint(picture, 1, 1, 255, 0, 0, 255);
    for (int x = 2; x < 4; ++x) {
        paint(picture, x, 0, 0, 0, 200, 255);
        paint(picture, x, 1, x == 2 ? 250 : 0, x == 2 ? 150 : 0, x == 2 ? 0 : 200, 255);
    }
    const PixelBlock fitted = fitWithin(picture, CropBox{0, 0, 4, 2}, 2);
    ASSERT_EQ(fitted.width, 2);
    ASSERT_EQ(fitted.height, 1);
    // The clear green pixel adds no green, only less coverage.
    EXPECT_EQ(std::vector<unsigned char>(fitted.pixels.begin(), fitted.pixels.begin() + 4),
              (std::vector<unsigned char>{255, 0, 0, 191}));
    // Three blue and one orange: their mean, fully covered.
    EXPECT_EQ(std::vector<unsigned char>(fitted.pixels.begin() + 4, fitted.pixels.end()),
              (std::vector<unsigned char>{63, 38, 150, 255}));
}

} // namespace
