// The viewer as a desktop meets it: pictures with no display at all, thumbnails through the installed thumbnailer's
// command line, and the menu entry, types, manual page and completion it installs.
#include "HostileModels.h"
#include "Sandbox.h"

#include <IL/il.h>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* smallSettings =
    "res_width:320\nres_height:180\nsm_width:256\nsm_height:256\nwin_width:160\nwin_height:120\n";
// Unset in the child: no display server of any kind is there to be found.
const std::vector<std::string> noDisplay = {"DISPLAY", "WAYLAND_DISPLAY"};
const fs::path sampleBox = fs::path(BRASSFERN_TESTDATA_DIR) / "gltf/BoxTexturedNonPowerOfTwo/glTF";

// A PNG as stored: its size, its channels (3 or 4) and its pixels as RGBA, rows top-down.
struct Png {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<unsigned char> rgba;
    unsigned char alpha(int x, int y) const { return rgba[4 * (static_cast<size_t>(y) * width + x) + 3]; }
};

Png readPng(const fs::path& path)
{
    ilInit();
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    Png png;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    if (ilLoad(IL_PNG, path.c_str())) {
        png.width = ilGetInteger(IL_IMAGE_WIDTH);
        png.height = ilGetInteger(IL_IMAGE_HEIGHT);
        png.channels = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL);
        ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE);
        png.rgba.resize(static_cast<size_t>(png.width) * png.height * 4);
        ilCopyPixels(0, 0, 0, png.width, png.height, 1, IL_RGBA, IL_UNSIGNED_BYTE, png.rgba.data());
    }
    ilDeleteImages(1, &image);
    return png;
}

// A box `height` times as tall as it is wide and deep, standing on the ground plane.
std::string tallBoxObj(double height)
{
    std::string obj;
    for (int corner = 0; corner < 8; ++corner)
        obj += "v " + std::to_string(corner & 1 ? 0.5 : -0.5) + " " + std::to_string(corner & 2 ? height : 0.0) +
               " " + std::to_string(corner & 4 ? 0.5 : -0.5) + "\n";
    return obj + "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
}

// With no display, --output draws through EGL: the same picture, the same
// silence, as with one; a window still needs a display.
TEST(HeadlessPicture, ModelIsDrawnWithNoDisplayAtAllAndAWindowStillNeedsOne)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.write("tall.obj", tallBoxObj(2.0));

    const RunResult run = sandbox.run(
        {BRASSFERN_EXE, "--settings", "small.txt", "--no-tour", "--output", "shot.png", "tall.obj"}, 60.0, noDisplay);

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const Picture shot = readModelPicture(sandbox.root / "shot.png");
    ASSERT_EQ(shot.width, 160);
    ASSERT_EQ(shot.height, 120);
    EXPECT_GT(litShare(shot), 0.05);

    const RunResult window = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "tall.obj"}, 60.0, noDisplay);
    EXPECT_EQ(window.status, 1);
    EXPECT_EQ(window.out, "Error: Could not init GLFW\n");
}

// A tall model gives a tall thumbnail whose longer side is the size asked
// for; a transparent one is clear where the model is not, and opaque where it is.
TEST(HeadlessThumbnail, FitsWithinTheSizeInTheModelsAspectWithATransparentBackdropIfAsked)
{
    Sandbox sandbox;
    sandbox.write("tall.obj", tallBoxObj(3.0));

    const RunResult opaque =
        sandbox.run({BRASSFERN_EXE, "--headless", "--size", "100", "--output", "opaque.png", "tall.obj"}, 60.0);
    const RunResult clear = sandbox.run(
        {BRASSFERN_EXE, "--size", "100", "--transparent", "--output", "clear.png", "tall.obj"}, 60.0, noDisplay);

    ASSERT_EQ(opaque.status, 0) << opaque.out << opaque.err;
    ASSERT_EQ(clear.status, 0) << clear.out << clear.err;
    EXPECT_EQ(opaque.out + opaque.err + clear.out + clear.err, "");
    const Png shot = readPng(sandbox.root / "opaque.png");
    EXPECT_EQ(shot.channels, 3);
    EXPECT_EQ(shot.height, 100);
    EXPECT_GT(shot.width, 25);
    EXPECT_LT(shot.width, 75);
    const Png cutOut = readPng(sandbox.root / "clear.png");
    ASSERT_EQ(cutOut.channels, 4);
    EXPECT_EQ(cutOut.height, 100);
    EXPECT_LT(cutOut.width, 75);
    for (const auto& [x, y] : {std::pair<int, int>{0, 0}, {cutOut.width - 1, 0}, {0, cutOut.height - 1}})
        EXPECT_EQ(cutOut.alpha(x, y), 0) << x << ", " << y;
    EXPECT_EQ(cutOut.alpha(cutOut.width / 2, cutOut.height / 2), 255);
}

