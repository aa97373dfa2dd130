// The OBJ reader: text to corner lists in one pass, then each mesh's vertices joined, triangulated and given normals.
#include "import/ObjReader.h"

#include "base/Printable.h"
#include "base/RegularFile.h"
#include "import/PolygonFacing.h"
#include "import/SceneRead.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <glm/glm.hpp>
#include <map>

namespace import {

namespace {

constexpr size_t chunkBytes = size_t(1) << 22;
// A material library is a page of text; past this it is not one.
constexpr unsigned long long maxLibraryBytes = 64ULL << 20;
// Ear clipping costs the square of a polygon's corners; beyond this many a
// polygon is cut as a fan, as a convex one would be.
constexpr size_t maxClippedCorners = 256;
// The colour of a material that names none, and of faces without a
// material, as the importer gives them: models were made to look right in it.
constexpr float defaultGrey = 0.6f;
constexpr int noIndex = -1;
constexpr int badIndex = -2;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

struct Cursor {
    const char* at;
    const char* end;

    void skipSpace()
    {
        while (at < end && isSpace(*at))
            ++at;
    }
    bool done()
    {
        skipSpace();
        return at == end;
    }
    // The next run of non-blank characters.
    std::string_view word()
    {
        skipSpace();
        const char* start = at;
        while (at < end && !isSpace(*at))
            ++at;
        return std::string_view(start, static_cast<size_t>(at - start));
    }
    // The rest of the line without the blanks around it.
    std::string rest()
    {
        skipSpace();
        const char* last = end;
        while (last > at && isSpace(last[-1]))
            --last;
        return std::string(at, last);
    }
    // A number, or false with the cursor where it was. What is not finite
    // reads as zero: one such coordinate would otherwise void the framing
    // and every normal it touches.
    bool number(float& value)
    {
        skipSpace();
        const char* start = at + (at < end && *at == '+' ? 1 : 0);
        const auto result = std::from_chars(start, end, value);
        if (result.ec == std::errc::invalid_argument)
            return false;
        if (result.ec == std::errc::result_out_of_range || !std::isfinite(value))
            value = 0.0f;
        // What follows the digits in the same word ("3.1+e2") is passed
        // over, as the importer does.
        at = result.ptr;
        while (at < end && !isSpace(*at))
            ++at;
        return true;
    }
    // Up to `most` numbers into `values`; how many there were.
    int numbers(float* values, int most)
    {
        int read = 0;
        while (read < most && number(values[read]))
            ++read;
        return read;
    }
    bool integer(long long& value)
    {
        const char* start = at + (at < end && *at == '+' ? 1 : 0);
        const auto result = std::from_chars(start, end, value);
        if (result.ec != std::errc())
            return false;
        at = result.ptr;
        return true;
    }
};

// The corner of a face as the file names it: indices into the positions,
// texture coordinates and normals read so far, from 0; `noIndex` where the
// corner names none, `badIndex` where it names one the file cannot have.
struct Corner {
    int position;
    int texCoord;
    int normal;
};

// Resolves a 1-based or negative (counted back from the latest) index.
int resolve(long long index, size_t count)
{
    if (index > 0)
        return index <= INT_MAX ? static_cast<int>(index - 1) : badIndex;
    if (index < 0 && static_cast<unsigned long long>(-index) <= count)
        return static_cast<int>(static_cast<long long>(count) + index);
    return badIndex;
}

// Corners in columns: a column of texture coordinates or normals exists
// only once a corner names one, so that a mesh of positions alone (a scan,
// most big models) takes a third of the room.
class CornerList {
public:
    size_t size() const { return positions.size(); }
    Corner operator[](size_t i) const
    {
        return {positions[i], withTexCoords ? texCoords[i] : noIndex, withNormals ? normals[i] : noIndex};
    }
    void push(const Corner& corner)
    {
        if (corner.texCoord != noIndex && !withTexCoords) {
            texCoords.assign(positions.size(), noIndex);
            withTexCoords = true;
        }
        if (corner.normal != noIndex && !withNormals) {
            normals.assign(positions.size(), noIndex);
            withNormals = true;
        }
        positions.push_back(corner.position);
        if (withTexCoords)
            texCoords.push_back(corner.texCoord);
        if (withNormals)
            normals.push_back(corner.normal);
    }
    void release() { CornerList().swap(*this); }
    void swap(CornerList& other)
    {
        positions.swap(other.positions);
        texCoords.swap(other.texCoords);
        normals.swap(other.normals);
        std::swap(withTexCoords, other.withTexCoords);
        std::swap(withNormals, other.withNormals);
    }

private:
    std::vector<int> positions;
    std::vector<int> texCoords;
    std::vector<int> normals;
    bool withTexCoords = false;
    bool withNormals = false;
};

// Faces of one material and kind, as corners, until the file is read.
struct Group {
    unsigned material = 0; // into the names `usemtl` gave
    Primitive primitive = Primitive::triangles;
    std::string name;
    CornerList corners;
    // Corners per face, only once a face of other than three corners came.
    bool polygons = false;
    std::vector<unsigned> faceSizes;
};

// The material libraries' contents, by name.
struct Library {
    std::vector<ModelMaterial> materials;
    std::map<std::string, unsigned> byName;
    std::vector<std::string> textureNames;
    std::map<std::string, int> textureByName;
};

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

void readLibraryText(const char* text, size_t size, Library& library)
{
    ModelMaterial* current = nullptr;
    const char* end = text + size;
    while (text < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(text, '\n', static_cast<size_t>(end - text)));
        if (lineEnd == nullptr)
            lineEnd = end;
        Cursor line{text, lineEnd};
        text = lineEnd + (lineEnd < end ? 1 : 0);
        const std::string_view keyword = line.word();
        if (keyword == "newmtl") {
            const std::string name = line.rest();
            const auto found = library.byName.find(name);
            if (found != library.byName.end()) {
                current = &library.materials[found->second];
                continue;
            }
            library.byName[name] = static_cast<unsigned>(library.materials.size());
            library.materials.emplace_back();
            current = &library.materials.back();
            current->diffuse = glm::vec4(glm::vec3(defaultGrey), 1.0f);
        } else if (current == nullptr) {
            // Before any material: nothing to write it into.
            continue;
        } else if (keyword == "Kd") {
            float rgb[3] = {0.0f, 0.0f, 0.0f};
            const int read = line.numbers(rgb, 3);
            if (read == 1)
                rgb[1] = rgb[2] = rgb[0];
            if (read == 1 || read == 3)
                current->diffuse = glm::vec4(rgb[0], rgb[1], rgb[2], 1.0f);
        } else if (keyword == "map_Kd") {
            const std::string name = mapFileName(line);
            if (name.empty())
                continue;
            const auto found = library.textureByName.find(name);
            if (found != library.textureByName.end()) {
                current->texture = found->second;
            } else {
                current->texture = static_cast<int>(library.textureNames.size());
                library.textureByName[name] = current->texture;
                library.textureNames.push_back(name);
            }
        }
    }
}

// Corners of a polygon cut into triangles, as offsets into `polygon`.
// Fans from the first corner where the polygon is convex; clips ears in the
// plane the polygon faces most where it is not.
void triangulate(const std::vector<Corner>& polygon, const std::vector<float>& positions,
                 std::vector<unsigned>& triangles)
{
    const size_t n = polygon.size();
    triangles.clear();
    auto point = [&](size_t i) {
        const size_t p = 3 * static_cast<size_t>(polygon[i].position);
        return glm::dvec3(positions[p], positions[p + 1], positions[p + 2]);
    };
    auto fan = [&] {
        for (size_t i = 1; i + 1 < n; ++i)
            triangles.insert(triangles.end(), {0u, static_cast<unsigned>(i), static_cast<unsigned>(i + 1)});
    };
    if (n > maxClippedCorners) {
        fan();
        return;
    }
    const glm::dvec3 normal = newellNormal(n, point);
    const glm::dvec3 size = glm::abs(normal);
    const int drop = size.x >= size.y && size.x >= size.z ? 0 : size.y >= size.z ? 1 : 2;
    const double sign = normal[drop] >= 0.0 ? 1.0 : -1.0;
    std::vector<glm::dvec2> flat(n);
    for (size_t i = 0; i < n; ++i) {
        const glm::dvec3 p = point(i);
        flat[i] = drop == 0 ? glm::dvec2(p.y, p.z) : drop == 1 ? glm::dvec2(p.z, p.x) : glm::dvec2(p.x, p.y);
    }
    auto turn = [&](size_t a, size_t b, size_t c) {
        const glm::dvec2 u = flat[b] - flat[a];
        const glm::dvec2 v = flat[c] - flat[a];
        return sign * (u.x * v.y - u.y * v.x);
    };
    bool convex = true;
    for (size_t i = 0; i < n && convex; ++i)
        convex = turn(i, (i + 1) % n, (i + 2) % n) >= 0.0;
    if (convex || !std::isfinite(normal.x + normal.y + normal.z)) {
        fan();
        return;
    }
    std::vector<unsigned> left(n);
    for (size_t i = 0; i < n; ++i)
        left[i] = static_cast<unsigned>(i);
    auto inside = [&](unsigned p, unsigned a, unsigned b, unsigned c) {
        return turn(a, b, p) >= 0.0 && turn(b, c, p) >= 0.0 && turn(c, a, p) >= 0.0;
    };
    while (left.size() > 3) {
        const size_t m = left.size();
        bool clipped = false;
        for (size_t i = 0; i < m && !clipped; ++i) {
            const unsigned a = left[(i + m - 1) % m];
            const unsigned b = left[i];
            const unsigned c = left[(i + 1) % m];
            if (turn(a, b, c) <= 0.0)
                continue;
            bool ear = true;
            for (size_t k = 0; k < m && ear; ++k) {
                const unsigned p = left[k];
                if (p != a && p != b && p != c && flat[p] != flat[a] && flat[p] != flat[b] && flat[p] != flat[c])
                    ear = !inside(p, a, b, c);
            }
            if (!ear)
                continue;
            triangles.insert(triangles.end(), {a, b, c});
            left.erase(left.begin() + static_cast<long>(i));
            clipped = true;
        }
        // Self-crossing or flat: what is left goes as a fan.
        if (!clipped) {
            for (size_t i = 1; i + 1 < left.size(); ++i)
                triangles.insert(triangles.end(), {left[0], left[i], left[i + 1]});
            return;
        }
    }
    triangles.insert(triangles.end(), {left[0], left[1], left[2]});
}

class ObjParser {
public:
    ObjParser(const std::string& path, ObjModel& model, const std::function<void(unsigned long long)>& onRead)
        : path(path), model(model), onRead(onRead)
    {
        materialNames.push_back(""); // faces before any usemtl
    }

