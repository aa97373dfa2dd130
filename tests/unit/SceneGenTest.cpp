// Unit tests for the scene generator: randomness, tiling, mesh orientation, output format and the showcase scene's constraints.
#include "camera/Camera.h"

#include "Image.h"
#include "ImageIo.h"
#include "MeshBuilder.h"
#include "Noise.h"
#include "ObjWriter.h"
#include "Prng.h"
#include "SceneChecks.h"
#include "SceneLayout.h"
#include "TextureSynth.h"

#include <IL/il.h>
#include <gtest/gtest.h>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace scenegen;

namespace {

static constexpr float kPi = 3.14159265359f;

double signedVolume(const Mesh& mesh)
{
    double volume = 0.0;
    for (size_t t = 0; t < mesh.indices.size(); t += 3) {
        const glm::dvec3 a = mesh.vertices[mesh.indices[t]].position;
        const glm::dvec3 b = mesh.vertices[mesh.indices[t + 1]].position;
        const glm::dvec3 c = mesh.vertices[mesh.indices[t + 2]].position;
        volume += glm::dot(a, glm::cross(b, c)) / 6.0;
    }
    return volume;
}

// A closed surface wound consistently uses every edge once in each direction. Vertices are
// duplicated at hard edges, so edges are matched by rounded position.
size_t unpairedEdges(const Mesh& mesh)
{
    using Key = std::tuple<long, long, long>;
    auto key = [](const glm::vec3& p) { return Key(std::lround(p.x * 1e4), std::lround(p.y * 1e4), std::lround(p.z * 1e4)); };
    std::map<std::pair<Key, Key>, int> balance;
    for (size_t t = 0; t < mesh.indices.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const Key from = key(mesh.vertices[mesh.indices[t + size_t(k)]].position);
            const Key to = key(mesh.vertices[mesh.indices[t + size_t((k + 1) % 3)]].position);
            if (from == to)
                continue;
            if (from < to)
                ++balance[{from, to}];
            else
                --balance[{to, from}];
        }
    }
    size_t unpaired = 0;
    for (const auto& entry : balance)
        unpaired += size_t(std::abs(entry.second));
    return unpaired;
}

double polygonArea(const std::vector<glm::vec2>& polygon)
{
    double area = 0.0;
    for (size_t i = 0; i < polygon.size(); ++i) {
        const glm::vec2& a = polygon[i];
        const glm::vec2& b = polygon[(i + 1) % polygon.size()];
        area += 0.5 * (double(a.x) * b.y - double(b.x) * a.y);
    }
    return area;
}

float luminance(const glm::vec3& c) { return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b; }

// Mean colour step across the wrap seam, relative to the mean step between interior neighbours.
double seamRatio(const Image& image, bool acrossColumns)
{
    const int w = image.width(), h = image.height();
    double seam = 0.0, interior = 0.0;
    size_t interiorCount = 0;
    if (acrossColumns) {
        for (int y = 0; y < h; ++y) {
            seam += glm::length(image.at(w - 1, y) - image.at(0, y));
            for (int x = 0; x + 1 < w; ++x, ++interiorCount)
                interior += glm::length(image.at(x + 1, y) - image.at(x, y));
        }
        seam /= h;
    } else {
        for (int x = 0; x < w; ++x) {
            seam += glm::length(image.at(x, h - 1) - image.at(x, 0));
            for (int y = 0; y + 1 < h; ++y, ++interiorCount)
                interior += glm::length(image.at(x, y + 1) - image.at(x, y));
        }
        seam /= w;
    }
    return seam / (interior / double(interiorCount) + 1e-6);
}

// U-shaped outline (a block with a notch from the bottom), counter-clockwise.
const std::vector<glm::vec2> kNotchedBlock = {{0, 0}, {1, 0}, {1, 2}, {2, 2}, {2, 0}, {3, 0}, {3, 3}, {0, 3}};

} // namespace

// ---------------------------------------------------------------- randomness

