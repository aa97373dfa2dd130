// The hostile models' files, written by their generators, and the lines each run must end with.
#include "HostileModels.h"

#include "ModelFiles.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

std::string picture(const Sandbox& sandbox, const std::string& extension)
{
    sandbox.writeImage("picture." + extension, 8, 8, std::vector<unsigned char>(8 * 8 * 3, 200));
    const std::string bytes = readText(sandbox.root / ("picture." + extension));
    sandbox.remove("picture." + extension);
    return bytes;
}

// A square whose material shows `image`, inside a GLB.
std::string glbShowing(const Sandbox& sandbox, const std::string& image, const std::string& mime)
{
    GltfModel model = squareFacingTheViewer();
    model.image = image;
    model.imageMime = mime;
    for (const auto& [file, bytes] : gltfFiles("model", model, GltfLayout::binary))
        sandbox.write(file, bytes);
    return "model.glb";
}

// An OBJ square whose material names the file `texture`.
std::string objNaming(const Sandbox& sandbox, const std::string& texture)
{
    sandbox.write("model.obj", "mtllib model.mtl\nusemtl m\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                               "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nf 1/1 2/2 3/3 4/4\n");
    sandbox.write("model.mtl", "newmtl m\nKd 0.9 0.5 0.1\nmap_Kd " + texture + "\n");
    return "model.obj";
}

// Nodes 0 to depth - 1 each with `fanOut` references to the next; the last holds the mesh.
std::string nodeChain(int depth, int fanOut, bool meshAtTheTop)
{
    std::string nodes = "[";
    for (int i = 0; i < depth; ++i) {
        nodes += R"({"children":[)";
        for (int k = 0; k < fanOut; ++k)
            nodes += (k ? "," : "") + std::to_string(i + 1);
        nodes += std::string("]") + (i == 0 && meshAtTheTop ? R"(,"mesh":0)" : "") + "},";
    }
    return nodes + R"({"mesh":0}])";
}

std::string glbWithNodes(const Sandbox& sandbox, const std::string& nodes)
{
    GltfModel model = squareFacingTheViewer();
    model.nodes = nodes;
    for (const auto& [file, bytes] : gltfFiles("model", model, GltfLayout::binary))
        sandbox.write(file, bytes);
    return "model.glb";
}

std::string plyTriangle(const std::string& faceLine)
{
    return "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
           "element face 1\nproperty list uchar int vertex_index\nend_header\n0 0 0\n1 0 0\n0 1 0\n" +
           faceLine + "\n";
}

// A 3MF of one triangle, in a zip whose entries are stored as they are but
// whose checksums are all zero. The importer (Assimp 5.2.5, as Debian builds
// it) checks an entry's checksum once it has read it with an assertion,
// which aborts the process: a real file that crashes it.
std::string threeMfWithWrongChecksums()
{
    const std::pair<std::string, std::string> entries[] = {
        {"[Content_Types].xml",
         R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/)"
         R"(content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.)"
         R"(relationships+xml"/><Default Extension="model" ContentType="application/vnd.ms-package.)"
         R"(3dmanufacturing-3dmodel+xml"/></Types>)"},
        {"_rels/.rels",
         R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/)"
         R"(package/2006/relationships"><Relationship Target="/3D/3dmodel.model" Id="rel0" )"
         R"(Type="http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel"/></Relationships>)"},
        {"3D/3dmodel.model",
         R"(<?xml version="1.0" encoding="UTF-8"?><model unit="millimeter" xmlns="http://schemas.microsoft.com/)"
         R"(3dmanufacturing/core/2015/02"><resources><object id="1" type="model"><mesh><vertices>)"
         R"(<vertex x="0" y="0" z="0"/><vertex x="1" y="0" z="0"/><vertex x="0" y="1" z="0"/></vertices>)"
         R"(<triangles><triangle v1="0" v2="1" v3="2"/></triangles></mesh></object></resources><build>)"
         R"(<item objectid="1"/></build></model>)"}};
    std::string zip;
    std::string directory;
    for (const auto& [name, data] : entries) {
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const auto size = static_cast<std::uint32_t>(data.size());
        const auto nameLength = static_cast<std::uint16_t>(name.size());
        // Version, flags, method (stored), time, date; checksum 0; sizes; name and extra lengths.
        append<std::uint32_t>(zip, {0x04034b50u});
        append<std::uint16_t>(zip, {20, 0, 0, 0, 0});
        append<std::uint32_t>(zip, {0u, size, size});
        append<std::uint16_t>(zip, {nameLength, 0});
        zip += name + data;
        append<std::uint32_t>(directory, {0x02014b50u});
        append<std::uint16_t>(directory, {20, 20, 0, 0, 0, 0});
        append<std::uint32_t>(directory, {0u, size, size});
        append<std::uint16_t>(directory, {nameLength, 0, 0, 0, 0});
        append<std::uint32_t>(directory, {0u, offset});
        directory += name;
    }
    const auto count = static_cast<std::uint16_t>(std::size(entries));
    const auto directoryOffset = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    append<std::uint32_t>(zip, {0x06054b50u});
    append<std::uint16_t>(zip, {0, 0, count, count});
    append<std::uint32_t>(zip, {static_cast<std::uint32_t>(directory.size()), directoryOffset});
    append<std::uint16_t>(zip, {0});
    return zip;
}

