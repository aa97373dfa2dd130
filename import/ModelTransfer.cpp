// Writing and reading the records of the import process's stream.
#include "import/ModelTransfer.h"

#include "import/Mipmaps.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <csignal>
#include <unistd.h>
#include <utility>

namespace import {

namespace {

constexpr size_t bufferBytes = 1 << 16;
constexpr size_t maxTextBytes = 1 << 16;
// The longest piece of a record that is read whole: a tag, a text and two numbers.
constexpr size_t maxPieceBytes = maxTextBytes + 64;
// Elements read before an array grows again.
constexpr size_t arrayStep = 1 << 20;
constexpr long long maxImageSide = 16384;
constexpr long long maxImagePixels = 1LL << 28;
// A mesh record's arrays: positions, normals, texture coordinates, colours, indices, tangents, the second
// set of texture coordinates.
constexpr int meshArrayCount = 7;

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

bool validMesh(const ModelMesh& mesh, size_t materials)
{
    const unsigned perFace = static_cast<unsigned>(mesh.primitive);
    if (perFace < 1 || perFace > 3 || mesh.material >= materials || mesh.positions.empty() ||
        mesh.positions.size() % 3 != 0 || mesh.indices.empty() || mesh.indices.size() % perFace != 0)
        return false;
    const size_t vertices = mesh.vertexCount();
    if (vertices > 0xffffffffu || (!mesh.normals.empty() && mesh.normals.size() != 3 * vertices) ||
        (!mesh.texCoords.empty() && mesh.texCoords.size() != 2 * vertices) ||
        (!mesh.colours.empty() && mesh.colours.size() != 4 * vertices) ||
        (!mesh.tangents.empty() && mesh.tangents.size() != 4 * vertices) ||
        (!mesh.texCoords1.empty() && mesh.texCoords1.size() != 2 * vertices))
        return false;
    return std::all_of(mesh.indices.begin(), mesh.indices.end(), [vertices](unsigned i) { return i < vertices; });
}

// A factor as the lighting can use it: finite and within its range, or
// the default of a material that does not say.
float cleanFactor(float value, float lowest, float highest, float fallback)
{
    return std::isfinite(value) ? std::clamp(value, lowest, highest) : fallback;
}

// The numbers of a material record past its colour, texture and sidedness,
// in the order they are written.
struct MaterialNumbers {
    unsigned colourMultiplies = 1;
    float metallic = 0.0f;
    float roughness = 1.0f;
    float specular = 1.0f;
    unsigned surfaceTexture = ~0u;
    unsigned normalTexture = ~0u;
    float normalScale = 1.0f;
    unsigned occlusionTexture = ~0u;
    float occlusionStrength = 1.0f;
    float emissive[3] = {0.0f, 0.0f, 0.0f};
    unsigned emissiveTexture = ~0u;
    unsigned alphaMode = 0;
    float alphaCutoff = 0.5f;
};

MaterialNumbers numbersOf(const ModelMaterial& material)
{
    MaterialNumbers numbers;
    numbers.colourMultiplies = material.colourMultiplies ? 1 : 0;
    numbers.metallic = material.metallic;
    numbers.roughness = material.roughness;
    numbers.specular = material.specular;
    numbers.surfaceTexture = static_cast<unsigned>(material.surfaceTexture);
    numbers.normalTexture = static_cast<unsigned>(material.normalTexture);
    numbers.normalScale = material.normalScale;
    numbers.occlusionTexture = static_cast<unsigned>(material.occlusionTexture);
    numbers.occlusionStrength = material.occlusionStrength;
    for (int i = 0; i < 3; ++i)
        numbers.emissive[i] = material.emissive[i];
    numbers.emissiveTexture = static_cast<unsigned>(material.emissiveTexture);
    numbers.alphaMode = static_cast<unsigned>(material.alphaMode);
    numbers.alphaCutoff = material.alphaCutoff;
    return numbers;
}

// The material the numbers describe, every factor brought within what the
// lighting takes (a colour that is not finite arrives as white, an unknown
// factor as its default). The texture indices are checked by the caller.
void applyNumbers(const MaterialNumbers& numbers, ModelMaterial& material)
{
    for (int i = 0; i < 4; ++i)
        material.diffuse[i] = cleanFactor(material.diffuse[i], 0.0f, 1.0f, 1.0f);
    material.colourMultiplies = numbers.colourMultiplies != 0;
    material.metallic = cleanFactor(numbers.metallic, 0.0f, 1.0f, 0.0f);
    material.roughness = cleanFactor(numbers.roughness, 0.0f, 1.0f, 1.0f);
    material.specular = cleanFactor(numbers.specular, 0.0f, 4.0f, 1.0f);
    material.surfaceTexture = static_cast<int>(numbers.surfaceTexture);
    material.normalTexture = static_cast<int>(numbers.normalTexture);
    material.normalScale = cleanFactor(numbers.normalScale, -16.0f, 16.0f, 1.0f);
    material.occlusionTexture = static_cast<int>(numbers.occlusionTexture);
    material.occlusionStrength = cleanFactor(numbers.occlusionStrength, 0.0f, 1.0f, 1.0f);
    for (int i = 0; i < 3; ++i)
        material.emissive[i] = cleanFactor(numbers.emissive[i], 0.0f, 65504.0f, 0.0f);
    material.emissiveTexture = static_cast<int>(numbers.emissiveTexture);
    material.alphaMode = numbers.alphaMode <= static_cast<unsigned>(AlphaMode::blend)
                             ? static_cast<AlphaMode>(numbers.alphaMode)
                             : AlphaMode::opaque;
    material.alphaCutoff = cleanFactor(numbers.alphaCutoff, 0.0f, 1.0f, 0.5f);
}

// Whether every mapping is one the viewer can set up; a transform that is
// not finite is dropped.
bool cleanMappings(ModelMaterial& material)
{
    for (TextureMapping& mapping : material.mappings) {
        const auto wrapKnown = [](TextureWrap wrap) { return wrap <= TextureWrap::mirroredRepeat; };
        if (mapping.uvSet > 1 || !wrapKnown(mapping.wrapU) || !wrapKnown(mapping.wrapV) ||
            mapping.magnify > TextureFilter::linear || mapping.minify > TextureFilter::linearMipmapLinear)
            return false;
        if (!std::all_of(mapping.transform, mapping.transform + 6, [](float v) { return std::isfinite(v); }))
            std::copy_n(TextureMapping().transform, 6, mapping.transform);
    }
    return true;
}

} // namespace

unsigned long long TransferWriter::stallAfterBytes = 0;
void (*TransferWriter::beforeFirstTexture)() = nullptr;

bool TransferWriter::flush()
{
    size_t done = 0;
    while (good && done < buffer.size()) {
        const ssize_t wrote = write(fd, buffer.data() + done, buffer.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            good = false;
        } else {
            done += static_cast<size_t>(wrote);
            written += static_cast<unsigned long long>(wrote);
            if (stallAfterBytes != 0 && written >= stallAfterBytes)
                raise(SIGSTOP);
        }
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
    return tag(textureTag) && text(texture.name) && u32(static_cast<unsigned>(texture.space));
}

bool TransferWriter::material(const ModelMaterial& material)
{
    const MaterialNumbers numbers = numbersOf(material);
    return tag(materialTag) && bytes(&material.diffuse[0], 4 * sizeof(float)) &&
           u32(static_cast<unsigned>(material.texture)) && u32(material.twoSided ? 1 : 0) &&
           bytes(&numbers, sizeof numbers) && bytes(material.mappings.data(), sizeof material.mappings);
}

bool TransferWriter::mesh(const ModelMesh& mesh)
{
    return tag(meshTag) && text(mesh.name) && u32(static_cast<unsigned>(mesh.primitive)) && u32(mesh.material) &&
           array(mesh.positions) && array(mesh.normals) && array(mesh.texCoords) && array(mesh.colours) &&
           array(mesh.indices) && array(mesh.tangents) && array(mesh.texCoords1);
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
    if (beforeFirstTexture != nullptr)
        std::exchange(beforeFirstTexture, nullptr)();
    return tag(imageTag) && u32(texture) && u32(static_cast<unsigned>(image.width)) &&
           u32(static_cast<unsigned>(image.height)) && array(image.pixels) && array(image.mipmaps) && flush();
}

bool TransferWriter::textureFailed(unsigned texture, const std::string& reason)
{
    if (beforeFirstTexture != nullptr)
        std::exchange(beforeFirstTexture, nullptr)();
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

// A piece of a record, read from `at` whole or not at all: a piece whose
// bytes have not all come is read again from its start once they have.
class TransferReader::Cursor {
public:
    Cursor(const unsigned char* data, size_t size) : at(data), left(size) {}
    bool bytes(void* out, size_t size)
    {
        if (size > left)
            return false;
        std::memcpy(out, at, size);
        at += size;
        left -= size;
        return true;
    }
    bool u32(unsigned& value) { return bytes(&value, sizeof value); }
    bool u64(unsigned long long& value) { return bytes(&value, sizeof value); }
    bool text(std::string& value)
    {
        unsigned size = 0;
        if (!u32(size))
            return false;
        if (size > maxTextBytes) {
            tooLong = true;
            return false;
        }
        if (size > left)
            return false;
        value.assign(reinterpret_cast<const char*>(at), size);
        at += size;
        left -= size;
        return true;
    }

    const unsigned char* at;
    size_t left;
    bool tooLong = false; // a text no writer writes: waiting for it would never end
};

size_t TransferReader::ArrayFill::elementSize() const
{
    return bytes != nullptr ? 1 : 4;
}

size_t TransferReader::ArrayFill::size() const
{
    return floats != nullptr ? floats->size() : indices != nullptr ? indices->size() : bytes->size();
}

unsigned char* TransferReader::ArrayFill::resize(size_t elements) const
{
    if (floats != nullptr) {
        floats->resize(elements);
        return reinterpret_cast<unsigned char*>(floats->data());
    }
    if (indices != nullptr) {
        indices->resize(elements);
        return reinterpret_cast<unsigned char*>(indices->data());
    }
    bytes->resize(elements);
    return bytes->data();
}

bool TransferReader::take(const unsigned char* data, size_t size)
{
    if (!staged.empty() && !done) {
        // The piece begun in earlier bytes, completed from these.
        const size_t before = staged.size();
        const size_t added = std::min(size, maxPieceBytes - std::min(before, maxPieceBytes));
        staged.insert(staged.end(), data, data + added);
        const size_t used = consume(staged.data(), staged.size());
        if (done)
            return false;
        if (used < before) {
            if (added < size)
                cut("a record longer than any writer writes");
            return !done;
        }
        // What of these bytes consume did not take starts a piece of its own.
        staged.clear();
        data += used - before;
        size -= used - before;
    }
    const size_t used = done ? size : consume(data, size);
    if (!done && used < size)
        staged.assign(data + used, data + size);
    return !done;
}

void TransferReader::end()
{
    if (!done)
        cut("");
    staged.clear();
    staged.shrink_to_fit();
}

size_t TransferReader::consume(const unsigned char* data, size_t size)
{
    size_t used = 0;
    while (!done && used < size) {
        if (filling) {
            used += fill(data + used, size - used);
            if (!filling)
                arrayFilled();
            continue;
        }
        Cursor in(data + used, size - used);
        if (!piece(in)) {
            if (in.tooLong)
                cut("a text longer than any writer writes");
            break;
        }
        used = size - in.left;
    }
    return used;
}

// False while the piece's bytes have not all come.
bool TransferReader::piece(Cursor& in)
{
    if (open != 0) {
        unsigned long long count = 0;
        return in.u64(count) && startArray(count);
    }
    char tag = 0;
    return in.bytes(&tag, 1) && record(tag, in);
}

bool TransferReader::record(char tag, Cursor& in)
{
    switch (tag) {
    case meshTag:
        return meshHeader(in);
    case imageTag:
        return imageHeader(in);
    case textureTag:
    case materialTag:
    case placementTag:
        return geometryRecord(tag, in);
    default:
        return smallRecord(tag, in);
    }
}

// A mesh's name, kind of face and material; its arrays follow.
bool TransferReader::meshHeader(Cursor& in)
{
    std::string name;
    unsigned primitive = 0;
    unsigned material = 0;
    if (result.geometryComplete)
        return cut("a mesh record out of place");
    if (!in.text(name) || !in.u32(primitive) || !in.u32(material))
        return false;
    if (!withinLimit(model.meshes.size(), ModelLimits::meshes, "meshes"))
        return true;
    mesh = ModelMesh();
    mesh.name = std::move(name);
    mesh.primitive = static_cast<Primitive>(primitive);
    mesh.material = material;
    open = meshTag;
    meshArrays = 0;
    return true;
}

// The texture an image is for and its size; its pixels follow.
bool TransferReader::imageHeader(Cursor& in)
{
    unsigned texture = 0;
    unsigned width = 0;
    unsigned height = 0;
    if (!result.geometryComplete)
        return cut("an image out of place");
    if (!in.u32(texture) || !in.u32(width) || !in.u32(height))
        return false;
    if (texture != texturesResolved || texture >= model.textures.size())
        return cut("an image out of place");
    if (width == 0 || height == 0 || width > maxImageSide || height > maxImageSide ||
        static_cast<long long>(width) * height > maxImagePixels)
        return cut("an image of a size no texture has");
    image = ModelImage();
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    imageTexture = texture;
    imageArrays = 0;
    open = imageTag;
    return true;
}

// Textures, materials and placements: before the geometry ends, each
// naming only what came before it.
bool TransferReader::geometryRecord(char tag, Cursor& in)
{
    if (result.geometryComplete)
        return cut(tag == textureTag    ? "a texture record out of place"
                   : tag == materialTag ? "a material record out of place"
                                        : "a placement record out of place");
    if (tag == textureTag) {
        ModelTexture texture;
        unsigned space = 0;
        if (!in.text(texture.name) || !in.u32(space))
            return false;
        if (space > static_cast<unsigned>(ColourSpace::srgb))
            return cut("a texture in no known colour space");
        texture.space = static_cast<ColourSpace>(space);
        if (withinLimit(model.textures.size(), ModelLimits::textures, "textures"))
            model.textures.push_back(std::move(texture));
        return true;
    }
    if (tag == materialTag)
        return materialRecord(in);
    ModelPlacement placement;
    if (!in.u32(placement.mesh) || !in.bytes(&placement.transform[0][0], 16 * sizeof(float)))
        return false;
    if (!withinLimit(placementRecords++, ModelLimits::placements, "placements"))
        return true;
    if (placement.mesh >= model.meshes.size())
        return cut("a placement of a mesh that was not sent");
    const float* m = &placement.transform[0][0];
    if (std::all_of(m, m + 16, [](float v) { return std::isfinite(v); }))
        model.placements.push_back(placement);
    return true;
}

// A material: its colour, its factors and the textures it names, each
// one that came before it and read in the colour space its use needs.
bool TransferReader::materialRecord(Cursor& in)
{
    ModelMaterial material;
    unsigned texture = 0;
    unsigned twoSided = 0;
    MaterialNumbers numbers;
    if (!in.bytes(&material.diffuse[0], 4 * sizeof(float)) || !in.u32(texture) || !in.u32(twoSided) ||
        !in.bytes(&numbers, sizeof numbers) || !in.bytes(material.mappings.data(), sizeof material.mappings))
        return false;
    material.texture = static_cast<int>(texture);
    material.twoSided = twoSided != 0;
    applyNumbers(numbers, material);
    if (!cleanMappings(material))
        return cut("a material reads a texture in no known way");
    for (int slot = 0; slot < materialTextureSlots; ++slot) {
        const int named = textureSlot(material, slot);
        if (named >= static_cast<int>(model.textures.size()) || named < -1)
            return cut("a material names a texture that was not sent");
        if (named >= 0 && model.textures[static_cast<size_t>(named)].space != slotSpaces[slot])
            return cut("a material reads a texture in the wrong colour space");
    }
    if (withinLimit(model.materials.size(), ModelLimits::materials, "materials"))
        model.materials.push_back(material);
    return true;
}

// The other records, read whole; none is longer than maxPieceBytes.
bool TransferReader::smallRecord(char tag, Cursor& in)
{
    switch (tag) {
    case noteTag: {
        std::string line;
        if (!in.text(line))
            return false;
        model.notes.push_back(std::move(line));
        return true;
    }
    case geometryTag:
        if (result.geometryComplete)
            return cut("the geometry ended twice");
        result.geometryComplete = true;
        return true;
    case textureFailedTag: {
        unsigned texture = 0;
        std::string reason;
        if (!result.geometryComplete)
            return cut("a texture failure out of place");
        if (!in.u32(texture) || !in.text(reason))
            return false;
        if (texture != texturesResolved || texture >= model.textures.size())
            return cut("a texture failure out of place");
        ++texturesResolved;
        model.notes.push_back("Could not load texture " + model.textures[texture].name + ": " + reason +
                              "; its meshes show their colour");
        return true;
    }
    case endTag:
        if (!result.geometryComplete || texturesResolved != model.textures.size())
            return cut("the model ended before its geometry and textures did");
        result.outcome = TransferResult::Outcome::complete;
        done = true;
        return true;
    case failureTag:
        if (!in.text(result.reason))
            return false;
        result.outcome = TransferResult::Outcome::failed;
        done = true;
        return true;
    default:
        return cut("a record of no known kind");
    }
}

bool TransferReader::startArray(unsigned long long count)
{
    array = ArrayFill();
    unsigned long long most = 1ULL << 34;
    if (open == meshTag) {
        std::vector<float>* const floats[] = {&mesh.positions, &mesh.normals, &mesh.texCoords, &mesh.colours};
        if (meshArrays < 4)
            array.floats = floats[meshArrays];
        else if (meshArrays == 4)
            array.indices = &mesh.indices;
        else
            array.floats = meshArrays == 5 ? &mesh.tangents : &mesh.texCoords1;
    } else if (imageArrays == 0) {
        array.bytes = &image.pixels;
        most = 4ULL * static_cast<unsigned>(image.width) * static_cast<unsigned>(image.height);
    } else {
        array.bytes = &image.mipmaps;
        most = mipmapBytes(image.width, image.height);
    }
    if (count > most)
        return cut("an array longer than its record allows");
    array.count = count;
    filling = count > 0;
    if (!filling)
        arrayFilled();
    return true;
}

// Copies what `data` holds of the array, which grows a step at a time, as its bytes come.
size_t TransferReader::fill(const unsigned char* data, size_t size)
{
    const unsigned long long total = array.count * array.elementSize();
    size_t used = 0;
    while (used < size && array.received < total) {
        size_t elements = array.size();
        if (array.received == elements * array.elementSize())
            elements = static_cast<size_t>(std::min<unsigned long long>(array.count, elements + arrayStep));
        unsigned char* storage = array.resize(elements);
        const size_t now =
            std::min(size - used, static_cast<size_t>(elements * array.elementSize() - array.received));
        std::memcpy(storage + array.received, data + used, now);
        array.received += now;
        used += now;
    }
    filling = array.received < total;
    return used;
}

void TransferReader::arrayFilled()
{
    if (open == meshTag) {
        if (++meshArrays < meshArrayCount)
            return;
        open = 0;
        if (!validMesh(mesh, model.materials.size())) {
            cut("a mesh whose counts or indices do not match");
            return;
        }
        model.meshes.push_back(std::move(mesh));
        mesh = ModelMesh();
        return;
    }
    if (++imageArrays < 2)
        return;
    open = 0;
    if (image.pixels.size() != 4ULL * static_cast<unsigned>(image.width) * static_cast<unsigned>(image.height) ||
        (!image.mipmaps.empty() && image.mipmaps.size() != mipmapBytes(image.width, image.height))) {
        cut("an image whose pixels do not match its size");
        return;
    }
    image.space = model.textures[imageTexture].space;
    model.textures[imageTexture].image = static_cast<int>(model.images.size());
    model.images.push_back(std::move(image));
    image = ModelImage();
    ++texturesResolved;
}

bool TransferReader::withinLimit(size_t count, size_t limit, const char* what)
{
    if (count < limit)
        return true;
    cut("the model brings more than " + std::to_string(limit) + " " + what + ", more than the viewer takes");
    return false;
}

bool TransferReader::cut(const std::string& reason)
{
    result.outcome = TransferResult::Outcome::cut;
    result.reason = reason;
    if (result.geometryComplete && texturesResolved < model.textures.size())
        result.pendingTexture = static_cast<int>(texturesResolved);
    done = true;
    return true;
}

TransferResult readTransfer(int fd, ModelData& model)
{
    TransferReader reader(model);
    std::vector<unsigned char> buffer(bufferBytes);
    while (!reader.over()) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            reader.end();
        else
            reader.take(buffer.data(), static_cast<size_t>(got));
    }
    return reader.result;
}
} // namespace import