    // Reads every whole line of `text`; returns the bytes taken.
    size_t lines(const char* text, size_t size, bool last)
    {
        const char* end = text + size;
        const char* at = text;
        while (at < end) {
            const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
            if (lineEnd == nullptr) {
                if (!last)
                    break;
                lineEnd = end;
            }
            line(Cursor{at, lineEnd});
            at = lineEnd + (lineEnd < end ? 1 : 0);
        }
        return static_cast<size_t>(at - text);
    }

    // The meshes, once the whole text is read; false, with the reason, for
    // a file the importer would refuse too.
    bool finish(std::string& reason);

private:
    bool checkIndices(std::string& reason) const;
    glm::dvec3 positionAt(int index) const
    {
        const size_t at = 3 * static_cast<size_t>(index);
        return glm::dvec3(positions[at], positions[at + 1], positions[at + 2]);
    }
    void line(Cursor cursor);
    void face(Cursor& cursor, char kind);
    bool readCorner(Cursor& cursor, Corner& corner) const;
    Group& group(Primitive primitive);
    void loadLibraries(const std::string& names);
    void loadLibrary(const std::string& file);
    void buildMesh(Group& group, const std::vector<int>& materialOf);

    const std::string& path;
    ObjModel& model;
    const std::function<void(unsigned long long)>& onRead;