TEST(PrngTest, MatchesPublishedSplitMix64Outputs)
{
    // Output must not depend on the platform: the generated files are compared byte for byte.
    Prng rng(0);
    EXPECT_EQ(rng.nextU64(), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(rng.nextU64(), 0x6E789E6AA1B965F4ull);
}

TEST(PrngTest, StreamsRepeatPerSeedAndDifferAcrossSeeds)
{
    Prng a(42), b(42), c(43);
    int differing = 0;
    for (int i = 0; i < 100; ++i) {
        const uint64_t x = a.nextU64();
        EXPECT_EQ(x, b.nextU64());
        differing += x != c.nextU64();
    }
    EXPECT_EQ(differing, 100);
}

TEST(PrngTest, DrawsCoverTheirRangesAndNothingElse)
{
    Prng rng(7);
    double sum = 0.0;
    int hits[6] = {};
    for (int i = 0; i < 20000; ++i) {
        const double u = rng.uniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        sum += u;
        const int k = rng.uniformInt(-2, 3);
        ASSERT_GE(k, -2);
        ASSERT_LE(k, 3);
        ++hits[k + 2];
    }
    EXPECT_NEAR(sum / 20000.0, 0.5, 0.01);
    for (int count : hits)
        EXPECT_GT(count, 2800);
}

// ---------------------------------------------------------------- noise

TEST(NoiseTest, PeriodicNoiseRepeatsExactlyWithItsPeriod)
{
    Prng rng(3);
    for (int i = 0; i < 200; ++i) {
        const double x = rng.uniform(-5.0, 5.0), y = rng.uniform(-5.0, 5.0);
        EXPECT_NEAR(gradientNoise(x, y, 4, 6, 9), gradientNoise(x + 4.0, y, 4, 6, 9), 1e-12);
        EXPECT_NEAR(gradientNoise(x, y, 4, 6, 9), gradientNoise(x, y - 6.0, 4, 6, 9), 1e-12);
        EXPECT_NEAR(fbm(x, y, 3, 3, 5, 0.5, 9), fbm(x + 3.0, y + 3.0, 3, 3, 5, 0.5, 9), 1e-12);
        const CellSample here = cellular(x, y, 5, 5, 0.9, 9);
        const CellSample wrapped = cellular(x - 5.0, y + 10.0, 5, 5, 0.9, 9);
        EXPECT_NEAR(here.f1, wrapped.f1, 1e-9);
        EXPECT_NEAR(here.f2, wrapped.f2, 1e-9);
        EXPECT_EQ(here.id, wrapped.id);
    }
}

TEST(NoiseTest, NoiseIsBoundedYetVaried)
{
    Prng rng(5);
    double sum = 0.0, sumSquares = 0.0;
    for (int i = 0; i < 5000; ++i) {
        const double n = fbm(rng.uniform(0.0, 8.0), rng.uniform(0.0, 8.0), 8, 8, 5, 0.5, 1);
        const double n3 = gradientNoise3(rng.uniform(-9.0, 9.0), rng.uniform(-9.0, 9.0), rng.uniform(-9.0, 9.0), 1);
        ASSERT_LE(std::fabs(n), 1.0);
        ASSERT_LE(std::fabs(n3), 1.0);
        sum += n;
        sumSquares += n * n;
    }
    const double mean = sum / 5000.0;
    EXPECT_NEAR(mean, 0.0, 0.05);
    EXPECT_GT(std::sqrt(sumSquares / 5000.0 - mean * mean), 0.1);
}

// ---------------------------------------------------------------- textures

TEST(TextureTest, TilingTexturesHaveNoSeamAtOppositeEdges)
{
    const std::vector<std::pair<const char*, std::function<Image()>>> textures = {
        {"grass", [] { return makeGrassTexture(128, 11); }},    {"sand", [] { return makeSandTexture(128, 41); }},
        {"paving", [] { return makePavingTexture(128, 51); }},  {"ashlar", [] { return makeAshlarTexture(128, 61); }},
        {"marble", [] { return makeMarbleTexture(128, 71); }},  {"granite", [] { return makeGraniteTexture(128, 81); }},
        {"brass", [] { return makeBrassTexture(128, 91); }},    {"water", [] { return makeWaterTexture(128, 101); }},
        {"bark", [] { return makeBarkTexture(128, 111); }},     {"leaves", [] { return makeLeavesTexture(128, 121); }},
    };
    for (const auto& [name, make] : textures) {
        const Image image = make();
        EXPECT_LT(seamRatio(image, true), 1.6) << name << " seams left to right";
        EXPECT_LT(seamRatio(image, false), 1.6) << name << " seams top to bottom";
        // The viewer multiplies by at most 1 and lights shade at 0.2: textures must sit in mid tones.
        const float mean = luminance(image.mean());
        EXPECT_GT(mean, 0.15f) << name;
        EXPECT_LT(mean, 0.85f) << name;
    }
    // The hills wrap around the horizon only.
    EXPECT_LT(seamRatio(makeHillsTexture(128, 64, glm::vec3(0.2f, 0.3f, 0.1f), skyHazeColour(), 31), true), 1.6);
}

TEST(TextureTest, SeamMeasureRejectsAnImageThatDoesNotTile)
{
    Image ramp(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ramp.at(x, y) = glm::vec3(float(x) / 63.0f);
    EXPECT_GT(seamRatio(ramp, true), 10.0);
    EXPECT_LT(seamRatio(ramp, false), 1.0);
}

TEST(TextureTest, SameSeedGivesIdenticalPixels)
{
    EXPECT_EQ(makePavingTexture(64, 5).toRgb8(), makePavingTexture(64, 5).toRgb8());
    EXPECT_EQ(makeLeavesTexture(64, 5).toRgb8(), makeLeavesTexture(64, 5).toRgb8());
    EXPECT_NE(makePavingTexture(64, 5).toRgb8(), makePavingTexture(64, 6).toRgb8());
}

TEST(TextureTest, SkyMappingRoundTripsAndPlacesZenithAtCentre)
{
    for (float elevation = skyLowestElevationDegrees + 0.5f; elevation < 89.5f; elevation += 7.3f) {
        for (float azimuth = 0.0f; azimuth < 360.0f; azimuth += 23.0f) {
            const float e = glm::radians(elevation), a = glm::radians(azimuth);
            const glm::vec3 d(std::cos(e) * std::sin(a), std::sin(e), std::cos(e) * std::cos(a));
            const glm::vec2 uv = skyDomeUv(d);
            EXPECT_LE(glm::length(uv - glm::vec2(0.5f)), 0.5f + 1e-5f);
            EXPECT_GT(glm::dot(skyDomeDirection(uv), d), 0.99999f) << elevation << " " << azimuth;
        }
    }
    EXPECT_NEAR(glm::length(skyDomeUv({0.0f, 1.0f, 0.0f}) - glm::vec2(0.5f)), 0.0f, 1e-6f);
}

TEST(TextureTest, SkyIsModeratelyBrightSoBloomDoesNotFloodIt)
{
    const Image sky = makeSkyTexture(128, 21);
    double sum = 0.0;
    int count = 0;
    float brightest = 0.0f;
    for (int y = 0; y < sky.height(); ++y) {
        for (int x = 0; x < sky.width(); ++x) {
            if (skyDomeDirection({(x + 0.5f) / sky.width(), (y + 0.5f) / sky.height()}).y <= 0.0f)
                continue;
            const float l = luminance(sky.at(x, y));
            sum += l;
            brightest = std::max(brightest, l);
            ++count;
        }
    }
    EXPECT_GT(sum / count, 0.35);
    EXPECT_LT(sum / count, 0.5);
    EXPECT_LT(brightest, 0.6f);
}

TEST(TextureTest, HillsMeetTheLawnInItsAverageColour)
{
    const glm::vec3 lawn = makeGrassTexture(128, 11).mean();
    const Image hills = makeHillsTexture(128, 64, lawn, skyHazeColour(), 31);
    glm::vec3 firstRow(0.0f);
    for (int x = 0; x < hills.width(); ++x)
        firstRow += hills.at(x, 0);
    firstRow /= float(hills.width());
    EXPECT_LT(glm::length(firstRow - lawn), 0.06f);
}

// Saves `image` as the generator does and decodes it as the viewer does:
// RGB bytes in the row order DevIL delivers. Empty when either step fails.
static std::vector<unsigned char> jpegRoundTrip(const Image& image, const std::string& name)
{
    initImageIo();
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::vector<unsigned char> rgb;
    if (!saveJpeg(image, path.string(), 99))
        return rgb;
    ILuint handle = 0;
    ilGenImages(1, &handle);
    ilBindImage(handle);
    if (ilLoadImage(path.string().c_str()) == IL_TRUE && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE) == IL_TRUE) {
        const ILubyte* data = ilGetData();
        rgb.assign(data, data + static_cast<size_t>(image.width()) * image.height() * 3);
    }
    ilDeleteImages(1, &handle);
    std::filesystem::remove(path);
    return rgb;
}

TEST(TextureTest, SsaoNoiseRotationsSurviveTheJpegRoundTrip)
{
    // The viewer reads the angle back from the saved JPEG, so what must hold
    // is the decoded texture: angles spread evenly and close to the intended.
    const Image noise = makeSsaoNoiseTexture(64, 99);
    const std::vector<unsigned char> data = jpegRoundTrip(noise, "scenegen_noise.jpg");
    ASSERT_EQ(data.size(), 64u * 64u * 3u);
    int octants[8] = {};
    double worstTurn = 0.0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float decoded = data[(y * 64 + x) * 3] / 255.0f;
            const float intended = noise.at(x, y).r;
            ASSERT_FLOAT_EQ(noise.at(x, y).g, intended);
            ++octants[std::min(7, int(decoded * 8.0f))];
            const double turn = std::fabs(decoded - intended);
            worstTurn = std::max(worstTurn, std::min(turn, 1.0 - turn) * 360.0);
        }
    }
    for (int count : octants) {
        EXPECT_GT(count, 4096 / 8 * 3 / 4);
        EXPECT_LT(count, 4096 / 8 * 5 / 4);
    }
    EXPECT_LT(worstTurn, 20.0);
    // The occlusion blur averages neighbouring blocks into the whole kernel
    // only if every four-by-four tile, wherever it starts, holds one turn in
    // each sixteenth (give or take the JPEG's few levels).
    for (int y0 = 0; y0 < 64; y0 += 3) {
        for (int x0 = 0; x0 < 64; x0 += 5) {
            std::vector<float> turns;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    turns.push_back(data[(((y0 + y) % 64) * 64 + (x0 + x) % 64) * 3] / 255.0f);
            std::sort(turns.begin(), turns.end());
            for (int k = 0; k < 16; ++k) {
                ASSERT_GT(turns[k], k / 16.0f - 3.0f / 255.0f) << "tile at " << x0 << ", " << y0;
                ASSERT_LT(turns[k], (k + 1) / 16.0f + 3.0f / 255.0f) << "tile at " << x0 << ", " << y0;
            }
        }
    }
}

