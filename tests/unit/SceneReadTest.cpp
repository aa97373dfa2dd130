// The files the importer is handed: the scene as it is, every library behind an opening material.
#include "scene/SceneRead.h"

#include <assimp/IOStream.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <gtest/gtest.h>
#include <map>

namespace {

class FileMap : public Assimp::IOSystem {
public:
    std::map<std::string, std::string> files;

    bool Exists(const char* file) const override { return files.count(file) != 0; }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* file, const char*) override
    {
        const auto found = files.find(file);
        if (found == files.end())
            return nullptr;
        return new Assimp::MemoryIOStream(reinterpret_cast<const uint8_t*>(found->second.data()), found->second.size());
    }
    void Close(Assimp::IOStream* stream) override { delete stream; }
};

std::string readAll(Assimp::IOSystem& system, const char* file)
{
    Assimp::IOStream* stream = system.Open(file, "rb");
    if (stream == nullptr)
        return "(none)";
    std::string bytes(stream->FileSize(), '\0');
    bytes.resize(bytes.empty() ? 0 : stream->Read(&bytes[0], 1, bytes.size()));
    system.Close(stream);
    return bytes;
}

TEST(MaterialFirstIOSystem, OpensEveryFileButTheSceneBehindAnOpeningMaterial)
{
    const std::string opening = scene::MaterialFirstIOSystem::openingLine;
    const std::string mark = "\xEF\xBB\xBF";
    auto* files = new FileMap;
    files->files = {{"dir/scene.obj", "v 0 0 0\n"},
                    {"dir/scene.mtl", "map_Kd a.png\n"},
                    {"dir/empty.mtl", ""},
                    {"dir/marked.mtl", mark + "newmtl a\n"},
                    {"dir/./scene.obj", "v 0 0 0\n"}};
    scene::MaterialFirstIOSystem system("dir/scene.obj", files);
    const std::pair<const char*, std::string> cases[] = {
        {"dir/scene.obj", "v 0 0 0\n"},
        {"dir/scene.mtl", opening + "map_Kd a.png\n"},
        {"dir/empty.mtl", opening},
        // The reader skips a byte-order mark only at the very start.
        {"dir/marked.mtl", mark + opening + "newmtl a\n"},
        // The same file by another name is read as a library, so it is guarded too.
        {"dir/./scene.obj", opening + "v 0 0 0\n"},
        {"dir/missing.mtl", "(none)"},
    };
    for (const auto& [file, expected] : cases)
        EXPECT_EQ(readAll(system, file), expected) << file;
    // Opened again while it is being read, the scene is its own library.
    Assimp::IOStream* scene = system.Open("dir/scene.obj", "rb");
    EXPECT_EQ(readAll(system, "dir/scene.obj"), opening + "v 0 0 0\n");
    delete scene; // as the importer does with the scene's stream
    EXPECT_EQ(readAll(system, "dir/scene.obj"), "v 0 0 0\n");
    EXPECT_TRUE(system.Exists("dir/scene.mtl"));
    EXPECT_FALSE(system.Exists("dir/missing.mtl"));
    EXPECT_EQ(system.Open("dir/scene.mtl", "wb"), nullptr);
}

} // namespace
