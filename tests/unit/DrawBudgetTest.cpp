// The draw budget: merged models draw the faces they drew before, in fewer draws, within the limits; small ones stay.
#include "import/DrawBudget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

namespace {

using namespace import;

std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f ", value == 0.0f ? 0.0f : value);
    return text;
}

// The colour the viewer multiplies a corner's picture by (`pictured`), or
// shows alone: the material's base colour times the vertex colour, or for
// a classic material the vertex colour or the picture standing in for it;
// colours as the viewer takes them (clamped, white for what is not finite).
std::string shownColour(const ModelMaterial& material, const ModelMesh& mesh, unsigned v, bool pictured)
{
    const bool standsIn = pictured || !mesh.colours.empty();
    std::string colour;
    for (int i = 0; i < 3; ++i) {
        const float base = std::isfinite(material.diffuse[i]) ? std::clamp(material.diffuse[i], 0.0f, 1.0f) : 1.0f;
        const float own = mesh.colours.empty() ? 1.0f : std::clamp(mesh.colours[4 * v + i], 0.0f, 1.0f);
        colour += number((material.colourMultiplies || !standsIn ? base : 1.0f) * own);
    }
    return colour;
}

// The rest of the surface at a corner: its factors, the maps it can show
// (with texture coordinates; a normal map with its tangent, as placed).
std::string surfaceAt(const ModelData& model, const ModelPlacement& placement, unsigned v)
{
    const ModelMesh& mesh = model.meshes[placement.mesh];
    const ModelMaterial& material = model.materials[mesh.material];
    std::string text = "metal " + number(material.metallic) + "rough " + number(material.roughness) + "specular " +
                       number(material.specular) + "glow " + number(material.emissive.r) +
                       number(material.emissive.g) + number(material.emissive.b);
    const auto map = [&](int texture) {
        return texture < 0 || mesh.texCoords.empty() ? std::string("none ")
                                                     : model.textures[static_cast<size_t>(texture)].name + " ";
    };
    text += "maps " + map(material.surfaceTexture) + map(material.occlusionTexture) + map(material.emissiveTexture);
    if (material.normalTexture >= 0 && !mesh.texCoords.empty() && !mesh.tangents.empty()) {
        const glm::vec3 tangent = glm::normalize(glm::mat3(placement.transform) * glm::make_vec3(&mesh.tangents[4 * v]));
        const float side = glm::determinant(glm::mat3(placement.transform)) < 0.0f ? -1.0f : 1.0f;
        text += "normals " + map(material.normalTexture) + number(material.normalScale) + "along " +
                number(tangent.x) + number(tangent.y) + number(tangent.z) + number(side * mesh.tangents[4 * v + 3]);
    }
    if (material.surfaceTexture >= 0 || material.occlusionTexture >= 0 || material.emissiveTexture >= 0 ||
        material.normalTexture >= 0)
        text += mesh.texCoords.empty()
                    ? ""
                    : "at " + number(mesh.texCoords[2 * v]) + number(mesh.texCoords[2 * v + 1]);
    return text;
}

// What one corner looks like on screen, as the viewer decides it: where it
// is, which way it faces, its colour (a picture and what multiplies it,
// with the colour shown when the picture fails, or a colour alone) and the
// rest of its surface.
std::string corner(const ModelData& model, const ModelPlacement& placement, unsigned v)
{
    const ModelMesh& mesh = model.meshes[placement.mesh];
    const ModelMaterial& material = model.materials[mesh.material];
    const glm::vec4 at = placement.transform * glm::vec4(glm::make_vec3(&mesh.positions[3 * v]), 1.0f);
    std::string text = number(at.x) + number(at.y) + number(at.z);
    const glm::vec3 normal = mesh.normals.empty() ? glm::vec3(0.0f)
                             : glm::transpose(glm::inverse(glm::mat3(placement.transform))) *
                                   glm::make_vec3(&mesh.normals[3 * v]);
    text += glm::length(normal) > 0.0f ? "facing " + number(glm::normalize(normal).x) +
                                             number(glm::normalize(normal).y) + number(glm::normalize(normal).z)
                                       : "facing the eye ";
    text += surfaceAt(model, placement, v);
    if (material.texture < 0 || mesh.texCoords.empty())
        return text + "colour " + shownColour(material, mesh, v, false);
    return text + "picture " + model.textures[static_cast<size_t>(material.texture)].name + " at " +
           number(mesh.texCoords[2 * v]) + number(mesh.texCoords[2 * v + 1]) + "times " +
           shownColour(material, mesh, v, true) + "else " + shownColour(material, mesh, v, false);
}

