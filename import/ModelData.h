// A model given by path as the import process hands it over: plain arrays, nothing of the importer's.
#pragma once

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

    size_t vertexCount() const { return positions.size() / 3; }
};

// A texture of the model, decoded: RGBA8, the bottom row first.
struct ModelImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
};

// A texture the materials name: a file beside the model or an image inside it.
struct ModelTexture {
    std::string name;  // as the model names it, for messages
    int image = -1;    // into ModelData::images once decoded; -1 until then or when it failed
};

struct ModelMaterial {
    glm::vec4 diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    int texture = -1; // into ModelData::textures, -1 for none
    bool twoSided = false;
};

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
