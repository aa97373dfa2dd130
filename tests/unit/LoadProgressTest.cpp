// The progress line of a model load: silent for a quick one, one line rewritten in place on a terminal,
// plain lines at each stage elsewhere, and a closing line with the model's size.
#include "import/LoadProgress.h"

#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace {

using import::ImportProgress;
using import::LoadProgress;
using namespace std::chrono_literals;

const LoadProgress::Timing quick{0.05, 0.01, 10.0};

TEST(LoadProgress, AQuickLoadSaysNothing)
{
    ImportProgress shared;
    std::ostringstream out;
    {
        LoadProgress progress("model.obj", &shared, LoadProgress::Clock::now(), out, true, quick);
        progress.setStage("uploading");
        progress.finish("1 mesh, 12 triangles, 0 textures");
    }
    EXPECT_EQ(out.str(), "");
}

TEST(LoadProgress, PlainLinesSayEachStageHowFarAndTheSizeAtTheEnd)
{
    ImportProgress shared;
    shared.workTotal = 200;
    shared.workDone = 50;
    std::ostringstream out;
    LoadProgress progress("big.obj", &shared, LoadProgress::Clock::now(), out, false, quick);
    std::this_thread::sleep_for(150ms);
    shared.stage = ImportProgress::building;
    std::this_thread::sleep_for(50ms);
    progress.setStage("uploading");
    std::this_thread::sleep_for(50ms);
    progress.finish("1 mesh, 2000000 triangles, 0 textures");
    const std::string text = out.str();
    EXPECT_NE(text.find("brassfern: opening big.obj: reading 25%, "), std::string::npos) << text;
    EXPECT_NE(text.find("brassfern: opening big.obj: building the meshes, "), std::string::npos) << text;
    EXPECT_NE(text.find("brassfern: opening big.obj: uploading, "), std::string::npos) << text;
    EXPECT_NE(text.find("brassfern: opened big.obj: 1 mesh, 2000000 triangles, 0 textures in "), std::string::npos)
        << text;
    // A line a stage, not one every tick.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(LoadProgress, OnATerminalOneLineIsRewrittenAndClearedForOtherLines)
{
    ImportProgress shared;
    std::ostringstream out;
    LoadProgress progress("big.obj", &shared, LoadProgress::Clock::now(), out, true, quick);
    std::this_thread::sleep_for(150ms);
    progress.clearLine();
    const std::string cleared = out.str();
    EXPECT_EQ(cleared.substr(cleared.size() - 4), "\r\033[K");
    progress.finish("");
    const std::string text = out.str();
    EXPECT_GT(std::count(text.begin(), text.end(), '\r'), 3) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos) << "a failed load leaves no line behind";
    EXPECT_EQ(text.find("opened"), std::string::npos);
}

} // namespace