// Every face drawn, sorted: its kind, its sides and its corners in the order
// the viewer hands them on (mirrored triangles turned back), starting anywhere.
std::vector<std::string> drawnFaces(const ModelData& model)
{
    std::vector<std::string> faces;
    for (const ModelPlacement& placement : model.placements) {
        const ModelMesh& mesh = model.meshes[placement.mesh];
        const unsigned perFace = static_cast<unsigned>(mesh.primitive);
        const bool turned = perFace == 3 && glm::determinant(glm::mat3(placement.transform)) < 0.0f;
        for (size_t f = 0; f < mesh.indices.size(); f += perFace) {
            std::vector<std::string> corners;
            for (unsigned k = 0; k < perFace; ++k)
                corners.push_back(corner(model, placement, mesh.indices[f + (turned && k > 0 ? 3 - k : k)]));
            std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()), corners.end());
            std::string face = std::to_string(perFace) + (model.materials[mesh.material].twoSided ? " both" : " one");
            for (const std::string& text : corners)
                face += " | " + text;
            faces.push_back(face);
        }
    }
    std::sort(faces.begin(), faces.end());
    return faces;
}

ModelMesh shape(Primitive primitive, unsigned material, bool withExtras)
{
    ModelMesh mesh;
    mesh.primitive = primitive;
    mesh.material = material;
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 2, 0};
    mesh.normals = {0, 0, 1, 0, 1, 1, 1, 0, 1};
    if (withExtras) {
        mesh.texCoords = {0, 0, 1, 0, 0, 1};
        mesh.colours = {1, 0, 0, 1, 0.3f, 0.6f, 2.0f, 1, 0, 0, 1, 1};
    }
    mesh.indices = primitive == Primitive::lines ? std::vector<unsigned>{0, 1, 1, 2} : std::vector<unsigned>{0, 1, 2};
    return mesh;
}

ModelMaterial material(float red, int texture = -1, bool twoSided = false, float green = 0.25f)
{
    return ModelMaterial{glm::vec4(red, green, 0.5f, 1.0f), texture, twoSided};
}

glm::mat4 moved(size_t i, float xScale = 1.0f)
{
    return glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(float(i % 40), float(i / 40), 0.0f)),
                      glm::vec3(xScale, 1.0f, 1.0f));
}

enum class Faces { same, fewer, other };

struct BudgetCase {
    const char* name;
    size_t placements;
    // Makes the model, placement i of `placements` after another.
    std::function<void(ModelData&, size_t)> add;
    size_t draws;      // placements once fitted
    Faces faces;       // as drawn once fitted
    std::string note;  // the one line added, or none
};

void PrintTo(const BudgetCase& c, std::ostream* os)
{
    *os << c.name;
}

class Budget : public testing::TestWithParam<BudgetCase> {
};

