// What must hold on every OpenGL 3.3 driver: each fallback for a driver that refuses a request draws what the
// request draws, a strict driver starts, the debug output works, and every shader stage passes the reference
// compiler exactly as the viewer hands it to the GL.
#include "DisplayTest.h"
#include "Sandbox.h"

#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr const char* smallSettings =
    "res_width:320\nres_height:180\nsm_width:256\nsm_height:256\nwin_width:160\nwin_height:120\n";

// A sandbox of the real scene and shaders, at small sizes.
void useRealScene(const Sandbox& sandbox)
{
    for (const char* folder : {"Shader", "Textures", "SceneObjects"}) {
        sandbox.remove(folder);
        fs::create_directory_symlink(fs::path(BRASSFERN_DATA_DIR) / folder, sandbox.root / folder);
    }
    sandbox.write("Settings/resolution.txt", smallSettings);
}

RunResult capture(const Sandbox& sandbox, const std::vector<std::string>& env = {})
{
    return sandbox.run({BRASSFERN_CAPTURE_EXE, "--frames", "2", "--tour-time", "4.5", "--out", "shot.png"}, 120.0,
                       env);
}

struct FallbackCase {
    const char* name;
    std::vector<std::string> env;
    std::string line; // what standard error says
};

void PrintTo(const FallbackCase& c, std::ostream* os)
{
    *os << c.name;
}

class Fallback : public DisplayTestWithParam<FallbackCase> {
};

TEST_P(Fallback, DrawsWhatTheFirstRequestDraws)
{
    Sandbox sandbox;
    useRealScene(sandbox);
    ASSERT_EQ(capture(sandbox).status, 0);
    const Picture first = readPicture(sandbox.root / "shot.png");

    const RunResult run = capture(sandbox, GetParam().env);

    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "brassfern: GL fallback " + GetParam().line + "\n");
    Picture picture = readPicture(sandbox.root / "shot.png");
    if (picture.width == 2 * first.width)
        picture = halved(picture);
    ASSERT_EQ(picture.width, first.width);
    // The same driver: the same picture, but for the one drawn at twice the
    // size and brought back down, whose edges went through two resamplings.
    if (GetParam().line.rfind("framebuffer-scale", 0) == 0) {
        const PictureMatch match = matchPicture(picture, first);
        EXPECT_LT(match.unmatchedShare, 0.02);
        EXPECT_LT(match.movedBlockShare, 0.02);
        EXPECT_LT(std::abs(match.shift), 1.0);
    } else {
        EXPECT_EQ(differingShare(picture, first, 0), 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forced, Fallback,
    testing::Values(
        FallbackCase{"ForwardCompatibleContext", {"BRASSFERN_FORCE_FALLBACKS=forward-compatible"},
                     "forward-compatible: forced"},
        FallbackCase{"ShadowTargetWithoutReadBuffer", {"BRASSFERN_FORCE_FALLBACKS=read-buffer"}, "read-buffer: forced"},
        FallbackCase{"FourChannelTargets", {"BRASSFERN_FORCE_FALLBACKS=rgba-targets"}, "rgba-targets: forced"},
        FallbackCase{"FramebufferTwiceTheWindow", {"BRASSFERN_FORCE_FALLBACKS=framebuffer-scale"},
                     "framebuffer-scale: the framebuffer is larger than the window"},
        // Without this extension Mesa holds a target without colour to the
        // letter of OpenGL 3.3, as strict drivers do.
        FallbackCase{"StrictDriverWantsNoReadBuffer", {"MESA_EXTENSION_OVERRIDE=-GL_ARB_ES2_compatibility"},
                     "read-buffer: the shadow map's target is complete only without a read buffer"}),
    [](const testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.name); });

using ForcedFallbacks = DisplayTest;

// A name no fallback has would leave a check believed done undone: it is
// said once, escaped, with the names there are; the names known still work.
TEST_F(ForcedFallbacks, AnUnknownNameIsSaidOnceWithTheNamesKnown)
{
    Sandbox sandbox;
    // The built-in scene: a model's import could add its progress lines on a busy machine.
    writeFloorAndPlatformScene(sandbox);
    const std::string forced = "BRASSFERN_FORCE_FALLBACKS=rgba-targets,read_buffer\x1b[2J,,read_buffer\x1b[2J";

    const RunResult run =
        sandbox.run({BRASSFERN_EXE, "--effects", "000", "--frames", "1", "--output", "shot.png"}, 120.0, {forced});

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "brassfern: BRASSFERN_FORCE_FALLBACKS names no fallback 'read_buffer\\x1b[2J'; the fallbacks "
                       "are forward-compatible, read-buffer, rgba-targets, framebuffer-scale\n"
                       "brassfern: GL fallback rgba-targets: forced\n");
}

