// Every file the viewer reads: what opens, what is refused without blocking, and what a read within a limit gives.
#include "base/RegularFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class RegularFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("brassfern-regular-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string at(const char* name) const { return (folder / name).string(); }

    fs::path folder;
};

// A pipe without a writer would block an ordinary open forever, and /dev/zero
// would be read until memory runs out: both are refused at once.
TEST_F(RegularFileTest, OnlyRegularFilesOpenAndNothingBlocks)
{
    ASSERT_EQ(mkfifo(at("pipe").c_str(), 0600), 0);
    fs::create_directory(at("folder"));
    std::ofstream(at("file")) << "v 0 0 0\n";
    fs::create_symlink(at("file"), at("link"));
    const struct {
        std::string path;
        bool opens;
        std::string failure;
    } cases[] = {
        {at("file"), true, ""},
        {at("link"), true, ""},
        {at("pipe"), false, "not a regular file"},
        {"/dev/zero", false, "not a regular file"},
        {at("folder"), false, "it is a directory"},
        {at("missing"), false, "No such file or directory"},
    };
    for (const auto& c : cases) {
        const RegularFile file(c.path);
        EXPECT_EQ(file.isOpen(), c.opens) << c.path;
        EXPECT_EQ(file.failure(), c.failure) << c.path;
    }
}

// The limit is on what is read, not on what the file says of itself; a
// sparse file claims a size it does not hold on disk.
TEST_F(RegularFileTest, ReadsWithinItsLimitAndCountsWhatTheDiskHolds)
{
    std::ofstream(at("ten")) << "0123456789";
    std::string text;
    std::string reason;
    EXPECT_TRUE(RegularFile(at("ten")).readAll(text, 10, reason));
    EXPECT_EQ(text, "0123456789");
    EXPECT_FALSE(RegularFile(at("ten")).readAll(text, 9, reason));
    EXPECT_EQ(text, "012345678");
    EXPECT_EQ(reason, "it is longer than 9 bytes");

    std::ofstream(at("sparse")).close();
    fs::resize_file(at("sparse"), 1ULL << 31);
    const RegularFile sparse(at("sparse"));
    EXPECT_EQ(sparse.size(), 1ULL << 31);
    EXPECT_LT(sparse.storedBytes(), 1ULL << 20);
}

} // namespace