TEST(ImageIoTest, RowZeroIsTheFirstRowDevilDeliversOnLoad)
{
    // The viewer uploads rows in the order DevIL returns them, from t = 0 up, with no origin
    // handling of its own; this is what makes v = 0 in the OBJ land on image row 0.
    initImageIo();
    Image image(16, 16, glm::vec3(0.5f));
    for (int x = 0; x < 16; ++x) {
        for (int y = 0; y < 4; ++y) {
            image.at(x, y) = glm::vec3(1.0f, 0.0f, 0.0f);
            image.at(x, 15 - y) = glm::vec3(0.0f, 0.0f, 1.0f);
        }
    }
    const std::vector<unsigned char> data = jpegRoundTrip(image, "scenegen_rows.jpg");
    ASSERT_EQ(data.size(), 16u * 16u * 3u);
    const unsigned char* firstRow = data.data() + 8 * 3;
    const unsigned char* lastRow = data.data() + (15 * 16 + 8) * 3;
    EXPECT_GT(firstRow[0], 200);
    EXPECT_LT(firstRow[2], 60);
    EXPECT_GT(lastRow[2], 200);
    EXPECT_LT(lastRow[0], 60);
}

TEST(ImageIoTest, RefusesQualitiesDevilWouldSilentlyIgnore)
{
    initImageIo();
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "scenegen_quality.jpg";
    // DevIL keeps its previous quality when given 100, which once wrote the noise at 90.
    EXPECT_FALSE(saveJpeg(Image(8, 8), path.string(), 100));
    EXPECT_TRUE(saveJpeg(Image(8, 8), path.string(), 99));
    std::filesystem::remove(path);
}

