// The import process's work: a model file through the importer, its textures through the image decoder, out as records.
#include "import/ModelReader.h"

#include "base/Printable.h"
#include "import/DrawBudget.h"
#include "import/GltfExtras.h"
#include "import/ImportProgress.h"
#include "import/ImportedMaterials.h"
#include "import/Mipmaps.h"
#include "import/ModelTransfer.h"
#include "import/NodePlacement.h"
#include "import/ObjReader.h"
#include "import/PlyReader.h"
#include "import/SceneRead.h"
#include "import/StlReader.h"
#include "import/Tangents.h"
#include "import/TexturePath.h"
#include "import/TextureSources.h"

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/commonMetaData.h>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/mesh.h>
#include <assimp/scene.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <glm/glm.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <map>
#include <memory>

namespace import {

namespace {

enum class FaceProblem { none, noFaces, mixedFaces, indexOutOfRange };

// Points, lines and triangles each come in meshes of their own; a mesh
// whose faces disagree, or index past its vertices, cannot be drawn.
FaceProblem checkFaces(const aiMesh* mesh, unsigned& perFace)
{
    perFace = 0;
    if (mesh->mVertices == nullptr || mesh->mNumVertices == 0 || mesh->mFaces == nullptr || mesh->mNumFaces == 0)
        return FaceProblem::noFaces;
    perFace = mesh->mFaces[0].mNumIndices;
    if (perFace < 1 || perFace > 3)
        return FaceProblem::mixedFaces;
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiFace& face = mesh->mFaces[f];
        if (face.mNumIndices != perFace || face.mIndices == nullptr)
            return FaceProblem::mixedFaces;
        for (unsigned k = 0; k < perFace; ++k)
            if (face.mIndices[k] >= mesh->mNumVertices)
                return FaceProblem::indexOutOfRange;
    }
    return FaceProblem::none;
}

// Vertex colours as the lighting takes them, linear. glTF stores them so;
// the other formats (PLY and OBJ from scanners and modelling programs, FBX,
// Collada) hold the colours as they were seen, in sRGB.
void decodeSrgbColours(std::vector<float>& colours)
{
    for (size_t i = 0; i < colours.size(); ++i) {
        if (i % 4 == 3)
            continue;
        const float c = std::clamp(colours[i], 0.0f, 1.0f);
        colours[i] = c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
    }
}

// The importer that read `file`, as it names itself ("glTF2 Importer").
std::string sourceFormat(const aiScene* file)
{
    aiString format;
    if (file->mMetaData == nullptr || !file->mMetaData->Get(AI_METADATA_SOURCE_FORMAT, format))
        return "";
    return format.C_Str();
}

// An STL facet's stored normal is redundant with its winding, which the
// format makes normative, and writers get it wrong: zero, or pointing
// inward on a whole part (drawn black). Each facet is lit by its winding
// alone, with vertices of its own, as a faceted format's surfaces are
// (large files arrive unjoined anyway).
void lightFacetsByWinding(ModelMesh& mesh)
{
    ModelMesh faceted;
    faceted.name = mesh.name;
    faceted.primitive = mesh.primitive;
    faceted.material = mesh.material;
    const bool colours = !mesh.colours.empty();
    for (size_t face = 0; face + 2 < mesh.indices.size(); face += 3) {
        glm::vec3 corner[3];
        for (int k = 0; k < 3; ++k)
            corner[k] = glm::make_vec3(&mesh.positions[3 * static_cast<size_t>(mesh.indices[face + k])]);
        glm::vec3 normal = glm::cross(corner[1] - corner[0], corner[2] - corner[0]);
        const float length = glm::length(normal);
        normal = length > 0.0f && std::isfinite(length) ? normal / length : glm::vec3(0.0f, 0.0f, 1.0f);
        for (int k = 0; k < 3; ++k) {
            const size_t from = mesh.indices[face + k];
            faceted.indices.push_back(static_cast<unsigned>(faceted.positions.size() / 3));
            faceted.positions.insert(faceted.positions.end(), {corner[k].x, corner[k].y, corner[k].z});
            faceted.normals.insert(faceted.normals.end(), {normal.x, normal.y, normal.z});
            if (colours)
                faceted.colours.insert(faceted.colours.end(), mesh.colours.begin() + 4 * from,
                                       mesh.colours.begin() + 4 * from + 4);
        }
    }
    mesh = std::move(faceted);
}

// The mesh with set 0 of its texture coordinates, and `secondSet` (as the
// file numbers it; 0 for none) as its texCoords1.
ModelMesh convertMesh(const aiMesh* mesh, unsigned perFace, unsigned material, unsigned secondSet)
{
    ModelMesh out;
    out.name = printable(mesh->mName.C_Str());
    out.primitive = static_cast<Primitive>(perFace);
    out.material = material;
    const size_t vertices = mesh->mNumVertices;
    out.positions.resize(3 * vertices);
    for (size_t i = 0; i < vertices; ++i) {
        out.positions[3 * i + 0] = mesh->mVertices[i].x;
        out.positions[3 * i + 1] = mesh->mVertices[i].y;
        out.positions[3 * i + 2] = mesh->mVertices[i].z;
    }
    if (mesh->mNormals != nullptr) {
        out.normals.resize(3 * vertices);
        for (size_t i = 0; i < vertices; ++i) {
            out.normals[3 * i + 0] = mesh->mNormals[i].x;
            out.normals[3 * i + 1] = mesh->mNormals[i].y;
            out.normals[3 * i + 2] = mesh->mNormals[i].z;
        }
    }
    const std::pair<const aiVector3D*, std::vector<float>*> sets[] = {
        {mesh->mTextureCoords[0], &out.texCoords},
        {secondSet != 0 && secondSet < AI_MAX_NUMBER_OF_TEXTURECOORDS ? mesh->mTextureCoords[secondSet] : nullptr,
         &out.texCoords1}};
    for (const auto& [uvs, into] : sets) {
        if (uvs == nullptr)
            continue;
        into->resize(2 * vertices);
        for (size_t i = 0; i < vertices; ++i) {
            (*into)[2 * i + 0] = uvs[i].x;
            (*into)[2 * i + 1] = uvs[i].y;
        }
    }
    if (const aiColor4D* colours = mesh->mColors[0]) {
        out.colours.resize(4 * vertices);
        for (size_t i = 0; i < vertices; ++i) {
            out.colours[4 * i + 0] = colours[i].r;
            out.colours[4 * i + 1] = colours[i].g;
            out.colours[4 * i + 2] = colours[i].b;
            out.colours[4 * i + 3] = colours[i].a;
        }
    }
    out.indices.resize(static_cast<size_t>(perFace) * mesh->mNumFaces);
    for (size_t f = 0; f < mesh->mNumFaces; ++f)
        for (unsigned k = 0; k < perFace; ++k)
            out.indices[perFace * f + k] = mesh->mFaces[f].mIndices[k];
    return out;
}

// The file's own tangents, where it gives them with bitangents that tell
// which way round the texture lies (the importer makes glTF's w into them).
void copyTangents(const aiMesh* mesh, ModelMesh& out)
{
    if (mesh->mTangents == nullptr || mesh->mBitangents == nullptr || mesh->mNormals == nullptr)
        return;
    out.tangents.resize(4 * static_cast<size_t>(mesh->mNumVertices));
    for (size_t i = 0; i < mesh->mNumVertices; ++i) {
        const aiVector3D& t = mesh->mTangents[i];
        const aiVector3D across = mesh->mNormals[i] ^ t;
        out.tangents[4 * i + 0] = t.x;
        out.tangents[4 * i + 1] = t.y;
        out.tangents[4 * i + 2] = t.z;
        out.tangents[4 * i + 3] = across * mesh->mBitangents[i] < 0.0f ? -1.0f : 1.0f;
    }
}

// Tangents for a mesh whose material has a normal map: the file's, or made
// along the texture coordinates the map reads.
void giveTangents(ModelMesh& mesh, const ModelMaterial& material, const aiMesh* imported = nullptr)
{
    if (material.normalTexture < 0 || !canCarryTangents(mesh))
        return;
    if (imported != nullptr)
        copyTangents(imported, mesh);
    const bool secondSet = material.mappings[2].uvSet == 1 && !mesh.texCoords1.empty();
    if (secondSet)
        std::swap(mesh.texCoords, mesh.texCoords1);
    if (mesh.tangents.empty())
        generateTangents(mesh);
    if (secondSet)
        std::swap(mesh.texCoords, mesh.texCoords1);
}

// The importer's own idea of how far it is, for the progress line.
class ShareProgress : public Assimp::ProgressHandler {
public:
    explicit ShareProgress(ImportProgress* progress) : progress(progress) {}
    bool Update(float percentage) override
    {
        if (percentage >= 0.0f && percentage <= 1.0f) {
            progress->workTotal = 1000;
            progress->workDone = static_cast<unsigned long long>(percentage * 1000.0f);
        }
        return true;
    }

private:
    ImportProgress* progress;
};

// Each mesh the viewer can draw, converted, to `take` with its index in the
// file, carrying the second set of texture coordinates its material reads
// (`secondSets`, by material); a line in `notes` for each it cannot draw,
// and for each material whose meshes lack that set.
void convertMeshes(const aiScene* file, const std::vector<ModelMaterial>& materials,
                   const std::vector<unsigned>& secondSets, std::vector<std::string>& notes,
                   const std::function<void(unsigned, ModelMesh&&)>& take)
{
    std::vector<char> setMissed(materials.size(), 0);
    const unsigned fallbackMaterial = static_cast<unsigned>(materials.size() - 1);
    const std::string format = sourceFormat(file);
    const bool linearColours = format.rfind("glTF", 0) == 0;
    const bool stl = format.find("(STL)") != std::string::npos;
    for (unsigned i = 0; i < file->mNumMeshes && file->mMeshes != nullptr; ++i) {
        const aiMesh* mesh = file->mMeshes[i];
        if (mesh == nullptr)
            continue;
        unsigned perFace = 0;
        switch (checkFaces(mesh, perFace)) {
        case FaceProblem::none:
            break;
        case FaceProblem::noFaces:
            notes.push_back("Skipping mesh without faces: " + printable(mesh->mName.C_Str()));
            continue;
        case FaceProblem::mixedFaces:
            notes.push_back("Skipping mesh with mixed or unknown faces: " + printable(mesh->mName.C_Str()));
            continue;
        case FaceProblem::indexOutOfRange:
            notes.push_back("Skipping mesh with invalid indices: " + printable(mesh->mName.C_Str()));
            continue;
        }
        const unsigned material = mesh->mMaterialIndex < fallbackMaterial ? mesh->mMaterialIndex : fallbackMaterial;
        const unsigned secondSet = material < secondSets.size() ? secondSets[material] : 0;
        ModelMesh converted = convertMesh(mesh, perFace, material, secondSet);
        if (secondSet != 0 && converted.texCoords1.empty() && !setMissed[material]) {
            setMissed[material] = 1;
            notes.push_back("Mesh " + printable(mesh->mName.C_Str()) + " has no texture coordinate set " +
                            std::to_string(secondSet) + ", which its material reads; set 0 is read instead");
        }
        if (!linearColours)
            decodeSrgbColours(converted.colours);
        if (stl && perFace == 3)
            lightFacetsByWinding(converted);
        giveTangents(converted, materials[material], mesh);
        take(i, std::move(converted));
    }
}

void notePlacementCuts(const Placements& walk, const PlacementLimits& limits, std::vector<std::string>& notes)
{
    if (walk.nodesTooDeep > 0)
        notes.push_back("Left out " + std::to_string(walk.nodesTooDeep) + " nodes nested deeper than " +
                        std::to_string(limits.maxDepth) + " levels, with everything under them");
    if (walk.placementsCut)
        notes.push_back("Drawing the first " + std::to_string(limits.maxPlacements) +
                        " placements of meshes only: the file's nodes place them more often");
}

// A model within the draw budget once fitted to it: its textures (their
// sources in `sources`, reordered as the budget keeps them), materials,
// meshes, placements and notes. Each mesh goes from memory once sent.
// True while the stream takes it; the caller ends the geometry.
bool sendWithinBudget(ModelData& model, std::vector<TextureSource>& sources, TransferWriter& out)
{
    for (const TextureSource& source : sources)
        model.textures.push_back(source.texture);
    std::vector<TextureSource> kept;
    for (size_t i : fitDrawBudget(model))
        kept.push_back(std::move(sources[i]));
    sources = std::move(kept);
    for (const TextureSource& source : sources)
        out.texture(source.texture);
    for (const ModelMaterial& material : model.materials)
        out.material(material);
    for (ModelMesh& mesh : model.meshes) {
        out.mesh(mesh);
        mesh = ModelMesh();
    }
    for (const ModelPlacement& placement : model.placements)
        out.placement(placement);
    for (const std::string& line : model.notes)
        out.note(line);
    return out.writing();
}

// A model past the draw budget: every mesh converted before any is sent,
// for the budget merges them. The importer's copy of each goes as soon as
// it is converted, so that the model is not held twice.
bool sendMerged(Assimp::Importer& importer, std::vector<ModelMaterial> materials,
                const std::vector<unsigned>& secondSets, std::vector<std::string> notes, const Placements& walk,
                const PlacementLimits& limits, std::vector<TextureSource>& sources, TransferWriter& out)
{
    const std::unique_ptr<aiScene> file(importer.GetOrphanedScene());
    ModelData model;
    model.materials = std::move(materials);
    model.notes = std::move(notes);
    std::vector<int> convertedAt(file->mNumMeshes, -1);
    convertMeshes(file.get(), model.materials, secondSets, model.notes, [&](unsigned index, ModelMesh&& mesh) {
        convertedAt[index] = static_cast<int>(model.meshes.size());
        model.meshes.push_back(std::move(mesh));
        delete file->mMeshes[index];
        file->mMeshes[index] = nullptr;
    });
    for (const MeshPlacement& placement : walk.placements) {
        const int mesh = convertedAt[placement.meshIndex];
        if (mesh >= 0)
            model.placements.push_back({static_cast<unsigned>(mesh), placement.modelMatrix});
    }
    notePlacementCuts(walk, limits, model.notes);
    return sendWithinBudget(model, sources, out);
}

// The model through the importer: its materials, meshes and placements
// sent, the textures it names left in `sources` for decoding.
bool sendImported(const std::string& path, TransferWriter& out, ImportProgress* progress,
                  const std::function<void(unsigned long long)>& onRead, Assimp::IOSystem* files,
                  std::vector<TextureSource>& sources)
{
    Assimp::Importer importer;
    // A triangle whose corners coincide would otherwise turn into a point or
    // a line, which are drawn now. The check for small areas is off: it has
    // a fixed threshold, which would strip a model made in large units (or
    // a tiny one) of its faces.
    importer.SetPropertyBool(AI_CONFIG_PP_FD_REMOVE, true);
    importer.SetPropertyBool(AI_CONFIG_PP_FD_CHECKAREA, false);
    // Texture coordinates that are all the same are a palette's texel, as
    // low-poly models colour whole parts, not invalid data to drop.
    importer.SetPropertyBool(AI_CONFIG_PP_FID_IGNORE_TEXTURECOORDS, true);
    importer.SetProgressHandler(new ShareProgress(progress));
    const aiScene* file = readModel(importer, path, files != nullptr ? files : new RegularFilesIOSystem(onRead));
    progress->stage = ImportProgress::sending;
    if (file == nullptr) {
        const std::string reason = importer.GetErrorString();
        out.failure(reason.empty() ? "the importer gave no reason" : reason);
        return false;
    }

    TextureSources textures([file, &path](const std::string& name) { return importedImage(file, name, path); });
    std::vector<ModelMaterial> materials = readMaterials(
        file, textures, files == nullptr ? gltfMaterialExtras(path) : std::vector<GltfMaterialExtras>());
    std::vector<std::string> notes;
    const std::vector<unsigned> secondSets = settleUvSets(materials, notes);
    sources = std::move(textures.sources);
    const PlacementLimits limits;
    const Placements walk = meshPlacements(file, limits);
    if (!withinDrawBudget(walk.placements.size(), file->mNumMeshes, materials.size(), sources.size()))
        return sendMerged(importer, std::move(materials), secondSets, std::move(notes), walk, limits, sources, out);
    for (const TextureSource& source : sources)
        out.texture(source.texture);
    for (const ModelMaterial& material : materials)
        out.material(material);
    std::vector<int> sentMesh(file->mNumMeshes, -1);
    int sent = 0;
    convertMeshes(file, materials, secondSets, notes, [&](unsigned index, ModelMesh&& mesh) {
        out.mesh(mesh);
        sentMesh[index] = sent++;
    });
    for (const MeshPlacement& placement : walk.placements)
        if (sentMesh[placement.meshIndex] >= 0)
            out.placement({static_cast<unsigned>(sentMesh[placement.meshIndex]), placement.modelMatrix});
    notePlacementCuts(walk, limits, notes);
    for (const std::string& line : notes)
        out.note(line);
    return out.writing();
}

// How far a reader of our own is, on the progress line.
ReadProgress readProgress(ImportProgress* progress)
{
    return {&progress->workDone, &progress->workTotal, [progress] { progress->stage = ImportProgress::building; }};
}

// The model through the OBJ reader, sent as sendImported sends it: each
// mesh placed once, where it stands.
bool sendObj(const std::string& path, TransferWriter& out, ImportProgress* progress,
             const std::function<void(unsigned long long)>& onRead, std::vector<TextureSource>& sources)
{
    ObjModel read;
    std::string reason;
    if (!readObj(path, read, reason, onRead, readProgress(progress))) {
        out.failure(reason);
        return false;
    }
    progress->stage = ImportProgress::sending;
    TextureSources textures([&path](const std::string& name) {
        ImageSource image;
        image.path = texturePath(name, path, TextureLookup::besideModel);
        image.name = printable(image.path);
        return image;
    });
    std::vector<int> textureAt;
    for (const TextureRequest& request : read.textures)
        textureAt.push_back(textures.add(request));
    sources = std::move(textures.sources);
    ModelData model;
    model.materials = std::move(read.materials);
    for (ModelMaterial& material : model.materials)
        for (int slot = 0; slot < materialTextureSlots; ++slot) {
            int& texture = textureSlot(material, slot);
            if (texture >= 0)
                texture = textureAt[static_cast<size_t>(texture)];
        }
    model.meshes = std::move(read.meshes);
    for (ModelMesh& mesh : model.meshes) {
        decodeSrgbColours(mesh.colours);
        giveTangents(mesh, model.materials[mesh.material]);
    }
    for (size_t i = 0; i < model.meshes.size(); ++i)
        model.placements.push_back({static_cast<unsigned>(i), glm::mat4(1.0f)});
    model.notes = std::move(read.notes);
    return sendWithinBudget(model, sources, out);
}

enum class Sent { sent, failed, notHandled };

// The model through the STL or PLY reader, sent as sendImported sends it,
// or left to the importer where the reader does not take the file.
Sent sendRead(const std::string& path, TransferWriter& out, ImportProgress* progress,
              const std::function<void(unsigned long long)>& onRead, std::vector<TextureSource>& sources)
{
    ModelData model;
    std::string reason;
    const ReadOutcome outcome = isStlPath(path) ? readStl(path, model, reason, onRead, readProgress(progress))
                                                : readPly(path, model, reason, onRead, readProgress(progress));
    switch (outcome) {
    case ReadOutcome::read:
        break;
    case ReadOutcome::notHandled:
        return Sent::notHandled;
    case ReadOutcome::failed:
        out.failure(reason);
        return Sent::failed;
    }
    progress->stage = ImportProgress::sending;
    for (ModelMesh& mesh : model.meshes)
        decodeSrgbColours(mesh.colours);
    return sendWithinBudget(model, sources, out) ? Sent::sent : Sent::failed;
}

} // namespace