class HeadlessThumbnailer : public testing::Test {
protected:
    // The viewer installed into the sandbox, as a package would lay it out.
    void SetUp() override
    {
        const RunResult install =
            sandbox.run({BRASSFERN_CMAKE_COMMAND, "--install", BRASSFERN_BUILD_DIR, "--prefix", prefix.string()});
        ASSERT_EQ(install.status, 0) << install.out << install.err;
        std::istringstream entry(readText(prefix / "share/thumbnailers/brassfern.thumbnailer"));
        for (std::string line; std::getline(entry, line);)
            if (line.rfind("Exec=", 0) == 0) {
                std::istringstream words(line.substr(5));
                for (std::string word; words >> word;)
                    exec.push_back(word);
            }
        ASSERT_FALSE(exec.empty());
        for (const char* field : {"%i", "%o", "%s"})
            ASSERT_NE(std::find(exec.begin(), exec.end(), field), exec.end()) << field;
    }

    // The thumbnail of `model` at `size` as a file manager asks for it: the
    // Exec line's fields filled in, the program found on the PATH, no display.
    RunResult thumbnail(const std::string& model, const std::string& output, int size) const
    {
        std::vector<std::string> argv;
        for (const std::string& word : exec)
            argv.push_back(word == "%i" ? model : word == "%o" ? output : word == "%s" ? std::to_string(size) : word);
        std::vector<std::string> env = noDisplay;
        env.push_back("PATH=" + (prefix / "bin").string() + ":/usr/bin:/bin");
        return sandbox.run(argv, 90.0, env);
    }

    Sandbox sandbox;
    const fs::path prefix = sandbox.root / "prefix";
    std::vector<std::string> exec;
};

TEST_F(HeadlessThumbnailer, InstalledCommandLineDrawsAModelAndRefusesHostileFilesWithinItsLimits)
{
    for (const char* file : {"BoxTexturedNonPowerOfTwo.gltf", "BoxTextured0.bin", "CesiumLogoFlat.png"})
        fs::copy_file(sampleBox / file, sandbox.root / file);

    const RunResult good = thumbnail((sandbox.root / "BoxTexturedNonPowerOfTwo.gltf").string(), "box.png", 256);

    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_EQ(good.out + good.err, "");
    const Png box = readPng(sandbox.root / "box.png");
    EXPECT_EQ(std::max(box.width, box.height), 256);
    EXPECT_GT(std::min(box.width, box.height), 128);

    // Each stopped by the thumbnail's budgets (memory, time) or refused.
    for (const char* name : {"NodesThatShareChildrenTwentyFourLevelsDeep", "PlyHeaderThatNeverEndsUnderAnotherName",
                             "PlyHeaderThatNeverEnds", "GlbWhoseChunkLengthLies", "PipeAsTheModel",
                             "MeshesNoNodePlaces"}) {
        Sandbox hostile;
        const HostileCase& c = hostileCase(name);
        const std::string model = c.make(hostile);
        const std::string output = (hostile.root / "thumbnail.png").string();

        const RunResult run = thumbnail((hostile.root / model).string(), output, 256);

        EXPECT_FALSE(run.timedOut) << name;
        EXPECT_EQ(run.signal, 0) << name;
        EXPECT_EQ(run.status, 1) << name << run.out << run.err;
        EXPECT_EQ(run.out, replaced(c.out, hostile, model)) << name;
        EXPECT_FALSE(fs::exists(output)) << name;
        // The thumbnail's budgets: 512 MiB of memory for so small a file, 5 s.
        EXPECT_LT(run.peakKilobytes, 1024L * 1024) << name;
        if (std::string(name) == "PlyHeaderThatNeverEndsUnderAnotherName") {
            EXPECT_NE(run.err.find("the import did not finish within 5 s and was stopped"), std::string::npos)
                << run.err;
        }
        if (std::string(name) == "NodesThatShareChildrenTwentyFourLevelsDeep") {
            EXPECT_NE(run.err.find("the import needed more than 512 MB of memory"), std::string::npos) << run.err;
        }
    }
}