    std::vector<float> positions;
    std::vector<float> colours; // three a position once any has one
    std::vector<float> texCoords;
    std::vector<float> normals;
    std::vector<Group> groups;
    std::map<std::pair<unsigned, Primitive>, size_t> groupOf;
    std::vector<std::string> materialNames;
    std::map<std::string, unsigned> materialNameIndex;
    unsigned currentMaterial = 0;
    std::string currentName;
    Library library;
    std::vector<std::string> librariesRead;
    std::vector<Corner> scratch;
    size_t facesLeftOut = 0;
    size_t numbersMissing = 0;
    // Normals summed over the faces around a position, for the vertices the
    // file gives none; and the first vertex of a mesh made from each
    // position. Both as long as the positions, both back to their blank
    // state after each mesh, where the mesh touched them.
    std::vector<float> normalSums;
    std::vector<unsigned> firstFrom;
};

void ObjParser::line(Cursor cursor)
{
    cursor.skipSpace();
    if (cursor.at == cursor.end || *cursor.at == '#')
        return;
    const std::string_view keyword = cursor.word();
    if (keyword == "v") {
        float values[6] = {0, 0, 0, 0, 0, 0};
        const int read = cursor.numbers(values, 6);
        if (read < 3)
            ++numbersMissing;
        positions.insert(positions.end(), values, values + 3);
        // Six numbers: a colour after the position (the common extension);
        // four or seven would carry a weight, which is not drawn.
        if (read == 6) {
            if (colours.empty())
                colours.assign(positions.size() - 3, 1.0f);
            colours.insert(colours.end(), values + 3, values + 6);
        } else if (!colours.empty()) {
            colours.insert(colours.end(), {1.0f, 1.0f, 1.0f});
        }
    } else if (keyword == "vt") {
        float values[2] = {0, 0};
        if (cursor.numbers(values, 2) < 1)
            ++numbersMissing;
        texCoords.insert(texCoords.end(), values, values + 2);
    } else if (keyword == "vn") {
        float values[3] = {0, 0, 0};
        if (cursor.numbers(values, 3) < 3)
            ++numbersMissing;
        normals.insert(normals.end(), values, values + 3);
    } else if (keyword == "f" || keyword == "l" || keyword == "p") {
        face(cursor, keyword[0]);
    } else if (keyword == "usemtl") {
        const std::string name = cursor.rest();
        const auto found = materialNameIndex.find(name);
        if (found != materialNameIndex.end()) {
            currentMaterial = found->second;
        } else {
            currentMaterial = static_cast<unsigned>(materialNames.size());
            materialNameIndex[name] = currentMaterial;
            materialNames.push_back(name);
        }
    } else if (keyword == "mtllib") {
        loadLibraries(cursor.rest());
    } else if (keyword == "o" || keyword == "g") {
        currentName = cursor.rest();
    }
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
bool ObjParser::readCorner(Cursor& cursor, Corner& corner) const
{
    // The index at the cursor, unless the field is empty.
    auto field = [&cursor](size_t count, int& into) {
        if (cursor.at == cursor.end || *cursor.at == '/' || isSpace(*cursor.at))
            return true;
        long long index = 0;
        if (!cursor.integer(index))
            return false;
        into = resolve(index, count);
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
    corner.position = resolve(index, positions.size() / 3);
    if (slash() && (!field(texCoords.size() / 2, corner.texCoord) || (slash() && !field(normals.size() / 3, corner.normal))))
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
        for (const Corner& corner : scratch)
            points.corners.push(corner);
    } else if (kind == 'l' || n == 2) {
        if (n < 2) {
            ++facesLeftOut;
            return;
        }
        Group& lines = group(Primitive::lines);
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
        for (const Corner& corner : scratch)
            faces.corners.push(corner);
    }
}

void ObjParser::loadLibraries(const std::string& names)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    // A name with blanks in it, or several names.
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / names, error) || names.find_first_of(" \t") == std::string::npos) {
        loadLibrary(names);
        return;
    }
    Cursor words{names.data(), names.data() + names.size()};
    while (!words.done())
        loadLibrary(std::string(words.word()));
}

