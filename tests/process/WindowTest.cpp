// The viewer's window on the display: its size and title, and the keys a user presses, driven with xdotool.
#include "DisplayTest.h"
#include "Sandbox.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr double waitSeconds = 30.0;
constexpr double sameShare = 0.02; // pictures that differ in fewer pixels are the same view

bool drawn(const Picture& p)
{
    for (unsigned char value : p.rgb) {
        if (value > 16)
            return true;
    }
    return false;
}

// The start pose as the capture tool draws it, to compare the window with.
Picture captureStartView(const Sandbox& sandbox)
{
    sandbox.run({BRASSFERN_CAPTURE_EXE, "--out", "start.png", "--frames", "1"});
    return readPicture(sandbox.root / "start.png");
}

class Viewer {
public:
    explicit Viewer(const Sandbox& sandbox, const std::vector<std::string>& argv = {BRASSFERN_EXE},
                    const std::vector<std::string>& env = {})
        : sandbox(sandbox), process(sandbox.start(argv, env))
    {
        const std::string pid = std::to_string(process.pid);
        const RunResult found =
            sandbox.shell("xdotool search --sync --all --onlyvisible --pid " + pid + " --name '^Brassfern$'");
        std::istringstream(found.out) >> id;
    }

    std::pair<int, int> size() const
    {
        std::pair<int, int> size;
        for (const std::string& line : splitLines(sandbox.shell("xdotool getwindowgeometry --shell " + id).out)) {
            if (line.rfind("WIDTH=", 0) == 0)
                size.first = std::stoi(line.substr(6));
            if (line.rfind("HEIGHT=", 0) == 0)
                size.second = std::stoi(line.substr(7));
        }
        return size;
    }

    // Sent to this window alone, whatever has the focus.
    void key(const std::string& name) const { sandbox.shell("xdotool key --window " + id + " " + name); }

    // The window's picture once `wanted` holds for it, or the last one seen when time runs out.
    Picture waitFor(const std::function<bool(const Picture&)>& wanted) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
        Picture picture;
        do {
            sandbox.shell("import -window " + id + " grab.png");
            picture = readPicture(sandbox.root / "grab.png");
        } while (!wanted(picture) && std::chrono::steady_clock::now() < deadline);
        return picture;
    }

    RunResult escape()
    {
        key("Escape");
        return process.wait(waitSeconds);
    }

    const Sandbox& sandbox;
    Child process;
    std::string id;
};

struct WindowCase {
    const char* name;
    const char* settings; // nullptr: no settings file
    int width;
    int height;
};

void PrintTo(const WindowCase& c, std::ostream* os)
{
    *os << c.name;
}

class WindowSize : public DisplayTestWithParam<WindowCase> {
};

using WindowKeys = DisplayTest;