using DrawPacing = DisplayTest;

// Big draws go in pieces on software rasterizers. Pieces of seven
// primitives, which split every mesh somewhere odd, draw what whole draws
// draw: a dense grid of triangles under the debug output (the fences raise
// no error), and points, lines and faces together.
TEST_F(DrawPacing, PiecesDrawWhatWholeDrawsDraw)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    std::string grid;
    constexpr int side = 60;
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x)
            grid += "v " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string((x * y) % 7 * 0.1) + "\n";
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int a = y * (side + 1) + x + 1;
            grid += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + side + 2) + " " +
                    std::to_string(a + side + 1) + "\n";
        }
    sandbox.write("grid.obj", grid);
    const std::string mixed = (fs::path(BRASSFERN_TESTDATA_DIR) / "obj-corpus" / "testmixed.obj").string();
    for (const std::string& model : {std::string("grid.obj"), mixed}) {
        Picture pictures[2];
        for (int pieces = 0; pieces < 2; ++pieces) {
            const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--gl-debug", "--no-tour",
                                               "--frames", "2", "--output", "shot.png", model},
                                              120.0, {pieces == 0 ? "BRASSFERN_DRAW_PIECES=0" : "BRASSFERN_DRAW_PIECES=7"});
            ASSERT_EQ(run.status, 0) << model << run.out << run.err;
            EXPECT_EQ(run.err.find("type error"), std::string::npos) << run.err;
            pictures[pieces] = readPicture(sandbox.root / "shot.png");
        }
        EXPECT_GT(litShare(pictures[0]), 0.02) << model;
        EXPECT_EQ(differingShare(pictures[1], pictures[0], 0), 0.0) << model;
    }
}

using GlDebug = DisplayTest;

// The built-in scene and a model of points, lines and faces: the channel
// works (its marker arrives) and the driver reports no error.
TEST_F(GlDebug, ShowsTheDriversMessagesAndFindsNoErrors)
{
    Sandbox sandbox;
    useRealScene(sandbox);
    const fs::path corpus = fs::path(BRASSFERN_TESTDATA_DIR) / "obj-corpus";
    const std::vector<std::vector<std::string>> runs = {
        {BRASSFERN_EXE, "--gl-debug", "--frames", "2", "--output", "shot.png"},
        // A model's run takes the viewer's own settings, at full size: this
        // one's small ones keep it within its time on a software rasterizer.
        {BRASSFERN_EXE, "--gl-debug", "--settings", "Settings/resolution.txt", "--frames", "2", "--output", "shot.png",
         (corpus / "testmixed.obj").string()},
    };
    for (const std::vector<std::string>& argv : runs) {
        const RunResult run = sandbox.run(argv, 120.0);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("GL debug: source application, type marker, severity notification, id 0: debug "
                               "output on\n"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("type error"), std::string::npos) << run.err;
    }
}

using ReferenceCompiler = DisplayTest;

// The stages of the built-in scene with every effect, and of a model's
// program: each as the loader built it, with the lines it inserts.
TEST_F(ReferenceCompiler, AcceptsEveryShaderStageWithoutAWarning)
{
    Sandbox sandbox;
    useRealScene(sandbox);
    fs::create_directory(sandbox.root / "stages");
    const std::vector<std::string> dump = {"BRASSFERN_SHADER_DUMP=" + (sandbox.root / "stages").string()};
    ASSERT_EQ(capture(sandbox, dump).status, 0);
    const fs::path model = fs::path(BRASSFERN_TESTDATA_DIR) / "obj-corpus" / "cube_with_vertexcolors.obj";
    ASSERT_EQ(sandbox.run({BRASSFERN_EXE, "--output", "shot.png", model.string()}, 120.0, dump).status, 0);

    std::set<std::string> files;
    bool modelProgram = false;
    for (const fs::directory_entry& entry : fs::directory_iterator(sandbox.root / "stages")) {
        modelProgram = modelProgram || readText(entry.path()).find("#define MODEL_SURFACES") != std::string::npos;
        const std::string stage = entry.path().extension() == ".vert" ? "vert" : "frag";
        const RunResult check = sandbox.run({"glslangValidator", "-S", stage, entry.path().string()}, 60.0);
        EXPECT_EQ(check.status, 0) << entry.path().filename() << "\n" << check.out << check.err;
        EXPECT_EQ(check.out.find("WARNING"), std::string::npos) << entry.path().filename() << "\n" << check.out;
        files.insert(entry.path().stem().stem().string() + entry.path().extension().string());
    }
    // Every file of the set, and the model's program among them.
    EXPECT_EQ(files.size(), 16u);
    EXPECT_TRUE(modelProgram);
}

} // namespace
