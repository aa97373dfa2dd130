// Model and image files the tests write: glTF in its three layouts, and image bytes with forged headers.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

std::string base64(const std::string& bytes);

template <typename T> void append(std::string& bytes, std::initializer_list<T> values)
{
    for (T value : values)
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// One mesh with one material; placed by `nodes` (the glTF "nodes" array)
// from the scene's `sceneNodes`.
struct GltfModel {
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<float> uvs; // glTF's convention: v = 0 is the image's top row
    std::vector<float> colours; // RGBA a vertex, or none
    std::vector<float> tangents; // XYZW a vertex, or none
    std::vector<std::uint16_t> indices;
    std::string image; // encoded picture, or none
    std::string imageMime = "image/png";
    bool doubleSided = false;
    std::string nodes = R"([{"mesh":0}])";
    std::string sceneNodes = "[0]";
    // The material's JSON, written as it is; "" for one that shows `image`
    // as its base colour. Its textures name `images` by index, texture i
    // showing picture i (PNG).
    std::string material;
    std::vector<std::string> images;
    std::vector<std::string> extensionsUsed;
};

enum class GltfLayout {
    dataUris,       // one .gltf, the buffer and the picture inside it as base64
    separateBuffer, // .gltf and .bin side by side, the picture in the .bin: the commonest layout
    binary,         // one .glb, the picture in its binary chunk
};

// The files of `stem` in `layout`: name to bytes.
std::map<std::string, std::string> gltfFiles(const std::string& stem, const GltfModel& model, GltfLayout layout);

// A GLB of `json` and its binary buffer (both padded as the layout needs).
std::string glbFile(std::string json, std::string buffer);

// A 2 x 2 square in the z = 0 plane facing +z, toward the start view, with
// its picture's top-left corner at the square's top-left corner.
GltfModel squareFacingTheViewer();

// A sphere of radius 1 about the origin, `rings` rings of `segments`
// quads, with normals and texture coordinates (u around from -z, v from
// the top pole).
GltfModel sphere(int segments = 48, int rings = 24);

// A PNG of `width` x `height` RGBA pixels, rows top first.
std::string encodePng(int width, int height, const std::vector<unsigned char>& rgba);

// A PNG's size fields rewritten, with the header's checksum to match.
std::string withPngSize(std::string png, std::uint32_t width, std::uint32_t height);
// A baseline JPEG's frame header rewritten to claim this size.
std::string withJpegSize(std::string jpeg, unsigned width, unsigned height);
// A JPEG with one byte that belongs to no segment right after its APP0
// segment: the decoder skips it with a warning, a header reader stops there.
std::string withStrayByteAfterApp0(std::string jpeg);
