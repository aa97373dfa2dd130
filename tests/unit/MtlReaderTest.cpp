// Material libraries an OBJ file names: one file however it is named is read and counted once, and one that
// cannot be read says why in one line.
#include "import/ObjReader.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

class MtlReader : public testing::Test {
protected:
    MtlReader() : root(fs::temp_directory_path() / ("brassfern-mtl-" + std::to_string(::getpid())))
    {
        fs::create_directories(root / "sub");
    }
    ~MtlReader() override { fs::remove_all(root); }

    void write(const std::string& name, const std::string& text) const
    {
        std::ofstream(root / name, std::ios::binary) << text;
    }
    // The model `text` read; every size the reader counts to the budget.
    import::ObjModel read(const std::string& text, std::vector<unsigned long long>* counted = nullptr) const
    {
        write("model.obj", text);
        import::ObjModel model;
        std::string reason;
        EXPECT_TRUE(import::readObj((root / "model.obj").string(), model, reason, [&](unsigned long long bytes) {
            if (counted != nullptr)
                counted->push_back(bytes);
        })) << reason;
        return model;
    }

    const fs::path root;
};

TEST_F(MtlReader, OneLibraryNamedManyWaysIsReadAndCountedOnce)
{
    const std::string library = "newmtl red\nKd 1 0 0\n";
    write("big.mtl", library);
    fs::create_symlink(root / "big.mtl", root / "link.mtl");
    std::string text = "mtllib big.mtl\nmtllib ./big.mtl ././big.mtl\nmtllib sub/../big.mtl\nmtllib link.mtl\n";
    std::string spelling = "big.mtl";
    for (int i = 0; i < 200; ++i)
        text += "mtllib " + (spelling = "./" + spelling) + "\n";
    std::vector<unsigned long long> counted;
    const import::ObjModel model = read(text + "usemtl red\n" + triangle, &counted);
    const unsigned long long modelBytes = fs::file_size(root / "model.obj");
    EXPECT_EQ(counted, (std::vector<unsigned long long>{modelBytes, library.size()}));
    EXPECT_EQ(model.materials.at(model.meshes.at(0).material).diffuse, glm::vec4(1, 0, 0, 1));
    EXPECT_TRUE(model.notes.empty());
}

TEST_F(MtlReader, ALibraryThatCannotBeReadSaysWhyOnceAndItsFacesAreGrey)
{
    fs::create_directories(root / "folder.mtl");
    ASSERT_EQ(mkfifo((root / "pipe.mtl").c_str(), 0644), 0);
    // Sparse: it takes no room, but says it is longer than a library can be.
    std::ofstream(root / "huge.mtl").close();
    fs::resize_file(root / "huge.mtl", (64ULL << 20) + 1);
    const std::string grey = "; its materials show the default grey";
    const std::string names[] = {"none.mtl", "folder.mtl", "pipe.mtl", "huge.mtl", "\x1b[2Jname.mtl"};
    const std::string why[] = {"No such file or directory", "it is a directory", "not a regular file",
                               "it is longer than 64 MB", "No such file or directory"};
    std::string text;
    std::vector<std::string> expected;
    for (size_t i = 0; i < 5; ++i) {
        text += "mtllib " + names[i] + "\nmtllib ./" + names[i] + "\n";
        const std::string shown = i < 4 ? names[i] : "\\x1b[2Jname.mtl";
        expected.push_back("Could not read material library " + (root / shown).string() + ": " + why[i] + grey);
    }
    const import::ObjModel model = read(text + "usemtl red\n" + triangle);
    EXPECT_EQ(model.notes, expected);
    EXPECT_EQ(model.materials.at(model.meshes.at(0).material).diffuse, glm::vec4(0.6f, 0.6f, 0.6f, 1));

    // A file naming many that are not there: the first few, then a count.
    std::string many;
    for (int i = 0; i < 30; ++i)
        many += "mtllib missing" + std::to_string(i) + ".mtl\n";
    const import::ObjModel flood = read(many + triangle);
    ASSERT_EQ(flood.notes.size(), 9u);
    EXPECT_EQ(flood.notes.back(), "Could not read 22 more material libraries; their materials show the default grey");
}

} // namespace