TEST_P(Budget, DrawsTheSameFacesInFewerDrawsWithinTheLimits)
{
    const BudgetCase& c = GetParam();
    ModelData model;
    model.textures = {{"brick", -1}, {"tile", -1}};
    for (size_t i = 0; i < c.placements; ++i)
        c.add(model, i);
    const ModelData read = model;

    const std::vector<size_t> kept = fitDrawBudget(model);

    EXPECT_EQ(model.placements.size(), c.draws);
    const std::vector<std::string> before = drawnFaces(read);
    const std::vector<std::string> after = drawnFaces(model);
    if (c.faces == Faces::same) {
        EXPECT_EQ(after, before);
    } else if (c.faces == Faces::fewer) {
        EXPECT_TRUE(std::includes(before.begin(), before.end(), after.begin(), after.end()));
    }
    EXPECT_EQ(model.notes, c.note.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.note});
    EXPECT_LE(model.meshes.size(), ModelLimits::meshes);
    EXPECT_LE(model.materials.size(), ModelLimits::materials);
    ASSERT_EQ(model.textures.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(model.textures[i].name, read.textures[kept[i]].name);
    if (c.draws == c.placements) {
        EXPECT_EQ(model.meshes.size(), read.meshes.size());
        EXPECT_EQ(model.materials.size(), read.materials.size());
    }
}