TEST_P(WindowSize, OpensTitledBrassfernDrawsAndEndsOnEscape)
{
    Sandbox sandbox;
    writeFloorAndPlatformScene(sandbox);
    if (GetParam().settings == nullptr)
        sandbox.remove("Settings");
    else
        sandbox.write("Settings/resolution.txt", GetParam().settings);

    Viewer viewer(sandbox);
    ASSERT_FALSE(viewer.id.empty()) << "no window titled Brassfern";
    EXPECT_EQ(viewer.size(), std::make_pair(GetParam().width, GetParam().height));
    EXPECT_TRUE(drawn(viewer.waitFor(drawn)));

    const RunResult run = viewer.escape();
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Window, WindowSize,
    testing::Values(WindowCase{"NoSettingsFile", nullptr, 900, 720},
                    WindowCase{"WidthWithTrailingLetters",
                               "win_width:1280px\nwin_height:200\nres_width:320\nres_height:180\n", 1280, 200},
                    WindowCase{"FullscreenTakesTheScreenSize",
                               "fullscreen:on\nwin_width:300\nwin_height:200\nres_width:320\nres_height:180\n", 1280,
                               1024}),
    [](const testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

TEST_F(WindowKeys, SpaceDuringTheTourShowsTheStartView)
{
    Sandbox sandbox;
    writeFloorAndPlatformScene(sandbox);
    const Picture startView = captureStartView(sandbox);
    ASSERT_FALSE(startView.rgb.empty());

    Viewer viewer(sandbox);
    ASSERT_FALSE(viewer.id.empty());
    // The tour's opening shot zooms in, so the picture soon leaves the start view.
    const Picture touring = viewer.waitFor([&](const Picture& p) { return differingShare(p, startView) > 0.2; });
    ASSERT_GT(differingShare(touring, startView), 0.2);

    viewer.key("space");
    const Picture reset = viewer.waitFor([&](const Picture& p) { return differingShare(p, startView) < sameShare; });
    EXPECT_LT(differingShare(reset, startView), sameShare);
    EXPECT_EQ(viewer.escape().status, 0);
}

TEST_F(WindowKeys, ReleasingThreeTogglesBloomOffAndOn)
{
    Sandbox sandbox;
    writeFloorAndPlatformScene(sandbox);
    Viewer viewer(sandbox);
    ASSERT_FALSE(viewer.id.empty());
    viewer.waitFor(drawn);
    // Without the tour the camera holds still, so only the key can change the picture.
    viewer.key("space");
    Picture still;
    still = viewer.waitFor([&](const Picture& p) { return differingShare(p, std::exchange(still, p), 0) == 0.0; });

    viewer.key("3");
    const Picture withoutBloom = viewer.waitFor([&](const Picture& p) { return differingShare(p, still) > 0.2; });
    EXPECT_GT(differingShare(withoutBloom, still), 0.2);

    viewer.key("3");
    const Picture withBloom = viewer.waitFor([&](const Picture& p) { return differingShare(p, still) < sameShare; });
    EXPECT_LT(differingShare(withBloom, still), sameShare);
    EXPECT_EQ(viewer.escape().status, 0);
}

// Shrunk to one pixel and unmapped (what minimising comes to without a
// window manager), then restored, both during the tour and after it: the
// viewer keeps running, prints no GL error and shows the start view again.
TEST_F(WindowKeys, ShrunkHiddenAndRestoredWindowShowsTheStartViewAgain)
{
    Sandbox sandbox;
    writeFloorAndPlatformScene(sandbox);
    const Picture startView = captureStartView(sandbox);
    ASSERT_FALSE(startView.rgb.empty());

    Viewer viewer(sandbox);
    ASSERT_FALSE(viewer.id.empty());
    viewer.waitFor(drawn);
    const auto shrinkHideAndRestore = [&] {
        for (const char* command : {"windowsize --sync %s 1 1", "windowunmap --sync %s", "windowmap --sync %s",
                                    "windowsize --sync %s 160 120"}) {
            char line[128];
            std::snprintf(line, sizeof line, command, viewer.id.c_str());
            sandbox.shell(std::string("xdotool ") + line + "; sleep 0.3");
        }
    };
    shrinkHideAndRestore(); // during the tour
    viewer.key("space");
    const Picture reset = viewer.waitFor([&](const Picture& p) { return differingShare(p, startView) < sameShare; });
    EXPECT_LT(differingShare(reset, startView), sameShare);

    shrinkHideAndRestore(); // the tour is over
    const Picture restored =
        viewer.waitFor([&](const Picture& p) { return differingShare(p, startView) < sameShare; });
    EXPECT_LT(differingShare(restored, startView), sameShare);

    const RunResult run = viewer.escape();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
}

// A model given by path in a window of its own.
using WindowModel = DisplayTest;

std::string cubeObj(const char* material)
{
    std::string obj = std::string("mtllib cube.mtl\nusemtl ") + material + "\n";
    for (int corner = 0; corner < 8; ++corner)
        obj += std::string("v ") + ((corner & 1) != 0 ? "1" : "0") + ((corner & 2) != 0 ? " 1" : " 0") +
               ((corner & 4) != 0 ? " 1\n" : " 0\n");
    return obj + "f 1 5 7 3\nf 2 4 8 6\nf 1 2 6 5\nf 3 7 8 4\nf 1 3 4 2\nf 5 6 8 7\n";
}

double shareWhere(const Picture& p, bool (*wanted)(int r, int g, int b))
{
    size_t count = 0;
    for (size_t i = 0; i + 2 < p.rgb.size(); i += 3)
        count += wanted(p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]) ? 1 : 0;
    return p.rgb.empty() ? 0.0 : static_cast<double>(count) / static_cast<double>(p.rgb.size() / 3);
}

bool red(int r, int g, int b)
{
    return r > 60 && r > 2 * g && r > 2 * b;
}

bool green(int r, int g, int b)
{
    return g > 60 && g > 2 * r && g > 2 * b;
}

// The window's picture once two grabs in a row agree.
Picture settled(const Viewer& viewer)
{
    Picture last;
    return viewer.waitFor([&](const Picture& p) { return differingShare(p, std::exchange(last, p), 0) == 0.0; });
}

// P saves the frame on the screen as the next free brassfern-NNNN.png in the
// folder the viewer was started in, and says so; G takes the ground away
// and brings it back.
TEST_F(WindowModel, KeysSaveTheFrameShownAndSwitchTheGround)
{
    Sandbox sandbox;
    sandbox.write("cube.mtl", "newmtl paint\nKd 0.9 0.1 0.1\n");
    sandbox.write("cube.obj", cubeObj("paint"));
    sandbox.write("brassfern-0001.png", "taken");
    // A link to nothing takes its name too: nothing is written where it points.
    fs::create_symlink("elsewhere.png", sandbox.root / "brassfern-0002.png");
    Viewer viewer(sandbox, {BRASSFERN_EXE, "--no-tour", "cube.obj"});
    ASSERT_FALSE(viewer.id.empty());
    // The stage is drawn while the model comes in; the cube then appears.
    viewer.waitFor([](const Picture& p) { return shareWhere(p, red) > 0.05; });
    const Picture shown = settled(viewer);

    viewer.key("p");
    const fs::path saved = sandbox.root / "brassfern-0003.png";
    viewer.waitFor([&](const Picture&) { return fs::exists(saved); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // written whole
    const PictureMatch match = matchPicture(readPicture(saved), shown);
    EXPECT_TRUE(match.matches) << 100.0 * match.unmatchedShare << "% of the pixels differ";

    viewer.key("g");
    const Picture bare = viewer.waitFor([&](const Picture& p) { return differingShare(p, shown) > 0.2; });
    EXPECT_GT(differingShare(bare, shown), 0.2);
    viewer.key("g");
    const Picture back = viewer.waitFor([&](const Picture& p) { return differingShare(p, shown) < sameShare; });
    EXPECT_LT(differingShare(back, shown), sameShare);

    const RunResult run = viewer.escape();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Saved " + saved.string() + "\n");
    EXPECT_EQ(readText(sandbox.root / "brassfern-0001.png"), "taken");
    EXPECT_FALSE(fs::exists(sandbox.root / "elsewhere.png"));
}

// --watch: the model written anew is shown, and a save the importer refuses
// leaves the last good model on the screen with the reason.
TEST_F(WindowModel, WatchedModelIsOpenedAgainAndABrokenSaveKeepsTheLastGoodOne)
{
    Sandbox sandbox;
    sandbox.write("cube.mtl", "newmtl red\nKd 0.9 0.1 0.1\nnewmtl green\nKd 0.1 0.9 0.1\n");
    sandbox.write("cube.obj", cubeObj("red"));
    Viewer viewer(sandbox, {BRASSFERN_EXE, "--no-tour", "--watch", "--effects", "000", "cube.obj"});
    ASSERT_FALSE(viewer.id.empty());
    const Picture first = viewer.waitFor([](const Picture& p) { return shareWhere(p, red) > 0.05; });
    ASSERT_GT(shareWhere(first, red), 0.05);

    sandbox.write("cube.obj", cubeObj("green"));
    const Picture second = viewer.waitFor([](const Picture& p) { return shareWhere(p, green) > 0.05; });
    EXPECT_GT(shareWhere(second, green), 0.05);
    EXPECT_LT(shareWhere(second, red), 0.001);

    sandbox.write("cube.obj", "v 0 0 0\nf 1 2 3\n");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(differingShare(settled(viewer), second), sameShare);

    const RunResult run = viewer.escape();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Import failed" + (sandbox.root / "cube.obj").string() + "\n");
    EXPECT_NE(run.err.find("cube.obj: OBJ: vertex index out of range"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("cube.obj cannot be shown; the model shown stays"), std::string::npos) << run.err;
}

// The lines of `err` that end with `ending`.
std::string linesEndingWith(const std::string& err, const std::string& ending)
{
    std::string found;
    for (const std::string& line : splitLines(err))
        if (line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
            found += line + "\n";
    return found;
}

// Standard error's lines that end with `ending`, once they are `wanted`, or
// as they are when the time is up.
std::string waitForLines(const Child& process, const std::string& ending, const std::string& wanted)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
    std::string lines;
    while ((lines = linesEndingWith(process.errSoFar(), ending)) != wanted &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return lines;
}

// --watch: a model's file replaced by a FIFO, then a directory, then
// deleted, says so once for each, the name escaped; the model stays on the
// screen, and is shown anew once its file is back.
TEST_F(WindowModel, WatchedModelThatIsNoLongerAFileSaysSoOnceForEachState)
{
    Sandbox sandbox;
    sandbox.write("cube.mtl", "newmtl red\nKd 0.9 0.1 0.1\nnewmtl green\nKd 0.1 0.9 0.1\n");
    const std::string name = "cube\xe2\x80\xae.obj"; // a right-to-left override in its name
    sandbox.write(name, cubeObj("red"));
    Viewer viewer(sandbox, {BRASSFERN_EXE, "--no-tour", "--watch", "--effects", "000", name});
    ASSERT_FALSE(viewer.id.empty());
    const Picture first = viewer.waitFor([](const Picture& p) { return shareWhere(p, red) > 0.05; });
    ASSERT_GT(shareWhere(first, red), 0.05);

    const fs::path model = sandbox.root / name;
    const std::string shown = (sandbox.root / "cube\\u202e.obj").string();
    const std::string stays = "; the model shown stays";
    const std::pair<std::function<void()>, std::string> changes[] = {
        {[&] {
             fs::remove(model);
             mkfifo(model.c_str(), 0644);
         },
         "brassfern: " + shown + " is no longer a regular file (a FIFO)"},
        {[&] {
             fs::remove(model);
             fs::create_directory(model);
         },
         "brassfern: " + shown + " is no longer a regular file (a directory)"},
        {[&] { fs::remove(model); }, "brassfern: " + shown + " no longer exists"},
    };
    std::string said;
    for (const auto& [change, line] : changes) {
        change();
        said += line + stays + "\n";
        EXPECT_EQ(waitForLines(viewer.process, stays, said), said);
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(differingShare(settled(viewer), first), sameShare);

    sandbox.write(name, cubeObj("green"));
    const Picture back = viewer.waitFor([](const Picture& p) { return shareWhere(p, green) > 0.05; });
    EXPECT_GT(shareWhere(back, green), 0.05);

    const RunResult run = viewer.escape();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(linesEndingWith(run.err, stays), said);
}

// A full disk, as a file-size limit gives it without a mount: past 4 KiB
// (dash counts 512-byte blocks; the picture takes about 12) every write
// fails with EFBIG, SIGXFSZ being ignored. P says why, each time, and
// leaves no file behind.
TEST_F(WindowModel, ScreenshotThatCannotBeWrittenSaysWhyAndLeavesNoFile)
{
    Sandbox sandbox;
    sandbox.write("cube.mtl", "newmtl paint\nKd 0.9 0.1 0.1\n");
    sandbox.write("cube.obj", cubeObj("paint"));
    fs::create_symlink("elsewhere.png", sandbox.root / "brassfern-0001.png");
    Viewer viewer(sandbox, {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\"", BRASSFERN_EXE,
                            "--no-tour", "cube.obj"});
    ASSERT_FALSE(viewer.id.empty());
    viewer.waitFor(drawn);

    const std::string ending = "brassfern-0002.png: File too large";
    const std::string line = "brassfern: could not write " + (sandbox.root / "brassfern-0002.png").string() +
                             ": File too large\n";
    viewer.key("p");
    EXPECT_EQ(waitForLines(viewer.process, ending, line), line);
    viewer.key("p");
    EXPECT_EQ(waitForLines(viewer.process, ending, line + line), line + line);

    const RunResult run = viewer.escape();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(linesEndingWith(run.err, ending), line + line);
    EXPECT_TRUE(fs::is_symlink(sandbox.root / "brassfern-0001.png"));
    for (const char* left : {"elsewhere.png", "brassfern-0002.png", "brassfern-0003.png"})
        EXPECT_FALSE(fs::exists(sandbox.root / left)) << left;
}

// A model whose import may take 40 s: thirty megabytes of comments before it.
std::string withFortySecondBudget(const std::string& obj)
{
    std::string padded;
    const std::string comment = "# " + std::string(1021, '-') + "\n";
    for (int line = 0; line < 30 * 1024; ++line)
        padded += comment;
    return padded + obj;
}

// Whether an import process of `viewer` has stopped itself halfway through
// its stream (BRASSFERN_TEST_STALL_IMPORT), waiting a while for it to.
bool importStalled(pid_t viewer)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
    do {
        std::error_code ignored;
        for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ignored)) {
            std::string stat;
            std::getline(std::ifstream(entry.path() / "stat"), stat);
            const size_t name = stat.rfind(')');
            char state = 0;
            pid_t parent = 0;
            if (name != std::string::npos && std::istringstream(stat.substr(name + 1)) >> state >> parent &&
                parent == viewer && state == 'T')
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

// The first model's import stalls: the window draws its stage meanwhile and
// closes on Escape at once, long before the import's budget would end it.
TEST_F(WindowModel, EscapeClosesAtOnceWhileTheFirstModelsImportStalls)
{
    Sandbox sandbox;
    sandbox.write("cube.mtl", "newmtl paint\nKd 0.9 0.1 0.1\n");
    sandbox.write("cube.obj", withFortySecondBudget(cubeObj("paint")));
    Viewer viewer(sandbox, {BRASSFERN_EXE, "--no-tour", "cube.obj"}, {"BRASSFERN_TEST_STALL_IMPORT=1 1"});
    ASSERT_FALSE(viewer.id.empty());
    ASSERT_TRUE(importStalled(viewer.process.pid));
    EXPECT_TRUE(drawn(viewer.waitFor(drawn)));

    const RunResult run = viewer.escape();
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.find("did not finish"), std::string::npos) << run.err;
}

// The model read again stalls: the one shown is still drawn, G still takes
// its ground away, and Escape closes at once.
TEST_F(WindowModel, AReloadThatStallsKeepsTheModelDrawnAndTheKeysAnswering)
{
    Sandbox sandbox;
    sandbox.write("cube.mtl", "newmtl red\nKd 0.9 0.1 0.1\nnewmtl green\nKd 0.1 0.9 0.1\n");
    sandbox.write("cube.obj", cubeObj("red"));
    Viewer viewer(sandbox, {BRASSFERN_EXE, "--no-tour", "--watch", "cube.obj"}, {"BRASSFERN_TEST_STALL_IMPORT=2 1"});
    ASSERT_FALSE(viewer.id.empty());
    ASSERT_GT(shareWhere(viewer.waitFor([](const Picture& p) { return shareWhere(p, red) > 0.05; }), red), 0.05);

    // Written whole under another name, then put in its place at once.
    sandbox.write("next.obj", withFortySecondBudget(cubeObj("green")));
    fs::rename(sandbox.root / "next.obj", sandbox.root / "cube.obj");
    ASSERT_TRUE(importStalled(viewer.process.pid));
    const Picture shown = settled(viewer);
    EXPECT_GT(shareWhere(shown, red), 0.05);
    viewer.key("g");
    const Picture bare = viewer.waitFor([&](const Picture& p) { return differingShare(p, shown) > 0.2; });
    EXPECT_GT(differingShare(bare, shown), 0.2);
    EXPECT_GT(shareWhere(bare, red), 0.05);

    const RunResult run = viewer.escape();
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.find("cannot be shown"), std::string::npos) << run.err;
}

} // namespace