// ---------------------------------------------------------------- meshes

TEST(MeshTest, BoxFacesWindCounterClockwiseWithOutwardNormals)
{
    const glm::vec3 size(2.0f, 1.0f, 3.0f);
    const Mesh box = makeBox(size, 1.0f, glm::vec2(0.0f), true);
    ASSERT_EQ(box.triangleCount(), 12u);
    const glm::vec3 centre(0.0f, 0.5f, 0.0f);
    for (size_t t = 0; t < box.indices.size(); t += 3) {
        const Vertex& a = box.vertices[box.indices[t]];
        const Vertex& b = box.vertices[box.indices[t + 1]];
        const Vertex& c = box.vertices[box.indices[t + 2]];
        const glm::vec3 faceNormal = glm::normalize(glm::cross(b.position - a.position, c.position - a.position));
        EXPECT_GT(glm::dot(faceNormal, a.normal), 0.999f);
        EXPECT_GT(glm::dot(a.normal, (a.position + b.position + c.position) / 3.0f - centre), 0.0f);
    }
    EXPECT_EQ(unpairedEdges(box), 0u);
    EXPECT_NEAR(signedVolume(box), 6.0, 1e-5);
    // Without a bottom the box must stay open only there.
    EXPECT_EQ(makeBox(size, 1.0f).triangleCount(), 10u);
}

TEST(MeshTest, BoxUvsFollowWorldUnits)
{
    // Texel density must not depend on which face or box a texture lands on.
    const float tile = 0.5f;
    const Mesh box = makeBox({2.0f, 1.0f, 3.0f}, tile, glm::vec2(0.0f), true);
    for (size_t t = 0; t < box.indices.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const Vertex& p = box.vertices[box.indices[t + size_t(k)]];
            const Vertex& q = box.vertices[box.indices[t + size_t((k + 1) % 3)]];
            EXPECT_NEAR(glm::length(p.uv - q.uv) * tile, glm::length(p.position - q.position), 1e-5f);
        }
    }
}

TEST(MeshTest, ClosedLatheIsWatertightOutwardAndCreasedOnlyAtCorners)
{
    const Mesh cylinder = makeLathe({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 2.0f}, {0.0f, 2.0f}}, 64, 1.0f);
    EXPECT_EQ(unpairedEdges(cylinder), 0u);
    EXPECT_EQ(countMisorientedTriangles(cylinder), 0u);
    const double polygonalArea = 0.5 * 64 * std::sin(2.0 * kPi / 64);
    EXPECT_NEAR(signedVolume(cylinder), polygonalArea * 2.0, 1e-3);
    for (const Vertex& v : cylinder.vertices) {
        const bool onSide = std::fabs(v.normal.y) < 1e-6f;
        const bool onCap = std::fabs(std::fabs(v.normal.y) - 1.0f) < 1e-6f;
        EXPECT_TRUE(onSide || onCap);
        if (onSide) {
            EXPECT_NEAR(glm::dot(v.normal, glm::normalize(glm::vec3(v.position.x, 0.0f, v.position.z))), 1.0f, 1e-4f);
        }
    }

    const Mesh sphere = makeSphere(2.0f, 24, 12, 1.0f);
    EXPECT_EQ(unpairedEdges(sphere), 0u);
    EXPECT_EQ(countMisorientedTriangles(sphere), 0u);
    for (const Vertex& v : sphere.vertices)
        EXPECT_GT(glm::dot(v.normal, glm::normalize(v.position)), 0.98f);
}

TEST(MeshTest, PartialLatheCoversOnlyItsAngles)
{
    const Mesh arc = makeLathe({{2.0f, 0.0f}, {2.0f, 1.0f}}, 8, 1.0f, 40.0f, 0.0f, kPi * 0.5f);
    for (const Vertex& v : arc.vertices) {
        EXPECT_GE(v.position.x, -1e-5f);
        EXPECT_GE(v.position.z, -1e-5f);
    }
    EXPECT_EQ(arc.triangleCount(), 16u);
}

