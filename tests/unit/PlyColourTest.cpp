// PLY vertex colours as scanners write them: `diffuse_red`, `diffuse_green`, `diffuse_blue` (and `diffuse_alpha`)
// arrive as the vertex colours `red`, `green`, `blue` (and `alpha`) do, in ASCII and binary PLY of either byte order.
#include "import/ImportProcess.h"
#include "import/PlyHeader.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string renamed(std::string bytes)
{
    std::vector<unsigned char> buffer(bytes.begin(), bytes.end());
    const size_t length = import::plyDiffuseAsVertexColours(buffer.data(), buffer.size());
    EXPECT_LE(length, bytes.size());
    return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
}

const std::string vertexStart = "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\n"
                                "property float z\n";

TEST(PlyHeader, AVertexsDiffuseColoursTakeTheNamesOfVertexColours)
{
    EXPECT_EQ(renamed(vertexStart +
                      "property uchar diffuse_red\nproperty uchar diffuse_green\nproperty uchar diffuse_blue\n"
                      "property uchar diffuse_alpha\nend_header\n0 0 0 1 2 3 4\n"),
              vertexStart + "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n"
                            "end_header\n0 0 0 1 2 3 4\n");
    // Whatever the type, the separators and the line ends.
    EXPECT_EQ(renamed("PLY\r\nformat ascii 1.0\r\nelement\tvertex 1\r\nproperty  float32\tdiffuse_red \r\n"
                      "end_header\r\n0.5\r\n"),
              "PLY\r\nformat ascii 1.0\r\nelement\tvertex 1\r\nproperty  float32\tred \r\nend_header\r\n0.5\r\n");
}

TEST(PlyHeader, ColoursTheVertexHasAlreadyAndOtherElementsStayAsTheyAre)
{
    const std::string both = vertexStart + "property uchar red\nproperty uchar diffuse_red\nproperty uchar g\n"
                                           "property uchar diffuse_green\nproperty uchar diffuse_blue\n"
                                           "property uchar alpha\nproperty uchar diffuse_alpha\nend_header\n";
    EXPECT_EQ(renamed(both), vertexStart + "property uchar red\nproperty uchar diffuse_red\nproperty uchar g\n"
                                           "property uchar diffuse_green\nproperty uchar blue\n"
                                           "property uchar alpha\nproperty uchar diffuse_alpha\nend_header\n");
    // A material's diffuse colour is the importer's material colour; a
    // face's, a list, a comment and a name that only starts so are not a
    // vertex's colour.
    const std::string others = "ply\nformat ascii 1.0\ncomment property uchar diffuse_red\nelement vertex 1\n"
                                "property float x\nproperty list uchar uchar diffuse_green\n"
                                "property uchar diffuse_reddish\nproperty uchar diffuse_\n"
                                "element material 1\nproperty uchar diffuse_red\n"
                                "element face 1\nproperty uchar diffuse_blue\nend_header\n";
    EXPECT_EQ(renamed(others), others);
}

TEST(PlyHeader, OnlyAWholeHeaderOfAPlyFileIsTouchedAndNeverItsData)
{
    const std::string header = vertexStart + "property uchar diffuse_red\n";
    // Not PLY, or a header that never ends.
    EXPECT_EQ(renamed("solid x\n" + header.substr(4) + "end_header\n"), "solid x\n" + header.substr(4) + "end_header\n");
    EXPECT_EQ(renamed("plyx\n" + header.substr(4) + "end_header\n"), "plyx\n" + header.substr(4) + "end_header\n");
    EXPECT_EQ(renamed(header), header);
    EXPECT_EQ(renamed(""), "");
    EXPECT_EQ(renamed("ply"), "ply");
    // A binary body that reads like a header is data.
    std::string body = "end_header\nelement vertex 1\nproperty uchar diffuse_green\n";
    body += std::string("\0\xff\r\n", 4);
    EXPECT_EQ(renamed(header + "end_header\n" + body),
              vertexStart + "property uchar red\nend_header\n" + body);
}

class Folder {
public:
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "brassfern-ply-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        root = pattern;
    }
    ~Folder() { fs::remove_all(root); }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(root / name, std::ios::binary) << bytes;
        return (root / name).string();
    }
    fs::path root;
};

enum class Layout { ascii, littleEndian, bigEndian };

template <typename T> void put(std::string& bytes, T value, bool bigEndian)
{
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (bigEndian)
        for (size_t i = 0; i < sizeof(T) / 2; ++i)
            std::swap(raw[i], raw[sizeof(T) - 1 - i]);
    bytes.append(raw, sizeof(T));
}

