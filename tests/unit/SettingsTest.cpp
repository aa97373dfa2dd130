// The settings file's line rules, defaults and file handling, and hostile streams that must change nothing they do not name.
#include "app/ResolutionSettings.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using Fields = std::map<std::string, int>;

Fields fieldsOf(const ResolutionSettings& s)
{
    return {{"fullscreen", s.fullscreen},   {"win_width", s.win_width}, {"win_height", s.win_height},
            {"res_width", s.res_width},     {"res_height", s.res_height}, {"sm_width", s.sm_width},
            {"sm_height", s.sm_height}};
}

const Fields defaults{{"fullscreen", 0},     {"win_width", 900}, {"win_height", 720}, {"res_width", 1920},
                      {"res_height", 1080}, {"sm_width", 1024}, {"sm_height", 1024}};

// The constructor reads a path relative to the working directory, so every
// test runs in a directory of its own.
class SettingsFile : public ::testing::Test {
protected:
    fs::path previous = fs::current_path();
    fs::path directory;

    void SetUp() override
    {
        char name[] = "/tmp/brassfern-settings-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        directory = name;
        fs::create_directory(directory / "Settings");
        fs::current_path(directory);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(directory);
    }
    void write(const std::string& text) { std::ofstream(ResolutionSettings::path, std::ios::binary) << text; }
};

struct LinesCase {
    std::string text;
    Fields changed; // fields that differ from the defaults afterwards
};

TEST_F(SettingsFile, LinesChangeExactlyTheFieldsTheyName)
{
    const LinesCase cases[] = {
        {"", {}},
        {"\n  \n\t\n", {}},
        {"  res_width \t:  1280  ", {{"res_width", 1280}}},
        {"win_width=1280", {}},
        {"Win_Width:1280", {}},
        {"fullscreen:on\nfullscreen:ON\nfullscreen:yes", {{"fullscreen", 1}}},
        {"fullscreen: on", {{"fullscreen", 1}}},
        {"fullscreen:on\nfullscreen:off", {}},
        {"sm_width:2048:", {{"sm_width", 2048}}},
        {"sm_width:2048:1", {}},
        {":2048", {}},
        {"win_width:1280px", {{"win_width", 1280}}},
        {"win_width:abc", {{"win_width", 0}}},
        {"win_width:-5", {{"win_width", -5}}},
        {"win_height:600\nwin_height:800\n", {{"win_height", 800}}},
        {"win_width:99999999999", {{"win_width", INT_MAX}}},
        {"win_width:-99999999999", {{"win_width", INT_MIN}}},
        {"fullscreen:on\nres_height:600\nsm_height:512\n", {{"fullscreen", 1}, {"res_height", 600}, {"sm_height", 512}}},
        {"fullscreen:on\r\nres_height:600\r\nsm_height:512\r\n",
         {{"fullscreen", 1}, {"res_height", 600}, {"sm_height", 512}}},
    };
    for (const LinesCase& c : cases) {
        write(c.text);
        Fields expected = defaults;
        for (const auto& [field, value] : c.changed)
            expected[field] = value;
        EXPECT_EQ(fieldsOf(ResolutionSettings()), expected) << "file: \"" << c.text << "\"";
    }
}

TEST_F(SettingsFile, MissingFileOrDirectoryInItsPlaceKeepsDefaultsSilently)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(fieldsOf(ResolutionSettings()), defaults);
    fs::create_directory(ResolutionSettings::path);
    // A directory opens as a stream and fails at its first read.
    EXPECT_NO_THROW(EXPECT_EQ(fieldsOf(ResolutionSettings()), defaults));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

struct StreamCase {
    const char* name;
    std::string text;
    Fields changed;
};

TEST_F(SettingsFile, HostileStreamsChangeOnlyTheFieldsTheirLinesName)
{
    const std::string megabyte(1 << 20, '9');
    const StreamCase cases[] = {
        {"megabyte of digits", "win_width:" + megabyte, {{"win_width", INT_MAX}}},
        {"megabyte without a colon, then a line", std::string(1 << 20, 'x') + "\nres_width:640", {{"res_width", 640}}},
        {"megabyte key", megabyte + ":5\nsm_width:8", {{"sm_width", 8}}},
        {"NUL ends the number", "win_width:12\0 34\n"s, {{"win_width", 12}}},
        {"NUL inside the key", "win_\0width:12\n"s, {}},
        {"NUL before the number", "res_height:\0" "600"s, {{"res_height", 0}}},
        {"NUL line before a line", "\0\nres_height:600"s, {{"res_height", 600}}},
        {"NUL for a colon", "sm_height\0" "512"s, {}},
        {"2^31", "win_width:2147483648", {{"win_width", INT_MAX}}},
        {"-2^31", "win_height:-2147483648", {{"win_height", INT_MIN}}},
        {"-2^31 - 1", "win_height:-2147483649", {{"win_height", INT_MIN}}},
        {"2^64", "sm_width:18446744073709551616", {{"sm_width", INT_MAX}}},
        {"zero and minus zero", "res_width:0\nres_height:-0", {{"res_width", 0}, {"res_height", 0}}},
        {"negative", "sm_width:-1\nsm_height:-1024", {{"sm_width", -1}, {"sm_height", -1024}}},
        {"sign only", "win_width:-\nwin_height:+", {{"win_width", 0}, {"win_height", 0}}},
        {"high bytes", "fullscreen:\xff\xfeon\n\x80\x81:\x90\nres_width:\xc3\xa9", {{"res_width", 0}}},
    };
    for (const StreamCase& c : cases) {
        Fields expected = defaults;
        for (const auto& [field, value] : c.changed)
            expected[field] = value;
        ResolutionSettings settings;
        std::istringstream in(c.text);
        settings.read(in);
        EXPECT_EQ(fieldsOf(settings), expected) << c.name;
    }
}