TEST(MeshTest, CurvedPrimitivesFaceOutward)
{
    const Mesh shaft = makeFlutedShaft(0.6f, 0.5f, 4.0f, 16, 0.07f, 3, 1.0f);
    EXPECT_EQ(countMisorientedTriangles(shaft), 0u);
    for (const Vertex& v : shaft.vertices)
        EXPECT_GT(glm::dot(v.normal, glm::normalize(glm::vec3(v.position.x, 0.0f, v.position.z))), 0.3f);

    const float majorRadius = 2.0f;
    const Mesh torus = makeTorus(majorRadius, 0.2f, 32, 8, 1.0f);
    EXPECT_EQ(countMisorientedTriangles(torus), 0u);
    EXPECT_EQ(unpairedEdges(torus), 0u);
    for (const Vertex& v : torus.vertices) {
        const glm::vec3 core = glm::normalize(glm::vec3(v.position.x, 0.0f, v.position.z)) * majorRadius;
        EXPECT_GT(glm::dot(v.normal, glm::normalize(v.position - core)), 0.999f);
    }

    const Mesh blob = makeBlob({2.0f, 1.5f, 2.0f}, 2, 0.25f, 1.6f, 17, 1.0f);
    EXPECT_EQ(unpairedEdges(blob), 0u);
    EXPECT_EQ(countMisorientedTriangles(blob), 0u);
    const double ellipsoid = 4.0 / 3.0 * kPi * 2.0 * 1.5 * 2.0;
    EXPECT_NEAR(signedVolume(blob), ellipsoid, 0.35 * ellipsoid);

    EXPECT_EQ(countMisorientedTriangles(makeSquareFrustum(1.2f, 0.7f, 5.0f, 1.0f)), 0u);
    EXPECT_EQ(countMisorientedTriangles(makePyramid(1.0f, 0.8f, 1.0f)), 0u);
    const Mesh frustum = makeSquareFrustum(1.2f, 0.7f, 5.0f, 1.0f);
    for (const Vertex& v : frustum.vertices)
        EXPECT_GT(glm::dot(v.normal, glm::vec3(v.position.x, 0.0f, v.position.z)), 0.0f);
}

TEST(MeshTest, SweptSurfacePinchedAtBothEndsIsClosed)
{
    const Mesh spindle = makeSweptSurface(
        [](float angle, float t) {
            const float r = 4.0f * t * (1.0f - t);
            return glm::vec3(r * std::sin(angle), 3.0f * t, r * std::cos(angle));
        },
        16, 12, 1.0f, 1.0f);
    EXPECT_EQ(countMisorientedTriangles(spindle), 0u);
    EXPECT_EQ(unpairedEdges(spindle), 0u);
    EXPECT_GT(signedVolume(spindle), 0.0);
}

TEST(MeshTest, TriangulationCoversConcaveAndCollinearOutlines)
{
    const std::vector<uint32_t> notch = triangulatePolygon(kNotchedBlock);
    ASSERT_EQ(notch.size(), 3 * (kNotchedBlock.size() - 2));
    double covered = 0.0;
    for (size_t t = 0; t < notch.size(); t += 3) {
        const double area = polygonArea({kNotchedBlock[notch[t]], kNotchedBlock[notch[t + 1]], kNotchedBlock[notch[t + 2]]});
        EXPECT_GT(area, 0.0);
        covered += area;
    }
    EXPECT_NEAR(covered, polygonArea(kNotchedBlock), 1e-6);

    // A staircase profile is full of collinear corners; no sliver may survive.
    std::vector<glm::vec2> stairs = {{0.0f, 0.0f}, {3.0f, 0.0f}};
    for (int step = 0; step < 10; ++step) {
        stairs.push_back({3.0f - 0.3f * float(step), 0.25f * float(step + 1)});
        stairs.push_back({2.7f - 0.3f * float(step), 0.25f * float(step + 1)});
    }
    stairs.back().x = 0.0f;
    const std::vector<uint32_t> flight = triangulatePolygon(stairs);
    covered = 0.0;
    for (size_t t = 0; t < flight.size(); t += 3) {
        const double area = polygonArea({stairs[flight[t]], stairs[flight[t + 1]], stairs[flight[t + 2]]});
        EXPECT_GT(area, 1e-6);
        covered += area;
    }
    EXPECT_NEAR(covered, polygonArea(stairs), 1e-4);
}

TEST(MeshTest, ExtrusionIsClosedAndOutwardEvenWhenBent)
{
    const Mesh straight = makeExtrusion(kNotchedBlock, -0.5f, 0.5f, 1.0f, 30.0f);
    EXPECT_EQ(unpairedEdges(straight), 0u);
    EXPECT_EQ(countMisorientedTriangles(straight), 0u);
    EXPECT_NEAR(signedVolume(straight), polygonArea(kNotchedBlock) * 1.0, 1e-4);

    // A rigid move of the points must not turn the solid inside out.
    const glm::mat4 move = glm::rotate(glm::translate(glm::mat4(1.0f), {3.0f, 1.0f, -2.0f}), 0.7f, glm::vec3(0.2f, 1.0f, 0.1f));
    const Mesh moved = makeExtrusion(kNotchedBlock, -0.5f, 0.5f, 1.0f, 30.0f,
                                     [&](const glm::vec3& p) { return glm::vec3(move * glm::vec4(p, 1.0f)); });
    EXPECT_EQ(countMisorientedTriangles(moved), 0u);
    EXPECT_NEAR(signedVolume(moved), polygonArea(kNotchedBlock), 1e-3);
}

