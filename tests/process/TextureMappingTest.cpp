// Textures read as the file says: rows of quads whose glTF samplers wrap and filter one shared picture each their
// own way, and quads that read a second set of texture coordinates and KHR_texture_transform. Each picture is held
// against its reference and read for what every quad shows, in an order a wrong convention would change.
#include "DisplayTest.h"
#include "Golden.h"
#include "ModelFiles.h"
#include "Sandbox.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A 2 x 2 quad in the z = 0 plane facing the start view, its lower-left
// corner at (x, y). Its texture coordinates (glTF's: v down the image) run
// from (u0, v0) at its top-left corner to (u1, v1) at its bottom-right.
struct Quad {
    float x = 0.0f, y = 0.0f;
    float uv[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    std::vector<float> uv1; // the same for TEXCOORD_1, none where empty
    std::string material;   // its JSON
};

struct QuadModel {
    std::vector<Quad> quads;
    std::vector<std::string> images; // PNG
    std::string textures;            // the JSON arrays' contents
    std::string samplers;
};

std::string floatBytes(const std::vector<float>& values)
{
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
}

// The model as a GLB: each quad a mesh and a node of its own, with its material.
std::string glb(const QuadModel& model)
{
    std::string buffer, views, accessors, meshes, nodes, materials, images, scene;
    int viewCount = 0, accessorCount = 0;
    const auto view = [&](const std::string& bytes) {
        while (buffer.size() % 4 != 0)
            buffer += '\0';
        views += (viewCount == 0 ? "" : ",") + std::string(R"({"buffer":0,"byteOffset":)") +
                 std::to_string(buffer.size()) + R"(,"byteLength":)" + std::to_string(bytes.size()) + "}";
        buffer += bytes;
        return viewCount++;
    };
    const auto accessor = [&](const std::string& bytes, int type, const char* shape, int count,
                              const std::string& extra = "") {
        accessors += (accessorCount == 0 ? "" : ",") + std::string(R"({"bufferView":)") + std::to_string(view(bytes)) +
                     R"(,"componentType":)" + std::to_string(type) + R"(,"count":)" + std::to_string(count) +
                     R"(,"type":")" + shape + "\"" + extra + "}";
        return std::to_string(accessorCount++);
    };
    const auto corners = [](const float* uv) {
        return std::vector<float>{uv[0], uv[3], uv[2], uv[3], uv[2], uv[1], uv[0], uv[1]};
    };
    for (size_t i = 0; i < model.quads.size(); ++i) {
        const Quad& q = model.quads[i];
        const std::string bounds = R"(,"min":[)" + std::to_string(q.x) + "," + std::to_string(q.y) + R"(,0],"max":[)" +
                                   std::to_string(q.x + 2) + "," + std::to_string(q.y + 2) + ",0]";
        std::string attributes =
            R"("POSITION":)" +
            accessor(floatBytes({q.x, q.y, 0, q.x + 2, q.y, 0, q.x + 2, q.y + 2, 0, q.x, q.y + 2, 0}), 5126, "VEC3", 4,
                     bounds) +
            R"(,"NORMAL":)" + accessor(floatBytes({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}), 5126, "VEC3", 4) +
            R"(,"TEXCOORD_0":)" + accessor(floatBytes(corners(q.uv)), 5126, "VEC2", 4);
        if (!q.uv1.empty())
            attributes += R"(,"TEXCOORD_1":)" + accessor(floatBytes(corners(q.uv1.data())), 5126, "VEC2", 4);
        std::string indices;
        append<std::uint16_t>(indices, {0, 1, 2, 0, 2, 3});
        const std::string at = i == 0 ? "" : ",";
        meshes += at + R"({"primitives":[{"attributes":{)" + attributes + R"(},"indices":)" +
                  accessor(indices, 5123, "SCALAR", 6) + R"(,"material":)" + std::to_string(i) + "}]}";
        nodes += at + R"({"mesh":)" + std::to_string(i) + "}";
        scene += at + std::to_string(i);
        materials += at + q.material;
    }
    for (size_t i = 0; i < model.images.size(); ++i)
        images += (i == 0 ? "" : ",") + std::string(R"({"bufferView":)") + std::to_string(view(model.images[i])) +
                  R"(,"mimeType":"image/png"})";
    const std::string json =
        R"({"asset":{"version":"2.0"},"extensionsUsed":["KHR_texture_transform"],"scene":0,)"
        R"("scenes":[{"nodes":[)" + scene + R"(]}],"nodes":[)" + nodes + R"(],"meshes":[)" + meshes +
        R"(],"materials":[)" + materials + R"(],"textures":[)" + model.textures + R"(],"images":[)" + images +
        R"(],"samplers":[)" + model.samplers + R"(],"buffers":[{"byteLength":)" +
        std::to_string((buffer.size() + 3) / 4 * 4) + R"(}],"bufferViews":[)" + views + R"(],"accessors":[)" +
        accessors + "]}";
    return glbFile(json, buffer);
}