// A flat grid of 60 x 60 squares: more geometry than the import sends at once.
std::string gridObj()
{
    std::string obj;
    for (int y = 0; y <= 60; ++y)
        for (int x = 0; x <= 60; ++x)
            obj += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    for (int square = 0; square < 60 * 60; ++square) {
        const int corner = square / 60 * 61 + square % 60 + 1;
        obj += "f " + std::to_string(corner) + " " + std::to_string(corner + 1) + " " + std::to_string(corner + 62) +
               " " + std::to_string(corner + 61) + "\n";
    }
    return obj;
}

void makeFifo(const Sandbox& sandbox, const std::string& relative)
{
    sandbox.remove(relative);
    ASSERT_EQ(mkfifo((sandbox.root / relative).c_str(), 0644), 0);
}

const std::string inColour = "; its meshes show their colour\n";

} // namespace

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

// "MODEL" stands for the model's path, "ROOT" for the folder it is in.
std::string replaced(std::string text, const Sandbox& sandbox, const std::string& model)
{
    for (const auto& [word, meaning] : {std::pair<std::string, std::string>{"MODEL", (sandbox.root / model).string()},
                                        {"ROOT", sandbox.root.string()}})
        for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + meaning.size()))
            text.replace(at, word.size(), meaning);
    return text;
}