void ObjParser::loadLibrary(const std::string& file)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    // A library that is not there is looked for under the model's own name
    // with ".mtl", as the importer does: exporters misname it.
    std::filesystem::path fallback = std::filesystem::path(path);
    fallback.replace_extension(".mtl");
    for (const std::string& where : {(folder / file).string(), fallback.string()}) {
        if (std::find(librariesRead.begin(), librariesRead.end(), where) != librariesRead.end())
            return;
        RegularFile source(where);
        if (!source.isOpen())
            continue;
        librariesRead.push_back(where);
        // Unread, its materials show the default grey, as the importer has it.
        if (source.size() > maxLibraryBytes)
            return;
        onRead(source.size());
        std::string text;
        std::string reason;
        if (source.readAll(text, maxLibraryBytes, reason))
            readLibraryText(text.data(), text.size(), library);
        return;
    }
}

// One mesh from a group: each distinct corner (position, texture coordinate,
// normal) becomes a vertex once.
void ObjParser::buildMesh(Group& group, const std::vector<int>& materialOf)
{
    const size_t positionCount = positions.size() / 3;
    const size_t texCoordCount = texCoords.size() / 2;
    const size_t normalCount = normals.size() / 3;
    const unsigned perFace = static_cast<unsigned>(group.primitive);

    ModelMesh mesh;
    mesh.name = printable(group.name);
    mesh.primitive = group.primitive;
    mesh.material = static_cast<unsigned>(materialOf[group.material]);
    bool withTexCoords = false;
    bool withNormals = false;
    bool makeNormals = false;
    for (size_t i = 0; i < group.corners.size(); ++i) {
        const Corner c = group.corners[i];
        withTexCoords = withTexCoords || (c.texCoord >= 0 && static_cast<size_t>(c.texCoord) < texCoordCount);
        const bool has = c.normal >= 0 && static_cast<size_t>(c.normal) < normalCount;
        withNormals = withNormals || has;
        makeNormals = makeNormals || !has;
    }
    if (group.primitive != Primitive::triangles)
        makeNormals = false;
    withNormals = withNormals || makeNormals;

    // Normals for the corners without one, as the importer makes them: the
    // facings of the polygons around each position (each polygon once,
    // whatever its size), summed.
    if (makeNormals) {
        if (normalSums.size() != 3 * positionCount)
            normalSums.assign(3 * positionCount, 0.0f);
        size_t at = 0;
        const size_t faces = group.polygons ? group.faceSizes.size() : group.corners.size() / 3;
        for (size_t f = 0; f < faces; ++f) {
            const size_t size = group.polygons ? group.faceSizes[f] : 3;
            const size_t first = at;
            auto c = [&](size_t k) { return group.corners[first + k]; };
            at += size;
            glm::dvec3 facing = newellNormal(size, [&](size_t k) { return positionAt(c(k).position); });
            const double length = glm::length(facing);
            if (!(length > 0.0) || !std::isfinite(length))
                continue;
            facing /= length;
            for (size_t k = 0; k < size; ++k) {
                const size_t p = 3 * static_cast<size_t>(c(k).position);
                normalSums[p] += static_cast<float>(facing.x);
                normalSums[p + 1] += static_cast<float>(facing.y);
                normalSums[p + 2] += static_cast<float>(facing.z);
            }
        }
    }

    // Polygons into triangles, now that every position is known.
    if (group.polygons) {
        CornerList cut;
        std::vector<Corner> polygon;
        std::vector<unsigned> triangles;
        size_t at = 0;
        for (unsigned size : group.faceSizes) {
            polygon.clear();
            for (size_t k = 0; k < size; ++k)
                polygon.push_back(group.corners[at + k]);
            at += size;
            const bool known = std::all_of(polygon.begin(), polygon.end(), [&](const Corner& c) {
                return c.position >= 0 && static_cast<size_t>(c.position) < positionCount;
            });
            if (!known) {
                ++facesLeftOut;
                continue;
            }
            triangulate(polygon, positions, triangles);
            for (unsigned k : triangles)
                cut.push(polygon[k]);
        }
        group.corners.swap(cut);
        std::vector<unsigned>().swap(group.faceSizes);
        group.polygons = false;
    }

    // The first vertex made from each position, then a chain through the
    // others made from it with other coordinates or normals.
    if (firstFrom.size() != positionCount)
        firstFrom.assign(positionCount, UINT_MAX);
    std::vector<unsigned> nextFrom;
    // What each vertex was made from besides its position.
    std::vector<std::pair<int, int>> madeFrom;
    std::vector<unsigned> face(perFace);
    for (size_t i = 0; i + perFace <= group.corners.size(); i += perFace) {
        bool known = true;
        for (unsigned k = 0; k < perFace && known; ++k) {
            const int position = group.corners[i + k].position;
            known = position >= 0 && static_cast<size_t>(position) < positionCount;
        }
        if (!known) {
            ++facesLeftOut;
            continue;
        }
        for (unsigned k = 0; k < perFace; ++k) {
            Corner corner = group.corners[i + k];
            if (corner.texCoord < 0 || static_cast<size_t>(corner.texCoord) >= texCoordCount)
                corner.texCoord = noIndex;
            if (corner.normal < 0 || static_cast<size_t>(corner.normal) >= normalCount)
                corner.normal = noIndex;
            const size_t position = static_cast<size_t>(corner.position);
            unsigned vertex = firstFrom[position];
            while (vertex != UINT_MAX &&
                   madeFrom[vertex] != std::make_pair(corner.texCoord, corner.normal))
                vertex = nextFrom[vertex];
            if (vertex == UINT_MAX) {
                vertex = static_cast<unsigned>(madeFrom.size());
                madeFrom.emplace_back(corner.texCoord, corner.normal);
                nextFrom.push_back(firstFrom[position]);
                firstFrom[position] = vertex;
                mesh.positions.insert(mesh.positions.end(), &positions[3 * position], &positions[3 * position] + 3);
                if (!colours.empty())
                    mesh.colours.insert(mesh.colours.end(),
                                        {colours[3 * position], colours[3 * position + 1], colours[3 * position + 2], 1.0f});
                if (withTexCoords) {
                    const size_t t = static_cast<size_t>(std::max(corner.texCoord, 0));
                    if (corner.texCoord >= 0)
                        mesh.texCoords.insert(mesh.texCoords.end(), &texCoords[2 * t], &texCoords[2 * t] + 2);
                    else
                        mesh.texCoords.insert(mesh.texCoords.end(), {0.0f, 0.0f});
                }
                if (withNormals) {
                    glm::vec3 normal(0.0f);
                    if (corner.normal >= 0) {
                        const size_t n = 3 * static_cast<size_t>(corner.normal);
                        normal = glm::vec3(normals[n], normals[n + 1], normals[n + 2]);
                    } else if (makeNormals) {
                        const glm::dvec3 sum(normalSums[3 * position], normalSums[3 * position + 1],
                                             normalSums[3 * position + 2]);
                        const double length = glm::length(sum);
                        if (length > 1e-9)
                            normal = glm::vec3(sum / length);
                    }
                    mesh.normals.insert(mesh.normals.end(), {normal.x, normal.y, normal.z});
                }
            }
            face[k] = vertex;
        }
        mesh.indices.insert(mesh.indices.end(), face.begin(), face.end());
    }
    for (size_t i = 0; i < group.corners.size(); ++i) {
        const Corner corner = group.corners[i];
        if (corner.position < 0 || static_cast<size_t>(corner.position) >= positionCount)
            continue;
        const size_t position = static_cast<size_t>(corner.position);
        firstFrom[position] = UINT_MAX;
        if (makeNormals)
            std::fill_n(normalSums.begin() + static_cast<long>(3 * position), 3, 0.0f);
    }
    group.corners.release();
    if (!mesh.indices.empty())
        model.meshes.push_back(std::move(mesh));
}

