// Materials as a model's author made them: generated glTF models whose pictures are held against their references
// and against each other (what must look the same, what must differ and which way), and a real sample model's
// normal map.
#include "DisplayTest.h"
#include "Golden.h"
#include "ModelFiles.h"
#include "Sandbox.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct Measure {
    double red = 0.0, green = 0.0, blue = 0.0;
    double luminance = 0.0; // the mean of the channels
    double spread = 0.0;    // the standard deviation of that over the pixels
    double clipped = 0.0;   // the share with every channel at 250 or more
    int pixels = 0;
};

// Over the pixels of `picture` that `inside` keeps.
template <typename Keep> Measure measure(const Picture& picture, Keep inside)
{
    Measure m;
    double squares = 0.0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const unsigned char* p = picture.at(x, y);
            if (!inside(x, y, p))
                continue;
            const double level = (p[0] + p[1] + p[2]) / 3.0;
            m.red += p[0];
            m.green += p[1];
            m.blue += p[2];
            m.luminance += level;
            squares += level * level;
            m.clipped += std::min({p[0], p[1], p[2]}) >= 250 ? 1.0 : 0.0;
            ++m.pixels;
        }
    if (m.pixels == 0)
        return m;
    for (double* sum : {&m.red, &m.green, &m.blue, &m.luminance, &m.clipped})
        *sum /= m.pixels;
    m.spread = std::sqrt(std::max(0.0, squares / m.pixels - m.luminance * m.luminance));
    return m;
}

// A disc about the picture's centre, its radius a fifth of the picture's
// height: inside any model here, which the start view frames in the middle,
// and clear of the glow the bloom puts around it.
Measure ofCentre(const Picture& picture)
{
    const int radius = picture.height / 5;
    return measure(picture, [&](int x, int y, const unsigned char*) {
        const int dx = x - picture.width / 2;
        const int dy = y - picture.height / 2;
        return dx * dx + dy * dy <= radius * radius;
    });
}

std::string solidPng(unsigned char r, unsigned char g, unsigned char b)
{
    std::vector<unsigned char> rgba;
    for (int i = 0; i < 16; ++i)
        rgba.insert(rgba.end(), {r, g, b, 255});
    return encodePng(4, 4, rgba);
}

std::string metalRough(const std::string& pbr, const std::string& rest = "")
{
    return R"({"pbrMetallicRoughness":{)" + pbr + "}" + rest + "}";
}

// The model of `files` (name to bytes, `model` among them) as the viewer
// shows it at the references' size, without the ground unless asked,
// checked against its reference "materials/NAME".
Picture draw(const std::string& name, const std::map<std::string, std::string>& files,
             const std::string& model = "model.glb", bool ground = false)
{
    Sandbox sandbox;
    sandbox.write("golden.txt", readText(fs::path(BRASSFERN_GOLDEN_DIR) / "resolution.txt"));
    for (const auto& [file, bytes] : files)
        sandbox.write(file, bytes);
    std::vector<std::string> command = {BRASSFERN_EXE, "--settings", "golden.txt", "--no-tour",
                                        "--frames",    "2",          "--output",   "shot.png",  model};
    if (!ground)
        command.insert(command.begin() + 4, "--no-ground");
    const RunResult run = sandbox.run(command, 120.0);
    EXPECT_EQ(run.status, 0) << run.err;
    const Picture picture = readPicture(sandbox.root / "shot.png");
    EXPECT_FALSE(picture.rgb.empty()) << name;
    if (!picture.rgb.empty())
        expectGoldenMatch(picture, "materials/" + name);
    return picture;
}

Picture draw(const std::string& name, const GltfModel& model, bool ground = false)
{
    return draw(name, gltfFiles("model", model, GltfLayout::binary), "model.glb", ground);
}

GltfModel sphereOf(const std::string& material, const std::vector<std::string>& images = {})
{
    GltfModel model = sphere();
    model.material = material;
    model.images = images;
    return model;
}

// A grey square facing the start view; the sun is to its upper left, in front.
GltfModel squareOf(const std::string& normalMap = "")
{
    GltfModel model = squareFacingTheViewer();
    const std::string pbr = R"("baseColorFactor":[0.5,0.5,0.5,1],"metallicFactor":0,"roughnessFactor":0.8)";
    model.material = metalRough(pbr, normalMap.empty() ? "" : R"(,"normalTexture":{"index":0})");
    if (!normalMap.empty())
        model.images = {normalMap};
    return model;
}

