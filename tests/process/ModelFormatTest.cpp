// Models as users bring them: corpus models exported by the importer's own tool to glTF with a .bin, GLB, PLY,
// STL, FBX and Collada, and glTF in each of its layouts, each drawn, textured where the source is, right way up.
#include "DisplayTest.h"
#include "ModelFiles.h"
#include "Sandbox.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace fs = std::filesystem;

namespace {

constexpr const char* smallSettings =
    "res_width:320\nres_height:180\nsm_width:256\nsm_height:256\nwin_width:160\nwin_height:120\n";

// A square whose picture is red in its top-left quarter, green in its
// bottom-right one and blue elsewhere, as a person looking at it sees it.
std::vector<unsigned char> markedPicture()
{
    std::vector<unsigned char> rgb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            if (x < 8 && y < 8)
                rgb.insert(rgb.end(), {230, 30, 30});
            else if (x >= 8 && y >= 8)
                rgb.insert(rgb.end(), {30, 200, 30});
            else
                rgb.insert(rgb.end(), {40, 60, 220});
        }
    return rgb;
}

enum class Hue { none, red, green, blue };

Hue hueAt(const Picture& picture, int x, int y)
{
    int counts[4] = {0, 0, 0, 0};
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const unsigned char* p = picture.at(std::clamp(x + dx, 0, picture.width - 1),
                                                std::clamp(y + dy, 0, picture.height - 1));
            const int r = p[0], g = p[1], b = p[2];
            ++counts[r > 15 && r > 2 * g && r > 2 * b   ? 1
                     : g > 15 && g > 2 * r && g > b     ? 2
                     : b > 15 && b > r && b > g         ? 3
                                                        : 0];
        }
    return static_cast<Hue>(std::max_element(counts, counts + 4) - counts);
}

// The hues at the middles of the four quarters of the lit part of the picture.
std::vector<Hue> quarterHues(const Picture& picture)
{
    int left = picture.width, right = -1, top = picture.height, bottom = -1;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const unsigned char* p = picture.at(x, y);
            if (std::max({p[0], p[1], p[2]}) > 15) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    if (right < left)
        return {};
    const int x[2] = {left + (right - left) / 4, left + 3 * (right - left) / 4};
    const int y[2] = {top + (bottom - top) / 4, top + 3 * (bottom - top) / 4};
    return {hueAt(picture, x[0], y[0]), hueAt(picture, x[1], y[0]), hueAt(picture, x[0], y[1]),
            hueAt(picture, x[1], y[1])};
}

// The spider and the marked square in every format, made once for the suite.
class ExportedModel : public DisplayTestWithParam<std::string> {
protected:
    static void SetUpTestSuite()
    {
        if (!haveDisplay())
            return;
        sandbox = std::make_unique<Sandbox>();
        sandbox->write("small.txt", smallSettings);
        const fs::path corpus = fs::path(BRASSFERN_TESTDATA_DIR) / "obj-corpus";
        sandbox->writeImage("square/mark.png", 16, 16, markedPicture());
        sandbox->write("square/square.obj", "mtllib square.mtl\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                                            "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\nusemtl marked\n"
                                            "f 1/1/1 2/2/1 3/3/1 4/4/1\n");
        sandbox->write("square/square.mtl", "newmtl marked\nKd 1 1 1\nmap_Kd mark.png\n");
        for (const fs::path& model : {corpus / "spider.obj", sandbox->root / "square/square.obj"}) {
            const RunResult exported = sandbox->run(
                {"bash", fs::path(BRASSFERN_SOURCE_DIR) / "scripts/export-models", model.string(), "exported"}, 120.0);
            ASSERT_EQ(exported.status, 0) << exported.out << exported.err;
        }
        fs::copy(corpus / "spider.obj", sandbox->root / "exported");
        fs::copy(corpus / "spider.mtl", sandbox->root / "exported");
        fs::copy(sandbox->root / "square/square.obj", sandbox->root / "exported");
        fs::copy(sandbox->root / "square/square.mtl", sandbox->root / "exported");
    }
    static void TearDownTestSuite() { sandbox.reset(); }