TEST(MeshTest, PanelRecessesAreSunkAndLinedWithReveals)
{
    Mesh panel;
    const float width = 4.0f, height = 3.0f, depth = 0.5f;
    addPanel(panel, {0.0f, 0.0f, 0.0f}, {1, 0, 0}, {0, 1, 0}, width, height, {{1.0f, 0.5f, 2.0f, 2.5f, depth}}, 1.0f);
    EXPECT_EQ(countMisorientedTriangles(panel), 0u);
    double facing = 0.0, reveals = 0.0;
    float deepest = 0.0f;
    for (size_t t = 0; t < panel.indices.size(); t += 3) {
        const Vertex& a = panel.vertices[panel.indices[t]];
        const Vertex& b = panel.vertices[panel.indices[t + 1]];
        const Vertex& c = panel.vertices[panel.indices[t + 2]];
        const double area = 0.5 * glm::length(glm::cross(b.position - a.position, c.position - a.position));
        (a.normal.z > 0.99f ? facing : reveals) += area;
        deepest = std::min({deepest, a.position.z, b.position.z, c.position.z});
    }
    EXPECT_NEAR(facing, width * height, 1e-4);
    EXPECT_NEAR(reveals, 2.0 * (1.0 + 2.0) * depth, 1e-4);
    EXPECT_NEAR(deepest, -depth, 1e-6f);
}

TEST(MeshTest, RadialSheetFacesUpAndClosesItsSeam)
{
    const Mesh sheet = makeRadialSheet(32, 3, [](int ring, float) { return 2.0f + float(ring); },
                                       [](float x, float z) { return 0.1f * std::sin(x) * std::cos(z); }, 4.0f);
    EXPECT_EQ(countMisorientedTriangles(sheet), 0u);
    for (size_t t = 0; t < sheet.indices.size(); t += 3) {
        const glm::vec3& a = sheet.vertices[sheet.indices[t]].position;
        const glm::vec3& b = sheet.vertices[sheet.indices[t + 1]].position;
        const glm::vec3& c = sheet.vertices[sheet.indices[t + 2]].position;
        EXPECT_GT(glm::cross(b - a, c - a).y, 0.0f);
    }
    for (int ring = 0; ring <= 3; ++ring)
        EXPECT_EQ(sheet.vertices[size_t(ring) * 33].position, sheet.vertices[size_t(ring) * 33 + 32].position);
}

TEST(MeshTest, AppendKeepsNormalsPerpendicularUnderScaling)
{
    Mesh squashed;
    squashed.append(makeSphere(1.0f, 24, 12, 1.0f), glm::scale(glm::mat4(1.0f), {1.0f, 1.0f, 0.4f}));
    EXPECT_EQ(countMisorientedTriangles(squashed), 0u);
    for (const Vertex& v : squashed.vertices) {
        // The gradient of x^2 + y^2 + (z/0.4)^2 is the true normal of the squashed sphere.
        const glm::vec3 expected = glm::normalize(glm::vec3(v.position.x, v.position.y, v.position.z / 0.16f));
        EXPECT_GT(glm::dot(v.normal, expected), 0.97f);
    }
}

// ---------------------------------------------------------------- output files

TEST(ObjWriterTest, NumbersAreShortFixedAndSignless)
{
    EXPECT_EQ(formatNumber(1.5f), "1.5");
    EXPECT_EQ(formatNumber(2.0f), "2");
    EXPECT_EQ(formatNumber(-0.00001f), "0");
    EXPECT_EQ(formatNumber(-1.25f), "-1.25");
    EXPECT_EQ(formatNumber(1.0f / 3.0f), "0.3333");
    EXPECT_EQ(formatNumber(-120.0f), "-120");
}

