// A model given by path as the import process hands it over: plain arrays, nothing of the importer's.
#pragma once

#include <array>
#include <cstddef>
#include <glm/glm.hpp>
#include <string>
#include <vector>

namespace import {

// What one model may bring to the viewer, whatever its format: the import
// process merges meshes to stay within these and leaves out the rest with a
// line, and the viewer refuses a stream that holds more. Each placement is a
// draw in every pass of every frame.
struct ModelLimits {
    static constexpr size_t placements = 16384;
    static constexpr size_t meshes = 16384;
    static constexpr size_t materials = 16384;
    static constexpr size_t textures = 4096;
};

// Indices per face: the importer sorts points, lines and triangles into
// meshes of their own.
enum class Primitive : unsigned { points = 1, lines = 2, triangles = 3 };

struct ModelMesh {
    std::string name;
    Primitive primitive = Primitive::triangles;
    unsigned material = 0;
    std::vector<float> positions; // three a vertex
    std::vector<float> normals;   // three a vertex, or none
    std::vector<float> texCoords; // two a vertex (v up), or none
    std::vector<float> colours;   // RGBA in [0, 1] a vertex, or none
    std::vector<unsigned> indices; // one face after another, each below the vertex count
    // Four a vertex, or none: the direction of increasing u along the
    // surface (xyz), and in w, +1 or -1, the side the direction of
    // increasing v lies on: the bitangent is w * cross(normal, tangent).
    // Only meshes whose material has a normal map carry them.
    std::vector<float> tangents;
    // A second set of texture coordinates, as texCoords, for the textures
    // whose mapping reads set 1; none where no texture does.
    std::vector<float> texCoords1;

    size_t vertexCount() const { return positions.size() / 3; }
};

// How a texture's texels are to be read: colours are encoded for the
// screen (sRGB) and decoded before they are lit; everything else (normals,
// roughness, metalness, occlusion) is a plain number.
enum class ColourSpace : unsigned { linear = 0, srgb = 1 };

// A texture of the model, decoded: RGBA8, the bottom row first.
struct ModelImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
    // Mipmap levels 1 to 1 x 1, one after another (makeMipmaps), or none:
    // the GL then makes them.
    std::vector<unsigned char> mipmaps{};
    // Its texture's, set as the stream is read.
    ColourSpace space = ColourSpace::srgb;
};

// A texture the materials name: a file beside the model or an image inside
// it, or what the import made of several (a surface texture packed from
// separate roughness and metalness maps, a normal map from a height map).
struct ModelTexture {
    std::string name;  // as the model names it, for messages
    int image = -1;    // into ModelData::images once decoded; -1 until then or when it failed
    ColourSpace space = ColourSpace::srgb;
};

// How a surface's alpha (its base colour's, texture's and vertex
// colours' together) shows: not at all; as a cut-out, the surface
// there below the cutoff and gone elsewhere; or as a see-through layer
// drawn over what lies behind it.
enum class AlphaMode : unsigned { opaque = 0, mask = 1, blend = 2 };
// The textures a material names, in the order ModelMaterial declares them.
inline constexpr int materialTextureSlots = 5;

// How a texture repeats past the edges of its coordinates' unit square,
// along one axis.
enum class TextureWrap : unsigned { repeat = 0, clampToEdge = 1, mirroredRepeat = 2 };

// How texels are chosen when a texture is magnified, or minified (the last
// four read its mipmaps).
enum class TextureFilter : unsigned {
    nearest = 0,
    linear = 1,
    nearestMipmapNearest = 2,
    linearMipmapNearest = 3,
    nearestMipmapLinear = 4,
    linearMipmapLinear = 5,
};

// How a material reads one of its textures. The default is how every
// texture was read before a file could say otherwise: set 0, as it is,
// repeated, trilinear.
struct TextureMapping {
    unsigned uvSet = 0; // 0: ModelMesh::texCoords; 1: texCoords1
    TextureWrap wrapU = TextureWrap::repeat;
    TextureWrap wrapV = TextureWrap::repeat;
    TextureFilter magnify = TextureFilter::linear;
    TextureFilter minify = TextureFilter::linearMipmapLinear;
    // The coordinates as the texture reads them, from those the mesh
    // carries (v up): column-major 2 x 3, (u', v') = (t0 t2 t4; t1 t3 t5) (u, v, 1).
    float transform[6] = {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};

