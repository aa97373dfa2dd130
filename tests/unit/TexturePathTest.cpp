// Where a material's texture name leads for a model of the user's: beside it, whoever exported it.
#include "import/TexturePath.h"

#include <gtest/gtest.h>

namespace {

TEST(TexturePath, BesideTheModelWithWindowsSeparatorsRead)
{
    const std::string model = "/home/me/models/spider.obj";
    EXPECT_EQ(texturePath(".\\SpiderTex.jpg", model, TextureLookup::besideModel), "/home/me/models/SpiderTex.jpg");
    EXPECT_EQ(texturePath("maps\\wood.png", model, TextureLookup::besideModel), "/home/me/models/maps/wood.png");
    EXPECT_EQ(texturePath("../shared/wood.png", model, TextureLookup::besideModel), "/home/me/shared/wood.png");
    EXPECT_EQ(texturePath("/textures/wood.png", model, TextureLookup::besideModel), "/textures/wood.png");
    EXPECT_EQ(texturePath("wood.png", "spider.obj", TextureLookup::besideModel), "wood.png");
}

} // namespace