bool ObjParser::checkIndices(std::string& reason) const
{
    const size_t counts[3] = {positions.size() / 3, texCoords.size() / 2, normals.size() / 3};
    for (const Group& each : groups)
        for (size_t i = 0; i < each.corners.size(); ++i) {
            const Corner corner = each.corners[i];
            // As the importer reads them: one index past what the file has
            // fails the whole import.
            if (corner.position < 0 || static_cast<size_t>(corner.position) >= counts[0])
                reason = "OBJ: vertex index out of range";
            else if (corner.texCoord != noIndex && (corner.texCoord < 0 || static_cast<size_t>(corner.texCoord) >= counts[1]))
                reason = "OBJ: texture coordinate index out of range";
            else if (corner.normal != noIndex && (corner.normal < 0 || static_cast<size_t>(corner.normal) >= counts[2]))
                reason = "OBJ: normal index out of range";
            if (!reason.empty())
                return false;
        }
    return true;
}

bool ObjParser::finish(std::string& reason)
{
    if (!checkIndices(reason))
        return false;
    float largest = 0.0f;
    for (float value : positions)
        largest = std::max(largest, std::fabs(value));
    const float scale = workingScale(largest);
    if (scale != 1.0f)
        for (float& value : positions)
            value *= scale;

    // The materials the faces name, as the libraries have them; the last
    // stands for a name no library has.
    model.materials = library.materials;
    model.textureNames = library.textureNames;
    const int fallback = static_cast<int>(model.materials.size());
    model.materials.emplace_back();
    model.materials.back().diffuse = glm::vec4(glm::vec3(defaultGrey), 1.0f);
    std::vector<int> materialOf(materialNames.size(), fallback);
    for (size_t i = 1; i < materialNames.size(); ++i) {
        const auto found = library.byName.find(materialNames[i]);
        if (found != library.byName.end())
            materialOf[i] = static_cast<int>(found->second);
    }

    // A file of vertices alone is a point cloud.
    if (groups.empty() && !positions.empty()) {
        Group& cloud = group(Primitive::points);
        for (size_t i = 0; i < positions.size() / 3; ++i)
            cloud.corners.push({static_cast<int>(std::min<size_t>(i, INT_MAX)), noIndex, noIndex});
    }
    for (Group& each : groups)
        buildMesh(each, materialOf);
    if (facesLeftOut > 0)
        model.notes.push_back("Left out " + std::to_string(facesLeftOut) +
                              (facesLeftOut == 1 ? " face" : " faces") +
                              " whose corners cannot be read");
    if (numbersMissing > 0)
        model.notes.push_back("Read " + std::to_string(numbersMissing) +
                              " vertex lines with numbers missing; the missing ones are zero");
    return true;
}

} // namespace

