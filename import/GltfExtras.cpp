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

std::vector<float> emissiveStrengthsOfJson(const std::string& json)
{
    const std::unique_ptr<Json> root = JsonParser(json.data(), json.size()).parse();
    const Json* materials = root != nullptr ? root->member("materials") : nullptr;
    if (materials == nullptr || materials->kind != Json::Kind::array)
        return {};
    std::vector<float> strengths;
    for (const std::unique_ptr<Json>& material : materials->items) {
        const Json* extensions = material->member("extensions");
        const Json* emissive = extensions != nullptr ? extensions->member("KHR_materials_emissive_strength") : nullptr;
        const Json* strength = emissive != nullptr ? emissive->member("emissiveStrength") : nullptr;
        const bool usable = strength != nullptr && strength->kind == Json::Kind::number &&
                            std::isfinite(strength->number) && strength->number >= 0.0;
        strengths.push_back(usable ? static_cast<float>(strength->number) : 1.0f);
    }
    return strengths;
}

std::vector<float> gltfEmissiveStrengths(const std::string& path)
{
    RegularFile file(path);
    std::string text;
    std::string reason;
    if (!file.isOpen() || !file.readAll(text, maxJsonBytes, reason))
        return {};
    // A binary file: a header, then the JSON chunk's length and type, then the JSON.
    if (text.size() >= 20 && text.compare(0, 4, "glTF") == 0) {
        const std::uint32_t length = littleEndian(text, 12);
        if (littleEndian(text, 16) != 0x4E4F534Au || length > text.size() - 20)
            return {};
        text = text.substr(20, length);
    }
    return emissiveStrengthsOfJson(text);
}

} // namespace import