using MaterialGolden = DisplayTest;

// The factor is linear and multiplies the texture, which is sRGB: 0.2 as a
// factor, as a texture (124 in sRGB) under a white factor, and as a factor
// over a white texture all draw alike.
TEST_F(MaterialGolden, BaseColourFactorIsLinearAndMultipliesTheTexture)
{
    const std::string rest = R"(,"metallicFactor":0,"roughnessFactor":0.7)";
    const Measure factor = ofCentre(draw("factor", sphereOf(metalRough(R"("baseColorFactor":[0.2,0.2,0.2,1])" + rest))));
    const Measure texture =
        ofCentre(draw("factor_texture", sphereOf(metalRough(R"("baseColorTexture":{"index":0})" + rest),
                                                {solidPng(124, 124, 124)})));
    const Measure both = ofCentre(
        draw("factor_times_texture",
             sphereOf(metalRough(R"("baseColorFactor":[0.2,0.2,0.2,1],"baseColorTexture":{"index":0})" + rest),
                      {solidPng(255, 255, 255)})));
    EXPECT_NEAR(texture.luminance, factor.luminance, 3.0);
    EXPECT_NEAR(both.luminance, factor.luminance, 3.0);
    // Linear 0.2 is a mid grey on screen where lit, not the near-black a
    // display value of 0.2 gives.
    EXPECT_GT(factor.luminance, 45.0);
}

// A flat square whose normal map leans its normals toward the sun (up and
// left) is brighter than the plain square, and one leaning away darker. The
// same lean drawn through mirrored texture coordinates (generated tangents
// of the other handedness) and through tangents the file gives (along y, so
// the map's axes turn) draws like the first.
TEST_F(MaterialGolden, NormalMapsLeanTowardAndAwayFromTheLight)
{
    const double flat = ofCentre(draw("normal_flat", squareOf())).luminance;
    const double toward = ofCentre(draw("normal_toward", squareOf(solidPng(64, 191, 218)))).luminance;
    const double away = ofCentre(draw("normal_away", squareOf(solidPng(191, 64, 218)))).luminance;
    GltfModel mirrored = squareOf(solidPng(191, 191, 218));
    mirrored.uvs = {1, 1, 0, 1, 0, 0, 1, 0};
    const double throughMirror = ofCentre(draw("normal_mirrored_uvs", mirrored)).luminance;
    GltfModel given = squareOf(solidPng(191, 191, 218));
    // Not quite alike: the importer drops tangents that are all the same.
    given.tangents = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0.02f, 0.9998f, 0, 1};
    const double throughGiven = ofCentre(draw("normal_given_tangents", given)).luminance;
    EXPECT_GT(toward, flat + 15.0);
    EXPECT_LT(away, flat - 15.0);
    EXPECT_NEAR(throughMirror, toward, 4.0);
    EXPECT_NEAR(throughGiven, toward, 4.0);
}

// Polished metal shows the stage it reflects, the sky above and the ground
// below, where rough metal of the same colour blurs them together; neither
// goes black for want of a second light.
TEST_F(MaterialGolden, PolishedMetalReflectsTheStage)
{
    const std::string colour = R"("baseColorFactor":[0.9,0.9,0.9,1],"metallicFactor":1,)";
    const Measure rough = ofCentre(draw("metal_rough", sphereOf(metalRough(colour + R"("roughnessFactor":0.9)"))));
    const Measure polished =
        ofCentre(draw("metal_polished", sphereOf(metalRough(colour + R"("roughnessFactor":0.1)"))));
    EXPECT_GT(polished.spread, 1.3 * rough.spread);
    EXPECT_GT(rough.luminance, 40.0);
    EXPECT_GT(polished.luminance, 40.0);
}