    Picture draw(const std::string& model)
    {
        const RunResult run = sandbox->run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                            "--no-ground", "--output", "shot.png", "exported/" + model});
        EXPECT_EQ(run.signal, 0) << model;
        EXPECT_EQ(run.status, 0) << model << run.out << run.err;
        EXPECT_EQ(run.out, "") << model;
        return readModelPicture(sandbox->root / "shot.png");
    }

    static std::unique_ptr<Sandbox> sandbox;
};

std::unique_ptr<Sandbox> ExportedModel::sandbox;

using SpiderIn = ExportedModel;
using MarkedSquareIn = ExportedModel;

TEST_P(SpiderIn, IsDrawnFramedAndTexturedWhereTheFormatKeepsTextures)
{
    const Picture shot = draw("spider." + GetParam());
    ASSERT_EQ(shot.width, 160);
    EXPECT_GT(litShare(shot), 0.03);
    // STL keeps no textures; PLY keeps only one for the whole model.
    if (GetParam() != "stl" && GetParam() != "ply") {
        EXPECT_GT(brownShare(shot), 0.4 * litShare(shot));
    }
}

INSTANTIATE_TEST_SUITE_P(Format, SpiderIn, testing::Values("obj", "gltf", "glb", "ply", "stl", "fbx", "dae"));

TEST_P(MarkedSquareIn, ShowsItsPictureTheRightWayUp)
{
    const Picture shot = draw("square." + GetParam());
    ASSERT_EQ(shot.width, 160);
    EXPECT_EQ(quarterHues(shot), (std::vector<Hue>{Hue::red, Hue::blue, Hue::blue, Hue::green}));
}

INSTANTIATE_TEST_SUITE_P(Format, MarkedSquareIn, testing::Values("obj", "gltf", "glb", "fbx", "dae"));

using GltfLayouts = DisplayTestWithParam<GltfLayout>;

// The picture inside the file or in its .bin, the buffer as base64 or beside it.
TEST_P(GltfLayouts, EachLayoutShowsTheMarkedSquareUpright)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.writeImage("mark.png", 16, 16, markedPicture());
    GltfModel model = squareFacingTheViewer();
    model.image = readText(sandbox.root / "mark.png");
    std::string name;
    for (const auto& [file, bytes] : gltfFiles("square", model, GetParam())) {
        sandbox.write(file, bytes);
        if (file.find(".bin") == std::string::npos)
            name = file;
    }
    sandbox.remove("mark.png");

    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                       "--no-ground", "--output", "shot.png", name});

    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(quarterHues(readModelPicture(sandbox.root / "shot.png")),
              (std::vector<Hue>{Hue::red, Hue::blue, Hue::blue, Hue::green}));
}

INSTANTIATE_TEST_SUITE_P(Gltf, GltfLayouts,
                         testing::Values(GltfLayout::dataUris, GltfLayout::separateBuffer, GltfLayout::binary));

using ModelSurfaces = DisplayTest;

// Seen from behind, a one-sided square is culled away; a two-sided one shows.
TEST_F(ModelSurfaces, TwoSidedSurfacesShowTheirBacks)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    double shares[2] = {0.0, 0.0};
    for (bool twoSided : {false, true}) {
        GltfModel model = squareFacingTheViewer();
        // Turned half round about the vertical axis: its back faces the eye.
        model.nodes = R"([{"mesh":0,"rotation":[0,1,0,0]}])";
        model.doubleSided = twoSided;
        for (const auto& [file, bytes] : gltfFiles("back", model, GltfLayout::binary))
            sandbox.write(file, bytes);
        const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000",
                                           "--no-tour", "--no-ground", "--output", "shot.png", "back.glb"});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        shares[twoSided] = litShare(readModelPicture(sandbox.root / "shot.png"));
    }
    EXPECT_LT(shares[0], 0.001);
    EXPECT_GT(shares[1], 0.1);
}

