// MTL text to materials, and the lookup, reading and notes of the libraries an OBJ file names.
#include "import/MtlReader.h"

#include "base/Printable.h"
#include "import/ImportedMaterials.h"
#include "import/ObjTokenizer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string_view>

namespace import {

namespace {

// A file naming thousands of libraries that are not there gets a line for
// the first few and a count for the rest.
constexpr size_t maxLibraryNotes = 8;

const char* const greyMaterials = "; its materials show the default grey";

// The file named by a map statement after its options ("-s 1 1 1 name");
// `bumpScale` takes the value of -bm and `clamp` that of -clamp, where given.
std::string mapFileName(Cursor line, float* bumpScale = nullptr, bool* clamp = nullptr)
{
    static const std::map<std::string_view, int> arguments = {
        {"-blendu", 1}, {"-blendv", 1}, {"-boost", 1}, {"-cc", 1},
        {"-imfchan", 1}, {"-mm", 2},    {"-texres", 1}, {"-type", 1}, {"-colorspace", 1}};
    for (;;) {
        Cursor before = line;
        const std::string_view option = line.word();
        if (option.size() < 2 || option[0] != '-')
            return before.rest();
        if (option == "-clamp") {
            const std::string_view value = line.word();
            if (clamp != nullptr)
                *clamp = value == "on";
            continue;
        }
        if (option == "-bm") {
            float scale = 1.0f;
            if (line.number(scale) && bumpScale != nullptr)
                *bumpScale = scale;
            continue;
        }
        const auto known = arguments.find(option);
        if (known != arguments.end()) {
            for (int i = 0; i < known->second; ++i)
                line.word();
            continue;
        }
        if (option == "-o" || option == "-s" || option == "-t") {
            // One to three numbers.
            float ignored = 0.0f;
            for (int i = 0; i < 3 && line.number(ignored); ++i) {
            }
            continue;
        }
        return before.rest();
    }
}

// One number, or three; false where the line has neither.
bool readColour(Cursor line, glm::vec3& colour)
{
    float rgb[3] = {0.0f, 0.0f, 0.0f};
    const int read = line.numbers(rgb, 3);
    if (read == 1)
        rgb[1] = rgb[2] = rgb[0];
    if (read != 1 && read != 3)
        return false;
    colour = glm::vec3(rgb[0], rgb[1], rgb[2]);
    return true;
}

bool readNumber(Cursor line, float& value)
{
    return line.number(value);
}

// A statement that names a map: where its file name goes.
std::string* mapOf(std::string_view keyword, MaterialMaps& maps)
{
    if (keyword == "map_Kd")
        return &maps.colour;
    if (keyword == "map_Ke")
        return &maps.emission;
    if (keyword == "map_Bump" || keyword == "map_bump" || keyword == "bump" || keyword == "norm" ||
        keyword == "map_Kn")
        return &maps.bump;
    if (keyword == "map_Pr")
        return &maps.roughness;
    if (keyword == "map_Pm")
        return &maps.metalness;
    if (keyword == "map_Ks")
        return &maps.specular;
    if (keyword == "map_d")
        return &maps.opacity;
    return nullptr;
}

// A statement of a number or a colour of the current material.
void readFactor(std::string_view keyword, Cursor line, ModelMaterial& material, MaterialMaps& maps)
{
    glm::vec3 colour(0.0f);
    if (keyword == "Kd" && readColour(line, colour)) {
        material.diffuse = glm::vec4(colour, material.diffuse.a);
    } else if (keyword == "Ks" && readColour(line, colour)) {
        material.specular = 2.0f * (colour.r + colour.g + colour.b) / 3.0f;
    } else if (keyword == "Ke" && readColour(line, colour)) {
        material.emissive = glm::max(colour, glm::vec3(0.0f));
        maps.hasEmission = true;
    } else if (keyword == "Ns") {
        maps.hasShininess = readNumber(line, maps.shininess) || maps.hasShininess;
    } else if (keyword == "Pr") {
        maps.hasRoughness = readNumber(line, material.roughness) || maps.hasRoughness;
    } else if (keyword == "Pm") {
        maps.hasMetalness = readNumber(line, material.metallic) || maps.hasMetalness;
    } else if (keyword == "d") {
        // "d -halo 0.5" fades with the view angle; its number is read alone.
        Cursor number = line;
        if (number.word() != "-halo")
            number = line;
        maps.hasDissolve = readNumber(number, maps.dissolve) || maps.hasDissolve;
    } else if (keyword == "Tr") {
        maps.hasTransparency = readNumber(line, maps.transparency) || maps.hasTransparency;
    }
}

int request(std::vector<TextureRequest>& textures, std::map<std::string, int>& known, TextureUse use,
            std::vector<std::string> names, float bumpScale = 1.0f)
{
    if (std::all_of(names.begin(), names.end(), [](const std::string& name) { return name.empty(); }))
        return -1;
    std::string key = std::to_string(static_cast<unsigned>(use)) + " " + std::to_string(bumpScale);
    for (const std::string& name : names)
        key += "\n" + name;
    const auto found = known.find(key);
    if (found != known.end())
        return found->second;
    TextureRequest made;
    made.use = use;
    made.names = std::move(names);
    made.bumpScale = bumpScale;
    textures.push_back(std::move(made));
    return known[key] = static_cast<int>(textures.size() - 1);
}

} // namespace

void readMaterialText(const char* text, size_t size, MaterialLibrary& library)
{
    long long current = -1;
    LineSplitter lines;
    lines.split(text, size, true, [&](Cursor line) {
        const std::string_view keyword = line.word();
        if (keyword == "newmtl") {
            const std::string name = line.rest();
            const auto found = library.byName.find(name);
            if (found != library.byName.end()) {
                current = found->second;
                return;
            }
            current = static_cast<long long>(library.materials.size());
            library.byName[name] = static_cast<unsigned>(current);
            library.materials.emplace_back();
            library.maps.emplace_back();
            ModelMaterial& made = library.materials.back();
            made.diffuse = glm::vec4(glm::vec3(defaultGrey), 1.0f);
            made.colourMultiplies = false;
            return;
        }
        // Before any material: nothing to write it into.
        if (current < 0)
            return;
        ModelMaterial& material = library.materials[static_cast<size_t>(current)];
        MaterialMaps& maps = library.maps[static_cast<size_t>(current)];
        if (std::string* map = mapOf(keyword, maps)) {
            float scale = 1.0f;
            bool clamp = false;
            const std::string name = mapFileName(line, &scale, &clamp);
            if (!name.empty()) {
                *map = name;
                if (map == &maps.bump)
                    maps.bumpScale = scale;
                const int slot = map == &maps.colour ? 0 : map == &maps.bump ? 2 : map == &maps.emission ? 4 : 1;
                maps.clamped[slot] = clamp;
            }
            return;
        }
        readFactor(keyword, line, material, maps);
    });
}

std::vector<ModelMaterial> settledMaterials(const MaterialLibrary& library, std::vector<TextureRequest>& textures)
{
    std::map<std::string, int> known;
    std::vector<ModelMaterial> materials = library.materials;
    for (size_t i = 0; i < materials.size(); ++i) {
        ModelMaterial& material = materials[i];
        const MaterialMaps& maps = library.maps[i];
        material.texture = maps.opacity.empty()
                               ? request(textures, known, TextureUse::colour, {maps.colour})
                               : request(textures, known, TextureUse::colourOpacity, {maps.colour, maps.opacity});
        // An opacity map alone is white with holes: Kd colours it.
        if (!maps.opacity.empty() && maps.colour.empty())
            material.colourMultiplies = true;
        float opacity = maps.hasDissolve ? maps.dissolve : maps.hasTransparency ? 1.0f - maps.transparency : 1.0f;
        // A surface made wholly invisible is an exporter's slip (Tr written
        // as the opacity, d as the transparency), not what anyone modelled.
        if (!std::isfinite(opacity) || opacity <= 0.0f || opacity > 1.0f)
            opacity = 1.0f;
        material.diffuse.a = opacity;
        if (opacity < 1.0f || !maps.opacity.empty())
            material.alphaMode = AlphaMode::blend;
        material.emissiveTexture = request(textures, known, TextureUse::colour, {maps.emission});
        material.normalTexture = request(textures, known, TextureUse::normal, {maps.bump}, maps.bumpScale);
        material.normalScale = maps.bumpScale;
        material.surfaceTexture =
            request(textures, known, TextureUse::surface, {maps.roughness, maps.metalness, maps.specular});
        if (!maps.hasRoughness)
            material.roughness = maps.hasShininess && maps.roughness.empty() ? roughnessOfShininess(maps.shininess)
                                                                             : 1.0f;
        if (!maps.hasMetalness)
            material.metallic = maps.metalness.empty() ? 0.0f : 1.0f;
        // Exporters write "Ke 0 0 0" whether or not a map follows: a black
        // colour beside a map does not put the map out.
        if (material.emissiveTexture >= 0 && (!maps.hasEmission || material.emissive == glm::vec3(0.0f)))
            material.emissive = glm::vec3(1.0f);
        for (int slot = 0; slot < materialTextureSlots; ++slot)
            if (maps.clamped[slot] && textureSlot(material, slot) >= 0)
                material.mappings[slot].wrapU = material.mappings[slot].wrapV = TextureWrap::clampToEdge;
    }
    return materials;
}

MaterialLibraries::MaterialLibraries(const std::string& modelPath,
                                     const std::function<void(unsigned long long)>& onRead,
                                     std::vector<std::string>& notes)
    : modelPath(modelPath), onRead(onRead), notes(notes)
{
}

void MaterialLibraries::load(const std::string& names)
{
    if (names.empty())
        return;
    const std::filesystem::path folder = std::filesystem::path(modelPath).parent_path();
    // A name with blanks in it, or several names.
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / names, error) || names.find_first_of(" \t") == std::string::npos) {
        loadOne(names);
        return;
    }
    Cursor words{names.data(), names.data() + names.size()};
    while (!words.done())
        loadOne(std::string(words.word()));
}

