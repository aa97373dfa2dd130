// Writing glTF files and forging image headers for the model tests.
#include "ModelFiles.h"

#include <algorithm>
#include <cmath>
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
    addAttribute("TANGENT", model.tangents, "VEC4", "");
    std::string indexBytes(reinterpret_cast<const char*>(model.indices.data()),
                           model.indices.size() * sizeof(std::uint16_t));
    const int indexView = addView(indexBytes);
    accessors += R"(,{"bufferView":)" + std::to_string(indexView) + R"(,"componentType":5123,"count":)" +
                 std::to_string(model.indices.size()) + R"(,"type":"SCALAR"})";

    std::string material = std::string(R"({"doubleSided":)") + (model.doubleSided ? "true" : "false");
    std::string textures;
    if (!model.material.empty()) {
        std::string images;
        for (size_t i = 0; i < model.images.size(); ++i) {
            const std::string at = layout == GltfLayout::dataUris
                                       ? R"({"uri":"data:image/png;base64,)" + base64(model.images[i]) + "\"}"
                                       : R"({"bufferView":)" + std::to_string(addView(model.images[i])) +
                                             R"(,"mimeType":"image/png"})";
            textures += std::string(i == 0 ? "" : ",") + R"({"source":)" + std::to_string(i) + "}";
            images += std::string(i == 0 ? "" : ",") + at;
        }
        if (!model.images.empty())
            textures = R"(,"textures":[)" + textures + R"(],"images":[)" + images + "]";
    } else if (!model.image.empty()) {
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
    if (!model.material.empty())
        material = model.material;
    pad(buffer, '\0');

    std::string bufferJson = R"({"byteLength":)" + std::to_string(buffer.size());
    if (layout == GltfLayout::dataUris)
        bufferJson += R"(,"uri":"data:application/octet-stream;base64,)" + base64(buffer) + "\"";
    else if (layout == GltfLayout::separateBuffer)
        bufferJson += R"(,"uri":")" + stem + ".bin\"";
    bufferJson += "}";
    std::string used;
    for (const std::string& extension : model.extensionsUsed)
        used += std::string(used.empty() ? "" : ",") + "\"" + extension + "\"";
    std::string json = R"({"asset":{"version":"2.0"},)" + (used.empty() ? "" : R"("extensionsUsed":[)" + used + "],") +
                       R"("scene":0,"scenes":[{"nodes":)" + model.sceneNodes +
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
        files[stem + ".glb"] = glbFile(json, buffer);
    }
    return files;
}

std::string glbFile(std::string json, std::string buffer)
{
    pad(json, ' ');
    pad(buffer, '\0');
    std::string glb;
    append<std::uint32_t>(glb, {0x46546C67u, 2u, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + buffer.size())});
    append<std::uint32_t>(glb, {static_cast<std::uint32_t>(json.size()), 0x4E4F534Au});
    glb += json;
    append<std::uint32_t>(glb, {static_cast<std::uint32_t>(buffer.size()), 0x004E4942u});
    return glb + buffer;
}

GltfModel sphere(int segments, int rings)
{
    GltfModel model;
    constexpr double pi = 3.14159265358979323846;
    for (int ring = 0; ring <= rings; ++ring)
        for (int segment = 0; segment <= segments; ++segment) {
            const double u = static_cast<double>(segment) / segments;
            const double v = static_cast<double>(ring) / rings;
            const double theta = 2.0 * pi * u;
            const double phi = pi * v;
            const float n[3] = {static_cast<float>(-std::sin(phi) * std::sin(theta)), static_cast<float>(std::cos(phi)),
                                static_cast<float>(-std::sin(phi) * std::cos(theta))};
            model.positions.insert(model.positions.end(), n, n + 3);
            model.normals.insert(model.normals.end(), n, n + 3);
            model.uvs.insert(model.uvs.end(), {static_cast<float>(u), static_cast<float>(v)});
        }
    for (int ring = 0; ring < rings; ++ring)
        for (int segment = 0; segment < segments; ++segment) {
            const auto at = [&](int r, int s) { return static_cast<std::uint16_t>(r * (segments + 1) + s); };
            // Counter-clockwise seen from outside.
            model.indices.insert(model.indices.end(), {at(ring, segment), at(ring + 1, segment), at(ring + 1, segment + 1),
                                                       at(ring, segment), at(ring + 1, segment + 1), at(ring, segment + 1)});
        }
    return model;
}

std::string encodePng(int width, int height, const std::vector<unsigned char>& rgba)
{
    // Stored (uncompressed) deflate blocks: no library needed, and small
    // test pictures stay small enough.
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(&rgba[4 * static_cast<size_t>(y) * width]), 4 * static_cast<size_t>(width));
    }
    std::string zlib = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + length >= raw.size();
        zlib += static_cast<char>(last ? 1 : 0);
        zlib += static_cast<char>(length & 0xFF);
        zlib += static_cast<char>(length >> 8);
        zlib += static_cast<char>(~length & 0xFF);
        zlib += static_cast<char>((~length >> 8) & 0xFF);
        zlib += raw.substr(at, length);
        if (last)
            break;
    }
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    const std::uint32_t adler = (b << 16) | a;
    for (int shift = 24; shift >= 0; shift -= 8)
        zlib += static_cast<char>((adler >> shift) & 0xFF);
    const auto chunk = [](const std::string& type, const std::string& data) {
        std::string out(4, '\0');
        putBigEndian(out, 0, static_cast<std::uint32_t>(data.size()), 4);
        out += type + data;
        std::string crc(4, '\0');
        putBigEndian(crc, 0, crc32(type + data), 4);
        return out + crc;
    };
    std::string header(13, '\0');
    putBigEndian(header, 0, static_cast<std::uint32_t>(width), 4);
    putBigEndian(header, 4, static_cast<std::uint32_t>(height), 4);
    header[8] = 8;  // bits a channel
    header[9] = 6;  // RGBA
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", zlib) + chunk("IEND", "");
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