// Bytes of every value, whole streams of them and values behind the window
// keys: nothing throws or prints, and fields no line names keep their defaults.
TEST_F(SettingsFile, RandomBytesTouchNoFieldTheyDoNotName)
{
    const char* prefixes[] = {"win_width:", "win_height:", "", ":"};
    std::mt19937 random(1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2000; ++i) {
        const bool keyed = i % 2 == 0;
        std::string text;
        const int lines = 1 + static_cast<int>(random() % 8);
        for (int l = 0; l < lines; ++l) {
            if (keyed)
                text += prefixes[random() % 4];
            const size_t length = random() % 64;
            for (size_t b = 0; b < length; ++b) {
                const char byte = static_cast<char>(random());
                // Without further colons or line ends a keyed line sets its key or nothing.
                text += keyed && (byte == '\n' || byte == ':') ? ' ' : byte;
            }
            text += random() % 2 == 0 ? "\n" : "\r\n";
        }
        ResolutionSettings settings;
        std::istringstream in(text);
        ASSERT_NO_THROW(settings.read(in)) << "iteration " << i;
        if (!keyed)
            continue;
        Fields others = fieldsOf(settings);
        Fields expected = defaults;
        for (const char* window : {"win_width", "win_height"}) {
            others.erase(window);
            expected.erase(window);
        }
        ASSERT_EQ(others, expected) << "iteration " << i;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// What a user would otherwise never learn was ignored or taken otherwise than
// written; the values themselves are applied as without the report.
TEST_F(SettingsFile, ProblemsNameTheLineAndWhy)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"fullscreen:on\nwin_width:1280\nres_height:600\nsm_width:2048\n\n  \n", {}},
        {"win_width:-5\nwin_height:16385", {"win_width:-5 is not a window size (1 to 16384)",
                                            "win_height:16385 is not a window size (1 to 16384)"}},
        {"res_width:0\nres_height:99999999999", {"res_width:0 is not a render size",
                                                 "res_height:99999999999 is not a render size"}},
        {"sm_width:-1", {"sm_width:-1 is not a shadow-map size"}},
        {"win_width:abc\nsm_height:-", {"win_width:abc is not a number", "sm_height:- is not a number"}},
        {" win_width : 1280px ", {"win_width:1280px is read as 1280"}},
        {"fullscreen:yes", {"fullscreen:yes is neither on nor off and is ignored"}},
        {"Win_Width:1280\n:5", {"Win_Width:1280 has an unknown key and is ignored",
                                ":5 has an unknown key and is ignored"}},
        {"win_width 1280\nwin_width:\nsm_width:2048:1", {"win_width 1280 has no colon and is ignored",
                                                         "win_width: has no value and is ignored",
                                                         "sm_width:2048:1 has more than one colon and is ignored"}},
        // Escaped as every name is, and cut at 60 bytes, between characters.
        {"x\x01y" + std::string(100, 'z'), {"x\\x01y" + std::string(57, 'z') + "... has no colon and is ignored"}},
        {"fullscreen:\xe2\x80\xaeno\x1b[2J", {"fullscreen:\\u202eno\\x1b[2J is neither on nor off and is ignored"}},
        {std::string(59, 'a') + "\xc3\xa9tail", {std::string(59, 'a') + "... has no colon and is ignored"}},
    };
    for (const auto& [text, problems] : cases) {
        ResolutionSettings settings;
        std::istringstream in(text);
        settings.read(in);
        EXPECT_EQ(settings.problems(), problems) << text;
    }
}

// Only a GL knows its largest target, and a line already reported is not
// reported again; the last line of a key is the one that counts.
TEST_F(SettingsFile, TargetSizesPastTheGlAreReportedOnce)
{
    ResolutionSettings settings;
    std::istringstream in("res_width:5000\nres_height:99999999999\nsm_width:4097px\nsm_height:9000\nsm_height:10");
    settings.read(in);
    EXPECT_EQ(settings.targetProblems(4096, 4096),
              (std::vector<std::string>{"res_width:5000 is larger than this GL's render targets (4096)",
                                        "sm_width:4097px is larger than this GL's render targets (4096)"}));
    EXPECT_EQ(settings.targetProblems(8192, 8192), std::vector<std::string>{});
}

} // namespace