bool isObjPath(const std::string& path)
{
    const std::string extension = std::filesystem::path(path).extension().string();
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    return extension.size() == 4 && extension[0] == '.' && lower(extension[1]) == 'o' && lower(extension[2]) == 'b' &&
           lower(extension[3]) == 'j';
}

bool readObj(const std::string& path, ObjModel& model, std::string& reason,
             const std::function<void(unsigned long long)>& onRead, ObjProgress progress)
{
    RegularFile source(path);
    if (!source.isOpen()) {
        reason = source.failure();
        return false;
    }
    const unsigned long long size = source.size();
    onRead(size);
    if (progress.bytesTotal != nullptr)
        *progress.bytesTotal = size;
    ObjParser parser(path, model, onRead);
    std::vector<char> buffer(chunkBytes);
    size_t held = 0;
    unsigned long long parsed = 0;
    for (;;) {
        // A line longer than the buffer makes it grow.
        if (held == buffer.size())
            buffer.resize(2 * buffer.size());
        size_t got = 0;
        if (!source.read(buffer.data() + held, buffer.size() - held, got, reason))
            return false;
        const bool last = got == 0;
        held += got;
        const size_t taken = parser.lines(buffer.data(), held, last);
        std::memmove(buffer.data(), buffer.data() + taken, held - taken);
        held -= taken;
        parsed += taken;
        if (progress.bytesParsed != nullptr)
            *progress.bytesParsed = parsed;
        if (last)
            break;
    }
    std::vector<char>().swap(buffer);
    if (progress.building)
        progress.building();
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
