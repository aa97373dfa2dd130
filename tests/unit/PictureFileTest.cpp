// Pictures written as PNG files: whatever their encoded length, a picture written is reported written.
#include "app/PictureFile.h"

#include <IL/il.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The image library reports the bytes it wrote cut to one byte: one picture
// in 256 read as unwritten. Small noisy pictures of growing detail give
// encoded lengths that land on multiples of 256 several times over.
TEST(PictureFile, EveryPictureWrittenIsReportedWrittenWhateverItsLength)
{
    ilInit();
    const fs::path folder = fs::temp_directory_path() / ("brassfern-pictures-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::mt19937 random(11);
    int roundLengths = 0;
    for (int picture = 0; picture < 1500; ++picture) {
        std::vector<unsigned char> rgb(24 * 24 * 3);
        const int levels = 1 + picture % 64;
        for (unsigned char& value : rgb)
            value = static_cast<unsigned char>(random() % levels * (255 / levels));
        const std::string path = (folder / "shot.png").string();
        std::string reason;
        ASSERT_TRUE(writePicture(path, 24, 24, rgb.data(), reason)) << picture << ": " << reason;
        roundLengths += fs::file_size(path) % 256 == 0 ? 1 : 0;
    }
    fs::remove_all(folder);
    EXPECT_GT(roundLengths, 0) << "no picture of a length the library misreports was tried";
}

} // namespace