// A matte material showing texture `index` as its base colour, `info` added to its texture reference.
std::string matte(int index, const std::string& info = "")
{
    return R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":)" + std::to_string(index) + info +
           R"(},"metallicFactor":0,"roughnessFactor":1}})";
}

using Rgb = std::array<unsigned char, 3>;
const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, yellow{255, 255, 0}, magenta{255, 0, 255};

// A 4 x 4 picture of `texels`, rows top first.
std::string pixelArt(const std::vector<Rgb>& texels)
{
    std::vector<unsigned char> rgba;
    for (const Rgb& texel : texels)
        rgba.insert(rgba.end(), {texel[0], texel[1], texel[2], 255});
    return encodePng(4, 4, rgba);
}

struct Drawn {
    Picture picture;
    RunResult run;
};

// The model at the references' size, no ground and no effects (which would
// blur the edges read here), checked against the reference "materials/NAME".
Drawn draw(const std::string& name, const QuadModel& model)
{
    Sandbox sandbox;
    sandbox.write("golden.txt", readText(fs::path(BRASSFERN_GOLDEN_DIR) / "resolution.txt"));
    sandbox.write("model.glb", glb(model));
    Drawn drawn;
    drawn.run = sandbox.run({BRASSFERN_EXE, "--settings", "golden.txt", "--no-tour", "--no-ground", "--effects", "000",
                             "--frames", "2", "--output", "shot.png", "model.glb"},
                            120.0);
    EXPECT_EQ(drawn.run.status, 0) << drawn.run.err;
    drawn.picture = readPicture(sandbox.root / "shot.png");
    EXPECT_FALSE(drawn.picture.rgb.empty()) << name;
    if (!drawn.picture.rgb.empty())
        expectGoldenMatch(drawn.picture, "materials/" + name);
    return drawn;
}

// What a pixel shows, by its hue: 'R', 'Y', 'G', 'B' or 'M' (magenta, or red
// and blue blended); '.' for the grey backdrop.
char colourAt(const Picture& picture, int x, int y)
{
    const unsigned char* p = picture.at(x, y);
    const int high = std::max({p[0], p[1], p[2]});
    const int low = std::min({p[0], p[1], p[2]});
    if (high - low < 60)
        return '.';
    double hue = 0.0;
    const double span = high - low;
    if (high == p[0])
        hue = 60.0 * (p[1] - p[2]) / span;
    else if (high == p[1])
        hue = 120.0 + 60.0 * (p[2] - p[0]) / span;
    else
        hue = 240.0 + 60.0 * (p[0] - p[1]) / span;
    hue = hue < 0.0 ? hue + 360.0 : hue;
    const std::pair<double, char> named[] = {{0, 'R'}, {60, 'Y'}, {120, 'G'}, {240, 'B'}, {300, 'M'}, {360, 'R'}};
    return std::min_element(std::begin(named), std::end(named), [hue](const auto& a, const auto& b) {
               return std::abs(a.first - hue) < std::abs(b.first - hue);
           })->second;
}

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0; // inclusive
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

