// The import process's work: a model file through the importer, its textures through the image decoder, out as records.
#include "import/ModelReader.h"

#include "base/Printable.h"
#include "image/ImageDecoder.h"
#include "import/DrawBudget.h"
#include "import/ImportProcess.h"
#include "import/ModelTransfer.h"
#include "import/NodePlacement.h"
#include "import/ObjReader.h"
#include "import/SceneRead.h"
#include "import/TexturePath.h"

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/mesh.h>
#include <assimp/scene.h>
#include <filesystem>
#include <map>
#include <memory>

namespace import {

namespace {

// A model's textures are drawn at a fraction of the render size; past 8192
// pixels a side an image only costs memory (a gigabyte for one 16384 square).
const ImageLimits modelImageLimits{16384, 1LL << 26};

// Where a texture's pixels come from: a file beside the model, or bytes the
// model carries (copied, for the imported scene is gone by the time they are
// decoded).
struct TextureSource {
    ModelTexture texture;
    std::string path;                  // a file, when not embedded
    bool embedded = false;
    std::string embeddedName;          // for the format's extension
    std::vector<unsigned char> bytes;  // an encoded image
    int rawWidth = 0;                  // or raw texels, BGRA, the top row first
    int rawHeight = 0;
};

// The first texture a material shows as its colour: diffuse, or glTF's base colour.
bool colourTextureName(const aiMaterial* material, aiString& name)
{
    for (aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR}) {
        if (aiGetMaterialTextureCount(material, type) > 0 &&
            aiGetMaterialTexture(material, type, 0, &name) == aiReturn_SUCCESS && name.length > 0)
            return true;
    }
    return false;
}

TextureSource sourceOf(const aiScene* file, const std::string& name, const std::string& scenePath)
{
    TextureSource source;
    source.texture.name = printable(name + " in " + std::filesystem::path(scenePath).filename().string());
    const aiTexture* embedded = file->GetEmbeddedTexture(name.c_str());
    if (embedded == nullptr) {
        source.path = texturePath(name, scenePath, TextureLookup::besideModel);
        source.texture.name = printable(source.path);
        return source;
    }
    source.embedded = true;
    if (embedded->mHeight == 0) {
        const auto* data = reinterpret_cast<const unsigned char*>(embedded->pcData);
        if (data != nullptr)
            source.bytes.assign(data, data + embedded->mWidth);
        // The format's hint stands in for an extension (TGA has no signature).
        source.embeddedName = name + "." + std::string(embedded->achFormatHint, strnlen(embedded->achFormatHint, 9));
        return source;
    }
    const unsigned long long texels = static_cast<unsigned long long>(embedded->mWidth) * embedded->mHeight;
    if (embedded->pcData != nullptr && texels <= static_cast<unsigned long long>(modelImageLimits.maxPixels)) {
        source.rawWidth = static_cast<int>(embedded->mWidth);
        source.rawHeight = static_cast<int>(embedded->mHeight);
        const auto* data = reinterpret_cast<const unsigned char*>(embedded->pcData);
        source.bytes.assign(data, data + 4 * texels);
    }
    return source;
}

// Decodes one texture into `image`, or says why it cannot.
bool decodeSource(const TextureSource& source, const std::function<void(unsigned long long)>& onRead,
                  ModelImage& image, std::string& reason)
{
    if (source.rawWidth > 0) {
        const size_t width = static_cast<size_t>(source.rawWidth);
        const size_t height = static_cast<size_t>(source.rawHeight);
        image.width = source.rawWidth;
        image.height = source.rawHeight;
        image.pixels.resize(4 * width * height);
        for (size_t row = 0; row < height; ++row) {
            const unsigned char* from = source.bytes.data() + 4 * width * (height - 1 - row);
            unsigned char* to = image.pixels.data() + 4 * width * row;
            for (size_t x = 0; x < width; ++x) {
                to[4 * x + 0] = from[4 * x + 2];
                to[4 * x + 1] = from[4 * x + 1];
                to[4 * x + 2] = from[4 * x + 0];
                to[4 * x + 3] = from[4 * x + 3];
            }
        }
        return true;
    }
    ImageFailure failure;
    std::vector<unsigned char> fileBytes;
    const std::vector<unsigned char>* bytes = &source.bytes;
    if (source.embedded && source.bytes.empty()) {
        reason = "the model holds no image data for it";
        return false;
    }
    if (!source.embedded) {
        if (!readImageFile(source.path, fileBytes, failure)) {
            reason = failure.reason;
            return false;
        }
        onRead(fileBytes.size());
        bytes = &fileBytes;
    }
    DecodedImage decoded;
    const std::string& name = source.embedded ? source.embeddedName : source.path;
    if (!decodeImage(name, bytes->data(), bytes->size(), modelImageLimits, RowOrder::bottomUp, decoded, failure)) {
        if (failure.conversion)
            reason = "its pixels cannot be converted to RGBA";
        else
            reason = failure.reason;
        if (reason.empty()) {
            reason = "the image library cannot decode it (error";
            for (unsigned code : failure.codes)
                reason += " " + std::to_string(code);
            reason += ")";
        }
        return false;
    }
    image.width = decoded.width;
    image.height = decoded.height;
    image.pixels.assign(decoded.pixels, decoded.pixels + 4 * static_cast<size_t>(decoded.width) * decoded.height);
    releaseDecodedImage();
    return true;
}

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

ModelMesh convertMesh(const aiMesh* mesh, unsigned perFace, unsigned material)
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
    if (const aiVector3D* uvs = mesh->mTextureCoords[0]) {
        out.texCoords.resize(2 * vertices);
        for (size_t i = 0; i < vertices; ++i) {
            out.texCoords[2 * i + 0] = uvs[i].x;
            out.texCoords[2 * i + 1] = uvs[i].y;
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

// The file's materials, with one more at the end for meshes that name none
// of them; the textures they show are left in `sources`, each once, as its
// first material names it.
std::vector<ModelMaterial> readMaterials(const aiScene* file, const std::string& path,
                                         std::vector<TextureSource>& sources)
{
    std::map<std::string, int> sourceByKey;
    std::vector<ModelMaterial> materials;
    for (unsigned i = 0; i < file->mNumMaterials && file->mMaterials != nullptr; ++i) {
        const aiMaterial* imported = file->mMaterials[i];
        ModelMaterial material;
        if (imported == nullptr) {
            materials.push_back(material);
            continue;
        }
        aiColor4D colour;
        if (aiGetMaterialColor(imported, AI_MATKEY_COLOR_DIFFUSE, &colour) == aiReturn_SUCCESS)
            material.diffuse = glm::vec4(colour.r, colour.g, colour.b, 1.0f);
        int twoSided = 0;
        if (aiGetMaterialInteger(imported, AI_MATKEY_TWOSIDED, &twoSided) == aiReturn_SUCCESS)
            material.twoSided = twoSided != 0;
        aiString name;
        if (colourTextureName(imported, name)) {
            TextureSource source = sourceOf(file, name.C_Str(), path);
            const std::string key = source.embedded ? "*" + std::string(name.C_Str()) : source.path;
            const auto found = sourceByKey.find(key);
            if (found != sourceByKey.end()) {
                material.texture = found->second;
            } else {
                material.texture = static_cast<int>(sources.size());
                sourceByKey[key] = material.texture;
                sources.push_back(std::move(source));
            }
        }
        materials.push_back(material);
    }
    materials.push_back(ModelMaterial());
    return materials;
}

// Each mesh the viewer can draw, converted, to `take` with its index in the
// file; a line in `notes` for each it cannot.
void convertMeshes(const aiScene* file, unsigned fallbackMaterial, std::vector<std::string>& notes,
                   const std::function<void(unsigned, ModelMesh&&)>& take)
{
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
        take(i, convertMesh(mesh, perFace, material));
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
    return out.geometryDone();
}

// A model past the draw budget: every mesh converted before any is sent,
// for the budget merges them. The importer's copy of each goes as soon as
// it is converted, so that the model is not held twice.
bool sendMerged(Assimp::Importer& importer, std::vector<ModelMaterial> materials, const Placements& walk,
                const PlacementLimits& limits, std::vector<TextureSource>& sources, TransferWriter& out)
{
    const std::unique_ptr<aiScene> file(importer.GetOrphanedScene());
    ModelData model;
    model.materials = std::move(materials);
    std::vector<int> convertedAt(file->mNumMeshes, -1);
    convertMeshes(file.get(), static_cast<unsigned>(model.materials.size() - 1), model.notes,
                  [&](unsigned index, ModelMesh&& mesh) {
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
    importer.SetProgressHandler(new ShareProgress(progress));
    const aiScene* file = readModel(importer, path, files != nullptr ? files : new RegularFilesIOSystem(onRead));
    progress->stage = ImportProgress::sending;
    if (file == nullptr) {
        const std::string reason = importer.GetErrorString();
        out.failure(reason.empty() ? "the importer gave no reason" : reason);
        return false;
    }

    std::vector<ModelMaterial> materials = readMaterials(file, path, sources);
    const PlacementLimits limits;
    const Placements walk = meshPlacements(file, limits);
    if (!withinDrawBudget(walk.placements.size(), file->mNumMeshes, materials.size(), sources.size()))
        return sendMerged(importer, std::move(materials), walk, limits, sources, out);
    for (const TextureSource& source : sources)
        out.texture(source.texture);
    for (const ModelMaterial& material : materials)
        out.material(material);
    std::vector<std::string> notes;
    std::vector<int> sentMesh(file->mNumMeshes, -1);
    int sent = 0;
    convertMeshes(file, static_cast<unsigned>(materials.size() - 1), notes, [&](unsigned index, ModelMesh&& mesh) {
        out.mesh(mesh);
        sentMesh[index] = sent++;
    });
    for (const MeshPlacement& placement : walk.placements)
        if (sentMesh[placement.meshIndex] >= 0)
            out.placement({static_cast<unsigned>(sentMesh[placement.meshIndex]), placement.modelMatrix});
    notePlacementCuts(walk, limits, notes);
    for (const std::string& line : notes)
        out.note(line);
    return out.geometryDone();
}

// The model through the OBJ reader, sent as sendImported sends it: each
// mesh placed once, where it stands.
bool sendObj(const std::string& path, TransferWriter& out, ImportProgress* progress,
             const std::function<void(unsigned long long)>& onRead, std::vector<TextureSource>& sources)
{
    ObjModel read;
    std::string reason;
    const ObjProgress reading{&progress->workDone, &progress->workTotal,
                              [progress] { progress->stage = ImportProgress::building; }};
    if (!readObj(path, read, reason, onRead, reading)) {
        out.failure(reason);
        return false;
    }
    progress->stage = ImportProgress::sending;
    std::map<std::string, int> sourceByPath;
    std::vector<int> sourceOfName;
    for (const std::string& name : read.textureNames) {
        TextureSource source;
        source.path = texturePath(name, path, TextureLookup::besideModel);
        source.texture.name = printable(source.path);
        const auto found = sourceByPath.find(source.path);
        if (found != sourceByPath.end()) {
            sourceOfName.push_back(found->second);
            continue;
        }
        sourceOfName.push_back(static_cast<int>(sources.size()));
        sourceByPath[source.path] = sourceOfName.back();
        sources.push_back(std::move(source));
    }
    ModelData model;
    model.materials = std::move(read.materials);
    for (ModelMaterial& material : model.materials)
        if (material.texture >= 0)
            material.texture = sourceOfName[static_cast<size_t>(material.texture)];
    model.meshes = std::move(read.meshes);
    for (size_t i = 0; i < model.meshes.size(); ++i)
        model.placements.push_back({static_cast<unsigned>(i), glm::mat4(1.0f)});
    model.notes = std::move(read.notes);
    return sendWithinBudget(model, sources, out);
}

} // namespace

void sendModel(const std::string& path, int fd, ImportProgress* progress,
               const std::function<void(unsigned long long)>& onRead, Assimp::IOSystem* files)
{
    TransferWriter out(fd);
    onRead(0);
    std::vector<TextureSource> sources;
    try {
        const bool sent = files == nullptr && isObjPath(path) ? sendObj(path, out, progress, onRead, sources)
                                                              : sendImported(path, out, progress, onRead, files, sources);
        if (!sent)
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
        sources[i].bytes.clear();
        sources[i].bytes.shrink_to_fit();
        progress->stage = ImportProgress::sendingTextures;
        if (!(decoded ? out.image(static_cast<unsigned>(i), image)
                      : out.textureFailed(static_cast<unsigned>(i), printable(reason))))
            return;
    }
    out.end();
}

} // namespace import
