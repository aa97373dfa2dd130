// The programs' command lines as a user meets them: help without a window, mistakes refused with status 2, and
// a model of the user's drawn into a picture from any working directory, built or installed.
#include "DisplayTest.h"
#include "ModelFiles.h"
#include "Sandbox.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <set>
#include <sys/stat.h>

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

double redShare(const Picture& picture, int fromColumn, int toColumn)
{
    size_t red = 0;
    size_t all = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = fromColumn; x < toColumn; ++x, ++all) {
            const unsigned char* p = picture.at(x, y);
            red += p[0] > 40 && p[0] > 3 * p[1] && p[0] > 3 * p[2];
        }
    return all == 0 ? 0.0 : static_cast<double>(red) / static_cast<double>(all);
}

// A cube of side `size` with its low corner at `low`, in a material with a
// diffuse colour and no texture.
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string cubeObj(double low, double size)
{
    std::string obj = "mtllib cube.mtl\nusemtl orange\n";
    for (int corner = 0; corner < 8; ++corner)
        obj += "v " + number(low + size * (corner & 1)) + " " + number(low + size * ((corner >> 1) & 1)) + " " +
               number(low + size * ((corner >> 2) & 1)) + "\n";
    obj += "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    return obj;
}

// A slab with a column and a block on it, all `scale` times the size of a
// ten-unit slab and moved by `offset`: a small scene with shadows and
// creases, in colour materials.
std::string slabSceneObj(double scale, double offset)
{
    struct Box {
        double x0, y0, z0, x1, y1, z1;
        const char* material;
    };
    const Box boxes[] = {{-5, -0.2, -5, 5, 0, 5, "stone"}, {-3, 0, -3, -2, 4, -2, "column"}, {0.5, 0, 0.5, 2.5, 2, 2.5, "block"}};
    std::string obj = "mtllib slab.mtl\n";
    int base = 1;
    for (const Box& box : boxes) {
        obj += std::string("o ") + box.material + "\nusemtl " + box.material + "\n";
        for (int corner = 0; corner < 8; ++corner)
            obj += "v " + std::to_string(offset + scale * ((corner & 1) ? box.x1 : box.x0)) + " " +
                   std::to_string(offset + scale * ((corner & 2) ? box.y1 : box.y0)) + " " +
                   std::to_string(offset + scale * ((corner & 4) ? box.z1 : box.z0)) + "\n";
        const int faces[6][4] = {{1, 3, 4, 2}, {5, 6, 8, 7}, {1, 2, 6, 5}, {3, 7, 8, 4}, {1, 5, 7, 3}, {2, 4, 8, 6}};
        for (const auto& face : faces)
            obj += "f " + std::to_string(base + face[0] - 1) + " " + std::to_string(base + face[1] - 1) + " " +
                   std::to_string(base + face[2] - 1) + " " + std::to_string(base + face[3] - 1) + "\n";
        base += 8;
    }
    return obj;
}