// What desktops read of the installed files holds up to their own checks:
// the menu entry to its validator, the types to the MIME database's format
// and compiler, and every type the entry and thumbnailer name is defined.
TEST(Desktop, EntryAndTypesValidateAndEveryTypeNamedIsDefined)
{
    Sandbox sandbox;
    const fs::path prefix = sandbox.root / "prefix";
    ASSERT_EQ(sandbox.run({BRASSFERN_CMAKE_COMMAND, "--install", BRASSFERN_BUILD_DIR, "--prefix", prefix.string()})
                  .status,
              0);
    const fs::path share = prefix / "share";
    const RunResult entry = sandbox.run({"desktop-file-validate", (share / "applications/brassfern.desktop").string()});
    EXPECT_EQ(entry.status, 0) << entry.out << entry.err;
    EXPECT_EQ(entry.out + entry.err, "");
    const fs::path types = share / "mime/packages/brassfern.xml";
    const RunResult schema = sandbox.run(
        {"xmllint", "--noout", "--relaxng", std::string(BRASSFERN_TESTDATA_DIR) + "/desktop/mime-package.rng",
         types.string()});
    EXPECT_EQ(schema.status, 0) << schema.out << schema.err;

    // The database as a desktop compiles it, from the system's types and ours.
    fs::create_directories(sandbox.root / "mime/packages");
    fs::copy_file("/usr/share/mime/packages/freedesktop.org.xml", sandbox.root / "mime/packages/freedesktop.org.xml");
    fs::copy_file(types, sandbox.root / "mime/packages/brassfern.xml");
    const RunResult compiled = sandbox.run({"update-mime-database", (sandbox.root / "mime").string()}, 60.0,
                                           {"XDG_DATA_HOME=" + sandbox.root.string(), "XDG_DATA_DIRS=/usr/share"});
    ASSERT_EQ(compiled.status, 0) << compiled.out << compiled.err;
    EXPECT_EQ(compiled.err, "");
    std::set<std::string> known;
    std::istringstream typeList(readText(sandbox.root / "mime/types"));
    for (std::string type; std::getline(typeList, type);)
        known.insert(type);
    // Other names of those types ("alias canonical"), which desktops resolve.
    std::istringstream aliasList(readText(sandbox.root / "mime/aliases"));
    for (std::string alias, canonical; aliasList >> alias >> canonical;)
        known.insert(alias);
    const std::string globs = readText(sandbox.root / "mime/globs2");
    for (const char* glob : {"application/x-ply:*.ply", "model/vnd.collada+xml:*.dae", "model/x-fbx:*.fbx",
                             "model/x-off:*.off"})
        EXPECT_NE(globs.find(glob), std::string::npos) << glob;
    for (const char* file : {"applications/brassfern.desktop", "thumbnailers/brassfern.thumbnailer"}) {
        const std::string text = readText(share / file);
        const size_t at = text.find("\nMimeType=");
        ASSERT_NE(at, std::string::npos) << file;
        std::istringstream named(text.substr(at + 10, text.find('\n', at + 1) - at - 10));
        int count = 0;
        for (std::string type; std::getline(named, type, ';'); ++count)
            EXPECT_EQ(known.count(type), 1u) << file << ": " << type;
        EXPECT_GE(count, 14) << file;
    }
    EXPECT_TRUE(fs::is_regular_file(share / "icons/hicolor/scalable/apps/brassfern.svg"));
}

// The manual page is the help text: every option --help lists is there, and
// the page sets without a warning.
TEST(Desktop, ManualPageListsEveryOptionOfTheHelpAndSetsCleanly)
{
    Sandbox sandbox;
    const RunResult help = sandbox.run({BRASSFERN_EXE, "--help"});
    ASSERT_EQ(help.status, 0);
    const fs::path page = fs::path(BRASSFERN_BUILD_DIR) / "brassfern.1";
    const std::string roff = readText(page);
    // The terms of the page's lists: their leading hyphens are minus signs.
    std::string terms;
    std::istringstream lines(roff);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(".B ", 0) == 0)
            terms += line.substr(3) + "\n";
    const std::regex option("(^|[ ,])(-(-?)([a-z][a-z-]*))");
    int options = 0;
    for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), option); it != std::sregex_iterator(); ++it) {
        // In a pattern, each minus sign is a backslash and a hyphen.
        const std::string minus = "\\\\-";
        const std::string term = ((*it)[3].length() > 0 ? minus + minus : minus) + (*it)[4].str();
        EXPECT_TRUE(std::regex_search(terms, std::regex("(^|[ ,\n])" + term + "([^a-z-]|$)"))) << (*it)[2].str();
        ++options;
    }
    EXPECT_GE(options, 16);
    const RunResult set = sandbox.run({"groff", "-man", "-Tutf8", "-ww", "-z", page.string()});
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.err, "");
}

// Completion offers the options the program lists and, for a model, the
// files of the formats it opens (any case) and folders.
TEST(Desktop, BashCompletionOffersOptionsAndModelFiles)
{
    Sandbox sandbox;
    for (const char* file : {"a.glb", "b.OBJ", "notes.txt", "shot.png", "c.ply"})
        sandbox.write(std::string("files/") + file, "");
    sandbox.write("files/folder/x.stl", "");
    const std::string script =
        std::string("source '") + BRASSFERN_SOURCE_DIR + "/desktop/brassfern.bash-completion'\n"
        "offer() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _brassfern; printf '%s\\n' \"${COMPREPLY[@]}\" | sort | "
        "tr '\\n' ' '; echo; }\n"
        "offer '" BRASSFERN_EXE "' --no\n"
        "offer '" BRASSFERN_EXE "' --headless files/\n"
        "offer '" BRASSFERN_EXE "' --output files/\n";
    const RunResult run = sandbox.run({"/bin/bash", "-c", script});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "--no-ground --no-tour \n"
                       "files/a.glb files/b.OBJ files/c.ply files/folder \n"
                       "files/folder files/shot.png \n");
}

} // namespace
