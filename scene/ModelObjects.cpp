// A model given by path: the import process's arrays made into scene objects that share one program.
#include "scene/ModelObjects.h"

#include "app/Globals.h"
#include "base/Printable.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "import/ImportProcess.h"
#include "import/LoadProgress.h"
#include "import/ModelData.h"
#include "scene/Material.h"
#include "scene/MeshArrays.h"
#include "scene/SceneImport.h"
#include "scene/StaticSceneObject.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <utility>

std::vector<ShaderProgram*> sharedScenePrograms;

namespace {

// A surface without an image shows a colour, as a one-texel texture shared
// by every surface of that colour. The cache key cannot be a name a
// material gives: names hold no line breaks.
Texture* colourTexture(const glm::vec4& colour)
{
    unsigned char texel[4];
    for (int i = 0; i < 4; ++i) {
        const float value = i == 3 ? 1.0f : std::isfinite(colour[i]) ? std::clamp(colour[i], 0.0f, 1.0f) : 0.0f;
        texel[i] = static_cast<unsigned char>(std::lround(value * 255.0f));
    }
    const std::string key = "\ndiffuse colour " + std::to_string(texel[0]) + " " + std::to_string(texel[1]) + " " +
                            std::to_string(texel[2]);
    Texture*& texture = textureCache[key];
    if (texture == nullptr)
        texture = new Texture(1, 1, texel);
    return texture;
}

template <typename T> T* copyOf(const std::vector<T>& values)
{
    if (values.empty())
        return nullptr;
    T* copy = new T[values.size()];
    std::copy(values.begin(), values.end(), copy);
    return copy;
}

// Arrays for one placement of `mesh`. A placement that mirrors the mesh
// turns its triangles inside out; their corners are swapped back, so that
// culling still removes the faces turned away. Normals and texture
// coordinates the mesh lacks stay null: the program reads its constants.
scene::MeshArrays arraysFor(const import::ModelMesh& mesh, bool mirrored)
{
    scene::MeshArrays arrays;
    arrays.vertexCount = static_cast<unsigned>(mesh.vertexCount());
    arrays.indexCount = static_cast<unsigned>(mesh.indices.size());
    arrays.indicesPerFace = static_cast<unsigned>(mesh.primitive);
    arrays.positions = copyOf(mesh.positions);
    arrays.normals = copyOf(mesh.normals);
    arrays.texCoords = copyOf(mesh.texCoords);
    arrays.colours = copyOf(mesh.colours);
    arrays.indices = copyOf(mesh.indices);
    if (mirrored && mesh.primitive == import::Primitive::triangles)
        for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3)
            std::swap(arrays.indices[i + 1], arrays.indices[i + 2]);
    return arrays;
}

// The model program: the built-in scene's pair with vertex colours, both
// faces of two-sided surfaces lit, and points and lines without normals.
ShaderProgram* modelProgram()
{
    if (sharedScenePrograms.empty()) {
        sharedScenePrograms.push_back(
            new ShaderProgram("Shader/basicVertex.glsl", "Shader/basicFragment.glsl", "#define MODEL_SURFACES 1\n"));
        Material settings(sharedScenePrograms.front(), nullptr);
        settings.sharedProgram = true;
        settings.setMaterialUniforms(glm::vec3(0.2f), glm::vec3(0.8f), glm::vec3(0.5f), 5.0f);
        settings.setLightUniforms();
        // What a mesh without colours, normals or texture coordinates reads:
        // its vertex array leaves the attribute off, and nothing else in the
        // program's life sets it. White; a zero normal, which the program
        // faces to the eye; the texture's corner.
        const GLuint program = sharedScenePrograms.front()->program;
        const GLint colour = glGetAttribLocation(program, "colour");
        if (colour >= 0)
            glVertexAttrib4f(static_cast<GLuint>(colour), 1.0f, 1.0f, 1.0f, 1.0f);
        const GLint normal = glGetAttribLocation(program, "normal");
        if (normal >= 0)
            glVertexAttrib4f(static_cast<GLuint>(normal), 0.0f, 0.0f, 0.0f, 1.0f);
        const GLint uv = glGetAttribLocation(program, "uv");
        if (uv >= 0)
            glVertexAttrib4f(static_cast<GLuint>(uv), 0.0f, 0.0f, 0.0f, 1.0f);
    }
    return sharedScenePrograms.front();
}

