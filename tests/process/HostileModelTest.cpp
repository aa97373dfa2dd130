// Model files made to crash, hang or flood the viewer, and special files in place of its inputs: each run ends by
// itself, within bounds of time and memory, with no signal, the line that says what happened and its status.
#include "DisplayTest.h"
#include "HostileModels.h"
#include "Sandbox.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* smallSettings =
    "res_width:320\nres_height:180\nsm_width:256\nsm_height:256\nwin_width:160\nwin_height:120\n";
// The import's memory budget is 1 GiB; the viewer itself stays far below.
constexpr long mostKilobytes = 1600L * 1024;
constexpr double mostSeconds = 40.0;

class HostileModel : public DisplayTestWithParam<HostileCase> {
};

// The viewer asked for a small picture of the case's model, made in `sandbox`.
RunResult runOn(const HostileCase& c, Sandbox& sandbox, std::string& model)
{
    sandbox.write("small.txt", smallSettings);
    model = c.make(sandbox);
    return sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour", "--output",
                        "shot.png", model},
                       90.0, c.env);
}

TEST_P(HostileModel, EndsWithinBoundsWithItsLineAndStatus)
{
    const HostileCase& c = GetParam();
    Sandbox sandbox;
    std::string model;
    const RunResult run = runOn(c, sandbox, model);

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(run.out, replaced(c.out, sandbox, model));
    EXPECT_NE(run.err.find(replaced(c.err, sandbox, model)), std::string::npos) << run.err;
    EXPECT_LT(run.seconds, mostSeconds);
    EXPECT_LT(run.peakKilobytes, mostKilobytes);
    // A picture only where there is something to show.
    EXPECT_EQ(fs::exists(sandbox.root / "shot.png"), c.status == 0);
}

INSTANTIATE_TEST_SUITE_P(File, HostileModel, testing::ValuesIn(hostileCases()),
                         [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

using ImportProcessOutput = DisplayTest;

// What an import process writes as it dies (the C library's last words as it
// aborts, the importer's failed assertion, a line on its standard output)
// reaches standard error as the viewer's own lines, after
// "brassfern: importing MODEL: ", never bare, and none of it standard output.
TEST_F(ImportProcessOutput, ArrivesAsTheViewersOwnLines)
{
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"ImportThatAbortsBeforeItSends", {"import test hook: aborting", "*** buffer overflow detected ***: terminated"}},
        {"ImportThatAbortsAfterItsWholeStream",
         {"import test hook: aborting", "*** buffer overflow detected ***: terminated"}},
        {"ThreeMfWhoseZipChecksumsAreWrong", {"ai_assert failure in "}},
    };
    for (const auto& [name, said] : cases) {
        const HostileCase& c = hostileCase(name);
        Sandbox sandbox;
        std::string model;
        const RunResult run = runOn(c, sandbox, model);

        EXPECT_EQ(run.status, 1) << name << run.out << run.err;
        EXPECT_EQ(run.out, replaced(c.out, sandbox, model)) << name;
        for (const std::string& line : splitLines(run.err))
            EXPECT_EQ(line.rfind("brassfern: ", 0), 0u) << name << ": a bare line: " << line;
        const std::string importing = replaced("brassfern: importing MODEL: ", sandbox, model);
        for (const std::string& line : said)
            EXPECT_NE(run.err.find(importing + line), std::string::npos) << name << run.err;
    }
}

} // namespace
