// A model given by path: the import process's arrays made into scene objects that share one program.
#include "scene/ModelObjects.h"

#include "app/Globals.h"
#include "base/Printable.h"
#include "gpu/Sampler.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "gpu/Uniforms.h"
#include "import/ImportProcess.h"
#include "import/LoadProgress.h"
#include "import/ModelData.h"
#include "render/Environment.h"
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
// culling still removes the faces turned away (the tangents need nothing:
// the program turns their bitangent over with the placement). Normals and
// texture coordinates the mesh lacks stay null: the program reads its
// constants. The second set goes only where a texture reads it.
scene::MeshArrays arraysFor(const import::ModelMesh& mesh, bool mirrored, bool secondSet)
{
    scene::MeshArrays arrays;
    arrays.vertexCount = static_cast<unsigned>(mesh.vertexCount());
    arrays.indexCount = static_cast<unsigned>(mesh.indices.size());
    arrays.indicesPerFace = static_cast<unsigned>(mesh.primitive);
    arrays.positions = copyOf(mesh.positions);
    arrays.normals = copyOf(mesh.normals);
    arrays.texCoords = copyOf(mesh.texCoords);
    arrays.colours = copyOf(mesh.colours);
    arrays.tangents = copyOf(mesh.tangents);
    if (secondSet)
        arrays.texCoords1 = copyOf(mesh.texCoords1);
    arrays.indices = copyOf(mesh.indices);
    if (mirrored && mesh.primitive == import::Primitive::triangles)
        for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3)
            std::swap(arrays.indices[i + 1], arrays.indices[i + 2]);
    return arrays;
}

// What every model program holds from its build on: the light, the
// surroundings' diffuse light, the samplers' units, and what a mesh without
// colours, normals or texture coordinates reads (its vertex array leaves
// the attribute off, and nothing else sets it): white; a zero normal, which
// the program faces to the eye; the texture's corner.
void writeModelConstants(ShaderProgram* shaderProgram)
{
    Material settings(shaderProgram, nullptr);
    settings.sharedProgram = true;
    settings.setMaterialUniforms(glm::vec3(0.2f), glm::vec3(0.8f), glm::vec3(0.5f), 5.0f);
    settings.setLightUniforms();
    const GLuint program = shaderProgram->program;
    const render::EnvironmentLight& environment = render::modelEnvironment();
    glUseProgram(program);
    setUniform(program, "sunIrradiance", render::sunIrradiance);
    setUniform(program, "irradianceConstant", environment.constant);
    setUniform(program, "irradianceLinear", environment.linear);
    setUniform(program, "irradianceQuadratic", environment.quadratic);
    const std::pair<const char*, int> samplers[] = {
        {"colorTexture", Material::colourUnit},        {"shadowMap", Material::shadowUnit},
        {"surfaceTexture", Material::surfaceUnit},     {"normalTexture", Material::normalUnit},
        {"occlusionTexture", Material::occlusionUnit}, {"emissiveTexture", Material::emissiveUnit},
        {"environmentTable", Material::environmentUnit}};
    for (const auto& [name, unit] : samplers)
        setUniform(program, name, unit);
    glUseProgram(0);
    const std::pair<const char*, glm::vec4> constants[] = {
        {"colour", glm::vec4(1.0f)}, {"normal", glm::vec4(0.0f, 0.0f, 0.0f, 1.0f)}, {"uv", glm::vec4(0, 0, 0, 1)}};
    for (const auto& [name, value] : constants) {
        const GLint location = glGetAttribLocation(program, name);
        if (location >= 0)
            glVertexAttrib4f(static_cast<GLuint>(location), value.x, value.y, value.z, value.w);
    }
}

// The model program of one set of maps (its #define lines), built the
// first time a surface needs it; every program of a model shares the
// light and the surroundings.
ShaderProgram* modelProgram(const std::string& maps)
{
    const std::string definitions = "#define MODEL_SURFACES 1\n" + maps + render::environmentDefinitions();
    for (ShaderProgram* program : sharedScenePrograms)
        if (program->definitionLines() == definitions)
            return program;
    auto* program = new ShaderProgram("Shader/basicVertex.glsl", "Shader/basicFragment.glsl", definitions);
    sharedScenePrograms.push_back(program);
    writeModelConstants(program);
    return program;
}

