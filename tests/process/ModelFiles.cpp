// Writing glTF files and forging image headers for the model tests.
#include "ModelFiles.h"

#include <stdexcept>

namespace {

void pad(std::string& bytes, char with)
{
    while (bytes.size() % 4 != 0)
        bytes += with;
}

std::string floats(const std::vector<float>& values)
{
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
}

std::uint32_t crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(std::string& bytes, size_t at, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * (size - 1 - i))) & 0xFF);
}

// The offset of the first segment of `type` in a JPEG, at its marker.
size_t jpegSegment(const std::string& jpeg, unsigned char type)
{
    size_t at = 2;
    while (at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xFF) {
        if (static_cast<unsigned char>(jpeg[at + 1]) == type)
            return at;
        at += 2 + (static_cast<unsigned char>(jpeg[at + 2]) << 8 | static_cast<unsigned char>(jpeg[at + 3]));
    }
    throw std::runtime_error("no such JPEG segment");
}

} // namespace

std::string base64(const std::string& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 2]);
        text += digits[(value >> 18) & 63];
        text += digits[(value >> 12) & 63];
        text += i + 1 < bytes.size() ? digits[(value >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? digits[value & 63] : '=';
    }
    return text;
}

std::map<std::string, std::string> gltfFiles(const std::string& stem, const GltfModel& model, GltfLayout layout)
{
    const size_t vertices = model.positions.size() / 3;
    std::string buffer;
    std::string views;
    std::string accessors;
    std::string attributes;
    int view = 0;
    int accessorCount = 0;
    const auto addView = [&](const std::string& bytes) {
        pad(buffer, '\0');
        views += std::string(view == 0 ? "" : ",") + R"({"buffer":0,"byteOffset":)" + std::to_string(buffer.size()) +
                 R"(,"byteLength":)" + std::to_string(bytes.size()) + "}";
        buffer += bytes;
        return view++;
    };
    const auto addAttribute = [&](const char* name, const std::vector<float>& values, const char* type,
                                  const std::string& extra) {
        if (values.empty())
            return;
        const int index = addView(floats(values));
        accessors += std::string(accessorCount == 0 ? "" : ",") + R"({"bufferView":)" + std::to_string(index) +
                     R"(,"componentType":5126,"count":)" + std::to_string(vertices) + R"(,"type":")" + type + "\"" +
                     extra + "}";
        attributes += std::string(attributes.empty() ? "" : ",") + "\"" + name + "\":" + std::to_string(accessorCount++);
    };
    addAttribute("POSITION", model.positions, "VEC3", "");
    addAttribute("NORMAL", model.normals, "VEC3", "");
    addAttribute("TEXCOORD_0", model.uvs, "VEC2", "");
    addAttribute("COLOR_0", model.colours, "VEC4", "");
    std::string indexBytes(reinterpret_cast<const char*>(model.indices.data()),
                           model.indices.size() * sizeof(std::uint16_t));
    const int indexView = addView(indexBytes);
    accessors += R"(,{"bufferView":)" + std::to_string(indexView) + R"(,"componentType":5123,"count":)" +
                 std::to_string(model.indices.size()) + R"(,"type":"SCALAR"})";

    std::string material = std::string(R"({"doubleSided":)") + (model.doubleSided ? "true" : "false");
    std::string textures;
    if (!model.image.empty()) {
        material += R"(,"pbrMetallicRoughness":{"baseColorTexture":{"index":0}})";
        std::string image;
        if (layout == GltfLayout::dataUris) {
            image = R"({"uri":"data:)" + model.imageMime + ";base64," + base64(model.image) + "\"}";
        } else {
            const int imageView = addView(model.image);
            image = R"({"bufferView":)" + std::to_string(imageView) + R"(,"mimeType":")" + model.imageMime + "\"}";
        }
        textures = R"(,"textures":[{"source":0}],"images":[)" + image + "]";
    }
    material += "}";
    pad(buffer, '\0');

    std::string bufferJson = R"({"byteLength":)" + std::to_string(buffer.size());
    if (layout == GltfLayout::dataUris)
        bufferJson += R"(,"uri":"data:application/octet-stream;base64,)" + base64(buffer) + "\"";
    else if (layout == GltfLayout::separateBuffer)
        bufferJson += R"(,"uri":")" + stem + ".bin\"";
    bufferJson += "}";
    std::string json = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":)" + model.sceneNodes +
                       R"(}],"nodes":)" + model.nodes + R"(,"meshes":[{"primitives":[{"attributes":{)" + attributes +
                       R"(},"indices":)" + std::to_string(accessorCount) +
                       R"(,"material":0}]}],"materials":[)" + material + "]" + textures + R"(,"buffers":[)" +
                       bufferJson + R"(],"bufferViews":[)" + views + R"(],"accessors":[)" + accessors + "]}";

    std::map<std::string, std::string> files;
    if (layout == GltfLayout::dataUris) {
        files[stem + ".gltf"] = json;
    } else if (layout == GltfLayout::separateBuffer) {
        files[stem + ".gltf"] = json;
        files[stem + ".bin"] = buffer;
    } else {
        pad(json, ' ');
        std::string glb;
        append<std::uint32_t>(glb, {0x46546C67u, 2u, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + buffer.size())});
        append<std::uint32_t>(glb, {static_cast<std::uint32_t>(json.size()), 0x4E4F534Au});
        glb += json;
        append<std::uint32_t>(glb, {static_cast<std::uint32_t>(buffer.size()), 0x004E4942u});
        glb += buffer;
        files[stem + ".glb"] = glb;
    }
    return files;
}

GltfModel squareFacingTheViewer()
{
    GltfModel model;
    model.positions = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    model.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    model.uvs = {0, 1, 1, 1, 1, 0, 0, 0};
    model.indices = {0, 1, 2, 0, 2, 3};
    return model;
}

std::string withPngSize(std::string png, std::uint32_t width, std::uint32_t height)
{
    // The signature, then IHDR's length and type, then its data.
    putBigEndian(png, 16, width, 4);
    putBigEndian(png, 20, height, 4);
    putBigEndian(png, 29, crc32(png.substr(12, 17)), 4);
    return png;
}

std::string withJpegSize(std::string jpeg, unsigned width, unsigned height)
{
    const size_t frame = jpegSegment(jpeg, 0xC0);
    putBigEndian(jpeg, frame + 5, height, 2);
    putBigEndian(jpeg, frame + 7, width, 2);
    return jpeg;
}

std::string withStrayByteAfterApp0(std::string jpeg)
{
    const size_t app0 = jpegSegment(jpeg, 0xE0);
    const size_t end = app0 + 2 + (static_cast<unsigned char>(jpeg[app0 + 2]) << 8 | static_cast<unsigned char>(jpeg[app0 + 3]));
    jpeg.insert(end, 1, '\0');
    return jpeg;
}
