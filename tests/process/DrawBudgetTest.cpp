// Models of more meshes than the viewer draws one by one: merged, they look as they did; past the limits, one line.
#include "DisplayTest.h"
#include "ModelFiles.h"
#include "Sandbox.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr const char* smallSettings =
    "res_width:320\nres_height:180\nsm_width:256\nsm_height:256\nwin_width:160\nwin_height:120\n";

// 30 x 40 squares of two triangles, four colours by quarter; each triangle
// with a material of its own, or each quarter with one.
std::string objGrid(const Sandbox& sandbox, bool materialEach)
{
    const char* colours[] = {"0.9 0.1 0.1", "0.1 0.8 0.2", "0.2 0.3 0.9", "0.9 0.8 0.1"};
    std::string obj = "mtllib grid.mtl\n";
    std::string mtl;
    for (int y = 0; y <= 40; ++y)
        for (int x = 0; x <= 30; ++x)
            obj += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    for (int q = 0; q < 4; ++q)
        mtl += "newmtl q" + std::to_string(q) + "\nKd " + colours[q] + "\n";
    for (int i = 0; i < 2400; ++i) {
        const int x = i / 2 % 30;
        const int y = i / 60;
        const int q = (x < 15 ? 0 : 1) + (y < 20 ? 0 : 2);
        const int a = y * 31 + x + 1;
        const std::string name = materialEach ? "t" + std::to_string(i) : "q" + std::to_string(q);
        if (materialEach)
            mtl += "newmtl " + name + "\nKd " + colours[q] + "\n";
        obj += "usemtl " + name + "\nf " + std::to_string(a) + " " + std::to_string(i % 2 ? a + 32 : a + 1) + " " +
               std::to_string(i % 2 ? a + 31 : a + 32) + "\n";
    }
    sandbox.write("grid.obj", obj);
    sandbox.write("grid.mtl", mtl);
    return "grid.obj";
}

// 2000 squares placed by nodes in rows of 50, every other one mirrored in x
// or not: a square from -1 to 1 covers the same ground either way.
std::string gltfRows(const Sandbox& sandbox, bool mirrored)
{
    GltfModel model = squareFacingTheViewer();
    model.nodes = "[";
    model.sceneNodes = "[";
    for (int i = 0; i < 2000; ++i) {
        const std::string x = std::to_string(2.5 * (i % 50));
        const std::string y = std::to_string(2.5 * (i / 50));
        model.nodes += std::string(i ? "," : "") + R"({"mesh":0,"translation":[)" + x + "," + y + ",0]" +
                       (i % 2 && mirrored ? R"(,"scale":[-1,1,1]})" : "}");
        model.sceneNodes += (i ? "," : "") + std::to_string(i);
    }
    model.nodes += "]";
    model.sceneNodes += "]";
    for (const auto& [file, bytes] : gltfFiles(mirrored ? "mirrored" : "plain", model, GltfLayout::binary))
        sandbox.write(file, bytes);
    return mirrored ? "mirrored.glb" : "plain.glb";
}

// 17 000 triangles, each with a material of its own colour behind one picture.
std::string objOfPictures(const Sandbox& sandbox)
{
    sandbox.writeImage("p.png", 2, 2, std::vector<unsigned char>(12, 180));
    std::string obj = "mtllib p.mtl\nvt 0 0\nvt 1 0\nvt 0 1\n";
    std::string mtl;
    for (int i = 0; i < 17000; ++i) {
        obj += "v " + std::to_string(i) + " 0 0\nv " + std::to_string(i + 1) + " 0 0\nv " + std::to_string(i) +
               " 1 0\nusemtl m" + std::to_string(i) + "\nf -3/1 -2/2 -1/3\n";
        mtl += "newmtl m" + std::to_string(i) + "\nKd " + std::to_string(i % 100 / 99.0) + " " +
               std::to_string(i / 100 / 170.0) + " 0.5\nmap_Kd p.png\n";
    }
    sandbox.write("p.obj", obj);
    sandbox.write("p.mtl", mtl);
    return "p.obj";
}

struct BudgetRun {
    const char* name;
    std::function<std::string(const Sandbox&)> make;
    std::function<std::string(const Sandbox&)> reference; // the same faces, drawn as they should be; or none
    std::string out;                                      // exact standard output
    std::string opened;                                   // words of the closing progress line
};

void PrintTo(const BudgetRun& c, std::ostream* os)
{
    *os << c.name;
}

class ManyMeshes : public DisplayTestWithParam<BudgetRun> {
};

TEST_P(ManyMeshes, LookAsTheirFacesDoWithinTheLimits)
{
    const BudgetRun& c = GetParam();
    Sandbox sandbox;
    sandbox.write("small.txt", smallSettings);
    const auto shoot = [&sandbox](const std::string& model, const std::string& picture) {
        return sandbox.run({BRASSFERN_EXE, "--settings", "small.txt", "--effects", "000", "--no-tour", "--output",
                            picture, model},
                           120.0, {"BRASSFERN_PROGRESS_AFTER=0"});
    };

    const RunResult run = shoot(c.make(sandbox), "shot.png");

    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_NE(run.err.find(c.opened), std::string::npos) << run.err;
    if (c.reference) {
        const RunResult reference = shoot(c.reference(sandbox), "reference.png");
        ASSERT_EQ(reference.status, 0) << reference.err;
        EXPECT_LT(differingShare(readPicture(sandbox.root / "shot.png"), readPicture(sandbox.root / "reference.png")),
                  0.002);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, ManyMeshes,
    testing::Values(BudgetRun{"ObjColourMaterialsShareOneDrawInTheirColours",
                              [](const Sandbox& s) { return objGrid(s, true); },
                              [](const Sandbox& s) { return objGrid(s, false); }, "", ": 1 mesh, 2400 triangles"},
                    BudgetRun{"MirroredGltfNodesKeepTheirFacesOutward",
                              [](const Sandbox& s) { return gltfRows(s, true); },
                              [](const Sandbox& s) { return gltfRows(s, false); }, "", ": 1024 meshes, 4000 triangles"},
                    BudgetRun{"ObjPastTheLimitsSaysSoInOneLine", objOfPictures, nullptr,
                              "Drawing the first 16384 of 17000 meshes: the model has more than the viewer draws\n",
                              ": 16384 meshes, 16384 triangles, 1 texture"}),
    [](const testing::TestParamInfo<BudgetRun>& info) { return std::string(info.param.name); });

} // namespace
