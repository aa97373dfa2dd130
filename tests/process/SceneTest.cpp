// Scene files that are missing, unreadable, not files or partly untextured: one line each, and the viewer goes on.
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

class SceneFile : public testing::TestWithParam<SceneCase> {
};

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

TEST(Capture, EmptySceneRendersBlackWithEveryEffectOn)
{
    Sandbox sandbox;
    sandbox.remove(scenePath);

    ASSERT_EQ(captureOneFrame(sandbox, "111").status, 0);
    const Picture shot = readPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    EXPECT_EQ(differingShare(shot, Picture{160, 120, std::vector<unsigned char>(160 * 120 * 3, 0)}, 2), 0.0);
}

} // namespace
