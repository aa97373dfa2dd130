// Writing and reading the records of the import process's stream.
#include "import/ModelTransfer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace import {

namespace {

constexpr size_t bufferBytes = 1 << 16;
constexpr size_t maxTextBytes = 1 << 16;
// Elements read before an array grows again.
constexpr size_t arrayStep = 1 << 20;
constexpr long long maxImageSide = 16384;
constexpr long long maxImagePixels = 1LL << 28;

enum Tag : char {
    noteTag = 'N',
    textureTag = 'T',
    materialTag = 'M',
    meshTag = 'G',
    placementTag = 'P',
    geometryTag = 'g',
    imageTag = 'I',
    textureFailedTag = 'X',
    endTag = 'E',
    failureTag = 'F',
};

class Reader {
public:
    explicit Reader(int fd) : fd(fd) {}

    bool bytes(void* data, size_t size)
    {
        auto* out = static_cast<unsigned char*>(data);
        while (size > 0) {
            if (at == filled && !fill())
                return false;
            const size_t now = std::min(size, filled - at);
            std::memcpy(out, buffer + at, now);
            at += now;
            out += now;
            size -= now;
        }
        return true;
    }
    bool u32(unsigned& value) { return bytes(&value, sizeof value); }
    bool u64(unsigned long long& value) { return bytes(&value, sizeof value); }
    bool text(std::string& value)
    {
        unsigned size = 0;
        if (!u32(size) || size > maxTextBytes)
            return false;
        value.resize(size);
        return bytes(value.data(), size);
    }
    template <typename T> bool array(std::vector<T>& values, unsigned long long limit)
    {
        unsigned long long count = 0;
        if (!u64(count) || count > limit)
            return false;
        values.clear();
        while (values.size() < count) {
            const size_t start = values.size();
            const size_t step = static_cast<size_t>(std::min<unsigned long long>(arrayStep, count - start));
            values.resize(start + step);
            if (!bytes(values.data() + start, step * sizeof(T)))
                return false;
        }
        return true;
    }

private:
    bool fill()
    {
        for (;;) {
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            at = 0;
            filled = static_cast<size_t>(got);
            return true;
        }
    }

    int fd;
    unsigned char buffer[bufferBytes];
    size_t at = 0;
    size_t filled = 0;
};

bool validMesh(const ModelMesh& mesh, size_t materials)
{
    const unsigned perFace = static_cast<unsigned>(mesh.primitive);
    if (perFace < 1 || perFace > 3 || mesh.material >= materials || mesh.positions.empty() ||
        mesh.positions.size() % 3 != 0 || mesh.indices.empty() || mesh.indices.size() % perFace != 0)
        return false;
    const size_t vertices = mesh.vertexCount();
    if (vertices > 0xffffffffu || (!mesh.normals.empty() && mesh.normals.size() != 3 * vertices) ||
        (!mesh.texCoords.empty() && mesh.texCoords.size() != 2 * vertices) ||
        (!mesh.colours.empty() && mesh.colours.size() != 4 * vertices))
        return false;
    return std::all_of(mesh.indices.begin(), mesh.indices.end(), [vertices](unsigned i) { return i < vertices; });
}

} // namespace

