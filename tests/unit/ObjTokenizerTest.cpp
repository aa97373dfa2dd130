// OBJ text into lines: every kind of line end and continued line, however the text is cut into pieces, and the
// line too long to hold.
#include "import/ObjReader.h"
#include "import/ObjTokenizer.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using import::Cursor;
using import::LineSplitter;

// The lines of `text` handed over in two pieces cut at `cut`, as the reader
// hands a file: what a call does not take comes again with what follows.
std::vector<std::string> linesOf(const std::string& text, size_t cut)
{
    std::vector<std::string> lines;
    LineSplitter splitter;
    auto keep = [&lines](Cursor line) { lines.emplace_back(line.at, line.end); };
    const size_t taken = splitter.split(text.data(), cut, false, keep);
    const std::string rest = text.substr(taken);
    splitter.split(rest.data(), rest.size(), true, keep);
    return lines;
}

TEST(ObjTokenizer, LineEndsAndContinuationsReadAlikeWhereverTheTextIsCut)
{
    const std::string text = "v 1\nv 2\r\nv 3\rf 1 \\\n2 \\\r\n3\r\n# note \\\rf 4\n\nl 5\\";
    const std::vector<std::string> expected = {"v 1", "v 2", "v 3", "f 1  2  3", "# note  f 4", "", "l 5 "};
    for (size_t cut = 0; cut <= text.size(); ++cut)
        EXPECT_EQ(linesOf(text, cut), expected) << "cut at " << cut;
}

TEST(ObjTokenizer, ALineLongerThanTheLimitIsLeftOutWithANoteAndTheRestRead)
{
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    text += std::string(import::maxLineBytes + 10, '\0') + "\r\n";
    text += "# a continued comment as long \\\n" + std::string(import::maxLineBytes, '#') + "\nf 1 2 3\n";
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("brassfern-long-" + std::to_string(::getpid()) + ".obj");
    std::ofstream(path, std::ios::binary) << text;
    import::ObjModel fromFile;
    import::ObjModel fromMemory;
    std::string reason;
    ASSERT_TRUE(import::readObj(path.string(), fromFile, reason, [](unsigned long long) {})) << reason;
    std::filesystem::remove(path);
    ASSERT_TRUE(import::readObjText(text.data(), text.size(), "m.obj", fromMemory, reason, [](unsigned long long) {}));
    for (const import::ObjModel* model : {&fromFile, &fromMemory}) {
        ASSERT_EQ(model->meshes.size(), 1u);
        EXPECT_EQ(model->meshes[0].indices.size(), 3u);
        EXPECT_EQ(model->notes, std::vector<std::string>{"Left out 2 lines longer than 64 MB"});
    }
}

} // namespace