// A glTF file that carries its texture inside itself (a red PNG as a data
// URI) and places one square twice through its nodes: once where it was
// modelled, once three units to the right. The squares face +z, toward the
// start view.
std::string twoSquaresGltf(const std::string& png)
{
    std::string buffer;
    append<float>(buffer, {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0});
    append<float>(buffer, {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1});
    append<float>(buffer, {0, 0, 1, 0, 1, 1, 0, 1});
    append<unsigned short>(buffer, {0, 1, 2, 0, 2, 3});
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],)"
           R"("nodes":[{"mesh":0},{"mesh":0,"translation":[3,0,0]}],)"
           R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3,"material":0}]}],)"
           R"("materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],)"
           R"("textures":[{"source":0}],"images":[{"uri":"data:image/png;base64,)" +
           base64(png) + R"("}],"buffers":[{"byteLength":)" + std::to_string(buffer.size()) +
           R"(,"uri":"data:application/octet-stream;base64,)" + base64(buffer) + R"("}],)"
           R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":48},{"buffer":0,"byteOffset":48,"byteLength":48},)"
           R"({"buffer":0,"byteOffset":96,"byteLength":32},{"buffer":0,"byteOffset":128,"byteLength":12}],)"
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":4,"type":"VEC3","min":[-1,-1,0],"max":[1,1,0]},)"
           R"({"bufferView":1,"componentType":5126,"count":4,"type":"VEC3"},)"
           R"({"bufferView":2,"componentType":5126,"count":4,"type":"VEC2"},)"
           R"({"bufferView":3,"componentType":5123,"count":6,"type":"SCALAR"}]})";
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

// The picture's file is checked before anything is drawn (no window could
// open here), never overwrites what the viewer reads, and special files in
// place of the settings are refused instead of read.
TEST(CommandLine, InputsAndThePictureAreCheckedBeforeAWindowOpens)
{
    const Sandbox sandbox;
    sandbox.write("model.png", "v 0 0 0\n");
    sandbox.write("s.png", smallSettings);
    ASSERT_EQ(mkfifo((sandbox.root / "pipe.txt").c_str(), 0644), 0);
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{BRASSFERN_EXE, "--output", "model.png", "model.png"},
         "brassfern: --output model.png would overwrite model.png\n" + std::string(usage)},
        {{BRASSFERN_EXE, "--output", "./s.png", "--settings", "s.png"},
         "brassfern: --output ./s.png would overwrite s.png\n" + std::string(usage)},
        {{BRASSFERN_EXE, "--output", "x.png", "--frames", "1001"},
         "brassfern: bad value for --frames: '1001'\n" + std::string(usage)},
        {{BRASSFERN_EXE, "--settings", "pipe.txt"}, "brassfern: cannot read the settings file pipe.txt\n" + std::string(usage)},
        {{BRASSFERN_EXE, "--settings", "/dev/zero"},
         "brassfern: cannot read the settings file /dev/zero\n" + std::string(usage)},
    };
    for (const auto& [argv, err] : refused) {
        const RunResult run = sandbox.run(argv, 30.0, noDisplay);
        EXPECT_EQ(run.status, 2) << argv[2];
        EXPECT_EQ(run.err, err);
        EXPECT_EQ(run.out, "");
    }
    const RunResult missingFolder =
        sandbox.run({BRASSFERN_EXE, "--output", "missing/shot.png", "model.png"}, 30.0, noDisplay);
    EXPECT_EQ(missingFolder.status, 1);
    EXPECT_EQ(missingFolder.err, "brassfern: cannot write missing/shot.png: there is no folder missing\n");
    EXPECT_EQ(readText(sandbox.root / "model.png"), "v 0 0 0\n");
}

// Names from the command line reach the terminal with their controls and
// their hidden characters escaped, in every program's messages: none can
// move the cursor, retitle the terminal, break a line or turn text around.
TEST(CommandLine, NamesFromTheCommandLineArePrintedEscaped)
{
    const Sandbox sandbox;
    struct Case {
        std::vector<std::string> argv;
        int status;
        std::string firstLine;
    };
    const Case cases[] = {
        {{BRASSFERN_EXE, "--output", "a\x1b[31m\nb\xe2\x80\xa8/x.png", "model.obj"}, 1,
         "brassfern: cannot write a\\x1b[31m\\x0ab\\u2028/x.png: there is no folder a\\x1b[31m\\x0ab\\u2028"},
        {{BRASSFERN_EXE, "--bogus\xe2\x80\xae"}, 2, "brassfern: unknown option --bogus\\u202e"},
        {{BRASSFERN_EXE, "--data", "d\xe2\x81\xa6ir\x07", "model.obj"}, 1,
         "brassfern: cannot find the program's files: no Shader folder in d\\u2066ir\\x07"},
        {{BRASSFERN_CAPTURE_EXE, "--bogus\xef\xbb\xbf\x1b]0;x\x07", "1"}, 2,
         "brassfern-capture: unknown option --bogus\\ufeff\\x1b]0;x\\x07"},
        {{BRASSFERN_SCENEGEN_EXE, "-\xe2\x80\x8b\r"}, 2, "brassfern-scenegen: unknown option -\\u200b\\x0d"},
    };
    for (const Case& c : cases) {
        const RunResult run = sandbox.run(c.argv, 30.0, noDisplay);
        EXPECT_EQ(run.status, c.status) << c.firstLine;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.firstLine);
        EXPECT_EQ(run.out, "");
    }
}