bool TransferWriter::flush()
{
    size_t done = 0;
    while (good && done < buffer.size()) {
        const ssize_t wrote = write(fd, buffer.data() + done, buffer.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            good = false;
        else
            done += static_cast<size_t>(wrote);
    }
    buffer.clear();
    return good;
}

bool TransferWriter::bytes(const void* data, size_t size)
{
    const auto* in = static_cast<const unsigned char*>(data);
    while (good && size > 0) {
        const size_t now = std::min(size, bufferBytes - buffer.size());
        buffer.insert(buffer.end(), in, in + now);
        in += now;
        size -= now;
        if (buffer.size() == bufferBytes)
            flush();
    }
    return good;
}

bool TransferWriter::tag(char tag)
{
    return bytes(&tag, 1);
}

bool TransferWriter::u32(unsigned value)
{
    return bytes(&value, sizeof value);
}

bool TransferWriter::u64(unsigned long long value)
{
    return bytes(&value, sizeof value);
}

bool TransferWriter::text(const std::string& value)
{
    const std::string kept = value.substr(0, maxTextBytes);
    return u32(static_cast<unsigned>(kept.size())) && bytes(kept.data(), kept.size());
}

template <typename T> bool TransferWriter::array(const std::vector<T>& values)
{
    return u64(values.size()) && bytes(values.data(), values.size() * sizeof(T));
}

bool TransferWriter::note(const std::string& line)
{
    return tag(noteTag) && text(line);
}

bool TransferWriter::texture(const ModelTexture& texture)
{
    return tag(textureTag) && text(texture.name);
}

bool TransferWriter::material(const ModelMaterial& material)
{
    return tag(materialTag) && bytes(&material.diffuse[0], 4 * sizeof(float)) &&
           u32(static_cast<unsigned>(material.texture)) && u32(material.twoSided ? 1 : 0);
}

bool TransferWriter::mesh(const ModelMesh& mesh)
{
    return tag(meshTag) && text(mesh.name) && u32(static_cast<unsigned>(mesh.primitive)) && u32(mesh.material) &&
           array(mesh.positions) && array(mesh.normals) && array(mesh.texCoords) && array(mesh.colours) &&
           array(mesh.indices);
}

bool TransferWriter::placement(const ModelPlacement& placement)
{
    return tag(placementTag) && u32(placement.mesh) && bytes(&placement.transform[0][0], 16 * sizeof(float));
}

bool TransferWriter::geometryDone()
{
    return tag(geometryTag) && flush();
}

bool TransferWriter::image(unsigned texture, const ModelImage& image)
{
    return tag(imageTag) && u32(texture) && u32(static_cast<unsigned>(image.width)) &&
           u32(static_cast<unsigned>(image.height)) && array(image.pixels) && flush();
}

bool TransferWriter::textureFailed(unsigned texture, const std::string& reason)
{
    return tag(textureFailedTag) && u32(texture) && text(reason) && flush();
}

bool TransferWriter::end()
{
    return tag(endTag) && flush();
}

bool TransferWriter::failure(const std::string& reason)
{
    return tag(failureTag) && text(reason) && flush();
}

TransferResult readTransfer(int fd, ModelData& model)
{
    TransferResult result;
    auto reader = std::make_unique<Reader>(fd);
    Reader& in = *reader;
    // Textures arrive, or fail, in order.
    size_t texturesResolved = 0;
    const auto cut = [&](const char* what) {
        result.outcome = TransferResult::Outcome::cut;
        result.reason = what;
        if (result.geometryComplete && texturesResolved < model.textures.size())
            result.pendingTexture = static_cast<int>(texturesResolved);
        return result;
    };
    for (;;) {
        char tag = 0;
        if (!in.bytes(&tag, 1))
            return cut("");
        switch (tag) {
        case noteTag: {
            std::string line;
            if (!in.text(line))
                return cut("");
            model.notes.push_back(line);
            break;
        }
        case textureTag: {
            ModelTexture texture;
            if (result.geometryComplete || !in.text(texture.name))
                return cut("a texture record out of place");
            model.textures.push_back(texture);
            break;
        }
        case materialTag: {
            ModelMaterial material;
            unsigned texture = 0;
            unsigned twoSided = 0;
            if (result.geometryComplete || !in.bytes(&material.diffuse[0], 4 * sizeof(float)) || !in.u32(texture) ||
                !in.u32(twoSided))
                return cut("a material record out of place");
            material.texture = static_cast<int>(texture);
            if (material.texture >= static_cast<int>(model.textures.size()) || material.texture < -1)
                return cut("a material names a texture that was not sent");
            for (int i = 0; i < 4; ++i)
                material.diffuse[i] = std::isfinite(material.diffuse[i]) ? std::clamp(material.diffuse[i], 0.0f, 1.0f)
                                                                         : 1.0f;
            material.twoSided = twoSided != 0;
            model.materials.push_back(material);
            break;
        }
        case meshTag: {
            ModelMesh mesh;
            unsigned primitive = 0;
            constexpr unsigned long long most = 1ULL << 34;
            if (result.geometryComplete || !in.text(mesh.name) || !in.u32(primitive) || !in.u32(mesh.material) ||
                !in.array(mesh.positions, most) || !in.array(mesh.normals, most) ||
                !in.array(mesh.texCoords, most) || !in.array(mesh.colours, most) || !in.array(mesh.indices, most))
                return cut("");
            mesh.primitive = static_cast<Primitive>(primitive);
            if (!validMesh(mesh, model.materials.size()))
                return cut("a mesh whose counts or indices do not match");
            model.meshes.push_back(std::move(mesh));
            break;
        }
        case placementTag: {
            ModelPlacement placement;
            if (result.geometryComplete || !in.u32(placement.mesh) ||
                !in.bytes(&placement.transform[0][0], 16 * sizeof(float)))
                return cut("");
            if (placement.mesh >= model.meshes.size())
                return cut("a placement of a mesh that was not sent");
            const float* m = &placement.transform[0][0];
            if (std::all_of(m, m + 16, [](float v) { return std::isfinite(v); }))
                model.placements.push_back(placement);
            break;
        }
        case geometryTag:
            if (result.geometryComplete)
                return cut("the geometry ended twice");
            result.geometryComplete = true;
            break;
        case imageTag: {
            unsigned texture = 0;
            unsigned width = 0;
            unsigned height = 0;
            ModelImage image;
            if (!result.geometryComplete || !in.u32(texture) || texture != texturesResolved ||
                texture >= model.textures.size())
                return cut("an image out of place");
            if (!in.u32(width) || !in.u32(height))
                return cut("");
            if (width == 0 || height == 0 || width > maxImageSide || height > maxImageSide ||
                static_cast<long long>(width) * height > maxImagePixels)
                return cut("an image of a size no texture has");
            if (!in.array(image.pixels, 4ULL * width * height))
                return cut("");
            if (image.pixels.size() != 4ULL * width * height)
                return cut("an image whose pixels do not match its size");
            image.width = static_cast<int>(width);
            image.height = static_cast<int>(height);
            model.textures[texture].image = static_cast<int>(model.images.size());
            model.images.push_back(std::move(image));
            ++texturesResolved;
            break;
        }
        case textureFailedTag: {
            unsigned texture = 0;
            std::string reason;
            if (!result.geometryComplete || !in.u32(texture) || texture != texturesResolved ||
                texture >= model.textures.size() || !in.text(reason))
                return cut("a texture failure out of place");
            ++texturesResolved;
            model.notes.push_back("Could not load texture " + model.textures[texture].name + ": " + reason +
                                  "; its meshes show their colour");
            break;
        }
        case endTag:
            if (!result.geometryComplete || texturesResolved != model.textures.size())
                return cut("the model ended before its geometry and textures did");
            result.outcome = TransferResult::Outcome::complete;
            return result;
        case failureTag:
            if (!in.text(result.reason))
                return cut("");
            result.outcome = TransferResult::Outcome::failed;
            return result;
        default:
            return cut("a record of no known kind");
        }
    }
}

} // namespace import
