// Merging a model's meshes by how the viewer draws them, and cutting what is still past the limits.
#include "import/DrawBudget.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>

namespace import {

namespace {

// What decides how the viewer draws a face besides its vertices: faces of
// one look can share a draw and show the same.
struct Look {
    unsigned primitive = 0;
    // Triangles without normals are lit by their facets' planes, those with
    // them by their normals: a merge would give the first zero normals.
    bool facetNormals = false;
    bool twoSided = false;
    int texture = -1;            // the picture shown, -1 for the colour alone
    glm::vec4 colour{0.0f};      // with a picture: the colour it multiplies, or shows where it fails
    bool vertexColours = true;   // with a picture: whether vertex colours tint it
    // Everything else the lighting reads; a map counts only where the
    // mesh can show it (texture coordinates, and tangents for normals).
    ModelMaterial surface;

    auto key() const
    {
        return std::make_tuple(primitive, facetNormals, twoSided, texture, colour.r, colour.g, colour.b, colour.a, vertexColours,
                               surface.colourMultiplies, surface.metallic, surface.roughness, surface.specular,
                               surface.surfaceTexture, surface.normalTexture, surface.normalScale,
                               surface.occlusionTexture, surface.occlusionStrength, surface.emissive.r,
                               surface.emissive.g, surface.emissive.b, surface.emissiveTexture,
                               static_cast<unsigned>(surface.alphaMode), surface.alphaCutoff, mappingKey());
    }
    std::vector<float> mappingKey() const
    {
        std::vector<float> key;
        for (const TextureMapping& m : surface.mappings) {
            key.insert(key.end(), {static_cast<float>(m.uvSet), static_cast<float>(m.wrapU),
                                   static_cast<float>(m.wrapV), static_cast<float>(m.magnify),
                                   static_cast<float>(m.minify)});
            key.insert(key.end(), m.transform, m.transform + 6);
        }
        return key;
    }
    // Whether its faces carry a second set of texture coordinates.
    bool secondSet() const
    {
        return std::any_of(std::begin(surface.mappings), std::end(surface.mappings),
                           [](const TextureMapping& m) { return m.uvSet == 1; });
    }
    bool operator<(const Look& other) const { return key() < other.key(); }
};

// The colour a face without a picture shows at a vertex whose own colour
// is `vertex` (null where the mesh has none): the base colour times it, or
// for a classic material the vertex colour instead; each as the viewer
// takes it (a colour that is not finite arrives as white).
glm::vec4 shownColour(const ModelMaterial& material, const float* vertex)
{
    glm::vec4 shown(1.0f);
    for (int i = 0; i < 3; ++i) {
        const float base = std::isfinite(material.diffuse[i]) ? std::clamp(material.diffuse[i], 0.0f, 1.0f) : 1.0f;
        const float own = vertex != nullptr ? std::clamp(vertex[i], 0.0f, 1.0f) : 1.0f;
        shown[i] = vertex == nullptr ? base : material.colourMultiplies ? base * own : own;
    }
    // Opacity multiplies whatever the rule for the colour.
    shown.a = std::isfinite(material.diffuse.a) ? std::clamp(material.diffuse.a, 0.0f, 1.0f) : 1.0f;
    if (vertex != nullptr)
        shown.a *= vertex[3];
    return shown;
}

Look lookOf(const ModelMesh& mesh, const std::vector<ModelMaterial>& materials)
{
    const ModelMaterial& material = materials[mesh.material];
    Look look;
    look.primitive = static_cast<unsigned>(mesh.primitive);
    look.facetNormals = mesh.normals.empty() && mesh.primitive == Primitive::triangles;
    look.twoSided = material.twoSided;
    look.surface = material;
    look.surface.diffuse = glm::vec4(1.0f);
    look.surface.texture = -1;
    // Without coordinates into its pictures a mesh shows the factors alone.
    if (mesh.texCoords.empty())
        for (int slot = 0; slot < materialTextureSlots; ++slot)
            textureSlot(look.surface, slot) = -1;
    if (mesh.tangents.empty())
        look.surface.normalTexture = -1;
    if (look.surface.normalTexture < 0)
        look.surface.normalScale = 1.0f;
    if (look.surface.occlusionTexture < 0)
        look.surface.occlusionStrength = 1.0f;
    if (look.surface.alphaMode != AlphaMode::mask)
        look.surface.alphaCutoff = 0.5f;
    if (material.texture >= 0 && !mesh.texCoords.empty()) {
        look.texture = material.texture;
        look.colour = material.diffuse;
        look.vertexColours = !mesh.colours.empty();
    } else {
        // The colour shown goes into the vertex colours, whichever rule made it.
        look.surface.colourMultiplies = true;
    }
    // A map the mesh cannot show is read in no way; one whose second set the
    // mesh lacks reads set 0, as the viewer reads it.
    for (int slot = 0; slot < materialTextureSlots; ++slot) {
        TextureMapping& mapping = look.surface.mappings[slot];
        if (textureSlot(look.surface, slot) < 0 && !(slot == 0 && look.texture >= 0))
            mapping = TextureMapping();
        if (mesh.texCoords1.empty())
            mapping.uvSet = 0;
    }
    return look;
}

// A transform whose product the viewer could have drawn from the vertices
// themselves: affine, finite and not flattening the mesh (whose normals
// would have no inverse to go through).
bool bakeable(const glm::mat4& transform)
{
    const float* values = &transform[0][0];
    if (!std::all_of(values, values + 16, [](float v) { return std::isfinite(v); }))
        return false;
    if (transform[0][3] != 0.0f || transform[1][3] != 0.0f || transform[2][3] != 0.0f || transform[3][3] != 1.0f)
        return false;
    const float determinant = glm::determinant(glm::mat3(transform));
    return std::isfinite(determinant) && determinant != 0.0f;
}

// Placements of meshes or materials the model lacks reach nothing the viewer could draw.
void dropBrokenPlacements(ModelData& model)
{
    const auto broken = [&model](const ModelPlacement& placement) {
        return placement.mesh >= model.meshes.size() ||
               model.meshes[placement.mesh].material >= model.materials.size();
    };
    model.placements.erase(std::remove_if(model.placements.begin(), model.placements.end(), broken),
                           model.placements.end());
}

// Past the texture limit, the materials that show the later pictures show
// their colour instead, as when a picture cannot be read.
void capTextures(ModelData& model)
{
    std::vector<char> kept(model.textures.size(), 0);
    std::vector<size_t> firstUse;
    for (const ModelPlacement& placement : model.placements) {
        const ModelMaterial& material = model.materials[model.meshes[placement.mesh].material];
        for (int slot = 0; slot < materialTextureSlots; ++slot) {
            const int texture = textureSlot(material, slot);
            if (texture >= 0 && static_cast<size_t>(texture) < kept.size() && !kept[static_cast<size_t>(texture)]) {
                kept[static_cast<size_t>(texture)] = 1;
                firstUse.push_back(static_cast<size_t>(texture));
            }
        }
    }
    if (firstUse.size() <= ModelLimits::textures)
        return;
    for (size_t i = ModelLimits::textures; i < firstUse.size(); ++i)
        kept[firstUse[i]] = 0;
    for (ModelMaterial& material : model.materials)
        for (int slot = 0; slot < materialTextureSlots; ++slot) {
            int& texture = textureSlot(material, slot);
            if (texture >= 0 && (static_cast<size_t>(texture) >= kept.size() || !kept[static_cast<size_t>(texture)]))
                texture = -1;
        }
    model.notes.push_back("Showing the first " + std::to_string(ModelLimits::textures) + " of " +
                          std::to_string(firstUse.size()) +
                          " textures: the model has more than the viewer loads; the meshes of the rest show their "
                          "colour");
}

// Which placements are merged: every one of a mesh placed once (merging
// moves its vertices, it copies nothing), then copies of meshes placed more
// often, the smallest first, until the draws fit or the copies have used
// their budget. A look that would gather one placement leaves it as it is.
std::vector<char> chooseMerged(const ModelData& model, const std::vector<Look>& looks, const DrawBudget& budget)
{
    std::vector<std::vector<size_t>> placementsOf(model.meshes.size());
    for (size_t i = 0; i < model.placements.size(); ++i)
        placementsOf[model.placements[i].mesh].push_back(i);
    std::vector<char> merged(model.placements.size(), 0);
    std::map<Look, size_t> members;
    size_t draws = model.placements.size();
    const auto merge = [&](size_t placement) {
        merged[placement] = 1;
        if (members[looks[placement]]++ > 0)
            --draws;
    };
    const auto mergeable = [&](size_t mesh) { return model.meshes[mesh].vertexCount() < budget.mergedVertices; };
    std::vector<size_t> instanced;
    for (size_t mesh = 0; mesh < model.meshes.size(); ++mesh) {
        const std::vector<size_t>& uses = placementsOf[mesh];
        if (uses.size() == 1 && mergeable(mesh) && bakeable(model.placements[uses[0]].transform))
            merge(uses[0]);
        else if (uses.size() > 1 && mergeable(mesh))
            instanced.push_back(mesh);
    }
    std::stable_sort(instanced.begin(), instanced.end(), [&model](size_t a, size_t b) {
        return model.meshes[a].vertexCount() < model.meshes[b].vertexCount();
    });
    size_t copied = 0;
    for (size_t mesh : instanced) {
        const size_t vertices = std::max<size_t>(model.meshes[mesh].vertexCount(), 1);
        for (size_t placement : placementsOf[mesh]) {
            if (draws <= budget.drawsLeftAlone || copied + vertices > budget.copiedVertices)
                break;
            if (bakeable(model.placements[placement].transform)) {
                merge(placement);
                copied += vertices;
            }
        }
    }
    for (size_t i = 0; i < merged.size(); ++i)
        if (merged[i] && members[looks[i]] == 1)
            merged[i] = 0;
    return merged;
}

// Zero normals stand in for a mesh's missing ones: the viewer reads a zero
// normal for such a mesh, which its program turns toward the eye.
void appendNormals(ModelMesh& into, const ModelMesh& mesh, const glm::mat3& normalMatrix, size_t base)
{
    if (mesh.normals.empty() && into.normals.empty())
        return;
    if (into.normals.empty())
        into.normals.assign(3 * base, 0.0f);
    if (mesh.normals.empty()) {
        into.normals.resize(into.normals.size() + mesh.positions.size(), 0.0f);
        return;
    }
    for (size_t i = 0; i + 2 < mesh.normals.size(); i += 3) {
        const glm::vec3 normal = normalMatrix * glm::vec3(mesh.normals[i], mesh.normals[i + 1], mesh.normals[i + 2]);
        into.normals.insert(into.normals.end(), {normal.x, normal.y, normal.z});
    }
}

// Tangents go as surface directions do, by the transform itself; a
// mirroring transform turns the texture's side over.
void appendTangents(ModelMesh& into, const ModelMesh& mesh, const glm::mat4& transform)
{
    const glm::mat3 linear(transform);
    const float turn = glm::determinant(linear) < 0.0f ? -1.0f : 1.0f;
    for (size_t i = 0; i + 3 < mesh.tangents.size(); i += 4) {
        const glm::vec3 tangent = linear * glm::vec3(mesh.tangents[i], mesh.tangents[i + 1], mesh.tangents[i + 2]);
        into.tangents.insert(into.tangents.end(), {tangent.x, tangent.y, tangent.z, turn * mesh.tangents[i + 3]});
    }
}

bool anyMap(const ModelMaterial& surface)
{
    for (int slot = 0; slot < materialTextureSlots; ++slot)
        if (textureSlot(surface, slot) >= 0)
            return true;
    return false;
}

// `mesh` of `material` where `transform` places it, added to `into`, which
// draws it with `look`: positions and normals carried as the viewer carries
// them (normals by the inverse transpose, not made unit again, as it
// interpolates them), and the corners of mirrored triangles swapped as it
// swaps them, so that their fronts stay outside. Texture coordinates go
// where the look shows a map, tangents where it shows a normal map. With a
// picture the tints go as they are; without one the colour shown at each
// vertex goes in the vertex colours.
void appendPlaced(ModelMesh& into, const ModelMesh& mesh, const ModelMaterial& material, const Look& look,
                  const glm::mat4& transform)
{
    const size_t base = into.vertexCount();
    for (size_t i = 0; i + 2 < mesh.positions.size(); i += 3) {
        const glm::vec4 placed =
            transform * glm::vec4(mesh.positions[i], mesh.positions[i + 1], mesh.positions[i + 2], 1.0f);
        into.positions.insert(into.positions.end(), {placed.x, placed.y, placed.z});
    }
    appendNormals(into, mesh, glm::transpose(glm::inverse(glm::mat3(transform))), base);
    if (look.texture >= 0 || anyMap(look.surface))
        into.texCoords.insert(into.texCoords.end(), mesh.texCoords.begin(), mesh.texCoords.end());
    if (look.secondSet())
        into.texCoords1.insert(into.texCoords1.end(), mesh.texCoords1.begin(), mesh.texCoords1.end());
    if (look.surface.normalTexture >= 0)
        appendTangents(into, mesh, transform);
    if (look.texture >= 0)
        into.colours.insert(into.colours.end(), mesh.colours.begin(), mesh.colours.end());
    else
        for (size_t v = 0; v < mesh.vertexCount(); ++v) {
            const glm::vec4 shown = shownColour(material, mesh.colours.empty() ? nullptr : &mesh.colours[4 * v]);
            into.colours.insert(into.colours.end(), {shown.r, shown.g, shown.b, shown.a});
        }
    const bool mirrored = glm::determinant(glm::mat3(transform)) < 0.0f && mesh.primitive == Primitive::triangles;
    const size_t first = into.indices.size();
    for (unsigned index : mesh.indices)
        into.indices.push_back(static_cast<unsigned>(base + index));
    if (mirrored)
        for (size_t i = first; i + 2 < into.indices.size(); i += 3)
            std::swap(into.indices[i + 1], into.indices[i + 2]);
}

// The material of merged faces that show their colour without a picture:
// the look's surface in white, which the vertex colours then tint.
unsigned colourMaterial(std::vector<ModelMaterial>& materials, std::map<Look, unsigned>& made, const Look& look)
{
    const auto found = made.find(look);
    if (found != made.end())
        return found->second;
    ModelMaterial material = look.surface;
    material.diffuse = glm::vec4(1.0f);
    material.texture = -1;
    material.colourMultiplies = true;
    material.twoSided = look.twoSided;
    materials.push_back(material);
    return made[look] = static_cast<unsigned>(materials.size() - 1);
}

// The meshes and placements once the `merged` placements are gathered by
// look into meshes placed where they stand; each source mesh goes once its
// last placement has been dealt with.
void mergePlacements(ModelData& model, const std::vector<Look>& looks, const std::vector<char>& merged,
                     const DrawBudget& budget)
{
    std::vector<size_t> usesLeft(model.meshes.size(), 0);
    std::vector<size_t> mergesLeft(model.meshes.size(), 0);
    for (size_t i = 0; i < model.placements.size(); ++i) {
        ++usesLeft[model.placements[i].mesh];
        mergesLeft[model.placements[i].mesh] += merged[i] ? 1 : 0;
    }
    std::vector<ModelMesh> meshes;
    std::vector<ModelPlacement> placements;
    std::vector<long long> keptAt(model.meshes.size(), -1);
    std::map<Look, size_t> filling;
    std::map<Look, unsigned> colourMaterials;
    for (size_t i = 0; i < model.placements.size(); ++i) {
        const ModelPlacement& placement = model.placements[i];
        ModelMesh& mesh = model.meshes[placement.mesh];
        const bool last = --usesLeft[placement.mesh] == 0;
        if (!merged[i]) {
            // Copied only while merged placements still need the source.
            if (keptAt[placement.mesh] < 0) {
                keptAt[placement.mesh] = static_cast<long long>(meshes.size());
                meshes.push_back(mergesLeft[placement.mesh] == 0 ? std::move(mesh) : mesh);
            }
            placements.push_back({static_cast<unsigned>(keptAt[placement.mesh]), placement.transform});
            if (last)
                mesh = ModelMesh();
            continue;
        }
        --mergesLeft[placement.mesh];
        const Look& look = looks[i];
        auto target = filling.find(look);
        if (target == filling.end() ||
            meshes[target->second].vertexCount() + mesh.vertexCount() > budget.mergedVertices) {
            ModelMesh gathered;
            gathered.name = "merged";
            gathered.primitive = mesh.primitive;
            gathered.material =
                look.texture >= 0 ? mesh.material : colourMaterial(model.materials, colourMaterials, look);
            placements.push_back({static_cast<unsigned>(meshes.size()), glm::mat4(1.0f)});
            target = filling.insert_or_assign(look, meshes.size()).first;
            meshes.push_back(std::move(gathered));
        }
        appendPlaced(meshes[target->second], mesh, model.materials[mesh.material], look, placement.transform);
        if (last)
            mesh = ModelMesh();
    }
    model.meshes = std::move(meshes);
    model.placements = std::move(placements);
}

void capDraws(ModelData& model)
{
    if (model.placements.size() <= ModelLimits::placements)
        return;
    model.notes.push_back("Drawing the first " + std::to_string(ModelLimits::placements) + " of " +
                          std::to_string(model.placements.size()) +
                          " meshes: the model has more than the viewer draws");
    model.placements.resize(ModelLimits::placements);
}

// Keeps the `used` items in their order; returns each old index's new one, -1 for those dropped.
template <typename T> std::vector<long long> keepUsed(std::vector<T>& items, const std::vector<char>& used)
{
    std::vector<long long> newIndex(items.size(), -1);
    size_t kept = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!used[i])
            continue;
        newIndex[i] = static_cast<long long>(kept);
        if (kept != i)
            items[kept] = std::move(items[i]);
        ++kept;
    }
    items.resize(kept);
    return newIndex;
}

