// The viewer's fatal start-up paths: exact lines, exit statuses, and never a wait for a key.
#include "Sandbox.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Each stage compiles; they disagree on the type of the value passed between them.
constexpr const char* passingVertex = "#version 330 core\nin vec3 position;\nout vec2 passed;\n"
                                      "void main() { passed = position.xy; gl_Position = vec4(position, 1.0); }\n";
constexpr const char* mismatchedFragment = "#version 330 core\nin vec3 passed;\nout vec4 fragColor;\n"
                                           "void main() { fragColor = vec4(passed, 1.0); }\n";

struct FatalCase {
    const char* name;
    std::function<void(const Sandbox&)> spoil;
    std::string firstLines; // exact start of standard output
    bool logFollows;        // the GL's info log is the rest; otherwise nothing is
    std::string err;
    int status;
};

class FatalStart : public testing::TestWithParam<FatalCase> {
};

TEST_P(FatalStart, PrintsItsLinesAndEndsWithoutWaiting)
{
    const FatalCase& c = GetParam();
    Sandbox sandbox;
    writeFloorAndPlatformScene(sandbox);
    c.spoil(sandbox);

    const RunResult run = sandbox.run({BRASSFERN_EXE}, 20.0);

    ASSERT_FALSE(run.timedOut) << "blocked on a standard input that is no terminal";
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
    ASSERT_EQ(run.out.substr(0, c.firstLines.size()), c.firstLines);
    const std::string rest = run.out.substr(c.firstLines.size());
    if (c.logFollows) {
        EXPECT_NE(rest.find("error"), std::string::npos) << rest;
        // The log alone: no heading, no file name.
        EXPECT_EQ(rest.find("Shader/"), std::string::npos) << rest;
        EXPECT_EQ(rest.find(".glsl"), std::string::npos) << rest;
    } else {
        EXPECT_EQ(rest, "");
    }
}

std::string textureFailure(const std::string& path)
{
    return "Failed to load texture! - " + path + "\nError-code(s):\n1290\n";
}

INSTANTIATE_TEST_SUITE_P(
    Viewer, FatalStart,
    testing::Values(
        FatalCase{"MissingVertexFileNamesItAndNeverOpensFragment",
                  [](const Sandbox& s) {
                      s.remove("Shader/ScreenQuadVertex.glsl");
                      // A pipe without a writer: opening it would block, so a
                      // run that ends proves the file was never opened.
                      s.remove("Shader/ScreenQuadFragment.glsl");
                      mkfifo((s.root / "Shader/ScreenQuadFragment.glsl").c_str(), 0644);
                  },
                  "Error: Could not load shader: Shader/ScreenQuadVertex.glsl\n", false,
                  "Message: No such file or directory\n", 1},
        FatalCase{"BrokenFragmentPrintsOnlyTheCompilerLog",
                  [](const Sandbox& s) {
                      s.write("Shader/ScreenQuadFragment.glsl",
                              "#version 330 core\nout vec4 fragColor;\nvoid main() { fragColor = vec4(1.0) }\n");
                  },
                  "", true, "", 1},
        FatalCase{"UnlinkableStagesPrintTheLinkLogAndEndWithMinusOne",
                  [](const Sandbox& s) {
                      s.write("Shader/ScreenQuadVertex.glsl", passingVertex);
                      s.write("Shader/ScreenQuadFragment.glsl", mismatchedFragment);
                  },
                  "Failed to link shader program!\n", true, "", 255},
        FatalCase{"MissingSceneTextureNamesItsPath",
                  [](const Sandbox& s) { s.remove("Textures/FinalScene/platform.png"); },
                  textureFailure("Textures/FinalScene/platform.png"), false, "", 255},
        FatalCase{"MissingNoiseImageNamesItsPath", [](const Sandbox& s) { s.remove("Textures/random.jpg"); },
                  textureFailure("Textures/random.jpg"), false, "", 255}),
    [](const testing::TestParamInfo<FatalCase>& info) { return std::string(info.param.name); });

} // namespace