using UserModel = DisplayTest;

// A full disk shows only when the picture is written; the run says so.
TEST_F(UserModel, APictureThatCannotBeWrittenEndsWithItsReason)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    fs::create_symlink("/dev/full", sandbox.root / "full.png");

    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--frames", "1",
                                       "--output", "full.png", spider.string()});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "brassfern: could not write " + (sandbox.root / "full.png").string() +
                           ": No space left on device\n");
}

// A full disk, as a file-size limit gives it without a mount: past 4 KiB
// (dash counts 512-byte blocks) writes fail with EFBIG, SIGXFSZ being
// ignored. A picture file the run made goes again; one the user had is
// the user's, written over as asked.
TEST_F(UserModel, APictureCutShortByAFullDiskIsRemovedOnlyWhereTheRunMadeIt)
{
    Sandbox sandbox;
    // The built-in scene, whose start prints nothing; its picture takes about 35 KiB.
    for (const char* folder : {"Textures", "SceneObjects"}) {
        sandbox.remove(folder);
        fs::create_directory_symlink(fs::path(BRASSFERN_DATA_DIR) / folder, sandbox.root / folder);
    }
    sandbox.write("users.png", "the user's");
    for (const auto& [name, left] : {std::pair{"new.png", false}, std::pair{"users.png", true}}) {
        const RunResult run = sandbox.run({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\"",
                                           BRASSFERN_EXE, "--effects", "000", "--frames", "1", "--output", name});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_EQ(run.err, std::string("brassfern: could not write ") + name + ": File too large\n");
        EXPECT_EQ(fs::exists(sandbox.root / name), left) << name;
    }
}

// A pipe where the settings file should be is reported and passed over, not waited on.
TEST_F(UserModel, PipeInPlaceOfTheSettingsFileIsPassedOver)
{
    Sandbox sandbox;
    sandbox.remove("Settings/resolution.txt");
    ASSERT_EQ(mkfifo((sandbox.root / "Settings/resolution.txt").c_str(), 0644), 0);

    const RunResult run =
        sandbox.run({BRASSFERN_CAPTURE_EXE, "--out", "shot.png", "--frames", "1", "--window", "160x120"}, 60.0);

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "Settings/resolution.txt: is not a regular file and is ignored\n");
}

// A folder of the user's that happens to hold shaders (here ones that paint
// everything magenta) changes nothing an installed viewer draws of a model;
// --data names the folder to use instead.
TEST_F(UserModel, ShadersInTheWorkingDirectoryDoNotReplaceTheViewersOwn)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    const std::string magenta = "#version 330 core\nout vec4 fragColor;\n"
                                "void main() { fragColor = vec4(1.0, 0.0, 1.0, 1.0); }\n";
    sandbox.write("Shader/ScreenQuadFragment.glsl", magenta);
    const auto magentaShare = [](const Picture& picture) {
        size_t count = 0;
        for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
            count += picture.rgb[i] > 200 && picture.rgb[i + 1] < 50 && picture.rgb[i + 2] > 200;
        return picture.rgb.empty() ? 0.0 : static_cast<double>(count) / static_cast<double>(picture.rgb.size() / 3);
    };
    for (const bool told : {false, true}) {
        std::vector<std::string> argv = {BRASSFERN_EXE, "--settings", "small.txt", "--no-tour", "--output",
                                         "shot.png", spider.string()};
        if (told)
            argv.insert(argv.begin() + 1, {"--data", "."});
        const RunResult run = sandbox.run(argv);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(magentaShare(readPicture(sandbox.root / "shot.png")) > 0.9, told);
    }
}

