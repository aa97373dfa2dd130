// The settings file's line rules, defaults and file handling, read through the real file path.
#include "app/ResolutionSettings.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;

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

TEST_F(SettingsFile, MissingFileOrDirectoryInItsPlaceKeepsDefaults)
{
    EXPECT_EQ(fieldsOf(ResolutionSettings()), defaults);
    fs::create_directory(ResolutionSettings::path);
    EXPECT_EQ(fieldsOf(ResolutionSettings()), defaults);
}

} // namespace