// Every corner points at the same texel of a palette, as low-poly models'
// colour whole parts: the mesh shows that texel's colour, not the grey of a
// mesh without texture coordinates.
TEST_F(ModelSurfaces, APaletteTexelColoursAMeshWhoseCornersAllPointAtIt)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    sandbox.writeImage("palette.png", 2, 1, {220, 30, 30, 30, 200, 30});
    GltfModel model = squareFacingTheViewer();
    model.uvs = {0.75f, 0.5f, 0.75f, 0.5f, 0.75f, 0.5f, 0.75f, 0.5f};
    model.image = readText(sandbox.root / "palette.png");
    for (const auto& [file, bytes] : gltfFiles("palette", model, GltfLayout::binary))
        sandbox.write(file, bytes);
    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                       "--no-ground", "--output", "shot.png", "palette.glb"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(quarterHues(readModelPicture(sandbox.root / "shot.png")),
              (std::vector<Hue>{Hue::green, Hue::green, Hue::green, Hue::green}));
}

// A cube whose facet normals agree with its winding, point inward, or are
// zero, as STL writers leave them: all three are lit alike, by the winding,
// and as the same cube in OBJ with the normals of its faces is.
TEST_F(ModelSurfaces, StlFacetsAreLitByTheirWindingWhateverTheirNormalsSay)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    static const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    const auto shoot = [&sandbox](const char* model) {
        const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                           "--no-ground", "--output", "shot.png", model});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        return readModelPicture(sandbox.root / "shot.png");
    };
    // The material the STL's is: white, its specular colour its diffuse.
    sandbox.write("cube.mtl", "newmtl white\nKd 1 1 1\nKs 1 1 1\n");
    std::string obj = "mtllib cube.mtl\nusemtl white\n";
    for (int corner = 0; corner < 8; ++corner)
        obj += "v " + std::to_string(corner & 1) + " " + std::to_string(corner >> 1 & 1) + " " +
               std::to_string(corner >> 2 & 1) + "\n";
    obj += "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n";
    for (int f = 0; f < 6; ++f) {
        obj += "f";
        for (int k = 0; k < 4; ++k)
            obj += " " + std::to_string(faces[f][k] + 1) + "//" + std::to_string(f + 1);
        obj += "\n";
    }
    sandbox.write("cube.obj", obj);
    const Picture faceNormals = shoot("cube.obj");
    double lit[3] = {0.0, 0.0, 0.0};
    for (int kind = 0; kind < 3; ++kind) {
        std::string stl = "solid cube\n";
        for (const auto& face : faces)
            for (const int* corners : {&face[0], &face[1]}) {
                const int tri[3] = {face[0], corners[1], corners[2]};
                float p[3][3];
                for (int k = 0; k < 3; ++k)
                    for (int axis = 0; axis < 3; ++axis)
                        p[k][axis] = static_cast<float>((tri[k] >> axis) & 1);
                float n[3];
                for (int axis = 0; axis < 3; ++axis) {
                    const int a = (axis + 1) % 3;
                    const int b = (axis + 2) % 3;
                    n[axis] = (p[1][a] - p[0][a]) * (p[2][b] - p[0][b]) - (p[1][b] - p[0][b]) * (p[2][a] - p[0][a]);
                    n[axis] *= kind == 0 ? 1.0f : kind == 1 ? -1.0f : 0.0f;
                }
                char line[400];
                std::snprintf(line, sizeof line,
                              "facet normal %g %g %g\nouter loop\nvertex %g %g %g\nvertex %g %g %g\nvertex %g %g "
                              "%g\nendloop\nendfacet\n",
                              n[0], n[1], n[2], p[0][0], p[0][1], p[0][2], p[1][0], p[1][1], p[1][2], p[2][0], p[2][1],
                              p[2][2]);
                stl += line;
            }
        sandbox.write("cube.stl", stl + "endsolid cube\n");
        const Picture shot = shoot("cube.stl");
        double sum = 0.0;
        double apart = 0.0;
        ASSERT_EQ(shot.rgb.size(), faceNormals.rgb.size());
        for (size_t i = 0; i < shot.rgb.size(); ++i) {
            sum += shot.rgb[i];
            apart += std::abs(shot.rgb[i] - faceNormals.rgb[i]);
        }
        lit[kind] = sum / static_cast<double>(shot.rgb.size());
        EXPECT_LT(apart / static_cast<double>(shot.rgb.size()), 0.5) << "kind " << kind << " against the OBJ";
    }
    EXPECT_GT(lit[0], 20.0);
    EXPECT_NEAR(lit[1], lit[0], 1.0) << "inward normals";
    EXPECT_NEAR(lit[2], lit[0], 1.0) << "zero normals";
}

