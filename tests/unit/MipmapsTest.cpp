// A texture's smaller levels made in the import process: every level there, of the size the GL expects, each texel
// the mean of what it covers, sRGB colours averaged as light.
#include "import/Mipmaps.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using import::ColourSpace;
using import::ModelImage;

ModelImage imageOf(int width, int height, std::vector<unsigned char> pixels, ColourSpace space)
{
    ModelImage image;
    image.width = width;
    image.height = height;
    image.pixels = std::move(pixels);
    image.space = space;
    return image;
}

// Levels 5 x 3, 2 x 1, 1 x 1 after a 5 x 3 level 0 (GL halves and rounds down).
TEST(Mipmaps, EveryLevelDownToOneTexelHasTheSizeTheGlExpects)
{
    EXPECT_EQ(import::mipmapBytes(1, 1), 0u);
    EXPECT_EQ(import::mipmapBytes(5, 3), 4u * (2 * 1 + 1 * 1));
    EXPECT_EQ(import::mipmapBytes(8, 1), 4u * (4 + 2 + 1));
    EXPECT_EQ(import::mipmapBytes(2048, 2048), 4u * (2048u * 2048u - 1u) / 3u);
    const ModelImage odd = imageOf(5, 3, std::vector<unsigned char>(4 * 5 * 3, 9), ColourSpace::linear);
    EXPECT_EQ(import::makeMipmaps(odd).size(), import::mipmapBytes(5, 3));
    // Pixels that do not match the size give none: the GL makes them.
    EXPECT_TRUE(import::makeMipmaps(imageOf(2, 2, {1, 2, 3, 4}, ColourSpace::linear)).empty());
}

TEST(Mipmaps, ATexelIsTheMeanOfWhatItCoversInLinearLight)
{
    // Black and white side by side: a plain number halves to the middle
    // byte; an sRGB colour to half the light, which sRGB writes as 188.
    const std::vector<unsigned char> halves = {0, 0, 0, 0, 255, 255, 255, 255};
    EXPECT_EQ(import::makeMipmaps(imageOf(2, 1, halves, ColourSpace::linear)),
              (std::vector<unsigned char>{128, 128, 128, 128}));
    EXPECT_EQ(import::makeMipmaps(imageOf(2, 1, halves, ColourSpace::srgb)),
              (std::vector<unsigned char>{188, 188, 188, 128}));
    // An odd side: the one texel of the next level covers all three, each
    // an equal share, not the first two alone.
    const std::vector<unsigned char> three = {0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255};
    EXPECT_EQ(import::makeMipmaps(imageOf(3, 1, three, ColourSpace::linear)),
              (std::vector<unsigned char>{85, 85, 85, 255}));
    // 2 x 2 blocks: each level-1 texel from its own four.
    std::vector<unsigned char> quads(4 * 4 * 2);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            for (int c = 0; c < 4; ++c)
                quads[static_cast<size_t>(4 * (y * 4 + x) + c)] = static_cast<unsigned char>(x < 2 ? 40 : 200);
    const std::vector<unsigned char> levels = import::makeMipmaps(imageOf(4, 2, quads, ColourSpace::linear));
    ASSERT_EQ(levels.size(), 4u * (2 + 1));
    EXPECT_EQ(std::vector<unsigned char>(levels.begin(), levels.begin() + 8),
              (std::vector<unsigned char>{40, 40, 40, 40, 200, 200, 200, 200}));
    EXPECT_EQ(std::vector<unsigned char>(levels.begin() + 8, levels.end()),
              (std::vector<unsigned char>{120, 120, 120, 120}));
}

// A flat colour stays that colour in every level, whatever its byte: the
// way back from linear light is the exact inverse of the way there.
TEST(Mipmaps, AFlatColourStaysExactlyItselfDownTheChain)
{
    for (ColourSpace space : {ColourSpace::srgb, ColourSpace::linear})
        for (int value = 0; value < 256; ++value) {
            const auto byte = static_cast<unsigned char>(value);
            const std::vector<unsigned char> levels =
                import::makeMipmaps(imageOf(6, 5, std::vector<unsigned char>(4 * 6 * 5, byte), space));
            ASSERT_EQ(levels, std::vector<unsigned char>(levels.size(), byte)) << value;
        }
}

} // namespace
