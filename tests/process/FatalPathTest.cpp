// The viewer's fatal start-up paths: exact lines, exit statuses, and never a wait for a key.
#include "DisplayTest.h"
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

// What standard output holds after the exact first lines.
enum class Rest {
    Nothing,
    Log,   // the GL's info log
    Codes, // the image library's error codes, one decimal number a line
};

struct FatalCase {
    const char* name;
    std::function<void(const Sandbox&)> spoil;
    std::string firstLines; // exact start of standard output
    Rest rest;
    std::string err; // exact start of standard error
    int status;
};

void PrintTo(const FatalCase& c, std::ostream* os)
{
    *os << c.name;
}

class FatalStart : public DisplayTestWithParam<FatalCase> {
};

// Every control byte but the line feed.
const std::string rawControls = [] {
    std::string bytes;
    for (int byte = 0; byte < 0x20; ++byte)
        if (byte != '\n')
            bytes += static_cast<char>(byte);
    return bytes + '\x7f';
}();

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
    EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << run.err;
    if (c.err.empty()) {
        EXPECT_EQ(run.err, "");
    }
    // Text from files, the shaders' quoted in the compiler's log included,
    // reaches the terminal escaped.
    for (const std::string* text : {&run.out, &run.err}) {
        EXPECT_EQ(text->find_first_of(rawControls), std::string::npos) << *text;
        EXPECT_EQ(text->find("\xe2\x80\xae"), std::string::npos) << *text;
    }
    ASSERT_EQ(run.out.substr(0, c.firstLines.size()), c.firstLines);
    const std::string rest = run.out.substr(c.firstLines.size());
    switch (c.rest) {
    case Rest::Log:
        EXPECT_NE(rest.find("error"), std::string::npos) << rest;
        // The log alone: no heading, no file name.
        EXPECT_EQ(rest.find("Shader/"), std::string::npos) << rest;
        EXPECT_EQ(rest.find(".glsl"), std::string::npos) << rest;
        break;
    case Rest::Codes:
        EXPECT_FALSE(rest.empty());
        for (const std::string& line : splitLines(rest))
            EXPECT_TRUE(!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) << rest;
        break;
    case Rest::Nothing:
        EXPECT_EQ(rest, "");
        break;
    }
}

std::string textureFailure(const std::string& path)
{
    return "Failed to load texture! - " + path + "\nError-code(s):\n1290\n";
}

std::string textureFailureHead(const std::string& path)
{
    return "Failed to load texture! - " + path + "\nError-code(s):\n";
}

// The sandbox's small sizes with one more line, which wins over them.
std::function<void(const Sandbox&)> settingsWith(const std::string& line)
{
    return [line](const Sandbox& s) {
        s.write("Settings/resolution.txt", "res_width:320\nres_height:180\nsm_width:256\nsm_height:256\n"
                                           "win_width:160\nwin_height:120\n" + line + "\n");
    };
}

std::function<void(const Sandbox&)> replaceFile(const std::string& relative, const std::string& bytes)
{
    return [relative, bytes](const Sandbox& s) {
        s.remove(relative);
        s.write(relative, bytes);
    };
}

std::function<void(const Sandbox&)> replaceWithDirectory(const std::string& relative)
{
    return [relative](const Sandbox& s) {
        s.remove(relative);
        std::filesystem::create_directories(s.root / relative);
    };
}

std::function<void(const Sandbox&)> truncateFile(const std::string& relative, size_t bytes)
{
    return [relative, bytes](const Sandbox& s) { s.write(relative, readText(s.root / relative).substr(0, bytes)); };
}

std::string testImage(const std::string& name)
{
    return readText(std::filesystem::path(BRASSFERN_TESTDATA_DIR) / "images" / name);
}

// What standard error says of the sandbox settings' one wrong line (or two).
std::string settingsReport(const std::string& line, const std::string& why)
{
    return "Settings/resolution.txt: " + line + " " + why;
}

std::string notAWindowSize(const std::string& line)
{
    return settingsReport(line, "is not a window size (1 to 16384)\n");
}

// The limit's number is the GL's own.
std::string pastTheGl(const std::string& line)
{
    return settingsReport(line, "is larger than this GL's render targets (");
}

constexpr const char* windowFailure = "Error: Could not create window\n";
constexpr const char* targetFailure = "Failed to initialize FBO!\n";
constexpr const char* shadowTargetFailure = "Failed to initialize FBO! \n";
constexpr const char* platform = "Textures/FinalScene/platform.png";