// A square of two triangles whose corners have the colours below, stored
// under `names` as uchar or as float.
std::string colouredSquare(Layout layout, const std::vector<std::string>& names, bool asFloat)
{
    static const float corners[4][3] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    static const int colours[4][4] = {{255, 0, 0, 255}, {128, 64, 0, 128}, {0, 0, 255, 0}, {10, 200, 30, 255}};
    static const char* const formats[] = {"ascii", "binary_little_endian", "binary_big_endian"};
    const char* type = asFloat ? "float" : "uchar";
    std::string ply = std::string("ply\nformat ") + formats[static_cast<int>(layout)] +
                      " 1.0\ncomment made by a scanner\nelement vertex 4\nproperty float x\nproperty float y\n"
                      "property float z\n";
    for (const std::string& name : names)
        ply += std::string("property ") + type + " " + name + "\n";
    ply += "element face 2\nproperty list uchar int vertex_indices\nend_header\n";
    const bool big = layout == Layout::bigEndian;
    for (int v = 0; v < 4; ++v) {
        for (int k = 0; k < 3; ++k) {
            if (layout == Layout::ascii)
                ply += std::to_string(corners[v][k]) + " ";
            else
                put<float>(ply, corners[v][k], big);
        }
        for (size_t c = 0; c < names.size(); ++c) {
            const int level = colours[v][c];
            if (layout == Layout::ascii)
                ply += (asFloat ? std::to_string(level / 255.0f) : std::to_string(level)) + " ";
            else if (asFloat)
                put<float>(ply, static_cast<float>(level) / 255.0f, big);
            else
                put<std::uint8_t>(ply, static_cast<std::uint8_t>(level), big);
        }
        if (layout == Layout::ascii)
            ply += "\n";
    }
    static const int faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const int* face : faces) {
        if (layout == Layout::ascii) {
            ply += "3 " + std::to_string(face[0]) + " " + std::to_string(face[1]) + " " + std::to_string(face[2]) + "\n";
            continue;
        }
        put<std::uint8_t>(ply, 3, big);
        for (int k = 0; k < 3; ++k)
            put<std::int32_t>(ply, face[k], big);
    }
    return ply;
}

// The colours of the model's one mesh, corner by corner in the file's
// order (the importer joins none of these: each corner differs).
std::vector<float> importedColours(const std::string& path)
{
    import::ImportProcess process(path);
    import::ModelData model;
    std::string reason;
    EXPECT_TRUE(process.finish(model, reason)) << reason;
    if (model.meshes.size() != 1)
        return {};
    return model.meshes[0].colours;
}

float srgbToLinear(float c)
{
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

TEST(PlyColours, DiffuseColoursArriveAsTheVertexColoursOfTheSameValues)
{
    Folder folder;
    const std::vector<std::string> plain = {"red", "green", "blue", "alpha"};
    const std::vector<std::string> diffuse = {"diffuse_red", "diffuse_green", "diffuse_blue", "diffuse_alpha"};
    for (Layout layout : {Layout::ascii, Layout::littleEndian, Layout::bigEndian})
        for (bool asFloat : {false, true})
            for (size_t channels : {3, 4}) {
                const std::string name = std::to_string(static_cast<int>(layout)) + (asFloat ? "f" : "u") +
                                         std::to_string(channels);
                const std::vector<std::string> plainNames(plain.begin(), plain.begin() + channels);
                const std::vector<std::string> diffuseNames(diffuse.begin(), diffuse.begin() + channels);
                const std::vector<float> expected =
                    importedColours(folder.write(name + "-plain.ply", colouredSquare(layout, plainNames, asFloat)));
                const std::vector<float> got =
                    importedColours(folder.write(name + "-diffuse.ply", colouredSquare(layout, diffuseNames, asFloat)));
                ASSERT_FALSE(expected.empty()) << name;
                EXPECT_EQ(got, expected) << name;
            }
}

// Decoded from sRGB as every vertex colour of a format other than glTF;
// alpha as it is.
TEST(PlyColours, DiffuseColoursAreDecodedFromSrgb)
{
    Folder folder;
    const std::vector<float> colours = importedColours(folder.write(
        "square.ply", colouredSquare(Layout::bigEndian,
                                     {"diffuse_red", "diffuse_green", "diffuse_blue", "diffuse_alpha"}, false)));
    // The second corner's, wherever the importer put it.
    bool found = false;
    for (size_t v = 0; v + 3 < colours.size(); v += 4)
        if (std::fabs(colours[v + 3] - 128.0f / 255.0f) < 1e-6f) {
            found = true;
            EXPECT_NEAR(colours[v + 0], srgbToLinear(128.0f / 255.0f), 1e-6f);
            EXPECT_NEAR(colours[v + 1], srgbToLinear(64.0f / 255.0f), 1e-6f);
            EXPECT_EQ(colours[v + 2], 0.0f);
        }
    EXPECT_TRUE(found);
}

} // namespace
