// The files the importer is handed: the scene as it is, read once, every library behind an opening material;
// a binary glTF's own JSON.
#include "import/GltfExtras.h"
#include "import/SceneRead.h"

#include <assimp/IOStream.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <assimp/MemoryIOWrapper.h>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <glm/glm.hpp>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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
    const std::string opening = import::MaterialFirstIOSystem::openingLine;
    const std::string mark = "\xEF\xBB\xBF";
    auto* files = new FileMap;
    files->files = {{"dir/scene.obj", "v 0 0 0\n"},
                    {"dir/scene.mtl", "map_Kd a.png\n"},
                    {"dir/empty.mtl", ""},
                    {"dir/marked.mtl", mark + "newmtl a\n"},
                    {"dir/./scene.obj", "v 0 0 0\n"}};
    import::MaterialFirstIOSystem system("dir/scene.obj", files);
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

namespace {

// A PLY of `vertices` (x y z a line) and `faces` (three indices a line).
std::string ply(const std::vector<glm::vec3>& vertices, const std::vector<glm::uvec3>& faces)
{
    std::string text = "ply\nformat ascii 1.0\nelement vertex " + std::to_string(vertices.size()) +
                       "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                       std::to_string(faces.size()) + "\nproperty list uchar int vertex_indices\nend_header\n";
    char line[96];
    for (const glm::vec3& v : vertices) {
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", v.x, v.y, v.z);
        text += line;
    }
    for (const glm::uvec3& f : faces) {
        std::snprintf(line, sizeof line, "3 %u %u %u\n", f.x, f.y, f.z);
        text += line;
    }
    return text;
}

} // namespace

// Past a quarter of a million vertices the importer's search of space for
// normals is left out: each vertex takes the mean facing of the faces that
// use it. A shared grid comes out smooth, a soup of separate triangles flat.
TEST(ReadModel, BigModelsTakeTheirNormalsFromTheFacesAroundEachVertex)
{
    const std::string folder = testing::TempDir();
    constexpr unsigned side = 520; // 270 400 vertices
    auto height = [](float x, float y) { return 0.5f * (x * x + y * y); };
    std::vector<glm::vec3> grid;
    std::vector<glm::uvec3> gridFaces;
    for (unsigned j = 0; j < side; ++j)
        for (unsigned i = 0; i < side; ++i) {
            const float x = 2.0f * i / (side - 1) - 1.0f;
            const float y = 2.0f * j / (side - 1) - 1.0f;
            grid.emplace_back(x, y, height(x, y));
        }
    for (unsigned j = 0; j + 1 < side; ++j)
        for (unsigned i = 0; i + 1 < side; ++i) {
            const unsigned a = j * side + i;
            gridFaces.emplace_back(a, a + 1, a + side + 1);
            gridFaces.emplace_back(a, a + side + 1, a + side);
        }
    std::vector<glm::vec3> soup;
    std::vector<glm::uvec3> soupFaces;
    for (size_t f = 0; f < 90000; ++f) {
        const glm::uvec3& face = gridFaces[f];
        soupFaces.emplace_back(soup.size(), soup.size() + 1, soup.size() + 2);
        soup.insert(soup.end(), {grid[face.x], grid[face.y], grid[face.z]});
    }

    for (const bool separate : {false, true}) {
        const std::string path = folder + (separate ? "/soup.ply" : "/grid.ply");
        {
            FILE* file = std::fopen(path.c_str(), "wb");
            ASSERT_NE(file, nullptr);
            const std::string text = separate ? ply(soup, soupFaces) : ply(grid, gridFaces);
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
        Assimp::Importer importer;
        const aiScene* scene = import::readModel(importer, path, new import::RegularFilesIOSystem);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        ASSERT_EQ(scene->mNumMeshes, 1u);
        const aiMesh* mesh = scene->mMeshes[0];
        ASSERT_NE(mesh->mNormals, nullptr);
        // Not joined: the vertices are the file's.
        EXPECT_EQ(mesh->mNumVertices, separate ? soup.size() : grid.size());
        for (unsigned f = 0; f < mesh->mNumFaces; f += 997) {
            const aiFace& face = mesh->mFaces[f];
            const aiVector3D& a = mesh->mVertices[face.mIndices[0]];
            const aiVector3D& b = mesh->mVertices[face.mIndices[1]];
            const aiVector3D& c = mesh->mVertices[face.mIndices[2]];
            const glm::vec3 facing = glm::normalize(glm::cross(glm::vec3(b.x - a.x, b.y - a.y, b.z - a.z),
                                                               glm::vec3(c.x - a.x, c.y - a.y, c.z - a.z)));
            for (unsigned k = 0; k < 3; ++k) {
                const aiVector3D& p = mesh->mVertices[face.mIndices[k]];
                const aiVector3D& n = mesh->mNormals[face.mIndices[k]];
                const glm::vec3 normal(n.x, n.y, n.z);
                if (separate) {
                    EXPECT_GT(glm::dot(normal, facing), 0.99999f) << "flat, face " << f;
                } else {
                    // The surface's own normal, up to the grid's spacing.
                    const glm::vec3 surface = glm::normalize(glm::vec3(-p.x, -p.y, 1.0f));
                    EXPECT_GT(glm::dot(normal, surface), 0.9999f) << "smooth, face " << f;
                }
            }
        }
    }
}

// The importer opens the scene file several times: it is read from the disk
// once, and each stream still sees the bytes as before (a PLY scene's
// diffuse colours renamed, an OBJ's libraries behind their opening
// material, the scene opened within itself guarded as a library).
TEST(RegularFilesIOSystem, TheSceneIsReadOnceAndEachStreamSeesWhatItSawBefore)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("brassfern-scene-read-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto write = [&folder](const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).string();
    };
    const std::string plyText = "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\n"
                                "property float z\nproperty uchar diffuse_red\nend_header\n0 0 0 255\n";
    const std::string objPath = write("scene.obj", "mtllib scene.mtl\nv 0 0 0\n");
    const std::string mtlPath = write("scene.mtl", "newmtl a\n");
    const std::string plyPath = write("scene.ply", plyText);
    const std::string opening = import::MaterialFirstIOSystem::openingLine;

    std::vector<unsigned long long> reads;
    auto* objFiles = new import::RegularFilesIOSystem([&reads](unsigned long long bytes) { reads.push_back(bytes); });
    import::MaterialFirstIOSystem obj(objPath, objFiles);
    for (int again = 0; again < 3; ++again)
        EXPECT_EQ(readAll(obj, objPath.c_str()), "mtllib scene.mtl\nv 0 0 0\n");
    Assimp::IOStream* scene = obj.Open(objPath.c_str(), "rb");
    EXPECT_EQ(readAll(obj, objPath.c_str()), opening + "mtllib scene.mtl\nv 0 0 0\n");
    obj.Close(scene);
    EXPECT_EQ(readAll(obj, mtlPath.c_str()), opening + "newmtl a\n");
    EXPECT_EQ(reads, (std::vector<unsigned long long>{25, 9})) << "each file read from the disk once";

    import::MaterialFirstIOSystem ply(plyPath, new import::RegularFilesIOSystem, nullptr);
    std::string renamed = plyText;
    renamed.replace(renamed.find("diffuse_red"), 11, "red");
    for (int again = 0; again < 2; ++again)
        EXPECT_EQ(readAll(ply, plyPath.c_str()).substr(0, renamed.size()), renamed);
    std::filesystem::remove_all(folder);
}