TEST(ObjWriterTest, WritesOneObjectPerGroupWithSharedPoolsAndStableBytes)
{
    Mesh first = makeBox({1.0f, 1.0f, 1.0f}, 1.0f);
    Mesh second = makeBox({1.0f, 1.0f, 1.0f}, 1.0f);
    const std::vector<ObjGroup> groups = {{"Left", "Stone", &first}, {"Right", "Wood", &second}};
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "scenegen_obj_test";
    std::filesystem::create_directories(dir);
    ObjStats stats;
    ASSERT_TRUE(writeObj((dir / "a.obj").string(), "a.mtl", groups, stats));
    ObjStats again;
    ASSERT_TRUE(writeObj((dir / "b.obj").string(), "a.mtl", groups, again));

    auto slurp = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string text = slurp(dir / "a.obj");
    EXPECT_EQ(text, slurp(dir / "b.obj"));
    EXPECT_EQ(stats.triangles, 20u);
    // Identical boxes share all their positions, UVs and normals.
    EXPECT_EQ(stats.positions, 8u);
    EXPECT_EQ(stats.normals, 5u);

    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> objects, materials;
    size_t vertexLines = 0, faces = 0, biggestIndex = 0;
    bool sawLibrary = false;
    while (std::getline(lines, line)) {
        if (line.rfind("mtllib a.mtl", 0) == 0)
            sawLibrary = true;
        if (line.rfind("o ", 0) == 0)
            objects.push_back(line.substr(2));
        if (line.rfind("usemtl ", 0) == 0)
            materials.push_back(line.substr(7));
        if (line.rfind("v ", 0) == 0)
            ++vertexLines;
        if (line.rfind("f ", 0) == 0) {
            ++faces;
            unsigned p[3], t[3], n[3];
            ASSERT_EQ(std::sscanf(line.c_str(), "f %u/%u/%u %u/%u/%u %u/%u/%u", &p[0], &t[0], &n[0], &p[1], &t[1], &n[1], &p[2], &t[2], &n[2]), 9);
            for (int k = 0; k < 3; ++k) {
                EXPECT_GE(p[k], 1u);
                biggestIndex = std::max<size_t>(biggestIndex, p[k]);
            }
        }
    }
    EXPECT_TRUE(sawLibrary);
    EXPECT_EQ(objects, (std::vector<std::string>{"Left", "Right"}));
    EXPECT_EQ(materials, (std::vector<std::string>{"Stone", "Wood"}));
    EXPECT_EQ(vertexLines, 8u);
    EXPECT_EQ(faces, 20u);
    EXPECT_LE(biggestIndex, vertexLines);

    size_t mtlBytes = 0;
    ASSERT_TRUE(writeMtl((dir / "a.mtl").string(), {{"Stone", "ashlar.jpg"}}, mtlBytes));
    EXPECT_NE(slurp(dir / "a.mtl").find("newmtl Stone\n"), std::string::npos);
    EXPECT_NE(slurp(dir / "a.mtl").find("\nmap_Kd ashlar.jpg\n"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// ---------------------------------------------------------------- checks

TEST(SceneChecksTest, LightBoxMatchesTheShadowPass)
{
    EXPECT_TRUE(insideLightBox({0.0f, 0.0f, 0.0f}));
    EXPECT_TRUE(insideLightBox({-40.0f, 0.0f, 0.0f}));
    // Toward the sun the box reaches the ground only 25 / 0.836 units out.
    EXPECT_FALSE(insideLightBox({35.0f, 0.0f, 0.0f}));
    EXPECT_NEAR(lightBoxGroundReach(kPi * 0.5f, 1.0f), 29.9f, 0.05f);
    EXPECT_FALSE(insideLightBox({0.0f, 0.0f, 60.0f}));
    EXPECT_LT(lightBoxGroundReach(0.0f, 0.9f), lightBoxGroundReach(0.0f, 1.0f));
    // The overhang is zero exactly where the reach ends, including near the box's corners.
    for (float angle = 0.05f; angle < 2.0f * kPi; angle += 0.31f) {
        const glm::vec3 direction(std::sin(angle), 0.0f, std::cos(angle));
        const float reach = lightBoxGroundReach(angle, 0.98f);
        EXPECT_NEAR(lightBoxOverhang(direction * reach, 0.98f), 0.0f, 0.01f);
        EXPECT_LT(lightBoxOverhang(direction * (reach - 1.0f), 0.98f), 0.0f);
        EXPECT_GT(lightBoxOverhang(direction * (reach + 1.0f), 0.98f), 0.0f);
    }
    EXPECT_NEAR(glm::length(lightDirection() - glm::normalize(glm::vec3(4.0f, 7.0f, -1.0f))), 0.0f, 1e-6f);
}

TEST(SceneChecksTest, PointTriangleDistanceInEveryRegion)
{
    const glm::vec3 a(0, 0, 0), b(2, 0, 0), c(0, 2, 0);
    EXPECT_NEAR(pointTriangleDistance({0.5f, 0.5f, 3.0f}, a, b, c), 3.0, 1e-6);
    EXPECT_NEAR(pointTriangleDistance({-1.0f, -1.0f, 0.0f}, a, b, c), std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(pointTriangleDistance({1.0f, -2.0f, 0.0f}, a, b, c), 2.0, 1e-6);
    EXPECT_NEAR(pointTriangleDistance({2.0f, 2.0f, 0.0f}, a, b, c), std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(pointTriangleDistance({4.0f, 0.0f, 0.0f}, a, b, c), 2.0, 1e-6);
}

// The paths come from the viewer's own tour; each shot is checked by the
// shape of its path (closing in along a line, a circle, a straight move).
// The start view is the viewer's own; the orbit's radius and turn are
// written out, as what the scene was laid out for.
TEST(SceneChecksTest, TourPathsFollowTheViewersShots)
{
    const auto paths = tourCameraPaths(10);
    ASSERT_EQ(paths.size(), 4u);
    for (const auto& path : paths)
        ASSERT_EQ(path.size(), 11u);
    // The zoom closes in on the scene target along the start view's line.
    const glm::vec3 startLine = glm::normalize(startEye - sceneTarget);
    for (size_t i = 1; i < paths[0].size(); ++i) {
        const glm::vec3 offset = paths[0][i] - sceneTarget;
        EXPECT_LT(glm::length(offset), glm::length(paths[0][i - 1] - sceneTarget));
        EXPECT_GT(glm::dot(glm::normalize(offset), startLine), 0.9999f);
    }
    // The orbit turns counter-clockwise seen from above at its height and
    // radius, about 56 degrees over its seven seconds.
    for (const glm::vec3& p : paths[1]) {
        EXPECT_NEAR(std::hypot(p.x, p.z), std::sqrt(325.0f), 1e-3f);
        EXPECT_NEAR(p.y, 15.0f, 1e-3f);
    }
    const float turned = std::atan2(paths[1].back().x, paths[1].back().z) - std::atan2(paths[1].front().x, paths[1].front().z);
    EXPECT_NEAR(glm::degrees(turned), 56.0f, 1.0f);
    // The pan and the diagonal keep their heights.
    for (const glm::vec3& p : paths[2])
        EXPECT_FLOAT_EQ(p.y, 25.0f);
    for (const glm::vec3& p : paths[3])
        EXPECT_NEAR(p.y, 13.0f, 1e-4f);
}

// ---------------------------------------------------------------- the showcase scene

class ShowcaseSceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { scene_ = new Scene(buildScene()); }
    static void TearDownTestSuite()
    {
        delete scene_;
        scene_ = nullptr;
    }
    static Scene* scene_;
};

Scene* ShowcaseSceneTest::scene_ = nullptr;

TEST_F(ShowcaseSceneTest, ShadowRelevantGeometryLiesInTheLightBox)
{
    for (const SceneGroup& group : scene_->groups) {
        if (!group.backdrop) {
            EXPECT_EQ(countOutsideLightBox(group.mesh), 0u) << group.name;
        }
    }
}

TEST_F(ShowcaseSceneTest, SolidsFaceOutwardAndTheSkyFacesIn)
{
    for (const SceneGroup& group : scene_->groups) {
        if (group.name == "SkyDome") {
            EXPECT_EQ(countTrianglesNotFacing(group.mesh, glm::vec3(0.0f)), 0u);
            for (const Vertex& v : group.mesh.vertices) {
                EXPECT_LT(glm::length(v.normal - lightDirection()), 1e-5f);
                EXPECT_NEAR(glm::length(v.position), skyDomeRadius, 0.01f);
            }
            continue;
        }
        EXPECT_EQ(countMisorientedTriangles(group.mesh), 0u) << group.name;
        for (const Vertex& v : group.mesh.vertices) {
            ASSERT_NEAR(glm::length(v.normal), 1.0f, 1e-3f) << group.name;
            ASSERT_TRUE(std::isfinite(v.uv.x) && std::isfinite(v.uv.y)) << group.name;
        }
    }
}

TEST_F(ShowcaseSceneTest, FitsTheImporterAndTriangleBudgets)
{
    EXPECT_GE(scene_->triangleCount(), 40000u);
    EXPECT_LE(scene_->triangleCount(), 120000u);
    EXPECT_LE(scene_->groups.size(), 30u);
    for (const SceneGroup& group : scene_->groups)
        EXPECT_GT(group.mesh.triangleCount(), 0u) << group.name;
}

TEST_F(ShowcaseSceneTest, TourCamerasNeverTouchGeometry)
{
    std::vector<const Mesh*> solids;
    for (const SceneGroup& group : scene_->groups) {
        if (group.name != "SkyDome")
            solids.push_back(&group.mesh);
    }
    for (const auto& path : tourCameraPaths(40))
        EXPECT_GE(clearance(solids, path), 1.0);
}

TEST_F(ShowcaseSceneTest, MonumentCrownsTheOrbitCentre)
{
    float top = 0.0f;
    for (const Vertex& v : scene_->mesh("Brass").vertices) {
        if (std::hypot(v.position.x, v.position.z) < 3.0f)
            top = std::max(top, v.position.y);
    }
    EXPECT_GE(top, 12.0f);
    EXPECT_LE(top, 14.5f);
}

TEST_F(ShowcaseSceneTest, GroundReachesTheDomeWithoutGaps)
{
    float reach = 0.0f;
    for (const Vertex& v : scene_->mesh("DistantHills").vertices)
        reach = std::max(reach, std::hypot(v.position.x, v.position.z));
    EXPECT_GT(reach, 0.75f * skyDomeRadius);
    EXPECT_LT(reach, skyDomeRadius);
    // The shadowed lawn and the far lawn share their boundary ring vertex for vertex.
    const Mesh& lawn = scene_->mesh("Lawn");
    const Mesh& outer = scene_->mesh("OuterLawn");
    const size_t ring = 257;
    for (size_t i = 0; i < ring; ++i)
        EXPECT_LT(glm::length(lawn.vertices[lawn.vertices.size() - ring + i].position - outer.vertices[i].position), 1e-4f);
}
