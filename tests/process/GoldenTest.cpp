// The default scene as the viewer draws it, against the committed golden pictures: a match on any correct
// driver (llvmpipe and softpipe), and no match once the picture really changes.
#include "DisplayTest.h"
#include "Sandbox.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path goldenDirectory = BRASSFERN_GOLDEN_DIR;

// Pixels off by more than this many levels are marked in the difference picture.
constexpr int markedLevels = 8;

struct Shot {
    std::string name;
    std::vector<std::string> options; // the capture tool's
};

void PrintTo(const Shot& shot, std::ostream* os)
{
    *os << shot.name;
}

// The list scripts/golden renders the references from.
std::vector<Shot> readShots()
{
    std::vector<Shot> shots;
    for (const std::string& line : splitLines(readText(goldenDirectory / "shots.txt"))) {
        std::istringstream words(line);
        Shot shot;
        if (!(words >> shot.name) || shot.name[0] == '#')
            continue;
        for (std::string word; words >> word;)
            shot.options.push_back(word);
        shots.push_back(shot);
    }
    return shots;
}

// Where the pictures differ, in red over a dimmed copy of the reference.
Picture difference(const Picture& shot, const Picture& reference)
{
    Picture marked = reference;
    for (size_t pixel = 0; pixel < marked.rgb.size(); pixel += 3) {
        int worst = 0;
        for (size_t c = pixel; c < pixel + 3; ++c)
            worst = std::max(worst, std::abs(shot.rgb[c] - reference.rgb[c]));
        for (size_t c = pixel; c < pixel + 3; ++c)
            marked.rgb[c] = static_cast<unsigned char>(reference.rgb[c] / 4);
        if (worst > markedLevels)
            marked.rgb[pixel] = static_cast<unsigned char>(std::min(255, 64 + 4 * worst));
    }
    return marked;
}

class GoldenPicture : public DisplayTestWithParam<Shot> {
};

// A sandbox that reads the real scene, shaders and textures, at the golden
// pictures' sizes. With `ownShaders` the shaders are a copy a test may change.
void layOutGoldenSandbox(const Sandbox& sandbox, bool ownShaders = false)
{
    for (const char* folder : {"Shader", "Textures", "SceneObjects"}) {
        sandbox.remove(folder);
        if (ownShaders && std::string(folder) == "Shader")
            fs::copy(fs::path(BRASSFERN_DATA_DIR) / folder, sandbox.root / folder);
        else
            fs::create_directory_symlink(fs::path(BRASSFERN_DATA_DIR) / folder, sandbox.root / folder);
    }
    sandbox.write("Settings/resolution.txt", readText(goldenDirectory / "resolution.txt"));
}

Picture renderShot(const Sandbox& sandbox, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {BRASSFERN_CAPTURE_EXE, "--frames", "2", "--out", "shot.png"};
    argv.insert(argv.end(), options.begin(), options.end());
    const RunResult run = sandbox.run(argv, 120.0);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    return readPicture(sandbox.root / "shot.png");
}

Picture reference(const std::string& name)
{
    return readPicture(goldenDirectory / (name + ".png"));
}

TEST_P(GoldenPicture, MatchesItsReference)
{
    const Shot& shot = GetParam();
    Sandbox sandbox;
    layOutGoldenSandbox(sandbox);

    const Picture picture = renderShot(sandbox, shot.options);

    const Picture golden = reference(shot.name);
    ASSERT_FALSE(golden.rgb.empty()) << "no reference picture: render it with scripts/golden --update";
    ASSERT_EQ(picture.width, golden.width);
    ASSERT_EQ(picture.height, golden.height);
    const PictureMatch match = matchPicture(picture, golden);
    if (!match.matches) {
        const fs::path failures = BRASSFERN_GOLDEN_FAILURES;
        fs::create_directories(failures);
        writePicture(failures / (shot.name + ".png"), picture);
        writePicture(failures / (shot.name + "-difference.png"), difference(picture, golden));
        ADD_FAILURE() << 100.0 * match.unmatchedShare << "% of the pixels have no match, "
                      << 100.0 * match.movedBlockShare << "% of the blocks moved, the picture shifted by "
                      << match.shift << " levels; the new picture and the difference are in " << failures.string()
                      << ". If the change is meant, run scripts/golden --update and say why.";
    }
}

using GoldenSensitivity = DisplayTest;

// The tolerance that lets another driver through must not let a real
// change through: each effect turned off, and the bloom half as strong again.
TEST_F(GoldenSensitivity, RealChangesStillFail)
{
    const std::vector<std::string> zoom = {"--tour-time", "4.5"};
    const Picture golden = reference("tour-zoom");
    ASSERT_FALSE(golden.rgb.empty());
    Sandbox sandbox;
    layOutGoldenSandbox(sandbox, true);
    for (const char* effects : {"011", "101", "110"}) {
        std::vector<std::string> options = zoom;
        options.insert(options.end(), {"--effects", effects});
        EXPECT_FALSE(matchPicture(renderShot(sandbox, options), golden).matches) << effects;
    }
    const std::string bloom = readText(sandbox.root / "Shader/BloomFragment.glsl");
    const size_t glow = bloom.find("    fragColor =");
    ASSERT_NE(glow, std::string::npos);
    sandbox.write("Shader/BloomFragment.glsl", bloom.substr(0, glow) + "    glow *= 1.5;\n" + bloom.substr(glow));
    const PictureMatch stronger = matchPicture(renderShot(sandbox, zoom), golden);
    EXPECT_FALSE(stronger.matches) << 100.0 * stronger.movedBlockShare << "% of the blocks moved";
}

INSTANTIATE_TEST_SUITE_P(DefaultScene, GoldenPicture, testing::ValuesIn(readShots()),
                         [](const testing::TestParamInfo<Shot>& info) {
                             std::string name = info.param.name;
                             std::replace_if(name.begin(), name.end(),
                                             [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

} // namespace