// The platform's texture replaced by a test image under its own name, whose
// extension is what the image library goes by.
FatalCase forgedHeader(const char* name, const std::string& file)
{
    const std::string path = "Textures/FinalScene/" + file;
    return {name,
            [file, path](const Sandbox& s) {
                s.write("SceneObjects/FinalScene/final_scene.mtl",
                        "newmtl floor\nmap_Kd floor.png\nnewmtl platform\nmap_Kd " + file + "\n");
                s.write(path, testImage(file));
            },
            textureFailureHead(path), Rest::Nothing, "Message: the image is 60000 x 60000 pixels", 255};
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
                  "Error: Could not load shader: Shader/ScreenQuadVertex.glsl\n", Rest::Nothing,
                  "Message: No such file or directory\n", 1},
        FatalCase{"BrokenFragmentPrintsOnlyTheCompilerLog",
                  [](const Sandbox& s) {
                      s.write("Shader/ScreenQuadFragment.glsl",
                              "#version 330 core\nout vec4 fragColor;\nvoid main() { fragColor = vec4(1.0) }\n");
                  },
                  "", Rest::Log, "", 1},
        FatalCase{"UnlinkableStagesPrintTheLinkLogAndEndWithMinusOne",
                  [](const Sandbox& s) {
                      s.write("Shader/ScreenQuadVertex.glsl", passingVertex);
                      s.write("Shader/ScreenQuadFragment.glsl", mismatchedFragment);
                  },
                  "Failed to link shader program!\n", Rest::Log, "", 255},
        FatalCase{"MissingSceneTextureNamesItsPath",
                  [](const Sandbox& s) { s.remove("Textures/FinalScene/platform.png"); },
                  textureFailure("Textures/FinalScene/platform.png"), Rest::Nothing, "", 255},
        FatalCase{"MissingNoiseImageNamesItsPath", [](const Sandbox& s) { s.remove("Textures/random.jpg"); },
                  textureFailure("Textures/random.jpg"), Rest::Nothing, "", 255},

        // Sizes no window system shows: GLFW asserted on negative ones, and
        // Xlib or xcb ended the process at the first swap of huge ones.
        FatalCase{"NegativeWindowWidth", settingsWith("win_width:-5"), windowFailure, Rest::Nothing,
                  notAWindowSize("win_width:-5"), 1},
        FatalCase{"NegativeWindowHeight", settingsWith("win_height:-1"), windowFailure, Rest::Nothing,
                  notAWindowSize("win_height:-1"), 1},
        FatalCase{"WindowWidthBelowTheIntRange", settingsWith("win_width:-99999999999"), windowFailure, Rest::Nothing,
                  notAWindowSize("win_width:-99999999999"), 1},
        FatalCase{"WindowTooLargeForTheServer", settingsWith("win_width:100000\nwin_height:100000"), windowFailure,
                  Rest::Nothing, notAWindowSize("win_width:100000") + notAWindowSize("win_height:100000"), 1},
        FatalCase{"WindowTooLargeForOneRequest", settingsWith("win_width:32767\nwin_height:32767"), windowFailure,
                  Rest::Nothing, notAWindowSize("win_width:32767") + notAWindowSize("win_height:32767"), 1},

        // Targets past the GL's limits: the driver smashed its stack at 2^25.
        FatalCase{"RenderWidthOfTwoToTheTwentyFifth", settingsWith("res_width:33554432"), targetFailure,
                  Rest::Nothing, pastTheGl("res_width:33554432"), 255},
        FatalCase{"RenderHeightAboveTheIntRange", settingsWith("res_height:99999999999"), targetFailure,
                  Rest::Nothing, settingsReport("res_height:99999999999", "is not a render size\n"), 255},
        FatalCase{"RenderWidthBeyondTheTextureLimit", settingsWith("res_width:20000"), targetFailure, Rest::Nothing,
                  pastTheGl("res_width:20000"), 255},
        FatalCase{"NegativeRenderHeight", settingsWith("res_height:-1"), targetFailure, Rest::Nothing,
                  settingsReport("res_height:-1", "is not a render size\n"), 255},
        FatalCase{"ShadowMapWidthOfTwoToTheTwentyFifth", settingsWith("sm_width:33554432"), shadowTargetFailure,
                  Rest::Nothing, pastTheGl("sm_width:33554432"), 255},
        FatalCase{"ShadowMapHeightAboveTheIntRange", settingsWith("sm_height:99999999999"), shadowTargetFailure,
                  Rest::Nothing, settingsReport("sm_height:99999999999", "is not a shadow-map size\n"), 255},
        FatalCase{"ShadowMapOfZeroSize", settingsWith("sm_width:0\nsm_height:0"), shadowTargetFailure, Rest::Nothing,
                  settingsReport("sm_width:0", "is not a shadow-map size\n") +
                      settingsReport("sm_height:0", "is not a shadow-map size\n"),
                  255},

        FatalCase{"ShaderPathThatIsADirectory", replaceWithDirectory("Shader/BloomFragment.glsl"),
                  "Error: Could not load shader: Shader/BloomFragment.glsl\n", Rest::Nothing,
                  "Message: Is a directory\n", 1},
        FatalCase{"EmptyShaderFile", replaceFile("Shader/BloomFragment.glsl", ""), "", Rest::Log, "", 1},
        // Read only if regular and within a megabyte: a pipe would block the
        // start-up forever, and /dev/zero would be read until memory ran out.
        FatalCase{"ShaderThatIsAPipe",
                  [](const Sandbox& s) {
                      s.remove("Shader/BloomFragment.glsl");
                      mkfifo((s.root / "Shader/BloomFragment.glsl").c_str(), 0644);
                  },
                  "Error: Could not load shader: Shader/BloomFragment.glsl\n", Rest::Nothing,
                  "Message: not a regular file\n", 1},
        FatalCase{"ShaderLinkedToAnEndlessDevice",
                  [](const Sandbox& s) {
                      s.remove("Shader/BloomFragment.glsl");
                      std::filesystem::create_symlink("/dev/zero", s.root / "Shader/BloomFragment.glsl");
                  },
                  "Error: Could not load shader: Shader/BloomFragment.glsl\n", Rest::Nothing,
                  "Message: not a regular file\n", 1},
        FatalCase{"ShaderPastAMegabyte", replaceFile("Shader/BloomFragment.glsl", std::string((1 << 20) + 1, ' ')),
                  "Error: Could not load shader: Shader/BloomFragment.glsl\n", Rest::Nothing,
                  "Message: it is longer than 1 MB\n", 1},
        FatalCase{"ShaderErrorQuotingControlsAndAnOverride",
                  replaceFile("Shader/BloomFragment.glsl",
                              "#version 330 core\n#error \x1b]0;owned\x07 \xe2\x80\xae" "desrever\n"),
                  "", Rest::Log, "", 1},
        FatalCase{"BinaryJunkShaderFile",
                  replaceFile("Shader/BloomFragment.glsl", std::string("\x7f" "ELF\x02\x01\x01\x00\xff\xfe\x80junk", 16)),
                  "", Rest::Log, "", 1},

        FatalCase{"SceneTextureThatIsADirectory", replaceWithDirectory(platform), textureFailureHead(platform),
                  Rest::Codes, "", 255},
        FatalCase{"EmptySceneTexture", replaceFile(platform, ""), textureFailureHead(platform), Rest::Codes, "", 255},
        FatalCase{"TruncatedSceneTexture", truncateFile(platform, 40), textureFailureHead(platform), Rest::Codes, "",
                  255},
        FatalCase{"SceneTextureWiderThanTheGlTakes", replaceFile(platform, testImage("wide-16385.png")),
                  textureFailureHead(platform), Rest::Nothing, "Message: the image is 16385 x 1 pixels", 255},
        // Headers that claim 60000 x 60000 pixels over a few bytes of data:
        // the image library allocated gigabytes for them, then crashed on the
        // TGA and corrupted its heap on the JPEG.
        forgedHeader("PngHeaderClaimingSixtyThousandSquare", "forged-60000.png"),
        forgedHeader("TgaHeaderClaimingSixtyThousandSquare", "forged-60000.tga"),
        forgedHeader("GifHeaderClaimingSixtyThousandSquare", "forged-60000.gif"),
        forgedHeader("JpegHeaderClaimingSixtyThousandSquare", "forged-60000.jpg"),
        forgedHeader("BmpHeaderClaimingSixtyThousandSquare", "forged-60000.bmp"),
        FatalCase{"PngWhoseRowSizeWrapsThirtyTwoBits", replaceFile(platform, testImage("forged-wrap.png")),
                  textureFailureHead(platform), Rest::Nothing, "Message: the image is 65537 x 65535 pixels", 255},

        FatalCase{"TruncatedNoiseImage", truncateFile("Textures/random.jpg", 300),
                  textureFailureHead("Textures/random.jpg"), Rest::Codes, "", 255}),
    [](const testing::TestParamInfo<FatalCase>& info) { return std::string(info.param.name); });

} // namespace
