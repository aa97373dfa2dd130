// The default scene as the viewer draws it, against the committed golden pictures: a match on any correct
// driver (llvmpipe and softpipe), and no match once the picture really changes.
#include "DisplayTest.h"
#include "Golden.h"
#include "Sandbox.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
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

// The picture against the reference `name` (a path under tests/golden
// without .png); where they differ, both and the difference are left for a
// look. With BRASSFERN_GOLDEN_UPDATE set, the picture becomes the reference.
} // namespace

void expectGoldenMatch(const Picture& picture, const std::string& name)
{
    if (std::getenv("BRASSFERN_GOLDEN_UPDATE") != nullptr) {
        fs::create_directories((goldenDirectory / name).parent_path());
        ASSERT_TRUE(writePicture(goldenDirectory / (name + ".png"), picture)) << name;
        return;
    }
    const Picture golden = reference(name);
    ASSERT_FALSE(golden.rgb.empty()) << "no reference picture: render it with scripts/golden --update";
    ASSERT_EQ(picture.width, golden.width);
    ASSERT_EQ(picture.height, golden.height);
    const PictureMatch match = matchPicture(picture, golden);
    if (!match.matches) {
        const fs::path failures = fs::path(BRASSFERN_GOLDEN_FAILURES) / fs::path(name).parent_path();
        const std::string stem = fs::path(name).filename().string();
        fs::create_directories(failures);
        writePicture(failures / (stem + ".png"), picture);
        writePicture(failures / (stem + "-difference.png"), difference(picture, golden));
        ADD_FAILURE() << 100.0 * match.unmatchedShare << "% of the pixels have no match, "
                      << 100.0 * match.movedBlockShare << "% of the blocks moved, the picture shifted by "
                      << match.shift << " levels; the new picture and the difference are in " << failures.string()
                      << ". If the change is meant, run scripts/golden --update and say why.";
    }
}

namespace {

TEST_P(GoldenPicture, MatchesItsReference)
{
    const Shot& shot = GetParam();
    Sandbox sandbox;
    layOutGoldenSandbox(sandbox);

    const Picture picture = renderShot(sandbox, shot.options);

    expectGoldenMatch(picture, shot.name);
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

// Models given by path, made here: each as the viewer shows it, on its
// ground and before its backdrop, and without the ground.

// A smooth surface over (u, v) in [0, 1]^2, its points and unit normals
// given by `at`, as an OBJ grid of quads in material `material`. `base` and
// `normals` count the vertices and the normals written before.
void addSurface(std::string& obj, int& base, int& normals, const char* material, int columns, int rows,
                const std::function<void(double u, double v, double point[3], double normal[3])>& at)
{
    obj += std::string("usemtl ") + material + "\n";
    char line[200];
    for (int row = 0; row <= rows; ++row)
        for (int column = 0; column <= columns; ++column) {
            double p[3];
            double n[3];
            at(static_cast<double>(column) / columns, static_cast<double>(row) / rows, p, n);
            std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\nvn %.6f %.6f %.6f\n", p[0], p[1], p[2], n[0], n[1],
                          n[2]);
            obj += line;
        }
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            const int a = row * (columns + 1) + column + 1;
            const int b = a + columns + 1;
            std::snprintf(line, sizeof line, "f %d//%d %d//%d %d//%d %d//%d\n", base + a, normals + a, base + a + 1,
                          normals + a + 1, base + b + 1, normals + b + 1, base + b, normals + b);
            obj += line;
        }
    base += (rows + 1) * (columns + 1);
    normals += (rows + 1) * (columns + 1);
}

void addBox(std::string& obj, int& base, const char* material, const double low[3], const double high[3])
{
    obj += std::string("usemtl ") + material + "\n";
    char line[200];
    for (int corner = 0; corner < 8; ++corner) {
        std::snprintf(line, sizeof line, "v %g %g %g\n", (corner & 1) != 0 ? high[0] : low[0],
                      (corner & 2) != 0 ? high[1] : low[1], (corner & 4) != 0 ? high[2] : low[2]);
        obj += line;
    }
    // Counter-clockwise seen from outside.
    static const int faces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    for (const auto& face : faces) {
        std::snprintf(line, sizeof line, "f %d %d %d %d\n", base + face[0] + 1, base + face[1] + 1,
                      base + face[2] + 1, base + face[3] + 1);
        obj += line;
    }
    base += 8;
}

constexpr double pi = 3.14159265358979323846;