// The quads drawn: the boxes of the 4-connected regions of colour larger
// than 200 pixels, top row first, each row from the left.
std::vector<Box> quadsOf(const Picture& picture)
{
    const int w = picture.width, h = picture.height;
    std::vector<char> seen(static_cast<size_t>(w) * h, 0);
    std::vector<Box> boxes;
    for (int start = 0; start < w * h; ++start) {
        if (seen[start] || colourAt(picture, start % w, start / w) == '.')
            continue;
        Box box{start % w, start / w, start % w, start / w};
        int pixels = 0;
        std::vector<int> stack = {start};
        seen[start] = 1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            const int x = at % w, y = at / w;
            ++pixels;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
            const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& [nx, ny] : next)
                if (nx >= 0 && ny >= 0 && nx < w && ny < h && !seen[ny * w + nx] && colourAt(picture, nx, ny) != '.') {
                    seen[ny * w + nx] = 1;
                    stack.push_back(ny * w + nx);
                }
        }
        if (pixels > 200)
            boxes.push_back(box);
    }
    std::sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
        const bool sameRow = std::abs(a.top - b.top) < a.height() / 2;
        return sameRow ? a.left < b.left : a.top < b.top;
    });
    return boxes;
}

struct Runs {
    std::string colours; // one letter a run
    std::vector<int> lengths;
    int blended = 0; // pixels of red and blue mixed (magenta)
};

// The colours along the line through the middle of `box`, across it or
// down it, as runs of at least three pixels (shorter ones are the edges').
Runs runsThrough(const Picture& picture, const Box& box, bool down)
{
    Runs runs;
    const int length = down ? box.height() : box.width();
    char current = 0;
    int count = 0;
    const auto close = [&] {
        if (count >= 3 && current != '.' && current != 'M') {
            if (!runs.colours.empty() && runs.colours.back() == current) {
                runs.lengths.back() += count;
            } else {
                runs.colours += current;
                runs.lengths.push_back(count);
            }
        }
    };
    for (int i = 0; i < length; ++i) {
        const char c = down ? colourAt(picture, (box.left + box.right) / 2, box.top + i)
                            : colourAt(picture, box.left + i, (box.top + box.bottom) / 2);
        runs.blended += c == 'M' ? 1 : 0;
        if (c != current) {
            close();
            current = c;
            count = 0;
        }
        ++count;
    }
    close();
    return runs;
}

// What a quad shows at the middles of its four quarters: top left, top right, bottom left, bottom right.
std::string quarters(const Picture& picture, const Box& box)
{
    std::string shown;
    for (const auto& [fx, fy] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}})
        shown += colourAt(picture, box.left + box.width() * fx / 4, box.top + box.height() * fy / 4);
    return shown;
}

using TextureMappingGolden = DisplayTest;

// One 4 x 4 picture, red on its left half and blue on its right, on quads
// whose u runs from -1 to 2, magnified: clamped, each side stretches to the
// quad's middle; mirrored, the middle third shows the picture and the
// others its mirror image (the halves meeting at the thirds join); repeated,
// it shows three times; all three sharp, being filtered by the nearest
// texel. The same picture without a sampler repeats and blends its texels
// as ever. A second picture, red on top and blue below, mirrored down the
// quad but clamped across, shows the mirror image in v alone.
TEST_F(TextureMappingGolden, SamplersWrapAndFilterEachQuadAsItsMaterialSays)
{
    QuadModel model;
    model.images = {pixelArt({red, red, blue, blue, red, red, blue, blue, red, red, blue, blue, red, red, blue, blue}),
                    pixelArt({red, red, red, red, red, red, red, red, blue, blue, blue, blue, blue, blue, blue, blue})};
    const std::string nearest = R"("magFilter":9728,"minFilter":9728,)";
    model.samplers = "{" + nearest + R"("wrapS":33071,"wrapT":33071},{)" + nearest + R"("wrapS":33648,"wrapT":33071},{)" +
                     nearest + R"("wrapS":10497},{"wrapS":33071,"wrapT":33648})";
    model.textures = R"({"source":0,"sampler":0},{"source":0,"sampler":1},{"source":0,"sampler":2},{"source":0},)"
                     R"({"source":1,"sampler":3})";
    const float across[4] = {-1, 0, 2, 1};
    const float down[4] = {0, -1, 1, 2};
    const std::pair<float, float> places[] = {{-3.3f, 0.1f}, {-1.1f, 0.1f}, {1.1f, 0.1f}, {-1.1f, -2.1f}, {1.1f, -2.1f}};
    for (int i = 0; i < 5; ++i) {
        Quad quad;
        quad.x = places[i].first;
        quad.y = places[i].second;
        std::copy_n(i == 4 ? down : across, 4, quad.uv);
        quad.material = matte(i);
        model.quads.push_back(quad);
    }
    const Drawn drawn = draw("samplers", model);
    const std::vector<Box> quads = quadsOf(drawn.picture);
    ASSERT_EQ(quads.size(), 5u);
    const Runs clamped = runsThrough(drawn.picture, quads[0], false);
    const Runs mirrored = runsThrough(drawn.picture, quads[1], false);
    const Runs repeated = runsThrough(drawn.picture, quads[2], false);
    const Runs plain = runsThrough(drawn.picture, quads[3], false);
    const Runs mirroredDown = runsThrough(drawn.picture, quads[4], true);
    EXPECT_EQ(clamped.colours, "RB");
    if (clamped.lengths.size() == 2) {
        EXPECT_NEAR(clamped.lengths[0], clamped.lengths[1], quads[0].width() / 6);
    }
    EXPECT_EQ(mirrored.colours, "BRBR");
    if (mirrored.lengths.size() == 4) {
        EXPECT_GT(std::min(mirrored.lengths[1], mirrored.lengths[2]),
                  3 * std::max(mirrored.lengths[0], mirrored.lengths[3]) / 2);
    }
    EXPECT_EQ(repeated.colours, "RBRBRB");
    // The render is scaled into the window: a pixel at each edge may mix.
    for (const Runs* sharp : {&clamped, &mirrored, &repeated})
        EXPECT_LT(sharp->blended, static_cast<int>(sharp->colours.size())) << sharp->colours;
    EXPECT_EQ(plain.colours, "RBRBRB");
    EXPECT_GT(plain.blended, quads[3].width() / 8) << "the default's linear filter no longer blends";
    EXPECT_EQ(mirroredDown.colours, "BRBR");
}