// Emission shows the same on the lit and the shaded side of a black sphere,
// its texture is sRGB like the factor it multiplies, and its strength (the
// extension) scales it.
TEST_F(MaterialGolden, EmissionGlowsByItsStrength)
{
    const std::string black = R"("baseColorFactor":[0,0,0,1],"metallicFactor":0,"roughnessFactor":1)";
    const Measure glow =
        ofCentre(draw("emissive", sphereOf(metalRough(black, R"(,"emissiveFactor":[1,0.4,0.1])"))));
    const Measure textured = ofCentre(
        draw("emissive_texture", sphereOf(metalRough(black, R"(,"emissiveFactor":[1,1,1],"emissiveTexture":{"index":0})"),
                                          {solidPng(255, 170, 89)})));
    GltfModel strong = sphereOf(metalRough(
        black, R"(,"emissiveFactor":[0.25,0.1,0.025],"extensions":{"KHR_materials_emissive_strength":{"emissiveStrength":4}})"));
    strong.extensionsUsed = {"KHR_materials_emissive_strength"};
    const Measure strengthened = ofCentre(draw("emissive_strength", strong));
    EXPECT_GT(glow.red, 150.0);
    EXPECT_GT(glow.red, glow.green + 30.0);
    EXPECT_GT(glow.green, glow.blue + 20.0);
    EXPECT_LT(glow.spread, 20.0) << "the sun and the shade show through the emission";
    EXPECT_NEAR(textured.red, glow.red, 4.0);
    EXPECT_NEAR(textured.green, glow.green, 4.0);
    EXPECT_NEAR(strengthened.red, glow.red, 4.0);
    EXPECT_NEAR(strengthened.green, glow.green, 4.0);
}

// A white matte sphere in full sun is bright but keeps its shading: no
// large area clips to pure white.
TEST_F(MaterialGolden, WhiteInFullLightDoesNotClip)
{
    const Measure white = ofCentre(
        draw("white", sphereOf(metalRough(R"("baseColorFactor":[1,1,1,1],"metallicFactor":0,"roughnessFactor":0.6)"))));
    EXPECT_GT(white.luminance, 120.0);
    EXPECT_LT(white.clipped, 0.02);
    EXPECT_GT(white.spread, 15.0);
}

} // namespace

namespace {

struct Bump {
    int pixels = 0;
    double x = 0.0; // where its lit side lies from its shaded side, in pixels
    double y = 0.0; // (y down)
};

// The bumps a normal map draws: the places where the picture with the map
// differs from the one without by more than 6 levels, as 8-connected
// regions of more than 20 pixels. Each gives the way from its darkened part to its brightened part.
std::vector<Bump> bumps(const Picture& with, const Picture& without)
{
    const int w = with.width;
    const int h = with.height;
    std::vector<double> change(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* a = with.at(x, y);
            const unsigned char* b = without.at(x, y);
            change[static_cast<size_t>(y) * w + x] = (a[0] + a[1] + a[2] - b[0] - b[1] - b[2]) / 3.0;
        }
    // A bump's brightened and darkened halves meet where the change passes
    // through zero: the regions grow by two pixels to join them.
    std::vector<bool> near(change.size(), false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (std::abs(change[static_cast<size_t>(y) * w + x]) > 6.0)
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx)
                        if (x + dx >= 0 && y + dy >= 0 && x + dx < w && y + dy < h)
                            near[static_cast<size_t>(y + dy) * w + x + dx] = true;
    std::vector<bool> seen(change.size(), false);
    std::vector<Bump> found;
    for (size_t start = 0; start < change.size(); ++start) {
        if (seen[start] || !near[start])
            continue;
        double brighter[3] = {0, 0, 0}; // weight, x, y
        double darker[3] = {0, 0, 0};
        int pixels = 0;
        std::vector<size_t> stack = {start};
        seen[start] = true;
        while (!stack.empty()) {
            const size_t at = stack.back();
            stack.pop_back();
            const int x = static_cast<int>(at % w);
            const int y = static_cast<int>(at / w);
            if (std::abs(change[at]) > 6.0) {
                ++pixels;
                double* side = change[at] > 0 ? brighter : darker;
                const double weight = std::abs(change[at]);
                side[0] += weight;
                side[1] += weight * x;
                side[2] += weight * y;
            }
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                        continue;
                    const size_t next = static_cast<size_t>(ny) * w + nx;
                    if (!seen[next] && near[next]) {
                        seen[next] = true;
                        stack.push_back(next);
                    }
                }
        }
        if (pixels <= 20 || brighter[0] == 0.0 || darker[0] == 0.0)
            continue;
        found.push_back({pixels, brighter[1] / brighter[0] - darker[1] / darker[0],
                         brighter[2] / brighter[0] - darker[2] / darker[0]});
    }
    return found;
}

Picture drawSample(const Sandbox& sandbox, const std::string& file, const std::string& picture)
{
    const RunResult run = sandbox.run({BRASSFERN_EXE, "--settings", "view.txt", "--no-tour", "--no-ground",
                                       "--effects", "000", "--frames", "2", "--output", picture, file},
                                      120.0);
    EXPECT_EQ(run.status, 0) << run.err;
    return readPicture(sandbox.root / picture);
}