// The scene file is mapped, not copied: one cut short after it was opened
// ends the process that reads it by SIGBUS, which the viewer names, never
// with the importer reading bytes that are no longer there.
TEST(RegularFilesIOSystemDeathTest, AFileCutShortWhileItIsReadEndsTheReaderBySigbus)
{
#ifdef __SANITIZE_ADDRESS__
    // The address sanitizer takes the signal, names it and ends the process
    // as its options say: by an abort, or with status 1.
    const auto cutShort = [](int status) { return !WIFEXITED(status) || WEXITSTATUS(status) == 1; };
    const char* const cutShortWords = "AddressSanitizer: BUS";
#else
    const auto cutShort = testing::KilledBySignal(SIGBUS);
    const char* const cutShortWords = "";
#endif
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("brassfern-cut-short-" + std::to_string(getpid()) + ".bin");
    std::ofstream(path, std::ios::binary) << std::string(1 << 20, 'x');
    EXPECT_EXIT(
        {
            import::RegularFilesIOSystem files;
            Assimp::IOStream* stream = files.Open(path.c_str(), "rb");
            std::filesystem::resize_file(path, 0);
            char tail[4096];
            stream->Seek((1 << 20) - sizeof tail, aiOrigin_SET);
            std::exit(stream->Read(tail, 1, sizeof tail) == sizeof tail && tail[0] == 'x' ? 3 : 4);
        },
        cutShort, cutShortWords);
    std::filesystem::remove(path);
}

// A binary glTF's extras come from its JSON chunk alone: one followed by
// 80 MB of buffers (past the JSON's limit) kept them too, once read whole
// and refused for its size.
TEST(GltfExtras, ABinaryFileIsReadForItsJsonAloneWhateverFollows)
{
    const std::string json =
        R"({"asset":{"version":"2.0"},"materials":[{"extensions":{"KHR_materials_emissive_strength":)"
        R"({"emissiveStrength":5}}}]})";
    const auto u32 = [](std::uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); };
    const std::uint32_t binLength = 80u << 20;
    const std::string head = "glTF" + u32(2) + u32(static_cast<std::uint32_t>(28 + json.size() + binLength)) +
                             u32(static_cast<std::uint32_t>(json.size())) + "JSON" + json + u32(binLength) +
                             std::string("BIN\0", 4);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("brassfern-extras-" + std::to_string(getpid()) + ".glb");
    std::ofstream(path, std::ios::binary) << head;
    std::filesystem::resize_file(path, head.size() + binLength); // a hole: nothing written
    const std::vector<import::GltfMaterialExtras> extras = import::gltfMaterialExtras(path.string());
    std::filesystem::remove(path);
    ASSERT_EQ(extras.size(), 1u);
    EXPECT_EQ(extras[0].emissiveStrength, 5.0f);
}