std::vector<BudgetCase> cases()
{
    return {
        BudgetCase{"MeshesOfOneMaterialBecomeOneDraw", 1100,
                   [](ModelData& m, size_t i) {
                       m.materials = {material(0.5f)};
                       m.meshes.push_back(shape(Primitive::triangles, 0, false));
                       m.placements.push_back({static_cast<unsigned>(i), moved(i)});
                   },
                   1, Faces::same, ""},
        // Colours alone, of materials, of vertices or behind pictures the
        // mesh has no coordinates into, and the colour of nothing finite;
        // some meshes without normals, which are lit by their facets and
        // share a draw of their own.
        BudgetCase{"ColourMaterialsShareOneDrawKeepingEachFacesColour", 1100,
                   [](ModelData& m, size_t i) {
                       m.materials.push_back(material(i % 5 == 0 ? NAN : float(i) / 1100.0f, i % 3 == 0 ? 1 : -1));
                       m.meshes.push_back(shape(Primitive::triangles, unsigned(i), false));
                       if (i % 4 == 0)
                           m.meshes.back().colours = shape(Primitive::triangles, 0, true).colours;
                       if (i % 7 == 1)
                           m.meshes.back().normals.clear();
                       m.placements.push_back({static_cast<unsigned>(i), moved(i)});
                   },
                   2, Faces::same, ""},
        BudgetCase{"PicturesSidesAndPrimitivesStayApart", 1100,
                   [](ModelData& m, size_t i) {
                       m.materials = {material(0.1f), material(0.1f, -1, true), material(0.1f, 0), material(0.1f, 1),
                                      material(0.9f, 0), material(0.1f, 0, true)};
                       const unsigned look = unsigned(i % 8);
                       m.meshes.push_back(shape(look == 6   ? Primitive::lines
                                                : look == 7 ? Primitive::points
                                                            : Primitive::triangles,
                                                look < 6 ? look : 0, look > 1));
                       m.placements.push_back({static_cast<unsigned>(i), moved(i)});
                   },
                   8, Faces::same, ""},
        // Surfaces alike in all but colour share a draw, whether their
        // colour multiplies the vertex colours or a classic material's
        // stands in for them; any other difference (a factor, a map, a
        // normal map on tangents) keeps them apart. Meshes without texture
        // coordinates show no maps, and are alike whatever maps they name.
        BudgetCase{"SurfacesThatDifferBeyondColourStayApart", 1100,
                   [](ModelData& m, size_t i) {
                       m.materials.clear();
                       for (int kind = 0; kind < 8; ++kind) {
                           ModelMaterial made = material(0.1f * float(kind));
                           made.metallic = kind == 1 ? 1.0f : 0.0f;
                           made.roughness = kind == 2 ? 0.3f : 1.0f;
                           made.emissive = glm::vec3(kind == 3 ? 4.0f : 0.0f);
                           made.surfaceTexture = kind == 4 ? 0 : -1;
                           made.normalTexture = kind == 5 || kind == 6 ? 1 : -1;
                           made.normalScale = kind == 6 ? 0.5f : 1.0f;
                           made.colourMultiplies = kind != 7;
                           m.materials.push_back(made);
                       }
                       const unsigned kind = unsigned(i % 8);
                       m.meshes.push_back(shape(Primitive::triangles, kind, kind >= 4 && i % 16 < 8));
                       if (kind >= 4 && i % 16 < 8)
                           m.meshes.back().tangents = {1, 0, 0, 1, 0, 1, 0, -1, 1, 0, 0, 1};
                       m.placements.push_back({static_cast<unsigned>(i), moved(i, i % 5 == 0 ? -1.0f : 1.0f)});
                   },
                   // The plain, metal, rough, glowing, surface-mapped and
                   // two normal-mapped kinds; the rest look plain.
                   7, Faces::same, ""},
        BudgetCase{"MirroredAndRepeatedPlacementsKeepTheirFacesOutward", 1100,
                   [](ModelData& m, size_t i) {
                       m.materials = {material(0.5f)};
                       m.meshes = {shape(Primitive::triangles, 0, false)};
                       m.placements.push_back({0, moved(i, i % 3 == 0 ? -2.0f : 0.5f)});
                   },
                   // Copies only as many as bring the draws down to the budget.
                   1024, Faces::same, ""},
        BudgetCase{"PicturesPastTheTextureLimitShowTheirColour", 4200,
                   [](ModelData& m, size_t i) {
                       m.textures.push_back({"picture " + std::to_string(i), -1});
                       m.materials.push_back(material(0.5f, int(i) + 2));
                       m.meshes.push_back(shape(Primitive::triangles, unsigned(i), true));
                       m.placements.push_back({static_cast<unsigned>(i), moved(i)});
                   },
                   4097, Faces::other,
                   "Showing the first 4096 of 4200 textures: the model has more than the viewer loads; the meshes of "
                   "the rest show their colour"},
        BudgetCase{"DrawsPastTheLimitAreCutWithOneLine", 17000,
                   [](ModelData& m, size_t i) {
                       m.materials.push_back(material(float(i % 200) / 255.0f, 0, false, float(i / 200) / 255.0f));
                       m.meshes.push_back(shape(Primitive::triangles, unsigned(i), true));
                       m.placements.push_back({static_cast<unsigned>(i), moved(i)});
                   },
                   16384, Faces::fewer,
                   "Drawing the first 16384 of 17000 meshes: the model has more than the viewer draws"},
        BudgetCase{"ModelWithinTheBudgetIsLeftAsItIs", 1024,
                   [](ModelData& m, size_t i) {
                       m.materials = {material(0.5f), material(0.5f, 0), material(0.2f)};
                       m.meshes.push_back(shape(Primitive::triangles, unsigned(i % 3), i % 2 == 0));
                       m.placements.push_back({static_cast<unsigned>(i / 2), moved(i, i % 3 == 0 ? -1.0f : 1.0f)});
                   },
                   1024, Faces::same, ""}};
}

INSTANTIATE_TEST_SUITE_P(Models, Budget, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<BudgetCase>& info) { return std::string(info.param.name); });

// A mesh placed thousands of times is copied only until the draws fit or
// the copies reach their budget; the placements left keep sharing it.
TEST(Budget, RepeatedMeshesAreCopiedOnlyWithinTheirBudget)
{
    ModelData model;
    model.materials = {material(0.5f)};
    model.meshes = {shape(Primitive::triangles, 0, false)};
    for (size_t i = 0; i < 5000; ++i)
        model.placements.push_back({0, moved(i)});
    const ModelData read = model;
    DrawBudget budget;
    budget.copiedVertices = 3 * 3000;

    fitDrawBudget(model, budget);

    ASSERT_EQ(model.meshes.size(), 2u);
    EXPECT_EQ(model.placements.size(), 5000u - 3000u + 1u);
    EXPECT_EQ(model.meshes[0].vertexCount() + model.meshes[1].vertexCount(), 3u * 3000u + 3u);
    EXPECT_EQ(drawnFaces(model), drawnFaces(read));
}

} // namespace