// Points and lines one pixel of the render wide vanish once the render is
// scaled down into the window: they are drawn about three and one and a
// half pixels of the window wide.
void sizePointsAndLines()
{
    const float scale = windowHeight > 0 ? static_cast<float>(renderHeight) / static_cast<float>(windowHeight) : 1.0f;
    GLfloat range[2] = {1.0f, 1.0f};
    glGetFloatv(GL_POINT_SIZE_RANGE, range);
    glPointSize(std::clamp(std::round(3.0f * scale), range[0], range[1]));
    GLint flags = 0;
    glGetIntegerv(GL_CONTEXT_FLAGS, &flags);
    // Wide lines are gone from forward-compatible contexts.
    if ((flags & GL_CONTEXT_FLAG_FORWARD_COMPATIBLE_BIT) == 0) {
        glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
        glLineWidth(std::clamp(std::round(1.5f * scale), range[0], range[1]));
    }
}

// The size of a model as placed, for the closing progress line.
std::string describeModel(const import::ModelData& model)
{
    unsigned long long counts[4] = {0, 0, 0, 0}; // by indices per face
    for (const import::ModelPlacement& placement : model.placements) {
        const import::ModelMesh& mesh = model.meshes[placement.mesh];
        const unsigned perFace = static_cast<unsigned>(mesh.primitive);
        counts[perFace] += mesh.indices.size() / perFace;
    }
    auto count = [](unsigned long long n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text = count(model.placements.size(), "mesh", "meshes") + ", " +
                       count(counts[3], "triangle", "triangles");
    if (counts[2] > 0)
        text += ", " + count(counts[2], "line", "lines");
    if (counts[1] > 0)
        text += ", " + count(counts[1], "point", "points");
    return text + ", " + count(model.images.size(), "texture", "textures");
}

} // namespace

Texture* uploadPicture(const import::ModelImage& image)
{
    if (image.width > Texture::maxSide() || image.height > Texture::maxSide())
        return nullptr;
    return new Texture(image.width, image.height, image.pixels.data());
}

std::vector<scene::SceneObject*> createModelObjects(import::ModelData& model, std::vector<Texture*> uploaded)
{
    // A mesh's arrays go once its last placement is on the GPU.
    std::vector<size_t> placementsLeft(model.meshes.size(), 0);
    for (const import::ModelPlacement& placement : model.placements)
        ++placementsLeft[placement.mesh];
    std::vector<scene::SceneObject*> objects;
    ShaderProgram* program = modelProgram();
    // Each picture once, however many materials name it.
    std::vector<Texture*> pictures = std::move(uploaded);
    for (size_t i = 0; i < model.images.size(); ++i) {
        const import::ModelImage& image = model.images[i];
        if (i == pictures.size())
            pictures.push_back(uploadPicture(image));
        if (pictures[i] == nullptr) {
            for (const import::ModelTexture& texture : model.textures)
                if (texture.image == static_cast<int>(i))
                    std::cout << printable("Could not load texture " + texture.name + ": the image is " +
                                           std::to_string(image.width) + " x " + std::to_string(image.height) +
                                           " pixels, more than this GL takes; its meshes show their colour")
                              << std::endl;
            continue;
        }
        textureCache["\nimage " + std::to_string(i)] = pictures[i];
    }
    bool pointsOrLines = false;
    for (const import::ModelPlacement& placement : model.placements) {
        const import::ModelMesh& mesh = model.meshes[placement.mesh];
        const import::ModelMaterial& surface = model.materials[mesh.material];
        Texture* picture = nullptr;
        // Without texture coordinates a picture would show one texel everywhere.
        if (surface.texture >= 0 && !mesh.texCoords.empty()) {
            const int image = model.textures[static_cast<size_t>(surface.texture)].image;
            picture = image >= 0 ? pictures[static_cast<size_t>(image)] : nullptr;
        }
        // Vertex colours stand for the surface's colour where no picture does.
        Texture* texture = picture != nullptr ? picture
                           : !mesh.colours.empty() ? colourTexture(glm::vec4(1.0f))
                                                   : colourTexture(surface.diffuse);
        auto* material = new Material(program, texture);
        material->sharedProgram = true;
        material->twoSided = surface.twoSided;
        const bool mirrored = glm::determinant(glm::mat3(placement.transform)) < 0.0f;
        auto* object = new scene::StaticSceneObject(placement.transform, arraysFor(mesh, mirrored), material);
        object->releaseArraysButPositions();
        objects.push_back(object);
        if (--placementsLeft[placement.mesh] == 0)
            model.meshes[placement.mesh] = import::ModelMesh{mesh.name, mesh.primitive, mesh.material, {}, {}, {}, {}, {}};
        pointsOrLines = pointsOrLines || model.meshes[placement.mesh].primitive != import::Primitive::triangles;
    }
    if (pointsOrLines)
        sizePointsAndLines();
    return objects;
}