// A picture whose lower-left quarter holds red, green, blue and yellow
// texels (the rest magenta), on quads whose first set of texture
// coordinates all point into the magenta: one reads that quarter through
// set 1; one reads the whole picture through set 1 with the transform of
// the extension's own example (offset 0, 1; a quarter turn; scale 0.5),
// named by the transform's texCoord, which shows the quarter turned
// clockwise. A quad without a set 1 whose material names it reads set 0,
// with a line saying so.
TEST_F(TextureMappingGolden, TexturesReadTheSetAndTransformTheirMaterialNames)
{
    QuadModel model;
    model.images = {pixelArt({magenta, magenta, magenta, magenta, magenta, magenta, magenta, magenta, red, green,
                              magenta, magenta, blue, yellow, magenta, magenta})};
    model.samplers = R"({"magFilter":9728,"minFilter":9728})";
    model.textures = R"({"source":0,"sampler":0})";
    Quad second;
    second.x = -3.3f;
    const float magentaCorner[4] = {0.9f, 0.1f, 0.9f, 0.1f};
    std::copy_n(magentaCorner, 4, second.uv);
    second.uv1 = {0.0f, 0.5f, 0.5f, 1.0f};
    second.material = matte(0, R"(,"texCoord":1)");
    Quad transformed = second;
    transformed.x = -1.1f;
    transformed.uv1 = {0.0f, 0.0f, 1.0f, 1.0f};
    transformed.material = matte(0, R"(,"extensions":{"KHR_texture_transform":{"offset":[0,1],)"
                                    R"("rotation":1.57079632679,"scale":[0.5,0.5],"texCoord":1}})");
    Quad lacking = second;
    lacking.x = 1.1f;
    lacking.uv1.clear();
    model.quads = {second, transformed, lacking};
    const Drawn drawn = draw("uv_sets", model);
    const std::vector<Box> quads = quadsOf(drawn.picture);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quarters(drawn.picture, quads[0]), "RGBY") << "set 1";
    EXPECT_EQ(quarters(drawn.picture, quads[1]), "BRYG") << "set 1 through the transform";
    EXPECT_EQ(quarters(drawn.picture, quads[2]), "MMMM") << "set 0 where set 1 is missing";
    EXPECT_NE(drawn.run.out.find("has no texture coordinate set 1, which its material reads; set 0 is read instead"),
              std::string::npos)
        << drawn.run.out;
}

} // namespace
