// Where a material's texture name leads for a model of the user's: beside it, whoever exported it.
#include "import/TexturePath.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(TexturePath, BesideTheModelWithWindowsSeparatorsRead)
{
    const std::string model = "/home/me/models/spider.obj";
    EXPECT_EQ(texturePath(".\\SpiderTex.jpg", model, TextureLookup::besideModel), "/home/me/models/SpiderTex.jpg");
    EXPECT_EQ(texturePath("maps\\wood.png", model, TextureLookup::besideModel), "/home/me/models/maps/wood.png");
    EXPECT_EQ(texturePath("../common/wood.png", model, TextureLookup::besideModel), "/home/me/common/wood.png");
    EXPECT_EQ(texturePath("/textures/wood.png", model, TextureLookup::besideModel), "/textures/wood.png");
    EXPECT_EQ(texturePath("wood.png", "spider.obj", TextureLookup::besideModel), "wood.png");
}

} // namespace

namespace {

// Files as users have them: the model and its pictures copied from another
// machine, or named by a program that did not mind case.
TEST(TexturePath, TheNameAloneIsFoundBesideTheModelOrInItsTexturesFolderInAnyCase)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("brassfern-textures-" + std::to_string(::getpid()));
    fs::create_directories(root / "Textures");
    for (const char* file : {"SpiderTex.jpg", "IMAGE1.jpg", "Textures/Bark.PNG", "maps.png"})
        std::ofstream(root / file) << "x";
    fs::create_directory(root / "shown.png"); // a folder, never a texture
    const std::string model = (root / "spider.fbx").string();
    const auto at = [&](const std::string& name) { return texturePath(name, model, TextureLookup::besideModel); };

    EXPECT_EQ(at("D:\\projects\\spider\\SpiderTex.jpg"), (root / "SpiderTex.jpg").string());
    EXPECT_EQ(at("C:/Users/someone/IMAGE1.JPG"), (root / "IMAGE1.jpg").string());
    EXPECT_EQ(at("IMAGE1.JPG"), (root / "IMAGE1.jpg").string());
    EXPECT_EQ(at("tex\\bark.png"), (root / "Textures/Bark.PNG").string());
    // What is there as written wins; what is nowhere keeps the name written.
    EXPECT_EQ(at("maps.png"), (root / "maps.png").string());
    EXPECT_EQ(at("elsewhere/shown.png"), (root / "elsewhere/shown.png").string());
    EXPECT_EQ(at("D:\\missing.jpg"), (root / "D:/missing.jpg").string());
    fs::remove_all(root);
}

} // namespace
