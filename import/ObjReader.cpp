// The OBJ reader: text to corner lists in one pass, then the meshes of them, with the importer's checks.
#include "import/ObjReader.h"

#include "base/Printable.h"
#include "base/RegularFile.h"
#include "import/MtlReader.h"
#include "import/ObjMeshes.h"
#include "import/ObjTokenizer.h"
#include "import/SceneRead.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

namespace import {

namespace {

// Resolves a 1-based or negative (counted back from the latest) index.
int resolve(long long index, size_t count)
{
    if (index > 0)
        return index <= INT_MAX ? static_cast<int>(index - 1) : badIndex;
    if (index == 0)
        return zeroIndex;
    // Counted in unsigned: the most negative index has no positive twin.
    const unsigned long long back = 0ULL - static_cast<unsigned long long>(index);
    if (back > count || count - back > static_cast<unsigned long long>(INT_MAX))
        return badIndex;
    return static_cast<int>(count - back);
}

// What the corners of the file named, field by field (position, texture
// coordinate, normal): the largest index and the smallest, which is one of
// the marks below 0 where an index is 0 (zeroIndex, the lowest mark) or
// past the start. Kept as the faces are read, so that a file whose indices
// are all good is not searched again.
struct IndexSurvey {
    int largest[3] = {-1, -1, -1};
    int smallest[3] = {0, 0, 0};

    void add(int field, int index)
    {
        largest[field] = std::max(largest[field], index);
        smallest[field] = std::min(smallest[field], index);
    }
    bool zero(int field) const { return smallest[field] == zeroIndex; }
    // Whether a corner may name one past `count` entries.
    bool dangling(int field, size_t count) const
    {
        return smallest[field] < 0 || (largest[field] >= 0 && static_cast<size_t>(largest[field]) >= count);
    }
};

class ObjParser {
public:
    ObjParser(const std::string& path, ObjModel& model, const std::function<void(unsigned long long)>& onRead)
        : model(model), libraries(path, onRead, model.notes)
    {
        materialNames.push_back(""); // faces before any usemtl
    }

    // Reads every whole line of `text`; returns the bytes taken.
    size_t lines(const char* text, size_t size, bool last)
    {
        return splitter.split(text, size, last, [this](Cursor line) { this->line(line); });
    }
    void leaveOutLongLine() { splitter.leaveOutLongLine(); }

    // The meshes, once the whole text is read; false, with the reason, for
    // a file the importer would refuse too.
    bool finish(std::string& reason);

private:
    void line(Cursor cursor);
    void vertex(Cursor& cursor);
    void face(Cursor& cursor, char kind);
    bool readCorner(Cursor& cursor, Corner& corner);
    void useMaterial(const std::string& name);
    Group& group(Primitive primitive);
    // Where the faces of another run start in `group`.
    void markRun(Group& group)
    {
        if (group.lastRun != run) {
            group.runs.emplace_back(group.corners.size(), run);
            group.lastRun = run;
        }
    }
    bool checkIndices(std::string& reason) const;
    void dropDangling(Group& group);
    std::vector<int> materialsOfNames();
    void addNotes();