    bool transformed() const;
    bool operator==(const TextureMapping& other) const;
    bool operator!=(const TextureMapping& other) const { return !(*this == other); }
};

inline bool TextureMapping::transformed() const
{
    const TextureMapping plain;
    for (int i = 0; i < 6; ++i)
        if (transform[i] != plain.transform[i])
            return true;
    return false;
}

inline bool TextureMapping::operator==(const TextureMapping& other) const
{
    for (int i = 0; i < 6; ++i)
        if (transform[i] != other.transform[i])
            return false;
    return uvSet == other.uvSet && wrapU == other.wrapU && wrapV == other.wrapV && magnify == other.magnify &&
           minify == other.minify;
}

// A surface as the lighting sees it: the metallic-roughness model of
// glTF, which the import maps other formats' materials onto. Factors are
// linear; each texture index is into ModelData::textures, -1 for none.
struct ModelMaterial {
    // The base colour, linear; `texture` (sRGB) and the vertex colours
    // multiply it where `colourMultiplies`. Otherwise (the diffuse colour
    // of OBJ, FBX, Collada...) a picture or vertex colours stand in for it,
    // as the programs that wrote such files show them, and it is shown
    // where neither is there or the picture cannot be read.
    glm::vec4 diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    int texture = -1;
    bool twoSided = false;
    bool colourMultiplies = true;
    float metallic = 0.0f;  // 0 dielectric, 1 metal
    float roughness = 1.0f; // perceptual: 0 mirror, 1 fully rough
    // Scales a dielectric's reflectance at normal incidence, 4 % at 1:
    // classic formats' specular colour, 0 for none.
    float specular = 1.0f;
    // Linear, RGBA: occlusion in red, roughness in green, metalness in
    // blue, specular weight in alpha, each multiplying its factor.
    int surfaceTexture = -1;
    // Linear, a tangent-space normal in RGB (green toward increasing v);
    // normalScale scales its x and y.
    int normalTexture = -1;
    float normalScale = 1.0f;
    // Linear, red: how much of the surroundings' light reaches the point;
    // occlusionStrength 0 ignores it. It may be the surface texture.
    int occlusionTexture = -1;
    float occlusionStrength = 1.0f;
    // Light the surface gives off, linear, with its strength multiplied in;
    // `emissiveTexture` (sRGB) multiplies it.
    glm::vec3 emissive{0.0f};
    int emissiveTexture = -1;
    // The alpha of `diffuse` (the base colour) is opacity, as are the
    // texture's and the vertex colours', which multiply it.
    AlphaMode alphaMode = AlphaMode::opaque;
    float alphaCutoff = 0.5f;
    // How each texture is read, in the order of textureSlot below.
    std::array<TextureMapping, materialTextureSlots> mappings{};
};

// The colour space each texture a material names is read in.
inline constexpr ColourSpace slotSpaces[materialTextureSlots] = {ColourSpace::srgb, ColourSpace::linear,
                                                                 ColourSpace::linear, ColourSpace::linear,
                                                                 ColourSpace::srgb};
inline int& textureSlot(ModelMaterial& material, int slot)
{
    int* const slots[materialTextureSlots] = {&material.texture, &material.surfaceTexture, &material.normalTexture,
                                              &material.occlusionTexture, &material.emissiveTexture};
    return *slots[slot];
}
inline int textureSlot(const ModelMaterial& material, int slot)
{
    const int slots[materialTextureSlots] = {material.texture, material.surfaceTexture, material.normalTexture,
                                             material.occlusionTexture, material.emissiveTexture};
    return slots[slot];
}

// One use of a mesh by a node: its transform is the product of the node
// transforms from the root down.
struct ModelPlacement {
    unsigned mesh = 0;
    glm::mat4 transform{1.0f};
};

struct ModelData {
    std::vector<ModelMesh> meshes;
    std::vector<ModelMaterial> materials;
    std::vector<ModelTexture> textures;
    std::vector<ModelImage> images;
    std::vector<ModelPlacement> placements;
    // Lines for standard output, in the order the import found them.
    std::vector<std::string> notes;
};

} // namespace import