// Drops the meshes no placement reaches, the materials no mesh names and
// the textures no material shows; returns the textures kept.
std::vector<size_t> dropUnused(ModelData& model)
{
    std::vector<char> used(model.meshes.size(), 0);
    for (const ModelPlacement& placement : model.placements)
        used[placement.mesh] = 1;
    const std::vector<long long> meshAt = keepUsed(model.meshes, used);
    for (ModelPlacement& placement : model.placements)
        placement.mesh = static_cast<unsigned>(meshAt[placement.mesh]);
    used.assign(model.materials.size(), 0);
    for (const ModelMesh& mesh : model.meshes)
        used[mesh.material] = 1;
    const std::vector<long long> materialAt = keepUsed(model.materials, used);
    for (ModelMesh& mesh : model.meshes)
        mesh.material = static_cast<unsigned>(materialAt[mesh.material]);
    used.assign(model.textures.size(), 0);
    for (ModelMaterial& material : model.materials)
        for (int slot = 0; slot < materialTextureSlots; ++slot) {
            int& texture = textureSlot(material, slot);
            if (texture >= static_cast<int>(used.size()))
                texture = -1;
            if (texture >= 0)
                used[static_cast<size_t>(texture)] = 1;
        }
    std::vector<size_t> kept;
    for (size_t i = 0; i < used.size(); ++i)
        if (used[i])
            kept.push_back(i);
    const std::vector<long long> textureAt = keepUsed(model.textures, used);
    for (ModelMaterial& material : model.materials)
        for (int slot = 0; slot < materialTextureSlots; ++slot) {
            int& texture = textureSlot(material, slot);
            if (texture >= 0)
                texture = static_cast<int>(textureAt[static_cast<size_t>(texture)]);
        }
    return kept;
}

} // namespace

bool withinDrawBudget(size_t placements, size_t meshes, size_t materials, size_t textures, const DrawBudget& budget)
{
    return placements <= budget.drawsLeftAlone && placements <= ModelLimits::placements &&
           meshes <= ModelLimits::meshes && materials <= ModelLimits::materials && textures <= ModelLimits::textures;
}

std::vector<size_t> fitDrawBudget(ModelData& model, const DrawBudget& budget)
{
    if (withinDrawBudget(model.placements.size(), model.meshes.size(), model.materials.size(), model.textures.size(),
                         budget)) {
        std::vector<size_t> all(model.textures.size());
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        return all;
    }
    dropBrokenPlacements(model);
    capTextures(model);
    if (model.placements.size() > budget.drawsLeftAlone) {
        std::vector<Look> looks;
        looks.reserve(model.placements.size());
        for (const ModelPlacement& placement : model.placements)
            looks.push_back(lookOf(model.meshes[placement.mesh], model.materials));
        mergePlacements(model, looks, chooseMerged(model, looks, budget), budget);
    }
    capDraws(model);
    return dropUnused(model);
}

} // namespace import
