// The programs' command lines as a user meets them: help without a window, mistakes refused with status 2, and
// a model of the user's drawn into a picture from any working directory, built or installed.
#include "DisplayTest.h"
#include "Sandbox.h"

#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;

namespace {

const fs::path spider = fs::path(BRASSFERN_TESTDATA_DIR) / "obj-corpus" / "spider.obj";
constexpr const char* smallSettings =
    "res_width:320\nres_height:180\nsm_width:256\nsm_height:256\nwin_width:160\nwin_height:120\n";
constexpr const char* usage = "usage: brassfern [options] [SCENE_FILE]\n";
// Any window would fail to open, so a clean exit shows that none was tried.
const std::vector<std::string> noDisplay = {"DISPLAY="};

// Every path in the sandbox but the runs' own output.
std::set<fs::path> contents(const Sandbox& sandbox)
{
    std::set<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(sandbox.root)) {
        const fs::path relative = fs::relative(entry.path(), sandbox.root);
        if (*relative.begin() != "run")
            paths.insert(relative);
    }
    return paths;
}

// The spider's legs and body are wood and stone textures, both brown; its
// materials' own colours are greys, and the background is black.
double brownShare(const Picture& picture)
{
    size_t brown = 0;
    for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
        const int r = picture.rgb[i];
        const int g = picture.rgb[i + 1];
        const int b = picture.rgb[i + 2];
        brown += r >= 20 && r > g + 4 && g > b + 4;
    }
    return picture.rgb.empty() ? 0.0 : static_cast<double>(brown) / static_cast<double>(picture.rgb.size() / 3);
}

// A working directory without the program's files, so that it must find its own.
void leaveOnlyOwnFiles(const Sandbox& sandbox)
{
    for (const char* folder : {"Shader", "Textures", "SceneObjects", "Settings"})
        sandbox.remove(folder);
}

TEST(CommandLine, HelpAndVersionExitAtOnceWithoutWindowOrFiles)
{
    const Sandbox sandbox;
    const std::set<fs::path> before = contents(sandbox);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{BRASSFERN_EXE, "--help"}, usage},
        {{BRASSFERN_EXE, "--effects", "000", "-h", "model.obj"}, usage},
        {{BRASSFERN_EXE, "--version"}, "brassfern 1."},
        {{BRASSFERN_CAPTURE_EXE, "--help"}, "usage: brassfern-capture"},
        {{BRASSFERN_SCENEGEN_EXE, "--help"}, "usage: brassfern-scenegen"},
    };
    for (const auto& [argv, start] : cases) {
        const RunResult run = sandbox.run(argv, 30.0, noDisplay);
        EXPECT_EQ(run.status, 0) << argv[1] << run.err;
        EXPECT_EQ(run.out.substr(0, start.size()), start) << run.out;
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(contents(sandbox), before);
}

TEST(CommandLine, MistakesEndWithStatusTwoAndTheUsage)
{
    const Sandbox sandbox;
    const std::set<fs::path> before = contents(sandbox);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{BRASSFERN_EXE, "--bogus"}, std::string("brassfern: unknown option --bogus\n") + usage},
        {{BRASSFERN_EXE, "--effects", "12"}, std::string("brassfern: bad value for --effects: '12'\n") + usage},
        {{BRASSFERN_EXE, "a.obj", "b.obj"}, std::string("brassfern: one scene file at most: a.obj and b.obj\n") + usage},
        {{BRASSFERN_EXE, "--settings", "missing.txt"},
         std::string("brassfern: cannot read the settings file missing.txt\n") + usage},
        {{BRASSFERN_SCENEGEN_EXE, "--bogus"},
         "brassfern-scenegen: unknown option --bogus\nusage: brassfern-scenegen OUTDIR\n"},
    };
    for (const auto& [argv, err] : cases) {
        const RunResult run = sandbox.run(argv, 30.0, noDisplay);
        EXPECT_EQ(run.status, 2) << argv[1];
        EXPECT_EQ(run.err, err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(contents(sandbox), before);
}

using UserModel = DisplayTest;

// Relative paths are the user's working directory's, though the viewer works
// in its own data folder; the textures are found beside the model.
TEST_F(UserModel, OpenedFromAnotherFolderIsDrawnWithItsTextures)
{
    Sandbox sandbox;
    leaveOnlyOwnFiles(sandbox);
    sandbox.write("small.txt", smallSettings);

    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                       "--output", "shot.png", spider.string()});

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    const Picture shot = readPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    EXPECT_GT(brownShare(shot), 0.15);
}

TEST_F(UserModel, SettingsFileOfTheCommandLineReportsWhatItCannotUse)
{
    Sandbox sandbox;
    sandbox.write("mine.txt", std::string(smallSettings) + "fullscreen:yes\nwin_width:-5\n");

    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "mine.txt", "--output", "shot.png"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error: Could not create window\n");
    EXPECT_EQ(run.err, "mine.txt: fullscreen:yes is neither on nor off and is ignored\n"
                       "mine.txt: win_width:-5 is not a window size (1 to 16384)\n");
}

// The installed settings are small: a picture of their size shows that the
// installed files, not the source tree's, were used.
TEST_F(UserModel, InstalledViewerWorksFromAnyFolderOnItsInstalledFiles)
{
    Sandbox sandbox;
    const fs::path prefix = sandbox.root / "prefix";
    const RunResult install =
        sandbox.run({BRASSFERN_CMAKE_COMMAND, "--install", BRASSFERN_BUILD_DIR, "--prefix", prefix.string()});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    sandbox.write("prefix/share/brassfern/Settings/resolution.txt", smallSettings);
    leaveOnlyOwnFiles(sandbox);

    const RunResult run = sandbox.run({(prefix / "bin/brassfern").string(), "--effects", "000", "--no-tour",
                                       "--output", "shot.png", spider.string()});

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const Picture shot = readPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    EXPECT_GT(brownShare(shot), 0.15);
    EXPECT_EQ(sandbox.run({(prefix / "bin/brassfern-capture").string(), "--help"}).status, 0);
}

} // namespace