// An orange ball on a slate plinth.
std::string figureObj()
{
    std::string obj = "mtllib model.mtl\n";
    int base = 0;
    const double low[3] = {-0.9, 0.0, -0.9};
    const double high[3] = {0.9, 0.7, 0.9};
    addBox(obj, base, "slate", low, high);
    int normals = 0;
    addSurface(obj, base, normals, "orange", 32, 16, [](double u, double v, double* p, double* n) {
        const double theta = 2.0 * pi * u;
        const double phi = pi * v;
        n[0] = std::sin(phi) * std::cos(theta);
        n[1] = -std::cos(phi);
        n[2] = -std::sin(phi) * std::sin(theta);
        for (int i = 0; i < 3; ++i)
            p[i] = n[i];
        p[1] += 1.7;
    });
    return obj;
}

// Two pillars and a lintel: a shadow with a gate of light in it.
std::string archObj()
{
    std::string obj = "mtllib model.mtl\n";
    int base = 0;
    const double boxes[3][2][3] = {{{-1.2, 0.0, -0.3}, {-0.7, 2.2, 0.3}},
                                   {{0.7, 0.0, -0.3}, {1.2, 2.2, 0.3}},
                                   {{-1.4, 2.2, -0.4}, {1.4, 2.7, 0.4}}};
    for (const auto& box : boxes)
        addBox(obj, base, "sandstone", box[0], box[1]);
    return obj;
}

// A nearly black ring lying flat: on black it would not be seen at all.
std::string darkRingObj()
{
    std::string obj = "mtllib model.mtl\n";
    int base = 0;
    int normals = 0;
    addSurface(obj, base, normals, "soot", 48, 16, [](double u, double v, double* p, double* n) {
        const double around = 2.0 * pi * u;
        const double tube = -2.0 * pi * v;
        n[0] = std::cos(tube) * std::cos(around);
        n[1] = std::sin(tube);
        n[2] = std::cos(tube) * std::sin(around);
        p[0] = 1.0 * std::cos(around) + 0.35 * n[0];
        p[1] = 0.35 + 0.35 * n[1];
        p[2] = 1.0 * std::sin(around) + 0.35 * n[2];
    });
    return obj;
}

struct ModelShot {
    const char* name;
    std::string (*model)();
    bool ground;
};

void PrintTo(const ModelShot& shot, std::ostream* os)
{
    *os << shot.name;
}

class ModelGolden : public DisplayTestWithParam<ModelShot> {
};

// The same pictures drawn with no display at all, through EGL: windowed and
// headless runs match one reference, and so each other.
class HeadlessModelGolden : public testing::TestWithParam<ModelShot> {
};

void expectModelMatch(const ModelShot& shot, const std::vector<std::string>& env)
{
    Sandbox sandbox;
    sandbox.write("golden.txt", readText(goldenDirectory / "resolution.txt"));
    sandbox.write("model.mtl", "newmtl slate\nKd 0.25 0.3 0.4\nnewmtl orange\nKd 0.95 0.45 0.1\nKs 0.6 0.6 0.6\n"
                               "Ns 40\nnewmtl sandstone\nKd 0.8 0.65 0.45\nnewmtl soot\nKd 0.05 0.05 0.06\n");
    sandbox.write("model.obj", shot.model());
    std::vector<std::string> argv = {BRASSFERN_EXE, "--settings", "golden.txt", "--no-tour", "--frames", "2",
                                     "--output", "shot.png"};
    if (!shot.ground)
        argv.push_back("--no-ground");
    argv.push_back("model.obj");
    const RunResult run = sandbox.run(argv, 120.0, env);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    expectGoldenMatch(readPicture(sandbox.root / "shot.png"), std::string("models/") + shot.name);
}

TEST_P(ModelGolden, MatchesItsReference)
{
    expectModelMatch(GetParam(), {});
}

TEST_P(HeadlessModelGolden, MatchesTheWindowedReference)
{
    expectModelMatch(GetParam(), {"DISPLAY", "WAYLAND_DISPLAY"});
}

const ModelShot modelShots[] = {{"figure", figureObj, true},
                                 {"figure_no_ground", figureObj, false},
                                 {"arch", archObj, true},
                                 {"dark_ring", darkRingObj, true},
                                 {"dark_ring_no_ground", darkRingObj, false}};

INSTANTIATE_TEST_SUITE_P(Models, ModelGolden, testing::ValuesIn(modelShots),
                         [](const testing::TestParamInfo<ModelShot>& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Models, HeadlessModelGolden, testing::ValuesIn(modelShots),
                         [](const testing::TestParamInfo<ModelShot>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(DefaultScene, GoldenPicture, testing::ValuesIn(readShots()),
                         [](const testing::TestParamInfo<Shot>& info) {
                             std::string name = info.param.name;
                             std::replace_if(name.begin(), name.end(),
                                             [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

} // namespace