// The picture of texture `index` as uploaded, if a mesh with `texCoords`
// can show it; null otherwise.
Texture* pictureOf(const import::ModelData& model, const std::vector<Texture*>& pictures, int index,
                   const import::ModelMesh& mesh)
{
    if (index < 0 || mesh.texCoords.empty())
        return nullptr;
    const int image = model.textures[static_cast<size_t>(index)].image;
    return image >= 0 ? pictures[static_cast<size_t>(image)] : nullptr;
}

// The sampler object of `mapping` (0 for the texture's own parameters).
GLuint samplerOf(const import::TextureMapping& mapping)
{
    const auto wrap = [](import::TextureWrap mode) {
        return mode == import::TextureWrap::clampToEdge      ? GL_CLAMP_TO_EDGE
               : mode == import::TextureWrap::mirroredRepeat ? GL_MIRRORED_REPEAT
                                                             : GL_REPEAT;
    };
    const GLint filters[] = {GL_NEAREST, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_NEAREST,
                             GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR_MIPMAP_LINEAR};
    SamplerSettings settings;
    settings.wrapS = wrap(mapping.wrapU);
    settings.wrapT = wrap(mapping.wrapV);
    settings.minFilter = filters[static_cast<unsigned>(mapping.minify)];
    settings.magFilter = filters[static_cast<unsigned>(mapping.magnify)];
    return sharedSampler(settings);
}

// Each texture `material` shows read as `surface` says, on `mesh`: a
// second set the mesh lacks reads set 0 (the import said so in a line).
void readMappings(const import::ModelMaterial& surface, const import::ModelMesh& mesh, Material& material)
{
    const Texture* shown[Material::textureSlots] = {material.texture, material.surfaceTexture,
                                                    material.normalTexture, material.occlusionTexture,
                                                    material.emissiveTexture};
    for (int slot = 0; slot < Material::textureSlots; ++slot) {
        const import::TextureMapping& mapping = surface.mappings[slot];
        if (shown[slot] == nullptr)
            continue;
        material.samplers[slot] = samplerOf(mapping);
        material.uvSets[slot] = mapping.uvSet == 1 && !mesh.texCoords1.empty() ? 1 : 0;
        const float* t = mapping.transform;
        material.uvTransforms[slot] = glm::mat3(t[0], t[1], 0.0f, t[2], t[3], 0.0f, t[4], t[5], 1.0f);
        material.readsUvMappings = material.readsUvMappings || material.uvSets[slot] != 0 || mapping.transformed();
    }
}

bool readsSecondSet(const Material& material)
{
    return std::any_of(std::begin(material.uvSets), std::end(material.uvSets), [](int set) { return set == 1; });
}

// Whether two slots read their textures alike: the same coordinates through the same sampler.
bool readAlike(const Material& material, int slot, int other)
{
    return material.samplers[slot] == material.samplers[other] && material.uvSets[slot] == material.uvSets[other] &&
           material.uvTransforms[slot] == material.uvTransforms[other];
}

// The #define lines of the maps a surface's program reads.
std::string mapDefinitions(const Material& material, bool pictured)
{
    const bool occlusionInSurface = material.occlusionTexture != nullptr &&
                                    material.occlusionTexture == material.surfaceTexture && readAlike(material, 1, 3);
    const std::pair<bool, const char*> maps[] = {
        {pictured, "BASE_COLOUR_MAP"},
        {material.surfaceTexture != nullptr, "SURFACE_MAP"},
        {material.normalTexture != nullptr, "NORMAL_MAP"},
        {material.occlusionTexture != nullptr && !occlusionInSurface, "OCCLUSION_MAP"},
        {occlusionInSurface, "OCCLUSION_IN_SURFACE"},
        {material.emissiveTexture != nullptr, "EMISSIVE_MAP"},
        {material.cutOut, "ALPHA_MASK"},
        {material.seeThrough, "ALPHA_BLEND"},
        {material.facetNormals, "FLAT_NORMALS"}};
    std::string lines;
    for (const auto& [shown, name] : maps)
        if (shown)
            lines += std::string("#define ") + name + " 1\n";
    if (material.readsUvMappings)
        lines += "#define UV_MAPPINGS 1\n";
    if (readsSecondSet(material))
        lines += "#define SECOND_UV_SET 1\n";
    return lines;
}

