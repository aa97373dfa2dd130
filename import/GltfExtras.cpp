// A glTF file's JSON read for the material extensions the importer does not read.
#include "import/GltfExtras.h"

#include "base/RegularFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace import {

namespace {

constexpr unsigned long long maxJsonBytes = 64ULL << 20;
// Deeper nesting than any glTF file has; a file nested further is refused
// rather than read into the stack.
constexpr int maxDepth = 64;

// A JSON value, with only what the reading below needs: members of
// objects, items of arrays and numbers. Strings are skipped over.
struct Json {
    enum class Kind { other, number, object, array } kind = Kind::other;
    double number = 0.0;
    std::map<std::string, std::unique_ptr<Json>> members;
    std::vector<std::unique_ptr<Json>> items;

    const Json* member(const char* name) const
    {
        const auto found = members.find(name);
        return kind == Kind::object && found != members.end() ? found->second.get() : nullptr;
    }
};

class JsonParser {
public:
    JsonParser(const char* text, size_t size) : at(text), end(text + size) {}

    // The value at the start, or null when the text is not JSON.
    std::unique_ptr<Json> parse()
    {
        std::unique_ptr<Json> value = parseValue(0);
        return value != nullptr && (skipBlanks(), at == end) ? std::move(value) : nullptr;
    }

private:
    void skipBlanks()
    {
        while (at < end && (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r'))
            ++at;
    }

    // A string's text; escapes other than \" and \\ are kept as written,
    // which is enough for the names glTF uses.
    bool parseString(std::string* out)
    {
        if (at >= end || *at != '"')
            return false;
        for (++at; at < end && *at != '"'; ++at) {
            if (*at == '\\' && ++at >= end)
                return false;
            if (out != nullptr)
                out->push_back(*at);
        }
        return at++ < end;
    }

    std::unique_ptr<Json> parseValue(int depth)
    {
        skipBlanks();
        if (at >= end || depth > maxDepth)
            return nullptr;
        auto value = std::make_unique<Json>();
        if (*at == '{' || *at == '[')
            return parseContainer(*value, depth) ? std::move(value) : nullptr;
        if (*at == '"')
            return parseString(nullptr) ? std::move(value) : nullptr;
        for (const char* word : {"true", "false", "null"}) {
            const size_t length = std::strlen(word);
            if (static_cast<size_t>(end - at) >= length && std::memcmp(at, word, length) == 0) {
                at += length;
                return value;
            }
        }
        // strtod could read past the text; a number is short.
        char digits[64] = {};
        size_t length = 0;
        while (at + length < end && length + 1 < sizeof digits && std::strchr("+-.0123456789eE", at[length]) &&
               at[length] != '\0') {
            digits[length] = at[length];
            ++length;
        }
        char* stop = nullptr;
        value->number = std::strtod(digits, &stop);
        if (length == 0 || stop != digits + length)
            return nullptr;
        at += length;
        value->kind = Json::Kind::number;
        return value;
    }

    bool parseContainer(Json& value, int depth)
    {
        const bool object = *at == '{';
        value.kind = object ? Json::Kind::object : Json::Kind::array;
        ++at;
        skipBlanks();
        if (at < end && *at == (object ? '}' : ']'))
            return ++at, true;
        for (;;) {
            std::string name;
            if (object) {
                skipBlanks();
                if (!parseString(&name) || (skipBlanks(), at >= end || *at != ':'))
                    return false;
                ++at;
            }
            std::unique_ptr<Json> item = parseValue(depth + 1);
            if (item == nullptr)
                return false;
            if (object)
                value.members[name] = std::move(item);
            else
                value.items.push_back(std::move(item));
            skipBlanks();
            if (at < end && *at == ',') {
                ++at;
                continue;
            }
            return at < end && *at++ == (object ? '}' : ']');
        }
    }

    const char* at;
    const char* end;
};

std::uint32_t littleEndian(const std::string& bytes, size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

} // namespace

namespace {

bool finiteNumber(const Json* value)
{
    return value != nullptr && value->kind == Json::Kind::number && std::isfinite(value->number);
}

// Two numbers of an array, where it holds two finite ones.
void readPair(const Json* array, float* pair)
{
    if (array == nullptr || array->kind != Json::Kind::array || array->items.size() != 2 ||
        !finiteNumber(array->items[0].get()) || !finiteNumber(array->items[1].get()))
        return;
    pair[0] = static_cast<float>(array->items[0]->number);
    pair[1] = static_cast<float>(array->items[1]->number);
}

GltfTextureTransform transformOf(const Json* textureInfo)
{
    GltfTextureTransform transform;
    const Json* extensions = textureInfo != nullptr ? textureInfo->member("extensions") : nullptr;
    const Json* given = extensions != nullptr ? extensions->member("KHR_texture_transform") : nullptr;
    if (given == nullptr || given->kind != Json::Kind::object)
        return transform;
    transform.given = true;
    readPair(given->member("offset"), transform.offset);
    readPair(given->member("scale"), transform.scale);
    const Json* rotation = given->member("rotation");
    if (finiteNumber(rotation))
        transform.rotation = static_cast<float>(rotation->number);
    const Json* texCoord = given->member("texCoord");
    if (finiteNumber(texCoord) && texCoord->number >= 0.0 && texCoord->number < 1e6)
        transform.texCoord = static_cast<int>(texCoord->number);
    return transform;
}

GltfMaterialExtras extrasOf(const Json& material)
{
    GltfMaterialExtras extras;
    const Json* extensions = material.member("extensions");
    const Json* emissive = extensions != nullptr ? extensions->member("KHR_materials_emissive_strength") : nullptr;
    const Json* strength = emissive != nullptr ? emissive->member("emissiveStrength") : nullptr;
    if (finiteNumber(strength) && strength->number >= 0.0)
        extras.emissiveStrength = static_cast<float>(strength->number);
    const Json* pbr = material.member("pbrMetallicRoughness");
    const Json* glossy = extensions != nullptr ? extensions->member("KHR_materials_pbrSpecularGlossiness") : nullptr;
    const Json* base = pbr != nullptr ? pbr->member("baseColorTexture") : nullptr;
    if (base == nullptr && glossy != nullptr)
        base = glossy->member("diffuseTexture");
    // In the order of ModelMaterial's texture slots.
    const Json* textures[materialTextureSlots] = {
        base, pbr != nullptr ? pbr->member("metallicRoughnessTexture") : nullptr, material.member("normalTexture"),
        material.member("occlusionTexture"), material.member("emissiveTexture")};
    for (int slot = 0; slot < materialTextureSlots; ++slot)
        extras.transforms[slot] = transformOf(textures[slot]);
    return extras;
}

} // namespace

std::vector<GltfMaterialExtras> materialExtrasOfJson(const std::string& json)
{
    const std::unique_ptr<Json> root = JsonParser(json.data(), json.size()).parse();
    const Json* materials = root != nullptr ? root->member("materials") : nullptr;
    if (materials == nullptr || materials->kind != Json::Kind::array)
        return {};
    std::vector<GltfMaterialExtras> extras;
    for (const std::unique_ptr<Json>& material : materials->items)
        extras.push_back(extrasOf(*material));
    return extras;
}

void applyGltfTransform(const GltfTextureTransform& transform, TextureMapping& mapping)
{
    // glTF's coordinates (u, v down) go through offset + rotation * scale.
    // The rotation turns the coordinates from u toward -v (clockwise as v
    // runs down), as the example of the extension's own text and the
    // renderings of its sample model have it.
    const double c = std::cos(static_cast<double>(transform.rotation));
    const double s = std::sin(static_cast<double>(transform.rotation));
    const double sx = transform.scale[0];
    const double sy = transform.scale[1];
    const double a00 = c * sx, a01 = s * sy, a10 = -s * sx, a11 = c * sy;
    const double tx = transform.offset[0], ty = transform.offset[1];
    // The meshes carry (u, 1 - v): flipped in, transformed, flipped out.
    const double matrix[6] = {a00, -a10, -a01, a11, a01 + tx, 1.0 - a11 - ty};
    for (int i = 0; i < 6; ++i)
        mapping.transform[i] = static_cast<float>(matrix[i]);
}

std::vector<GltfMaterialExtras> gltfMaterialExtras(const std::string& path)
{
    RegularFile file(path);
    std::string text(20, '\0');
    std::string reason;
    size_t got = 0;
    if (!file.isOpen() || !file.read(text.data(), text.size(), got, reason))
        return {};
    text.resize(got);
    // A binary file: a header, then the JSON chunk's length and type, then
    // the JSON, which alone is read: the buffers after it may be hundreds
    // of megabytes, and a file over the JSON's limit lost its extras.
    if (text.size() == 20 && text.compare(0, 4, "glTF") == 0) {
        const std::uint32_t length = littleEndian(text, 12);
        if (littleEndian(text, 16) != 0x4E4F534Au || length > maxJsonBytes)
            return {};
        text.assign(length, '\0');
        if (!file.read(text.data(), text.size(), got, reason) || got != length)
            return {};
        return materialExtrasOfJson(text);
    }
    std::string rest;
    if (!file.readAll(rest, maxJsonBytes - text.size(), reason))
        return {};
    return materialExtrasOfJson(text + rest);
}

} // namespace import
