// brassfern-scenegen: writes the showcase scene (OBJ, MTL, textures) and the SSAO noise texture.
#include "ImageIo.h"
#include "ObjWriter.h"
#include "SceneChecks.h"
#include "SceneLayout.h"
#include "TextureSynth.h"
#include "base/Printable.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using namespace scenegen;

namespace {

constexpr int colourJpegQuality = 90;
// The highest quality DevIL accepts. Even so, its 4:2:0 chroma subsampling blurs R and G across
// 2x2 pixels, which no quality setting avoids.
constexpr int noiseJpegQuality = 99;
constexpr int noiseTextureSize = 64;
constexpr uint64_t noiseSeed = 0x5EED0A0Cull;
constexpr double minimumCameraClearanceUnits = 1.0;
constexpr size_t minimumTriangles = 20000;
constexpr size_t maximumTriangles = 200000;
constexpr size_t maximumGroups = 30;

struct TextureJob {
    std::string material;
    std::string file;
    std::function<Image()> make;
};

size_t fileBytes(const fs::path& path)
{
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : size_t(size);
}

bool checkScene(const Scene& scene)
{
    bool ok = true;
    std::vector<const Mesh*> solid;
    for (const SceneGroup& group : scene.groups) {
        if (group.name == "SkyDome") {
            const size_t outward = countTrianglesNotFacing(group.mesh, glm::vec3(0.0f));
            if (outward > 0) {
                std::fprintf(stderr, "warning: %zu sky triangles do not face the inside of the dome\n", outward);
                ok = false;
            }
            continue;
        }
        solid.push_back(&group.mesh);
        const size_t misoriented = countMisorientedTriangles(group.mesh);
        if (misoriented > 0) {
            std::fprintf(stderr, "warning: %s has %zu triangles wound against their normals\n", group.name.c_str(), misoriented);
            ok = false;
        }
        if (group.backdrop)
            continue;
        for (const Vertex& v : group.mesh.vertices) {
            if (!insideLightBox(v.position)) {
                std::fprintf(stderr, "warning: %s has vertices outside the light's shadow box, e.g. (%.2f, %.2f, %.2f); %zu in all\n",
                             group.name.c_str(), double(v.position.x), double(v.position.y), double(v.position.z),
                             countOutsideLightBox(group.mesh));
                ok = false;
                break;
            }
        }
    }
    const char* pathNames[] = {"zoom", "orbit", "pan", "dolly"};
    const auto paths = tourCameraPaths(60);
    for (size_t i = 0; i < paths.size(); ++i) {
        const double distance = clearance(solid, paths[i]);
        std::printf("  camera %-5s path clearance %.2f units\n", pathNames[i], distance);
        if (distance < minimumCameraClearanceUnits) {
            std::fprintf(stderr, "warning: the %s camera path passes within %.2f units of geometry\n", pathNames[i], distance);
            ok = false;
        }
    }
    const size_t triangles = scene.triangleCount();
    if (triangles < minimumTriangles || triangles > maximumTriangles || scene.groups.size() > maximumGroups) {
        std::fprintf(stderr, "warning: %zu triangles in %zu groups is outside the budget\n", triangles, scene.groups.size());
        ok = false;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string argument = argc == 2 ? argv[1] : "";
    if (argument == "-h" || argument == "--help") {
        std::printf("usage: brassfern-scenegen OUTDIR\n\n"
                    "Writes the built-in scene into OUTDIR, the same bytes every time:\n"
                    "SceneObjects/FinalScene/ (the OBJ and its material library), Textures/FinalScene/\n"
                    "(its textures) and Textures/random.jpg (the ambient-occlusion noise).\n"
                    "A folder whose name starts with '-' is given as ./-NAME.\n");
        return 0;
    }
    // An option-like word is a typo far more often than a folder's name, and
    // taking it as one would write the whole scene into a folder named so.
    if (argc != 2 || argument.empty() || argument[0] == '-') {
        if (argc == 2 && !argument.empty())
            std::fprintf(stderr, "brassfern-scenegen: unknown option %s\n", printable(argument).c_str());
        std::fprintf(stderr, "usage: brassfern-scenegen OUTDIR\n");
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    const fs::path root(argv[1]);
    const fs::path sceneDir = root / "SceneObjects" / "FinalScene";
    const fs::path textureDir = root / "Textures" / "FinalScene";
    std::error_code error;
    fs::create_directories(sceneDir, error);
    fs::create_directories(textureDir, error);
    if (!fs::is_directory(sceneDir) || !fs::is_directory(textureDir)) {
        std::fprintf(stderr, "scenegen: cannot create output folders under %s\n", printable(root.string()).c_str());
        return 1;
    }

    initImageIo();
    size_t textureBytes = 0;
    size_t textureCount = 0;

    // The distant hills start from the lawn's average colour so the two meet without a seam.
    const Image grass = makeGrassTexture(1024, 11);
    const std::vector<TextureJob> jobs = {
        {"Sky", "sky.jpg", [] { return makeSkyTexture(1024, 21); }},
        {"Hills", "hills.jpg", [&] { return makeHillsTexture(1024, 512, grass.mean(), skyHazeColour(), 31); }},
        {"Grass", "grass.jpg", [&] { return grass; }},
        {"Sand", "sand.jpg", [] { return makeSandTexture(1024, 41); }},
        {"Paving", "paving.jpg", [] { return makePavingTexture(1024, 51); }},
        {"Stone", "ashlar.jpg", [] { return makeAshlarTexture(1024, 61); }},
        {"Marble", "marble.jpg", [] { return makeMarbleTexture(1024, 71); }},
        {"Granite", "granite.jpg", [] { return makeGraniteTexture(512, 81); }},
        {"Brass", "brass.jpg", [] { return makeBrassTexture(512, 91); }},
        {"Water", "water.jpg", [] { return makeWaterTexture(512, 101); }},
        {"Bark", "bark.jpg", [] { return makeBarkTexture(512, 111); }},
        {"Leaves", "leaves.jpg", [] { return makeLeavesTexture(1024, 121); }},
        {"Wood", "crate.jpg", [] { return makeCrateTexture(512, 131); }},
        {"LampGlass", "lantern.jpg", [] { return makeLampGlassTexture(128); }},
    };
    std::vector<ObjMaterial> materials;
    for (const TextureJob& job : jobs) {
        const fs::path path = textureDir / job.file;
        if (!saveJpeg(job.make(), path.string(), colourJpegQuality))
            return 1;
        textureBytes += fileBytes(path);
        ++textureCount;
        materials.push_back({job.material, job.file});
    }
    const fs::path noisePath = root / "Textures" / "random.jpg";
    if (!saveJpeg(makeSsaoNoiseTexture(noiseTextureSize, noiseSeed), noisePath.string(), noiseJpegQuality))
        return 1;
    const size_t noiseBytes = fileBytes(noisePath);

    const Scene scene = buildScene();
    std::printf("brassfern-scenegen: checking the scene\n");
    if (!checkScene(scene)) {
        std::fprintf(stderr, "scenegen: scene checks failed; the OBJ was not written\n");
        return 1;
    }

    std::vector<ObjGroup> groups;
    for (const SceneGroup& group : scene.groups)
        groups.push_back({group.name, group.material, &group.mesh});
    ObjStats stats;
    size_t mtlBytes = 0;
    if (!writeObj((sceneDir / "final_scene.obj").string(), "final_scene.mtl", groups, stats) ||
        !writeMtl((sceneDir / "final_scene.mtl").string(), materials, mtlBytes)) {
        std::fprintf(stderr, "scenegen: could not write the scene files in %s\n", sceneDir.string().c_str());
        return 1;
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("brassfern-scenegen: wrote %s\n", printable(root.string()).c_str());
    std::printf("  triangles   %zu\n", stats.triangles);
    std::printf("  vertices    %zu positions, %zu texcoords, %zu normals\n", stats.positions, stats.texcoords, stats.normals);
    std::printf("  meshes      %zu (one per material group)\n", groups.size());
    for (const SceneGroup& group : scene.groups)
        std::printf("    %-13s %-10s %7zu triangles%s\n", group.name.c_str(), group.material.c_str(), group.mesh.triangleCount(),
                    group.backdrop ? "  (backdrop, outside the shadow box)" : "");
    std::printf("  textures    %zu scene textures (%zu bytes) + random.jpg (%zu bytes)\n", textureCount, textureBytes, noiseBytes);
    std::printf("  scene files %zu bytes OBJ, %zu bytes MTL\n", stats.bytes, mtlBytes);
    std::printf("  total       %zu bytes in %.1f s\n", stats.bytes + mtlBytes + textureBytes + noiseBytes, seconds);
    return 0;
}
