// Scene files that are missing, unreadable, not files or partly untextured, and images in unusual layouts:
// one line each, and the viewer goes on.
#include "DisplayTest.h"
#include "Sandbox.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr const char* scenePath = "SceneObjects/FinalScene/final_scene.obj";

// The capture tool starts exactly like the viewer but ends by itself.
RunResult captureOneFrame(const Sandbox& sandbox, const char* effects)
{
    return sandbox.run({BRASSFERN_CAPTURE_EXE, "--out", "shot.png", "--frames", "1", "--effects", effects});
}

bool isRed(const unsigned char* p)
{
    return p[0] > 120 && p[1] < 60 && p[2] < 60;
}

bool isGreen(const unsigned char* p)
{
    return p[1] > 80 && p[0] < p[1] / 2 && p[2] < p[1] / 2;
}

struct SceneCase {
    const char* name;
    std::function<void(const Sandbox&)> spoil;
    std::string out;
    bool middleRed;   // the platform shows
    bool bottomGreen; // the floor shows
};

void PrintTo(const SceneCase& c, std::ostream* os)
{
    *os << c.name;
}

class SceneFile : public DisplayTestWithParam<SceneCase> {
};

using Capture = DisplayTest;

TEST_P(SceneFile, PrintsItsLineAndDrawsWhatItCould)
{
    const SceneCase& c = GetParam();
    Sandbox sandbox;
    writeFloorAndPlatformScene(sandbox);
    c.spoil(sandbox);

    const RunResult run = captureOneFrame(sandbox, "000");

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.out);
    const Picture shot = readPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    EXPECT_EQ(isRed(shot.at(80, 60)), c.middleRed);
    EXPECT_EQ(isGreen(shot.at(80, 110)), c.bottomGreen);
    // Where the platform is missing, the floor beneath it shows.
    EXPECT_EQ(isGreen(shot.at(80, 60)), c.bottomGreen && !c.middleRed);
}

INSTANTIATE_TEST_SUITE_P(
    Capture, SceneFile,
    testing::Values(SceneCase{"CleanSceneDrawsBothAndPrintsNothing", [](const Sandbox&) {}, "", true, true},
                    SceneCase{"MeshWithoutDiffuseTextureIsLeftOutAndTheRestDraws",
                              [](const Sandbox& s) { writeFloorAndPlatformScene(s, false); },
                              "Error loading texture\n", false, true},
                    SceneCase{"MissingFileLeavesTheSceneEmpty", [](const Sandbox& s) { s.remove(scenePath); },
                              "Could not open file: SceneObjects/FinalScene/final_scene.obj\n", false, false},
                    SceneCase{"DirectoryInPlaceOfTheFileLeavesTheSceneEmpty",
                              [](const Sandbox& s) {
                                  s.remove(scenePath);
                                  std::filesystem::create_directory(s.root / scenePath);
                              },
                              "Could not open file: SceneObjects/FinalScene/final_scene.obj\n", false, false},
                    SceneCase{"TextureMapBeforeTheFirstMaterialIsIgnored",
                              [](const Sandbox& s) {
                                  s.write("SceneObjects/FinalScene/final_scene.mtl",
                                          "map_Kd floor.png\nnewmtl floor\nmap_Kd floor.png\n"
                                          "newmtl platform\nmap_Kd platform.png\n");
                              },
                              "", true, true},
                    SceneCase{"SceneThatIsItsOwnLibraryWithATextureMapBeforeTheFirstMaterial",
                              [](const Sandbox& s) {
                                  const std::string obj = readText(s.root / scenePath);
                                  s.write(scenePath, "mtllib final_scene.obj\nmap_Kd floor.png\nnewmtl floor\n"
                                                     "map_Kd floor.png\nnewmtl platform\nmap_Kd platform.png\n" +
                                                         obj.substr(obj.find('\n') + 1));
                              },
                              "", true, true},
                    SceneCase{"FileTheImporterRejectsLeavesTheSceneEmpty",
                              [](const Sandbox& s) { s.write(scenePath, "f 1 2 3\n"); },
                              "Import failedSceneObjects/FinalScene/final_scene.obj\n", false, false}),
    [](const testing::TestParamInfo<SceneCase>& info) { return std::string(info.param.name); });

// Images the library decodes in unusual layouts, and noise images of odd
// sizes: each loads, and the platform shows the texture's colour.
struct ImageCase {
    const char* name;
    std::function<void(const Sandbox&)> place;
    bool grey; // the platform shows grey instead of red
};

void PrintTo(const ImageCase& c, std::ostream* os)
{
    *os << c.name;
}

class ImageFile : public DisplayTestWithParam<ImageCase> {
};

std::function<void(const Sandbox&)> platformTexture(const std::string& testImage)
{
    return [testImage](const Sandbox& s) {
        s.write("SceneObjects/FinalScene/final_scene.mtl",
                "newmtl floor\nmap_Kd floor.png\nnewmtl platform\nmap_Kd " + testImage + "\n");
        s.write("Textures/FinalScene/" + testImage,
                readText(std::filesystem::path(BRASSFERN_TESTDATA_DIR) / "images" / testImage));
    };
}

std::function<void(const Sandbox&)> noiseOfSize(int side)
{
    return [side](const Sandbox& s) {
        std::vector<unsigned char> noise(3 * static_cast<size_t>(side) * side);
        unsigned state = 99;
        for (unsigned char& value : noise)
            value = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 16);
        s.writeImage("Textures/random.jpg", side, side, noise);
    };
}

TEST_P(ImageFile, LoadsAndColoursThePlatform)
{
    Sandbox sandbox;
    writeFloorAndPlatformScene(sandbox);
    GetParam().place(sandbox);

    const RunResult run = captureOneFrame(sandbox, "111");

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    const Picture shot = readPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    const unsigned char* middle = shot.at(80, 60);
    if (GetParam().grey) {
        EXPECT_GT(middle[0], 40);
        EXPECT_LT(std::abs(middle[0] - middle[1]) + std::abs(middle[1] - middle[2]), 12);
    } else {
        EXPECT_TRUE(isRed(middle)) << int(middle[0]) << " " << int(middle[1]) << " " << int(middle[2]);
    }
}

INSTANTIATE_TEST_SUITE_P(Capture, ImageFile,
                         testing::Values(ImageCase{"SixteenBitsPerChannel", platformTexture("red-16bit.png"), false},
                                         ImageCase{"Greyscale", platformTexture("grey.png"), true},
                                         ImageCase{"Palette", platformTexture("red-palette.png"), false},
                                         ImageCase{"CmykJpeg", platformTexture("red-cmyk.jpg"), false},
                                         ImageCase{"NoiseOfOnePixel", noiseOfSize(1), false},
                                         ImageCase{"NoiseOf4096Square", noiseOfSize(4096), false}),
                         [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

TEST_F(Capture, EmptySceneRendersBlackWithEveryEffectOn)
{
    Sandbox sandbox;
    sandbox.remove(scenePath);

    ASSERT_EQ(captureOneFrame(sandbox, "111").status, 0);
    const Picture shot = readPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    EXPECT_EQ(differingShare(shot, Picture{160, 120, std::vector<unsigned char>(160 * 120 * 3, 0)}, 2), 0.0);
}

} // namespace