    ObjModel& model;
    LineSplitter splitter;
    MaterialLibraries libraries;
    ObjArrays arrays;
    std::vector<Group> groups;
    std::map<std::pair<unsigned, Primitive>, size_t> groupOf;
    std::vector<std::string> materialNames;
    std::map<std::string, unsigned> materialNameIndex;
    unsigned currentMaterial = 0;
    std::string currentName;
    unsigned run = 0;
    std::vector<Corner> scratch;
    IndexSurvey survey;
    size_t facesLeftOut = 0;
    size_t numbersMissing = 0;
    size_t zeroWeights = 0;
    size_t runsWithoutTexCoords = 0;
    size_t runsWithoutNormals = 0;
};

void ObjParser::line(Cursor cursor)
{
    cursor.skipSpace();
    if (cursor.at == cursor.end || *cursor.at == '#')
        return;
    const std::string_view keyword = cursor.word();
    if (keyword == "v") {
        vertex(cursor);
    } else if (keyword == "vt") {
        float values[2] = {0, 0};
        if (cursor.numbers(values, 2) < 1)
            ++numbersMissing;
        arrays.texCoords.insert(arrays.texCoords.end(), values, values + 2);
    } else if (keyword == "vn") {
        float values[3] = {0, 0, 0};
        if (cursor.numbers(values, 3) < 3)
            ++numbersMissing;
        arrays.normals.insert(arrays.normals.end(), values, values + 3);
    } else if (keyword == "f" || keyword == "l" || keyword == "p") {
        face(cursor, keyword[0]);
    } else if (keyword == "usemtl") {
        useMaterial(cursor.rest());
        ++run;
    } else if (keyword == "mtllib") {
        libraries.load(cursor.rest());
    } else if (keyword == "o" || keyword == "g") {
        currentName = cursor.rest();
        ++run;
    }
}

void ObjParser::vertex(Cursor& cursor)
{
    std::vector<float>& positions = arrays.positions;
    std::vector<float>& colours = arrays.colours;
    float values[6] = {0, 0, 0, 0, 0, 0};
    const int read = cursor.numbers(values, 6);
    if (read < 3)
        ++numbersMissing;
    // Four numbers: a weight, which the importer divides the position by.
    if (read == 4 && values[3] == 0.0f) {
        ++zeroWeights;
    } else if (read == 4) {
        for (int k = 0; k < 3; ++k) {
            values[k] /= values[3];
            // As any number too large to hold.
            if (!std::isfinite(values[k]))
                values[k] = 0.0f;
        }
    }
    positions.insert(positions.end(), values, values + 3);
    // Six numbers: a colour after the position (the common extension).
    if (read == 6) {
        if (colours.empty())
            colours.assign(positions.size() - 3, 1.0f);
        colours.insert(colours.end(), values + 3, values + 6);
    } else if (!colours.empty()) {
        colours.insert(colours.end(), {1.0f, 1.0f, 1.0f});
    }
}

void ObjParser::useMaterial(const std::string& name)
{
    const auto found = materialNameIndex.find(name);
    if (found != materialNameIndex.end()) {
        currentMaterial = found->second;
        return;
    }
    currentMaterial = static_cast<unsigned>(materialNames.size());
    materialNameIndex[name] = currentMaterial;
    materialNames.push_back(name);
}

Group& ObjParser::group(Primitive primitive)
{
    const auto key = std::make_pair(currentMaterial, primitive);
    const auto found = groupOf.find(key);
    if (found != groupOf.end())
        return groups[found->second];
    groupOf[key] = groups.size();
    groups.emplace_back();
    Group& made = groups.back();
    made.material = currentMaterial;
    made.primitive = primitive;
    made.name = currentName;
    return made;
}

// One corner, "v", "v/vt", "v//vn" or "v/vt/vn"; false for anything else.
bool ObjParser::readCorner(Cursor& cursor, Corner& corner)
{
    // The index at the cursor, unless the field is empty.
    auto field = [&](int which, size_t count, int& into) {
        if (cursor.at == cursor.end || *cursor.at == '/' || isSpace(*cursor.at))
            return true;
        long long index = 0;
        if (!cursor.integer(index))
            return false;
        into = resolve(index, count);
        survey.add(which, into);
        return true;
    };
    auto slash = [&cursor] {
        const bool there = cursor.at < cursor.end && *cursor.at == '/';
        cursor.at += there ? 1 : 0;
        return there;
    };
    long long index = 0;
    if (!cursor.integer(index))
        return false;
    corner.position = resolve(index, arrays.positions.size() / 3);
    survey.add(0, corner.position);
    if (slash() && (!field(1, arrays.texCoords.size() / 2, corner.texCoord) ||
                    (slash() && !field(2, arrays.normals.size() / 3, corner.normal))))
        return false;
    return cursor.at == cursor.end || isSpace(*cursor.at);
}

void ObjParser::face(Cursor& cursor, char kind)
{
    scratch.clear();
    bool bad = false;
    while (!cursor.done()) {
        Corner corner{noIndex, noIndex, noIndex};
        bad = !readCorner(cursor, corner);
        if (bad)
            break;
        scratch.push_back(corner);
    }
    if (bad || scratch.empty()) {
        ++facesLeftOut;
        return;
    }
    // A face of one or two corners is a point or a line, as the importer reads it.
    const size_t n = scratch.size();
    if (kind == 'p' || (kind == 'f' && n == 1)) {
        Group& points = group(Primitive::points);
        markRun(points);
        for (const Corner& corner : scratch)
            points.corners.push(corner);
    } else if (kind == 'l' || n == 2) {
        if (n < 2) {
            ++facesLeftOut;
            return;
        }
        Group& lines = group(Primitive::lines);
        markRun(lines);
        for (size_t i = 0; i + 1 < n; ++i) {
            lines.corners.push(scratch[i]);
            lines.corners.push(scratch[i + 1]);
        }
    } else {
        Group& faces = group(Primitive::triangles);
        if (n != 3 && !faces.polygons) {
            faces.polygons = true;
            faces.faceSizes.assign(faces.corners.size() / 3, 3u);
        }
        if (faces.polygons)
            faces.faceSizes.push_back(static_cast<unsigned>(n));
        markRun(faces);
        for (const Corner& corner : scratch)
            faces.corners.push(corner);
    }
}

bool ObjParser::checkIndices(std::string& reason) const
{
    // As the importer reads them: a position past what the file has, or an
    // index 0 anywhere, fails the whole import.
    if (survey.dangling(0, arrays.positions.size() / 3))
        reason = "OBJ: vertex index out of range";
    else if (survey.zero(1))
        reason = "OBJ: texture coordinate index out of range";
    else if (survey.zero(2))
        reason = "OBJ: normal index out of range";
    else if (zeroWeights > 0)
        reason = "OBJ: Invalid component in homogeneous vector (Division by zero)";
    return reason.empty();
}

// The importer makes a mesh of each run of faces between "o", "g" and
// "usemtl" lines and, where a face of it names a texture coordinate or a
// normal the file does not have, leaves that whole mesh without any (its
// normals are then made from its faces). Here such a run is part of a
// mesh of its material, and loses them alone.
void ObjParser::dropDangling(Group& group)
{
    const size_t counts[3] = {0, arrays.texCoords.size() / 2, arrays.normals.size() / 3};
    for (size_t r = 0; r < group.runs.size(); ++r) {
        const size_t begin = group.runs[r].first;
        const size_t end = r + 1 < group.runs.size() ? group.runs[r + 1].first : group.corners.size();
        bool dangling[3] = {false, false, false};
        for (size_t i = begin; i < end; ++i) {
            const Corner corner = group.corners[i];
            const int fields[3] = {0, corner.texCoord, corner.normal};
            for (int f = 1; f < 3; ++f) {
                const bool past = fields[f] < 0 || static_cast<size_t>(fields[f]) >= counts[f];
                dangling[f] = dangling[f] || (fields[f] != noIndex && past);
            }
        }
        if (dangling[1]) {
            group.corners.dropTexCoords(begin, end);
            ++runsWithoutTexCoords;
        }
        if (dangling[2]) {
            group.corners.dropNormals(begin, end);
            ++runsWithoutNormals;
        }
    }
}

// The materials the faces name, as the libraries have them; the last
// stands for a name no library has.
std::vector<int> ObjParser::materialsOfNames()
{
    const MaterialLibrary& library = libraries.contents();
    model.materials = settledMaterials(library, model.textures);
    const int fallback = static_cast<int>(model.materials.size());
    model.materials.emplace_back();
    model.materials.back().diffuse = glm::vec4(glm::vec3(defaultGrey), 1.0f);
    model.materials.back().colourMultiplies = false;
    std::vector<int> materialOf(materialNames.size(), fallback);
    for (size_t i = 1; i < materialNames.size(); ++i) {
        const auto found = library.byName.find(materialNames[i]);
        if (found != library.byName.end())
            materialOf[i] = static_cast<int>(found->second);
    }
    return materialOf;
}

bool ObjParser::finish(std::string& reason)
{
    if (!checkIndices(reason))
        return false;
    std::vector<float>& positions = arrays.positions;
    float largest = 0.0f;
    for (float value : positions)
        largest = std::max(largest, std::fabs(value));
    const float scale = workingScale(largest);
    if (scale != 1.0f)
        for (float& value : positions)
            value *= scale;
    const std::vector<int> materialOf = materialsOfNames();

    // A file of vertices alone is a point cloud.
    if (groups.empty() && !positions.empty()) {
        Group& cloud = group(Primitive::points);
        for (size_t i = 0; i < positions.size() / 3; ++i)
            cloud.corners.push({static_cast<int>(std::min<size_t>(i, INT_MAX)), noIndex, noIndex});
    }
    const bool dangling =
        survey.dangling(1, arrays.texCoords.size() / 2) || survey.dangling(2, arrays.normals.size() / 3);
    MeshBuilder builder(arrays);
    for (Group& each : groups) {
        if (dangling)
            dropDangling(each);
        ModelMesh mesh;
        if (builder.build(each, static_cast<unsigned>(materialOf[each.material]), mesh))
            model.meshes.push_back(std::move(mesh));
    }
    facesLeftOut += builder.facesLeftOut();
    addNotes();
    return true;
}

void ObjParser::addNotes()
{
    std::vector<std::string>& notes = model.notes;
    libraries.finish();
    if (facesLeftOut > 0)
        notes.push_back("Left out " + counted(facesLeftOut, "face", "faces") + " whose corners cannot be read");
    if (numbersMissing > 0)
        notes.push_back("Read " + std::to_string(numbersMissing) +
                        " vertex lines with numbers missing; the missing ones are zero");
    if (splitter.linesLeftOut() > 0)
        notes.push_back("Left out " + counted(splitter.linesLeftOut(), "line", "lines") + " longer than " +
                        megabytesText(maxLineBytes));
    if (runsWithoutTexCoords > 0)
        notes.push_back("Left out the texture coordinates of " + counted(runsWithoutTexCoords, "object", "objects") +
                        " whose faces name some the file does not have");
    if (runsWithoutNormals > 0)
        notes.push_back("Made the normals of " + counted(runsWithoutNormals, "object", "objects") +
                        " from their faces: they name normals the file does not have");
}

} // namespace

bool isObjPath(const std::string& path)
{
    return hasExtension(path, "obj");
}

bool readObj(const std::string& path, ObjModel& model, std::string& reason,
             const std::function<void(unsigned long long)>& onRead, ReadProgress progress)
{
    RegularFile source(path);
    if (!opened(source, onRead, progress, reason))
        return false;
    ObjParser parser(path, model, onRead);
    if (!readLines(source, parser, progress, reason))
        return false;
    progress.build();
    return parser.finish(reason);
}

bool readObjText(const char* text, size_t size, const std::string& path, ObjModel& model, std::string& reason,
                 const std::function<void(unsigned long long)>& onRead)
{
    ObjParser parser(path, model, onRead);
    parser.lines(text, size, true);
    return parser.finish(reason);
}

} // namespace import