using SampleModel = DisplayTest;

// The sample's fifteen half-spheres drawn by a normal map on flat squares,
// each mapped a different way (turned, mirrored), beside fifteen made of
// triangles: every drawn one is lit from the sun's side, up and to the
// left, as the ones beside it are. A tangent frame of the wrong handedness
// or turned lights some from below or from the right.
TEST_F(SampleModel, NormalMapsLightEveryBumpFromTheSunsSide)
{
    Sandbox sandbox;
    const fs::path sample = fs::path(BRASSFERN_TESTDATA_DIR) / "gltf-samples/NormalTangentTest/glTF";
    for (const auto& entry : fs::directory_iterator(sample))
        fs::copy(entry.path(), sandbox.root / entry.path().filename());
    sandbox.write("view.txt", "win_width:960\nwin_height:540\nres_width:1440\nres_height:810\n");
    // All of it matte, and no effects: only the normal map's own shading
    // then tells the two pictures apart, and no glow joins one bump to the next.
    std::string gltf = readText(sandbox.root / "NormalTangentTest.gltf");
    for (const char* unused : {"\"metallicRoughnessTexture\"", "\"occlusionTexture\""}) {
        const size_t at = gltf.find(unused);
        ASSERT_NE(at, std::string::npos) << unused;
        gltf.replace(at, std::string(unused).size(), "\"unused\"");
    }
    sandbox.write("matte.gltf", gltf);
    const size_t map = gltf.find("\"normalTexture\"");
    ASSERT_NE(map, std::string::npos);
    sandbox.write("flat.gltf", gltf.replace(map, std::string("\"normalTexture\"").size(), "\"unused\""));
    const std::vector<Bump> found =
        bumps(drawSample(sandbox, "matte.gltf", "with.png"), drawSample(sandbox, "flat.gltf", "without.png"));
    EXPECT_GE(found.size(), 13u) << "the fifteen bumps are not all there";
    for (const Bump& bump : found) {
        EXPECT_LT(bump.y, -1.0) << bump.pixels << " pixels lit from " << bump.x << ", " << bump.y;
        EXPECT_LT(bump.x, -1.0) << bump.pixels << " pixels lit from " << bump.x << ", " << bump.y;
    }
}

// A square whose picture is red on the right and white but wholly
// transparent on the left: opaque, the white shows; as a cut-out, only the
// red half stands, and its shadow on the ground is half a square; blended
// at half its opacity, the square shows halfway between itself and what is
// behind it.
TEST_F(MaterialGolden, AlphaCutsOutAndSeesThrough)
{
    std::vector<unsigned char> halves;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            halves.insert(halves.end(), x < 2 ? std::initializer_list<unsigned char>{255, 255, 255, 0}
                                              : std::initializer_list<unsigned char>{220, 30, 30, 255});
    const auto square = [&](const std::string& alpha, const std::string& factor, const std::string& image) {
        GltfModel model = squareFacingTheViewer();
        model.material = metalRough(R"("baseColorTexture":{"index":0},"baseColorFactor":)" + factor +
                                        R"(,"metallicFactor":0,"roughnessFactor":0.7)",
                                    alpha);
        model.images = {image};
        return model;
    };
    const std::string opaqueFactor = "[1,1,1,1]";
    const Picture opaque = draw("alpha_opaque", square("", opaqueFactor, encodePng(4, 4, halves)));
    const Picture mask = draw("alpha_mask", square(R"(,"alphaMode":"MASK")", opaqueFactor, encodePng(4, 4, halves)));
    draw("alpha_mask_shadow", square(R"(,"alphaMode":"MASK")", opaqueFactor, encodePng(4, 4, halves)), true);
    const Picture solid = draw("alpha_solid", square("", opaqueFactor, solidPng(220, 30, 30)));
    const Picture blend = draw("alpha_blend", square(R"(,"alphaMode":"BLEND")", "[1,1,1,0.5]", solidPng(220, 30, 30)));
    ASSERT_FALSE(opaque.rgb.empty() || mask.rgb.empty() || solid.rgb.empty() || blend.rgb.empty());

    const double whole = litShare(withoutBackdrop(opaque));
    EXPECT_GT(whole, 0.05);
    EXPECT_NEAR(litShare(withoutBackdrop(mask)), whole / 2.0, whole / 8.0);
    // Where the square stands, the blended picture lies halfway between the
    // solid square and the backdrop at the row's end.
    const int y = blend.height / 2;
    for (int x : {blend.width / 2 - blend.height / 10, blend.width / 2 + blend.height / 10})
        for (int channel = 0; channel < 3; ++channel) {
            const double halfway = (solid.at(x, y)[channel] + solid.at(0, y)[channel]) / 2.0;
            EXPECT_NEAR(blend.at(x, y)[channel], halfway, 16.0) << "x " << x << " channel " << channel;
        }
}