// A model that opens at once says nothing on standard error; one that takes
// longer (here every load, by the variable that lowers the threshold) says
// what stage it is in, and closes with the model's size.
TEST_F(UserModel, ALongLoadShowsItsProgressAndAQuickOneNothing)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.write("cube.mtl", "newmtl orange\nKd 1 0.5 0\n");
    sandbox.write("cube.obj", cubeObj(0.0, 1.0));
    const std::vector<std::string> argv = {BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000",
                                           "--no-tour",   "--output",   "shot.png",   "cube.obj"};
    const RunResult quick = sandbox.run(argv);
    ASSERT_EQ(quick.status, 0) << quick.out << quick.err;
    EXPECT_EQ(quick.err, "");
    const RunResult shown = sandbox.run(argv, 60.0, {"BRASSFERN_PROGRESS_AFTER=0"});
    ASSERT_EQ(shown.status, 0) << shown.out << shown.err;
    EXPECT_EQ(shown.out, quick.out);
    EXPECT_NE(shown.err.find("brassfern: opening cube.obj: "), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find("brassfern: opened cube.obj: 1 mesh, 12 triangles, 0 textures in "), std::string::npos)
        << shown.err;
    // Plain lines, not a terminal's rewritten one.
    EXPECT_EQ(shown.err.find('\r'), std::string::npos);
}

// A model is lit from above and in front of the start view: the cube's
// front, which the start view shows below its top, takes the light (the
// built-in scene's light, behind and to the side, left it in its ambient
// light, about a fifth of its colour).
TEST_F(UserModel, TheLightStandsOverTheViewersShoulder)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.write("cube.mtl", "newmtl orange\nKd 1 0.5 0\n");
    sandbox.write("cube.obj", cubeObj(0.0, 1.0));
    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                       "--no-ground", "--output", "shot.png", "cube.obj"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const Picture shot = readModelPicture(sandbox.root / "shot.png");
    int top = shot.height, bottom = -1, left = shot.width, right = -1;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (shot.at(x, y)[0] > 12) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GT(bottom - top, 10);
    // The lowest quarter of the cube's box, its middle half across: the front.
    double red = 0.0;
    int count = 0;
    for (int y = bottom - (bottom - top) / 4; y < bottom; ++y)
        for (int x = left + (right - left) / 4; x < right - (right - left) / 4; ++x, ++count)
            red += shot.at(x, y)[0];
    EXPECT_GT(red / count, 110.0);
}

// Sides of 1e19 and 1e-25 units: framed like a cube of one unit.
TEST_F(UserModel, ModelsOfExtremeSizesAreFramedLikeAnyOther)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.write("cube.mtl", "newmtl orange\nKd 1 0.5 0\n");
    const std::pair<const char*, std::string> cubes[] = {
        {"unit.obj", cubeObj(0.0, 1.0)}, {"huge.obj", cubeObj(-5e18, 1e19)}, {"tiny.obj", cubeObj(0.0, 1e-25)}};
    double shares[3] = {0.0, 0.0, 0.0};
    int index = 0;
    for (const auto& [name, obj] : cubes) {
        sandbox.write(name, obj);
        const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                           "--output", "shot.png", name});
        ASSERT_EQ(run.status, 0) << name << run.out << run.err;
        shares[index++] = litShare(readPicture(sandbox.root / "shot.png"));
    }
    EXPECT_GT(shares[0], 0.05);
    EXPECT_NEAR(shares[1], shares[0], 0.02);
    EXPECT_NEAR(shares[2], shares[0], 0.02);
}

// Relative paths are the user's working directory's, though the viewer works
// in its own data folder; the textures are found beside the model.
TEST_F(UserModel, OpenedFromAnotherFolderIsDrawnWithItsTextures)
{
    Sandbox sandbox;
    leaveOnlyOwnFiles(sandbox);
    sandbox.write("small.txt", smallSettings);

    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                       "--no-ground", "--output", "shot.png", spider.string()});

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    const Picture shot = readModelPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    // Framed, the spider covers a few percent of the picture; most of what
    // it covers shows its textures.
    EXPECT_GT(litShare(shot), 0.03);
    EXPECT_GT(brownShare(shot), 0.4 * litShare(shot));
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
                                       "--no-ground", "--output", "shot.png", spider.string()});

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const Picture shot = readModelPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    // Framed, the spider covers a few percent of the picture; most of what
    // it covers shows its textures.
    EXPECT_GT(litShare(shot), 0.03);
    EXPECT_GT(brownShare(shot), 0.4 * litShare(shot));
    EXPECT_EQ(sandbox.run({(prefix / "bin/brassfern-capture").string(), "--help"}).status, 0);
}