void MaterialLibraries::loadOne(const std::string& name)
{
    const std::filesystem::path folder = std::filesystem::path(modelPath).parent_path();
    // A library that is not there is looked for under the model's own name
    // with ".mtl", as the importer does: exporters misname it.
    std::filesystem::path fallback = std::filesystem::path(modelPath);
    fallback.replace_extension(".mtl");
    const std::string named = (folder / name).string();
    std::string namedFailure;
    for (const std::string& where : {named, fallback.string()}) {
        RegularFile source(where);
        if (!source.isOpen()) {
            if (namedFailure.empty())
                namedFailure = source.failure();
            continue;
        }
        if (!opened.insert(source.identity()).second)
            return;
        // Unread, its materials show the default grey, as the importer has it.
        if (source.size() > maxLibraryBytes) {
            cannotRead(where, "it is longer than " + megabytesText(maxLibraryBytes));
            return;
        }
        onRead(source.storedBytes());
        std::string text;
        std::string reason;
        if (source.readAll(text, maxLibraryBytes, reason))
            readMaterialText(text.data(), text.size(), library);
        else
            cannotRead(where, reason);
        return;
    }
    cannotRead(named, namedFailure);
}

void MaterialLibraries::cannotRead(const std::string& path, const std::string& reason)
{
    if (!failed.insert(std::filesystem::path(path).lexically_normal().string()).second)
        return;
    if (failed.size() <= maxLibraryNotes)
        notes.push_back("Could not read material library " + printable(path) + ": " + printable(reason) +
                        greyMaterials);
}

void MaterialLibraries::finish()
{
    if (failed.size() > maxLibraryNotes)
        notes.push_back("Could not read " + std::to_string(failed.size() - maxLibraryNotes) +
                        " more material libraries; their materials show the default grey");
}

} // namespace import