ModelLoad::ModelLoad(const std::string& path, std::unique_ptr<import::ImportProcess> started) : path(path)
{
    if (!canOpenModel(path, openFailure))
        return;
    openFailure.clear();
    process = started != nullptr ? std::move(started) : std::make_unique<import::ImportProcess>(path);
    progress = std::make_unique<import::LoadProgress>(printable(std::filesystem::path(path).filename().string()),
                                                      process->progressPage(), process->startedAt(), std::cerr,
                                                      isatty(STDERR_FILENO) == 1, import::LoadProgress::viewerTiming());
}

ModelLoad::~ModelLoad()
{
    if (progress != nullptr && !finished)
        progress->finish("");
    // The records only: a GL that is still there was given them back by dropPictures.
    for (Texture* picture : pictures)
        delete picture;
}

bool ModelLoad::receive(double seconds)
{
    if (process == nullptr)
        return true;
    if (!collected) {
        if (!process->receive(seconds))
            return false;
        imported = process->finish(model, reason);
        collected = true;
        progress->setStage("uploading");
    }
    // One picture a frame: a software GL takes most of a frame to draw a
    // big one's mipmaps, and the old model is drawn meanwhile.
    if (imported && pictures.size() < model.images.size()) {
        pictures.push_back(uploadPicture(model.images[pictures.size()]));
        return false;
    }
    return true;
}

void ModelLoad::dropPictures()
{
    for (Texture* picture : pictures) {
        if (picture != nullptr)
            glDeleteTextures(1, &picture->id);
        delete picture;
    }
    pictures.clear();
}

std::vector<scene::SceneObject*> ModelLoad::finish(ModelOutcome& outcome)
{
    finished = true;
    if (process == nullptr) {
        std::cout << "Could not open file: " << printable(path) << std::endl;
        std::cerr << "brassfern: cannot open " << printable(path) << ": " << openFailure << std::endl;
        outcome = ModelOutcome::notOpened;
        return {};
    }
    if (!collected) {
        imported = process->finish(model, reason);
        collected = true;
    }
    progress->setStage("uploading");
    progress->clearLine();
    if (!imported) {
        progress->finish("");
        // No blank between the words and the path: the built-in scene's line
        // has always read so, and a model's failure reads as it does.
        std::cout << "Import failed" << printable(path) << std::endl;
        std::cerr << "brassfern: cannot import " << printable(path) << ": " << printable(reason) << std::endl;
        outcome = ModelOutcome::failed;
        return {};
    }
    for (const std::string& note : model.notes)
        std::cout << printable(note) << std::endl;
    const std::string size = describeModel(model);
    std::vector<scene::SceneObject*> objects = createModelObjects(model, std::exchange(pictures, {}));
    model = import::ModelData();
    progress->clearLine();
    progress->finish(size);
    outcome = objects.empty() ? ModelOutcome::empty : ModelOutcome::shown;
    if (objects.empty())
        std::cout << "Nothing to draw in " << printable(path) << ": it has no points, lines or faces placed"
                  << std::endl;
    return objects;
}

std::vector<scene::SceneObject*> importModel(const std::string& path, std::unique_ptr<import::ImportProcess> started,
                                             ModelOutcome& outcome)
{
    ModelLoad load(path, std::move(started));
    return load.finish(outcome);
}