// The model's bounds decide where it stands and how large it is drawn: a
// cube one unit across far from the origin and one ten thousand units across
// fill about the same share of the picture, in their material's colour.
TEST_F(UserModel, ModelsOfAnySizeAndPlaceOpenFramedInTheirColour)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.write("cube.mtl", "newmtl orange\nKd 1 0.5 0\n");
    sandbox.write("unit.obj", cubeObj(1000.0, 1.0));
    sandbox.write("huge.obj", cubeObj(-5000.0, 10000.0));
    double shares[2] = {0.0, 0.0};
    int index = 0;
    for (const char* model : {"unit.obj", "huge.obj"}) {
        const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--no-tour", "--no-ground",
                                           "--output", "shot.png", model});
        ASSERT_EQ(run.status, 0) << model << run.out << run.err;
        EXPECT_EQ(run.out, "") << model;
        const Picture shot = readModelPicture(sandbox.root / "shot.png");
        shares[index++] = litShare(shot);
        // Orange: the diffuse colour, lit or in shade, never grey or black.
        size_t orange = 0;
        for (size_t i = 0; i + 2 < shot.rgb.size(); i += 3)
            orange += shot.rgb[i] > 40 && shot.rgb[i] > shot.rgb[i + 1] + 10 && shot.rgb[i + 1] > shot.rgb[i + 2] + 10;
        EXPECT_GT(static_cast<double>(orange) / static_cast<double>(shot.rgb.size() / 3), 0.04) << model;
    }
    EXPECT_GT(shares[0], 0.05);
    EXPECT_LT(shares[0], 0.6);
    EXPECT_NEAR(shares[0], shares[1], 0.02);
}

TEST_F(UserModel, GltfTextureInsideTheFileAndNodeTransformsAreUsed)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.writeImage("red.png", 2, 2, std::vector<unsigned char>{230, 20, 20, 230, 20, 20, 230, 20, 20, 230, 20, 20});
    sandbox.write("squares.gltf", twoSquaresGltf(readText(sandbox.root / "red.png")));
    sandbox.remove("red.png");

    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                       "--output", "shot.png", "squares.gltf"});

    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const Picture shot = readPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    // Two red squares with a gap between them: the second node's copy stands
    // to the right of the first.
    EXPECT_GT(redShare(shot, 20, 70), 0.15);
    EXPECT_GT(redShare(shot, 90, 140), 0.15);
    EXPECT_LT(redShare(shot, 78, 82), 0.05);
}

// Shadows, occlusion, focus and the tour work at the model's scale: the same
// small scene a tenth of a unit across and ten thousand units across, all
// effects on, gives the same picture.
TEST_F(UserModel, EveryEffectWorksAtTheModelsOwnScale)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.write("slab.mtl", "newmtl stone\nKd 0.7 0.7 0.6\nnewmtl column\nKd 0.8 0.3 0.2\n"
                              "newmtl block\nKd 0.2 0.4 0.8\n");
    sandbox.write("tiny.obj", slabSceneObj(0.01, 3.0));
    sandbox.write("huge.obj", slabSceneObj(1000.0, -20000.0));
    Picture shots[2];
    int index = 0;
    for (const char* model : {"tiny.obj", "huge.obj"}) {
        const RunResult run =
            sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--frames", "20", "--output", "shot.png", model});
        ASSERT_EQ(run.status, 0) << model << run.out << run.err;
        shots[index++] = readPicture(sandbox.root / "shot.png");
    }
    ASSERT_GT(litShare(shots[0]), 0.1);
    EXPECT_LT(differingShare(shots[0], shots[1], 12), 0.01);
}

} // namespace