// A glTF mesh without normals is lit by its facets, as the format asks:
// a cube of eight shared corners looks as the same cube with the normals
// of its faces does, not rounded off by normals averaged at the corners.
TEST_F(ModelSurfaces, GltfMeshesWithoutNormalsAreLitByTheirFacets)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    static const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    static const float faceNormals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
    const auto corner = [](int c) { return std::array<float, 3>{float(c & 1), float(c >> 1 & 1), float(c >> 2 & 1)}; };
    GltfModel shared;
    shared.material = R"({"pbrMetallicRoughness":{"baseColorFactor":[1,1,1,1],"metallicFactor":0}})";
    GltfModel faceted = shared;
    for (int c = 0; c < 8; ++c)
        for (float v : corner(c))
            shared.positions.push_back(v);
    for (int f = 0; f < 6; ++f) {
        for (int k = 0; k < 4; ++k) {
            for (float v : corner(faces[f][k]))
                faceted.positions.push_back(v);
            faceted.normals.insert(faceted.normals.end(), faceNormals[f], faceNormals[f] + 3);
        }
        for (int k : {0, 1, 2, 0, 2, 3}) {
            shared.indices.push_back(static_cast<std::uint16_t>(faces[f][k]));
            faceted.indices.push_back(static_cast<std::uint16_t>(4 * f + k));
        }
    }
    const auto shoot = [&sandbox](const char* stem, const GltfModel& model) {
        for (const auto& [file, bytes] : gltfFiles(stem, model, GltfLayout::binary))
            sandbox.write(file, bytes);
        const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour",
                                           "--no-ground", "--output", "shot.png", std::string(stem) + ".glb"});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        return readModelPicture(sandbox.root / "shot.png");
    };
    const Picture flat = shoot("faceted", faceted);
    const Picture shot = shoot("shared", shared);
    ASSERT_EQ(shot.rgb.size(), flat.rgb.size());
    double lit = 0.0;
    double apart = 0.0;
    for (size_t i = 0; i < shot.rgb.size(); ++i) {
        lit += flat.rgb[i];
        apart += std::abs(shot.rgb[i] - flat.rgb[i]);
    }
    EXPECT_GT(lit / static_cast<double>(flat.rgb.size()), 20.0);
    EXPECT_LT(apart / static_cast<double>(shot.rgb.size()), 0.5);
}

