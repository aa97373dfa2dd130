// The default scene as the viewer draws it, against the committed golden pictures.
#include "DisplayTest.h"
#include "Sandbox.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path goldenDirectory = BRASSFERN_GOLDEN_DIR;

// More than a tenth of a percent of pixels off by more than 5 levels in some
// channel is a changed picture. Two renders on one machine agree exactly; the
// margin is for another Mesa rounding a few edges differently.
constexpr int toleratedLevels = 5;
constexpr double toleratedShare = 0.001;

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
        if (worst > toleratedLevels)
            marked.rgb[pixel] = static_cast<unsigned char>(std::min(255, 64 + 4 * worst));
    }
    return marked;
}

class GoldenPicture : public DisplayTestWithParam<Shot> {
};

TEST_P(GoldenPicture, MatchesItsReference)
{
    const Shot& shot = GetParam();
    Sandbox sandbox;
    for (const char* folder : {"Shader", "Textures", "SceneObjects"}) {
        sandbox.remove(folder);
        fs::create_directory_symlink(fs::path(BRASSFERN_DATA_DIR) / folder, sandbox.root / folder);
    }
    sandbox.write("Settings/resolution.txt", readText(goldenDirectory / "resolution.txt"));
    std::vector<std::string> argv = {BRASSFERN_CAPTURE_EXE, "--frames", "2", "--out", "shot.png"};
    argv.insert(argv.end(), shot.options.begin(), shot.options.end());

    const RunResult run = sandbox.run(argv, 120.0);

    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    const Picture picture = readPicture(sandbox.root / "shot.png");
    const Picture reference = readPicture(goldenDirectory / (shot.name + ".png"));
    ASSERT_FALSE(reference.rgb.empty()) << "no reference picture: render it with scripts/golden --update";
    ASSERT_EQ(picture.width, reference.width);
    ASSERT_EQ(picture.height, reference.height);
    const double share = differingShare(picture, reference, toleratedLevels);
    if (share > toleratedShare) {
        const fs::path failures = BRASSFERN_GOLDEN_FAILURES;
        fs::create_directories(failures);
        writePicture(failures / (shot.name + ".png"), picture);
        writePicture(failures / (shot.name + "-difference.png"), difference(picture, reference));
        ADD_FAILURE() << 100.0 * share << "% of the pixels differ; the new picture and the difference are in "
                      << failures.string() << ". If the change is meant, run scripts/golden --update and say why.";
    }
}

INSTANTIATE_TEST_SUITE_P(DefaultScene, GoldenPicture, testing::ValuesIn(readShots()),
                         [](const testing::TestParamInfo<Shot>& info) {
                             std::string name = info.param.name;
                             std::replace_if(name.begin(), name.end(),
                                             [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

} // namespace