// OBJ's opacity: a red pane at d 0.4 and a blue one at Tr 0.6 show the
// green bar behind them; a yellow disc cut by its map_d shows it around
// the disc; a grey pane at d 0, which no one means, stands solid.
TEST_F(MaterialGolden, ObjOpacityStatementsShowWhatIsBehind)
{
    std::vector<unsigned char> disc;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const unsigned char grey = (x - 7.5) * (x - 7.5) + (y - 7.5) * (y - 7.5) < 36 ? 255 : 0;
            disc.insert(disc.end(), {grey, grey, grey, 255});
        }
    std::string obj = "mtllib model.mtl\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    int vertices = 0;
    const auto pane = [&](float x, float z, float width, float height, const std::string& material) {
        for (const auto& [dx, dy] : {std::pair{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}})
            obj += "v " + std::to_string(x + dx * width) + " " + std::to_string(dy * height) + " " +
                   std::to_string(z) + "\n";
        obj += "usemtl " + material + "\nf";
        for (int i = 1; i <= 4; ++i)
            obj += " " + std::to_string(vertices + i) + "/" + std::to_string(i);
        obj += "\n";
        vertices += 4;
    };
    // The panes come first in the file: see-through surfaces are drawn
    // after the rest whatever their order.
    pane(-3.3f, 0.0f, 2.0f, 2.0f, "dissolved");
    pane(-1.1f, 0.0f, 2.0f, 2.0f, "transparent");
    pane(1.1f, 0.0f, 2.0f, 2.0f, "disc");
    pane(3.3f, 0.0f, 2.0f, 2.0f, "invisible");
    pane(0.0f, -0.5f, 9.0f, 0.6f, "bar");
    const std::string mtl = "newmtl bar\nKd 0.2 0.6 0.25\nnewmtl dissolved\nKd 0.9 0.2 0.2\nd 0.4\n"
                            "newmtl transparent\nKd 0.2 0.3 0.9\nTr 0.6\nnewmtl disc\nKd 0.95 0.8 0.1\nmap_d disc.png\n"
                            "newmtl invisible\nKd 0.8 0.8 0.8\nd 0\n";
    const Picture picture =
        draw("obj_opacity", {{"model.obj", obj}, {"model.mtl", mtl}, {"disc.png", encodePng(16, 16, disc)}},
             "model.obj");
    ASSERT_FALSE(picture.rgb.empty());
    // Along the bar's row (the one in the middle third with the most green
    // pixels), places given in the model's units from the bar's ends at
    // -4.5 and 4.5.
    const Picture model = withoutBackdrop(picture);
    int row = 0;
    int mostGreen = -1;
    for (int y = picture.height / 3; y < 2 * picture.height / 3; ++y) {
        int green = 0;
        for (int x = 0; x < picture.width; ++x)
            green += picture.at(x, y)[1] > picture.at(x, y)[0] + 20 ? 1 : 0;
        if (green > mostGreen) {
            mostGreen = green;
            row = y;
        }
    }
    int left = picture.width;
    int right = 0;
    for (int x = 0; x < picture.width; ++x)
        if (model.at(x, row)[0] + model.at(x, row)[1] + model.at(x, row)[2] > 0) {
            left = std::min(left, x);
            right = x;
        }
    ASSERT_GT(right, left);
    const auto at = [&](float u) {
        return picture.at(left + static_cast<int>(std::lround((u + 4.5f) * (right - left) / 9.0f)), row);
    };
    EXPECT_GT(at(-3.3f)[1], at(-3.3f)[2] + 10) << "the green bar shows through the red pane";
    EXPECT_GT(at(0.2f)[1], at(0.2f)[0] + 20) << "the bar shows beside the disc";
    EXPECT_NEAR(at(3.3f)[0], at(3.3f)[1], 12) << "the grey pane hides the bar";
}

} // namespace