const std::vector<HostileCase>& hostileCases()
{
    static const std::vector<HostileCase> cases = {
        // Images inside a model get the header check that image files get.
        HostileCase{"PngInsideGlbWhoseRowsWrapThirtyTwoBits",
                    [](const Sandbox& s) {
                        return glbShowing(s, withPngSize(picture(s, "png"), 65537, 65535), "image/png");
                    },
                    0,
                    "Could not load texture *0 in model.glb: the image is 65537 x 65535 pixels; textures here take "
                    "at most 16384 x 16384 and 67108864 pixels" +
                        inColour,
                    ""},
        HostileCase{"JpegInsideGlbClaimingSixtyThousandSquare",
                    [](const Sandbox& s) {
                        return glbShowing(s, withJpegSize(picture(s, "jpg"), 60000, 60000), "image/jpeg");
                    },
                    0,
                    "Could not load texture *0 in model.glb: the image is 60000 x 60000 pixels; textures here take "
                    "at most 16384 x 16384 and 67108864 pixels" +
                        inColour,
                    ""},
        HostileCase{"JpegWithAStrayByteAfterItsApp0",
                    [](const Sandbox& s) {
                        return glbShowing(s, withStrayByteAfterApp0(picture(s, "jpg")), "image/jpeg");
                    },
                    0, "Could not load texture *0 in model.glb: the JPEG header cannot be read to its size" + inColour,
                    ""},
        HostileCase{"ZeroFilledQuakeTexture",
                    [](const Sandbox& s) {
                        s.write("wall.wal", std::string(4096, '\0'));
                        return objNaming(s, "wall.wal");
                    },
                    0,
                    "Could not load texture ROOT/wall.wal: not an image in a format read here: PNG, JPEG, BMP or "
                    "TGA" +
                        inColour,
                    ""},
        HostileCase{"GifTexture",
                    [](const Sandbox& s) {
                        // The smallest GIF there is: one pixel, two colours.
                        s.write("anim.gif", std::string("GIF89a\x01\0\x01\0\x80\0\0\xff\xff\xff\0\0\0!"
                                                        "\xf9\x04\x01\0\0\0\0,\0\0\0\0\x01\0\x01\0\0"
                                                        "\x02\x02\x44\x01\0;",
                                                        43));
                        return objNaming(s, "anim.gif");
                    },
                    0,
                    "Could not load texture ROOT/anim.gif: GIF images are not read (their reader writes past its "
                    "colour table); PNG, JPEG, BMP and TGA are" +
                        inColour,
                    ""},

        // Node graphs: shared children multiply, chains run deep, references go round.
        HostileCase{"NodesThatShareChildrenTwentyFourLevelsDeep",
                    [](const Sandbox& s) { return glbWithNodes(s, nodeChain(24, 2, false)); }, 1,
                    "Import failedMODEL\n", "of memory and was stopped"},
        HostileCase{"NodesThatShareChildrenFifteenLevelsDeep",
                    [](const Sandbox& s) { return glbWithNodes(s, nodeChain(15, 2, false)); }, 0,
                    "Drawing the first 16384 placements of meshes only: the file's nodes place them more often\n", ""},
        HostileCase{"ChainOfTwoThousandNodes",
                    [](const Sandbox& s) { return glbWithNodes(s, nodeChain(2000, 1, true)); }, 0,
                    "Left out 1 nodes nested deeper than 1024 levels, with everything under them\n", ""},
        HostileCase{"ChainOfAHundredThousandNodes",
                    [](const Sandbox& s) { return glbWithNodes(s, nodeChain(100000, 1, true)); }, 1,
                    "Import failedMODEL\n", "cannot import"},
        HostileCase{"ColladaNodesThatInstanceEachOther",
                    [](const Sandbox& s) {
                        s.write("model.dae",
                                R"(<?xml version="1.0"?><COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" )"
                                R"(version="1.4.1"><library_geometries><geometry id="g"><mesh><source id="p">)"
                                R"(<float_array id="a" count="9">0 0 0 1 0 0 0 1 0</float_array><technique_common>)"
                                R"(<accessor source="#a" count="3" stride="3"><param name="X" type="float"/>)"
                                R"(<param name="Y" type="float"/><param name="Z" type="float"/></accessor>)"
                                R"(</technique_common></source><vertices id="v"><input semantic="POSITION" )"
                                R"(source="#p"/></vertices><triangles count="1"><input semantic="VERTEX" source="#v" )"
                                R"(offset="0"/><p>0 1 2</p></triangles></mesh></geometry></library_geometries>)"
                                R"(<library_nodes><node id="a"><instance_node url="#b"/><instance_geometry url="#g"/>)"
                                R"(</node><node id="b"><instance_node url="#a"/></node></library_nodes>)"
                                R"(<library_visual_scenes><visual_scene id="s"><node id="r"><instance_node url="#a"/>)"
                                R"(</node></visual_scene></library_visual_scenes><scene>)"
                                R"(<instance_visual_scene url="#s"/></scene></COLLADA>)");
                        return "model.dae";
                    },
                    1, "Import failedMODEL\n", "cannot import"},

        // The importer's own weak spots.
        HostileCase{"PlyFaceIndexPastItsVertices", [](const Sandbox& s) {
                        s.write("model.ply", plyTriangle("3 0 1 7"));
                        return "model.ply";
                    },
                    1, "Import failedMODEL\n", "PLY: face 1 names vertex 7 of 3"},
        HostileCase{"BinaryPlyWhoseListCountLies",
                    [](const Sandbox& s) {
                        std::string ply = "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
                                          "property float y\nproperty float z\nelement face 2\n"
                                          "property list uchar int vertex_index\nend_header\n";
                        append<float>(ply, {0, 0, 0, 1, 0, 0, 0, 1, 0});
                        ply += static_cast<char>(250);
                        append<int>(ply, {0, 1, 2});
                        ply += static_cast<char>(3);
                        append<int>(ply, {0, 1, 2});
                        s.write("model.ply", ply);
                        return "model.ply";
                    },
                    1, "Import failedMODEL\n", "PLY: face 1 names vertex 3 of 3"},
        HostileCase{"PlyHeaderThatNeverEnds",
                    [](const Sandbox& s) {
                        const std::string ply = plyTriangle("");
                        s.write("model.ply", ply.substr(0, ply.find("end_header")));
                        return "model.ply";
                    },
                    1, "Import failedMODEL\n", "PLY: the header has no end_header line"},
        // The same under a name the PLY reader does not take: the importer,
        // which tells PLY by its first word, searches until the time is up.
        HostileCase{"PlyHeaderThatNeverEndsUnderAnotherName",
                    [](const Sandbox& s) {
                        const std::string ply = plyTriangle("");
                        s.write("model.data", ply.substr(0, ply.find("end_header")));
                        return "model.data";
                    },
                    1, "Import failedMODEL\n", "did not finish within 10 s and was stopped"},
        // A binary STL whose header names four thousand million facets
        // (200 GB): refused from its size, with nothing reserved for them.
        HostileCase{"StlWhoseHeaderNamesMoreFacetsThanItHolds",
                    [](const Sandbox& s) {
                        std::string stl(80, ' ');
                        append<std::uint32_t>(stl, {0xFFFFFFFFu});
                        append<float>(stl, {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0});
                        stl += std::string(2, '\0');
                        s.write("model.stl", stl);
                        return "model.stl";
                    },
                    1, "Import failedMODEL\n",
                    "STL: the header names 4294967295 facets (214748364834 bytes), but the file holds 134 bytes"},
        HostileCase{"GlbWhoseChunkLengthLies",
                    [](const Sandbox& s) {
                        std::string glb;
                        const std::string json = R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":16}]})";
                        append<std::uint32_t>(glb, {0x46546C67u, 2u, 372u, static_cast<std::uint32_t>(json.size()),
                                                    0x4E4F534Au});
                        glb += json;
                        append<std::uint32_t>(glb, {0xFFFFFFF0u, 0x004E4942u});
                        glb += std::string(372 - glb.size(), '\0');
                        s.write("model.glb", glb);
                        return "model.glb";
                    },
                    1, "Import failedMODEL\n", "cannot import"},

        // An import process that stops halfway through its stream (the tests'
        // stall): stopped at its time budget like any other, whatever stage.
        HostileCase{"ImportThatStallsWhileSendingTheGeometry",
                    [](const Sandbox& s) {
                        s.write("model.obj", gridObj());
                        return "model.obj";
                    },
                    1, "Import failedMODEL\n", "the import did not finish within 10 s and was stopped",
                    {"BRASSFERN_TEST_STALL_IMPORT=1 1"}},
        HostileCase{"ImportThatStallsWhileSendingATexture",
                    [](const Sandbox& s) {
                        s.writeImage("big.png", 256, 256, std::vector<unsigned char>(256 * 256 * 3, 90));
                        return objNaming(s, "big.png");
                    },
                    0,
                    "Could not load texture ROOT/big.png: the import did not finish within 10 s and was stopped" +
                        inColour,
                    "", {"BRASSFERN_TEST_STALL_IMPORT=1 4096"}},

        // An import process that crashes (the tests' abort, as the C library
        // ends a process whose heap it finds broken): the import fails with
        // the signal, whatever the process sent before it, even its whole
        // stream, and even a model with nothing to draw. Only a crash while
        // textures are decoded keeps the model.
        HostileCase{"ImportThatAbortsBeforeItSends",
                    [](const Sandbox& s) {
                        s.write("model.ply", plyTriangle("3 0 1 2"));
                        return "model.ply";
                    },
                    1, "Import failedMODEL\n", "brassfern: cannot import MODEL: the importer crashed (Aborted)\n",
                    {"BRASSFERN_TEST_ABORT_IMPORT=1 start"}},
        HostileCase{"ImportThatAbortsAfterItsWholeStream",
                    [](const Sandbox& s) {
                        s.write("model.ply", plyTriangle("3 0 1 2"));
                        return "model.ply";
                    },
                    1, "Import failedMODEL\n", "brassfern: cannot import MODEL: the importer crashed (Aborted)\n",
                    {"BRASSFERN_TEST_ABORT_IMPORT=1 exit"}},
        HostileCase{"ImportOfNothingToDrawThatAbortsAfterItsStream",
                    [](const Sandbox& s) { return glbWithNodes(s, R"([{"name":"empty"}])"); }, 1,
                    "Import failedMODEL\n", "brassfern: cannot import MODEL: the importer crashed (Aborted)\n",
                    {"BRASSFERN_TEST_ABORT_IMPORT=1 exit"}},
        HostileCase{"ImportThatAbortsWhileDecodingATexture",
                    [](const Sandbox& s) {
                        s.writeImage("wood.png", 8, 8, std::vector<unsigned char>(8 * 8 * 3, 120));
                        return objNaming(s, "wood.png");
                    },
                    0, "Could not load texture ROOT/wood.png: the importer crashed (Aborted)" + inColour, "",
                    {"BRASSFERN_TEST_ABORT_IMPORT=1 texture"}},
        HostileCase{"ThreeMfWhoseZipChecksumsAreWrong",
                    [](const Sandbox& s) {
                        s.write("model.3mf", threeMfWithWrongChecksums());
                        return "model.3mf";
                    },
                    1, "Import failedMODEL\n", "brassfern: cannot import MODEL: the importer crashed (Aborted)\n"},

        // Special files where files are read.
        HostileCase{"PipeAsTheModel",
                    [](const Sandbox& s) {
                        makeFifo(s, "model.obj");
                        return "model.obj";
                    },
                    1, "Could not open file: MODEL\n", "not a regular file"},
        HostileCase{"PipeAsATexture",
                    [](const Sandbox& s) {
                        makeFifo(s, "pipe.png");
                        return objNaming(s, "pipe.png");
                    },
                    0, "Could not load texture ROOT/pipe.png: not a regular file" + inColour, ""},
        HostileCase{"PipeAsTheMaterialLibrary",
                    [](const Sandbox& s) {
                        const std::string model = objNaming(s, "none.png");
                        makeFifo(s, "model.mtl");
                        return model;
                    },
                    0,
                    "Could not read material library ROOT/model.mtl: not a regular file; its materials show the "
                    "default grey\n",
                    ""},
        HostileCase{"PipeAsTheBinaryBuffer",
                    [](const Sandbox& s) {
                        for (const auto& [file, bytes] :
                             gltfFiles("model", squareFacingTheViewer(), GltfLayout::separateBuffer))
                            s.write(file, bytes);
                        makeFifo(s, "model.bin");
                        return "model.gltf";
                    },
                    1, "Import failedMODEL\n", "cannot import"},

        // One line of a gigabyte of zero bytes: the reader holds no more of
        // it than the longest line it reads.
        HostileCase{"GigabyteOfZerosWithoutALineEnd",
                    [](const Sandbox& s) {
                        s.write("model.obj", "");
                        fs::resize_file(s.root / "model.obj", 1ULL << 30);
                        return "model.obj";
                    },
                    1,
                    "Left out 1 line longer than 64 MB\nNothing to draw in MODEL: it has no points, lines or faces "
                    "placed\n",
                    ""},

        // Names echoed from files go out with their control characters escaped.
        HostileCase{"TextureNameThatRetitlesTheTerminal",
                    [](const Sandbox& s) { return objNaming(s, "\x1b]0;owned\x07\x1b[2J.png"); }, 0,
                    "Could not load texture ROOT/\\x1b]0;owned\\x07\\x1b[2J.png: No such file or directory" +
                        inColour,
                    ""},

        // Nothing to show: a failed import, and a file whose nodes place no mesh.
        HostileCase{"FileTheImporterRejects",
                    [](const Sandbox& s) {
                        s.write("model.obj", "f 1 2 3\n");
                        return "model.obj";
                    },
                    1, "Import failedMODEL\n", "cannot import MODEL: "},
        HostileCase{"MeshesNoNodePlaces", [](const Sandbox& s) { return glbWithNodes(s, R"([{"name":"empty"}])"); }, 1,
                    "Nothing to draw in MODEL: it has no points, lines or faces placed\n", ""}};
    return cases;
}

const HostileCase& hostileCase(const std::string& name)
{
    for (const HostileCase& c : hostileCases())
        if (name == c.name)
            return c;
    ADD_FAILURE() << "no hostile case " << name;
    return hostileCases().front();
}