// A scanner's PLY whose colours are `diffuse_red`, `diffuse_green`,
// `diffuse_blue` is drawn in them, as the same file with `red`, `green`,
// `blue` is: the same picture, a red edge and a blue one. Binary big-endian
// floats and ASCII bytes alike.
TEST_F(ModelSurfaces, PlyDiffuseColoursAreDrawnAsItsVertexColours)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    auto square = [](bool binary, const std::string& prefix) {
        std::string ply = std::string("ply\nformat ") + (binary ? "binary_big_endian" : "ascii") +
                          " 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n";
        for (const char* channel : {"red", "green", "blue"})
            ply += std::string("property ") + (binary ? "float " : "uchar ") + prefix + channel + "\n";
        ply += "element face 2\nproperty list uchar int vertex_indices\nend_header\n";
        static const float corners[4][6] = {
            {-1, -1, 0, 1, 0, 0}, {1, -1, 0, 1, 0, 0}, {1, 1, 0, 0, 0, 1}, {-1, 1, 0, 0, 0, 1}};
        for (const auto& corner : corners)
            for (int k = 0; k < 6; ++k) {
                if (!binary) {
                    ply += (k < 3 ? std::to_string(corner[k]) : std::to_string(static_cast<int>(corner[k] * 255))) +
                           (k == 5 ? "\n" : " ");
                    continue;
                }
                unsigned char bytes[4];
                std::memcpy(bytes, &corner[k], 4);
                for (int b = 3; b >= 0; --b)
                    ply += static_cast<char>(bytes[b]);
            }
        if (!binary)
            return ply + "3 0 1 2\n3 0 2 3\n";
        static const int faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (const auto& face : faces) {
            ply += static_cast<char>(3);
            for (int corner : face)
                ply += std::string(3, '\0') + static_cast<char>(corner); // a big-endian int
        }
        return ply;
    };
    for (bool binary : {false, true}) {
        Picture shots[2];
        for (int diffuse = 0; diffuse < 2; ++diffuse) {
            sandbox.write("square.ply", square(binary, diffuse ? "diffuse_" : ""));
            const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000",
                                               "--no-tour", "--no-ground", "--output", "shot.png", "square.ply"});
            ASSERT_EQ(run.status, 0) << run.out << run.err;
            EXPECT_EQ(run.out, "");
            shots[diffuse] = readModelPicture(sandbox.root / "shot.png");
        }
        EXPECT_EQ(differingShare(shots[1], shots[0], 0), 0.0) << (binary ? "binary" : "ascii");
        // The lit rows' mean colour: blue at the top, red at the bottom.
        std::vector<std::array<double, 4>> rows; // red, green, blue, pixels
        for (int y = 0; y < shots[1].height; ++y) {
            std::array<double, 4> row{0, 0, 0, 0};
            for (int x = 0; x < shots[1].width; ++x) {
                const unsigned char* p = shots[1].at(x, y);
                if (std::max({p[0], p[1], p[2]}) > 15)
                    row = {row[0] + p[0], row[1] + p[1], row[2] + p[2], row[3] + 1};
            }
            if (row[3] > 0)
                rows.push_back(row);
        }
        ASSERT_GT(rows.size(), 10u);
        const std::array<double, 4>& top = rows[2];
        const std::array<double, 4>& bottom = rows[rows.size() - 3];
        EXPECT_GT(top[2], 2 * top[0]) << (binary ? "binary" : "ascii");
        EXPECT_GT(bottom[0], 2 * bottom[2]) << (binary ? "binary" : "ascii");
    }
}

// Corpus files of points, lines and vertex colours: drawn, in their colours.
TEST_F(ModelSurfaces, PointsLinesAndVertexColoursAreDrawn)
{
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    const fs::path corpus = fs::path(BRASSFERN_TESTDATA_DIR) / "obj-corpus";
    struct Case {
        const char* file;
        double least; // lit share
    };
    for (const Case& c : {Case{"point_cloud.obj", 0.0005}, Case{"testpoints.obj", 0.002}, Case{"testline.obj", 0.01},
                          Case{"cube_with_vertexcolors.obj", 0.2}}) {
        const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000",
                                           "--no-tour", "--output", "shot.png", (corpus / c.file).string()});
        ASSERT_EQ(run.status, 0) << c.file << run.out << run.err;
        const Picture shot = readPicture(sandbox.root / "shot.png");
        EXPECT_GT(litShare(shot), c.least) << c.file;
        if (std::string(c.file) == "cube_with_vertexcolors.obj") {
            size_t red = 0, blue = 0;
            for (size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
                red += shot.rgb[i] > 40 && shot.rgb[i] > 2 * shot.rgb[i + 2];
                blue += shot.rgb[i + 2] > 40 && shot.rgb[i + 2] > 2 * shot.rgb[i];
            }
            EXPECT_GT(red, 200u);
            EXPECT_GT(blue, 200u);
        }
    }
}

} // namespace