void sendModel(const std::string& path, int fd, ImportProgress* progress,
               const std::function<void(unsigned long long)>& onRead, Assimp::IOSystem* files)
{
    TransferWriter out(fd);
    onRead(0);
    std::vector<TextureSource> sources;
    try {
        // Files given in memory (the fuzzers') go to the importer, as do
        // the files a reader of our own leaves to it.
        Sent sent = Sent::notHandled;
        if (files == nullptr && isObjPath(path))
            sent = sendObj(path, out, progress, onRead, sources) ? Sent::sent : Sent::failed;
        else if (files == nullptr && (isStlPath(path) || isPlyPath(path)))
            sent = sendRead(path, out, progress, onRead, sources);
        if (sent == Sent::notHandled)
            sent = sendImported(path, out, progress, onRead, files, sources) ? Sent::sent : Sent::failed;
        // The importer and the readers have freed all they held: a heap
        // they broke shows there, as a crash before the geometry is complete.
        if (sent == Sent::failed || !out.geometryDone())
            return;
    } catch (const std::bad_alloc&) {
        out.failure("the model needs more memory than an import may take");
        return;
    } catch (const std::length_error&) {
        out.failure("the model needs more memory than an import may take");
        return;
    }

    progress->workDone = 0;
    progress->workTotal = sources.size();
    for (size_t i = 0; i < sources.size(); ++i) {
        progress->workDone = i;
        progress->stage = ImportProgress::decodingTextures;
        ModelImage image;
        std::string reason;
        const bool decoded = decodeSource(sources[i], onRead, image, reason);
        if (decoded) {
            image.space = sources[i].texture.space;
            image.mipmaps = makeMipmaps(image);
        }
        progress->stage = ImportProgress::sendingTextures;
        if (!(decoded ? out.image(static_cast<unsigned>(i), image)
                      : out.textureFailed(static_cast<unsigned>(i), printable(reason))))
            return;
    }
    out.end();
}

} // namespace import