// The material one placement of `mesh` is drawn with: its surface's
// textures as uploaded (those the mesh can show), its factors, and the
// program of the maps it has.
Material* surfaceMaterial(const import::ModelData& model, const std::vector<Texture*>& pictures,
                          const import::ModelMesh& mesh)
{
    const import::ModelMaterial& surface = model.materials[mesh.material];
    Texture* picture = pictureOf(model, pictures, surface.texture, mesh);
    // The program reads no picture where it has none: a placeholder keeps unit 0 bound.
    auto* material = new Material(nullptr, picture != nullptr ? picture : colourTexture(glm::vec4(1.0f)));
    material->sharedProgram = true;
    material->twoSided = surface.twoSided;
    material->modelSurface = true;
    const bool standsIn = picture != nullptr || !mesh.colours.empty();
    material->baseColour =
        surface.colourMultiplies || !standsIn ? surface.diffuse : glm::vec4(glm::vec3(1.0f), surface.diffuse.a);
    material->cutOut = surface.alphaMode == import::AlphaMode::mask;
    material->seeThrough = surface.alphaMode == import::AlphaMode::blend;
    material->alphaCutoff = surface.alphaCutoff;
    material->facetNormals = mesh.normals.empty() && mesh.primitive == import::Primitive::triangles;
    material->metallic = surface.metallic;
    material->roughness = surface.roughness;
    material->specular = surface.specular;
    material->normalScale = surface.normalScale;
    material->occlusionStrength = surface.occlusionStrength;
    material->emissive = surface.emissive;
    material->surfaceTexture = pictureOf(model, pictures, surface.surfaceTexture, mesh);
    material->normalTexture = mesh.tangents.empty() ? nullptr : pictureOf(model, pictures, surface.normalTexture, mesh);
    material->occlusionTexture = pictureOf(model, pictures, surface.occlusionTexture, mesh);
    material->emissiveTexture = pictureOf(model, pictures, surface.emissiveTexture, mesh);
    // The placeholder is never read: its unit keeps the default sampler.
    material->texture = picture;
    readMappings(surface, mesh, *material);
    material->texture = picture != nullptr ? picture : colourTexture(glm::vec4(1.0f));
    material->shaderProgram = modelProgram(mapDefinitions(*material, picture != nullptr));
    return material;
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
    return new Texture(image.width, image.height, image.pixels.data(), image.space == import::ColourSpace::srgb,
                       image.mipmaps.empty() ? nullptr : image.mipmaps.data());
}

std::vector<scene::SceneObject*> createModelObjects(import::ModelData& model, std::vector<Texture*> uploaded)
{
    // A mesh's arrays go once its last placement is on the GPU.
    std::vector<size_t> placementsLeft(model.meshes.size(), 0);
    for (const import::ModelPlacement& placement : model.placements)
        ++placementsLeft[placement.mesh];
    std::vector<scene::SceneObject*> objects;
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
        Material* material = surfaceMaterial(model, pictures, mesh);
        const bool mirrored = glm::determinant(glm::mat3(placement.transform)) < 0.0f;
        auto* object = new scene::StaticSceneObject(placement.transform,
                                                    arraysFor(mesh, mirrored, readsSecondSet(*material)), material);
        object->releaseArraysButPositions();
        objects.push_back(object);
        if (--placementsLeft[placement.mesh] == 0)
            model.meshes[placement.mesh] =
                import::ModelMesh{mesh.name, mesh.primitive, mesh.material, {}, {}, {}, {}, {}, {}, {}};
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
    // What the import process wrote (the C library's last words as it
    // aborted, a library's warnings) never reaches the terminal by itself:
    // here it goes out as the viewer's own lines, escaped.
    const std::string importing = "brassfern: importing " + printable(path) + ": ";
    for (const std::string& line : process->processOutput())
        std::cerr << importing << printable(line) << std::endl;
    if (process->processOutputLeftOut() > 0)
        std::cerr << importing << process->processOutputLeftOut() << " more lines from the import process left out"
                  << std::endl;
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
