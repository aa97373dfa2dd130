// MTL text to materials, and the lookup, reading and notes of the libraries an OBJ file names.
#include "import/MtlReader.h"

#include "base/Printable.h"
#include "import/ObjTokenizer.h"

#include <filesystem>
#include <string_view>

namespace import {

namespace {

// A file naming thousands of libraries that are not there gets a line for
// the first few and a count for the rest.
constexpr size_t maxLibraryNotes = 8;

const char* const greyMaterials = "; its materials show the default grey";

// The file named by a map statement after its options ("-s 1 1 1 name").
std::string mapFileName(Cursor line)
{
    static const std::map<std::string_view, int> arguments = {
        {"-blendu", 1}, {"-blendv", 1}, {"-bm", 1},     {"-boost", 1}, {"-cc", 1},   {"-clamp", 1},
        {"-imfchan", 1}, {"-mm", 2},    {"-texres", 1}, {"-type", 1},  {"-colorspace", 1}};
    for (;;) {
        Cursor before = line;
        const std::string_view option = line.word();
        if (option.size() < 2 || option[0] != '-')
            return before.rest();
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

void readDiffuse(Cursor line, ModelMaterial& material)
{
    float rgb[3] = {0.0f, 0.0f, 0.0f};
    const int read = line.numbers(rgb, 3);
    if (read == 1)
        rgb[1] = rgb[2] = rgb[0];
    if (read == 1 || read == 3)
        material.diffuse = glm::vec4(rgb[0], rgb[1], rgb[2], 1.0f);
}

void readDiffuseMap(Cursor line, ModelMaterial& material, MaterialLibrary& library)
{
    const std::string name = mapFileName(line);
    if (name.empty())
        return;
    const auto found = library.textureByName.find(name);
    if (found != library.textureByName.end()) {
        material.texture = found->second;
        return;
    }
    material.texture = static_cast<int>(library.textureNames.size());
    library.textureByName[name] = material.texture;
    library.textureNames.push_back(name);
}

} // namespace

void readMaterialText(const char* text, size_t size, MaterialLibrary& library)
{
    ModelMaterial* current = nullptr;
    LineSplitter lines;
    lines.split(text, size, true, [&](Cursor line) {
        const std::string_view keyword = line.word();
        if (keyword == "newmtl") {
            const std::string name = line.rest();
            const auto found = library.byName.find(name);
            if (found != library.byName.end()) {
                current = &library.materials[found->second];
                return;
            }
            library.byName[name] = static_cast<unsigned>(library.materials.size());
            library.materials.emplace_back();
            current = &library.materials.back();
            current->diffuse = glm::vec4(glm::vec3(defaultGrey), 1.0f);
        } else if (current == nullptr) {
            // Before any material: nothing to write it into.
        } else if (keyword == "Kd") {
            readDiffuse(line, *current);
        } else if (keyword == "map_Kd") {
            readDiffuseMap(line, *current, library);
        }
    });
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
