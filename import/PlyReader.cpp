// The PLY reader: the header's elements, then their values, text or binary, into one mesh.
#include "import/PlyReader.h"

#include "import/PolygonFacing.h"
#include "import/SceneRead.h"
#include "import/Triangulator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <glm/glm.hpp>
#include <unordered_map>

namespace import {

namespace {

// The importer reads through 32-bit sizes in places; so does the stream.
constexpr unsigned long long maxFileBytes = 1ULL << 31;

enum class Type { none, i8, u8, i16, u16, i32, u32, f32, f64 };

Type typeNamed(std::string_view name)
{
    static const std::pair<const char*, Type> names[] = {
        {"char", Type::i8},    {"int8", Type::i8},     {"uchar", Type::u8},    {"uint8", Type::u8},
        {"short", Type::i16},  {"int16", Type::i16},   {"ushort", Type::u16},  {"uint16", Type::u16},
        {"int", Type::i32},    {"int32", Type::i32},   {"uint", Type::u32},    {"uint32", Type::u32},
        {"float", Type::f32},  {"float32", Type::f32}, {"double", Type::f64},  {"float64", Type::f64}};
    for (const auto& [text, type] : names)
        if (name == text)
            return type;
    return Type::none;
}

size_t bytesOf(Type type)
{
    switch (type) {
    case Type::i8:
    case Type::u8:
        return 1;
    case Type::i16:
    case Type::u16:
        return 2;
    case Type::i32:
    case Type::u32:
    case Type::f32:
        return 4;
    case Type::f64:
        return 8;
    case Type::none:
        break;
    }
    return 0;
}

// What a colour of this type is at full strength: integers count up to
// their largest value, floats to 1.
double fullColour(Type type)
{
    switch (type) {
    case Type::i8:
        return 127.0;
    case Type::u8:
        return 255.0;
    case Type::i16:
        return 32767.0;
    case Type::u16:
        return 65535.0;
    case Type::i32:
        return 2147483647.0;
    case Type::u32:
        return 4294967295.0;
    default:
        return 1.0;
    }
}

// What a vertex property means to the mesh.
enum class Role { other, x, y, z, nx, ny, nz, red, green, blue, alpha };

Role vertexRole(std::string_view name)
{
    static const std::pair<const char*, Role> names[] = {
        {"x", Role::x},         {"y", Role::y},           {"z", Role::z},
        {"nx", Role::nx},       {"ny", Role::ny},         {"nz", Role::nz},
        {"red", Role::red},     {"green", Role::green},   {"blue", Role::blue},
        {"alpha", Role::alpha}, {"r", Role::red},         {"g", Role::green},
        {"b", Role::blue},      {"a", Role::alpha},       {"diffuse_red", Role::red},
        {"diffuse_green", Role::green}, {"diffuse_blue", Role::blue}, {"diffuse_alpha", Role::alpha}};
    for (const auto& [text, role] : names)
        if (name == text)
            return role;
    return Role::other;
}

struct Property {
    std::string name;
    Type type = Type::none;
    Type countType = Type::none; // a list's count; none for a single value
    Role role = Role::other;
};

struct Element {
    std::string name;
    unsigned long long count = 0;
    std::vector<Property> properties;
};

enum class Format { text, little, big };

struct Header {
    Format format = Format::text;
    std::vector<Element> elements;
    size_t bytes = 0; // up to the line after end_header
    bool leftToImporter = false;
};

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> all;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r'))
            ++at;
        const size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r')
            ++at;
        if (at > start)
            all.push_back(line.substr(start, at - start));
    }
    return all;
}

// No header of a real file is near this; one that never ends is not read
// to the end of a file of gigabytes.
constexpr size_t maxHeaderBytes = size_t(1) << 20;

bool readHeader(std::string_view bytes, Header& header, std::string& reason)
{
    const std::string_view head = bytes.substr(0, maxHeaderBytes);
    size_t at = 0;
    bool first = true;
    for (;;) {
        const size_t end = head.find('\n', at);
        if (end == std::string_view::npos) {
            reason = "PLY: the header has no end_header line";
            return false;
        }
        const std::vector<std::string_view> line = words(head.substr(at, end - at));
        at = end + 1;
        if (first) {
            if (line.size() != 1 || line[0] != "ply") {
                reason = "PLY: the file does not start with \"ply\"";
                return false;
            }
            first = false;
            continue;
        }
        if (line.empty())
            continue;
        if (line[0] == "end_header")
            break;
        if (line[0] == "format" && line.size() >= 2) {
            if (line[1] == "ascii")
                header.format = Format::text;
            else if (line[1] == "binary_little_endian")
                header.format = Format::little;
            else if (line[1] == "binary_big_endian")
                header.format = Format::big;
            else {
                reason = "PLY: unknown format " + std::string(line[1].substr(0, 40));
                return false;
            }
        } else if (line[0] == "comment" || line[0] == "obj_info") {
            for (const std::string_view word : line)
                header.leftToImporter = header.leftToImporter || word == "TextureFile";
        } else if (line[0] == "element" && line.size() == 3) {
            Element element;
            element.name = std::string(line[1]);
            const auto result = std::from_chars(line[2].data(), line[2].data() + line[2].size(), element.count);
            if (result.ec != std::errc() || result.ptr != line[2].data() + line[2].size()) {
                reason = "PLY: the element " + element.name.substr(0, 40) + " has no count that can be read";
                return false;
            }
            header.elements.push_back(std::move(element));
        } else if (line[0] == "property" && !header.elements.empty()) {
            Property property;
            const bool list = line.size() == 5 && line[1] == "list";
            if (list) {
                property.countType = typeNamed(line[2]);
                property.type = typeNamed(line[3]);
            } else if (line.size() == 3) {
                property.type = typeNamed(line[1]);
            }
            if (property.type == Type::none || (list && property.countType == Type::none)) {
                reason = "PLY: a property the header does not say how to read: " +
                         std::string(line.back().substr(0, 40));
                return false;
            }
            property.name = std::string(line.back());
            header.elements.back().properties.push_back(std::move(property));
        } else {
            reason = "PLY: the header holds a line it cannot read: " + std::string(line[0].substr(0, 40));
            return false;
        }
    }
    header.bytes = at;
    return true;
}

// The values after the header, one at a time, of the type the header
// gives; false once the data ends or holds what is not a number.
class Values {
public:
    Values(const char* at, const char* end, Format format) : start(at), at(at), end(end), format(format) {}

    bool next(Type type, double& value)
    {
        return format == Format::text ? nextWord(type, value) : nextBinary(type, value);
    }
    size_t offset() const { return static_cast<size_t>(at - start); }
    size_t left() const { return static_cast<size_t>(end - at); }

private:
    bool nextWord(Type type, double& value)
    {
        while (at < end && (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n'))
            ++at;
        const char* wordEnd = at;
        while (wordEnd < end && *wordEnd != ' ' && *wordEnd != '\t' && *wordEnd != '\r' && *wordEnd != '\n')
            ++wordEnd;
        const char* from = at + (at < wordEnd && *at == '+' ? 1 : 0);
        std::from_chars_result result{};
        if (type == Type::f32 || type == Type::f64) {
            result = std::from_chars(from, wordEnd, value);
        } else {
            long long whole = 0;
            result = std::from_chars(from, wordEnd, whole);
            value = static_cast<double>(whole);
        }
        if (result.ec == std::errc::result_out_of_range)
            value = INFINITY;
        else if (result.ec != std::errc() || result.ptr != wordEnd)
            return false;
        at = wordEnd;
        return true;
    }

    bool nextBinary(Type type, double& value)
    {
        const size_t size = bytesOf(type);
        if (left() < size)
            return false;
        unsigned char bytes[8];
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<unsigned char>(at[format == Format::little ? i : size - 1 - i]);
        at += size;
        switch (type) {
        case Type::i8:
            value = static_cast<signed char>(bytes[0]);
            break;
        case Type::u8:
            value = bytes[0];
            break;
        case Type::i16:
            value = static_cast<std::int16_t>(bytes[0] | bytes[1] << 8);
            break;
        case Type::u16:
            value = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
            break;
        case Type::i32:
        case Type::u32:
        case Type::f32: {
            const std::uint32_t bits = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                       static_cast<std::uint32_t>(bytes[2]) << 16 |
                                       static_cast<std::uint32_t>(bytes[3]) << 24;
            float single = 0.0f;
            std::memcpy(&single, &bits, 4);
            value = type == Type::i32 ? static_cast<double>(static_cast<std::int32_t>(bits))
                    : type == Type::u32 ? static_cast<double>(bits)
                                        : static_cast<double>(single);
            break;
        }
        case Type::f64: {
            std::uint64_t bits = 0;
            for (int i = 7; i >= 0; --i)
                bits = bits << 8 | bytes[i];
            std::memcpy(&value, &bits, 8);
            break;
        }
        case Type::none:
            return false;
        }
        return true;
    }

    const char* start;
    const char* at;
    const char* end;
    Format format;
};

// The file's vertices and faces as they are read.
struct Read {
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<float> colours;
    std::vector<unsigned> corners;   // every face's, one after another
    std::vector<unsigned> polygons;  // the corner count of each face that is not a triangle, with its first corner
    size_t faces = 0;
};

class Reader {
public:
    Reader(const Header& header, Values& values, const ReadProgress& progress)
        : header(header), values(values), progress(progress)
    {
    }

    // False, with the reason, where the data ends early or a face names a
    // vertex the file does not have; `leftToImporter` where a face has
    // fewer than three corners.
    bool read(Read& out, std::string& reason);
    bool leftToImporter = false;

private:
    bool readVertices(const Element& element, Read& out, std::string& reason);
    bool readFaces(const Element& element, Read& out, std::string& reason);
    bool skip(const Element& element, std::string& reason);
    bool endsEarly(const Element& element, unsigned long long item, std::string& reason)
    {
        reason = "PLY: the data ends inside " + element.name.substr(0, 40) + " " + std::to_string(item + 1) + " of " +
                 std::to_string(element.count) + ", or holds what is not a number there";
        return false;
    }
    // The fewest bytes an item of `element` takes: no count is believed
    // past what the data left can hold.
    size_t fewestBytes(const Element& element) const
    {
        size_t bytes = 0;
        for (const Property& property : element.properties)
            bytes += header.format == Format::text ? 2
                     : property.countType != Type::none ? bytesOf(property.countType)
                                                        : bytesOf(property.type);
        return std::max<size_t>(bytes, 1);
    }
    void tell() const { progress.parsed(header.bytes + values.offset()); }
    // A list's count: a whole number, not below zero.
    bool count(const Property& property, double& count)
    {
        return values.next(property.countType, count) && count >= 0.0 && count == std::floor(count);
    }

    const Header& header;
    Values& values;
    const ReadProgress& progress;
    unsigned long long vertexCount = 0;
};

bool Reader::read(Read& out, std::string& reason)
{
    for (auto element = header.elements.rbegin(); element != header.elements.rend(); ++element)
        if (element->name == "vertex")
            vertexCount = element->count;
    bool verticesRead = false;
    for (const Element& element : header.elements) {
        const bool ok = element.name == "vertex" && !verticesRead ? readVertices(element, out, reason)
                        : element.name == "face"                  ? readFaces(element, out, reason)
                                                                  : skip(element, reason);
        verticesRead = verticesRead || element.name == "vertex";
        if (!ok || leftToImporter)
            return ok;
    }
    return true;
}

bool Reader::readVertices(const Element& element, Read& out, std::string& reason)
{
    bool has[11] = {};
    for (const Property& property : element.properties)
        if (property.countType == Type::none)
            has[static_cast<int>(vertexRole(property.name))] = true;
    const bool normals = has[int(Role::nx)] && has[int(Role::ny)] && has[int(Role::nz)];
    const bool colours = has[int(Role::red)] || has[int(Role::green)] || has[int(Role::blue)];
    const size_t room = std::min<unsigned long long>(element.count, values.left() / fewestBytes(element));
    out.positions.reserve(3 * room);
    if (normals)
        out.normals.reserve(3 * room);
    if (colours)
        out.colours.reserve(4 * room);
    for (unsigned long long i = 0; i < element.count; ++i) {
        float vertex[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        for (const Property& property : element.properties) {
            double value = 0.0;
            if (property.countType != Type::none) {
                double items = 0.0;
                if (!count(property, items))
                    return endsEarly(element, i, reason);
                for (double k = 0; k < items; ++k)
                    if (!values.next(property.type, value))
                        return endsEarly(element, i, reason);
                continue;
            }
            if (!values.next(property.type, value))
                return endsEarly(element, i, reason);
            const int role = static_cast<int>(vertexRole(property.name));
            if (role >= int(Role::red) && role <= int(Role::alpha))
                value /= fullColour(property.type);
            if (role != int(Role::other))
                vertex[role - 1] = static_cast<float>(value);
        }
        out.positions.insert(out.positions.end(), vertex, vertex + 3);
        if (normals)
            out.normals.insert(out.normals.end(), vertex + 3, vertex + 6);
        if (colours)
            out.colours.insert(out.colours.end(), vertex + 6, vertex + 10);
        if (i % 65536 == 0)
            tell();
    }
    return true;
}

bool Reader::readFaces(const Element& element, Read& out, std::string& reason)
{
    const Property* cornersList = nullptr;
    for (const Property& property : element.properties)
        if (property.countType != Type::none && (property.name == "vertex_indices" || property.name == "vertex_index"))
            cornersList = &property;
    const size_t room = std::min<unsigned long long>(element.count, values.left() / fewestBytes(element));
    out.corners.reserve(3 * room);
    for (unsigned long long i = 0; i < element.count; ++i) {
        for (const Property& property : element.properties) {
            double items = 1.0;
            if (property.countType != Type::none && !count(property, items))
                return endsEarly(element, i, reason);
            const bool corners = &property == cornersList;
            if (corners && items < 3.0) {
                leftToImporter = true;
                return true;
            }
            const size_t first = out.corners.size();
            for (double k = 0; k < items; ++k) {
                double value = 0.0;
                if (!values.next(property.type, value))
                    return endsEarly(element, i, reason);
                if (!corners)
                    continue;
                if (!(value >= 0.0 && value < static_cast<double>(vertexCount) && value == std::floor(value))) {
                    reason = "PLY: face " + std::to_string(i + 1) + " names vertex " +
                             std::to_string(static_cast<long long>(std::clamp(value, -1e18, 1e18))) + " of " +
                             std::to_string(vertexCount);
                    return false;
                }
                out.corners.push_back(static_cast<unsigned>(value));
            }
            if (corners && items != 3.0)
                out.polygons.insert(out.polygons.end(), {static_cast<unsigned>(first), static_cast<unsigned>(items)});
        }
        out.faces += cornersList != nullptr;
        if (i % 65536 == 0)
            tell();
    }
    return true;
}

bool Reader::skip(const Element& element, std::string& reason)
{
    for (unsigned long long i = 0; i < element.count; ++i)
        for (const Property& property : element.properties) {
            double items = 1.0;
            if (property.countType != Type::none && !count(property, items))
                return endsEarly(element, i, reason);
            double value = 0.0;
            for (double k = 0; k < items; ++k)
                if (!values.next(property.type, value))
                    return endsEarly(element, i, reason);
        }
    return true;
}

glm::vec3 pointOf(const std::vector<float>& positions, unsigned vertex)
{
    return glm::vec3(positions[3 * size_t(vertex)], positions[3 * size_t(vertex) + 1], positions[3 * size_t(vertex) + 2]);
}

// Each face of `read`: its corners and their count.
template <typename OnFace> void forEachFace(const Read& read, OnFace&& onFace)
{
    size_t next = 0;
    for (size_t p = 0; p <= read.polygons.size(); p += 2) {
        const size_t polygonAt = p < read.polygons.size() ? read.polygons[p] : read.corners.size();
        for (; next + 3 <= polygonAt; next += 3)
            onFace(read.corners.data() + next, size_t(3));
        if (p == read.polygons.size())
            break;
        onFace(read.corners.data() + polygonAt, size_t(read.polygons[p + 1]));
        next = polygonAt + read.polygons[p + 1];
    }
}

// The faces as triangles into `indices`: polygons cut, triangles whose
// corners coincide or touch a vertex that is not finite left out.
void triangles(const Read& read, const std::vector<char>& finite, std::vector<unsigned>& indices, size_t& notFinite)
{
    indices.reserve(read.corners.size());
    Triangulator triangulator;
    forEachFace(read, [&](const unsigned* corners, size_t count) {
        for (size_t k = 0; k < count; ++k)
            if (!finite[corners[k]]) {
                ++notFinite;
                return;
            }
        auto add = [&](unsigned a, unsigned b, unsigned c) {
            const glm::vec3 pa = pointOf(read.positions, a), pb = pointOf(read.positions, b),
                            pc = pointOf(read.positions, c);
            if (pa != pb && pb != pc && pa != pc)
                indices.insert(indices.end(), {a, b, c});
        };
        if (count == 3) {
            add(corners[0], corners[1], corners[2]);
            return;
        }
        const std::vector<unsigned>& cut =
            triangulator.cutInSpace(count, [&](size_t k) { return glm::dvec3(pointOf(read.positions, corners[k])); });
        for (size_t t = 0; t + 2 < cut.size(); t += 3)
            add(corners[cut[t]], corners[cut[t + 1]], corners[cut[t + 2]]);
    });
}

// Normals from the faces: the mean facing of the faces around each
// position (in a model past bigModelVertices, around each vertex, as the
// importer's path there makes them: its search of space took seconds), each
// face counted once, whole. The importer's smoothing of a small model whose
// faces share vertices gives each vertex the facing of one of its faces
// alone (a pyramid's base corners lit as a side); this is what it means to
// give.
std::vector<float> faceNormals(const Read& read, const std::vector<char>& finite)
{
    const std::vector<float>& positions = read.positions;
    const size_t vertices = positions.size() / 3;
    std::vector<unsigned> at(vertices);
    for (size_t v = 0; v < vertices; ++v)
        at[v] = static_cast<unsigned>(v);
    if (vertices <= bigModelVertices) {
        std::unordered_map<std::string_view, unsigned> first;
        first.reserve(vertices);
        for (size_t v = 0; v < vertices; ++v) {
            const std::string_view key(reinterpret_cast<const char*>(&positions[3 * v]), 3 * sizeof(float));
            at[v] = first.emplace(key, static_cast<unsigned>(v)).first->second;
        }
    }
    std::vector<double> sums(3 * vertices, 0.0);
    forEachFace(read, [&](const unsigned* corners, size_t count) {
        for (size_t k = 0; k < count; ++k)
            if (!finite[corners[k]])
                return;
        const glm::dvec3 n =
            newellNormal(count, [&](size_t k) { return glm::dvec3(pointOf(positions, corners[k])); });
        const double length = glm::length(n);
        if (!(length > 0.0) || !std::isfinite(length))
            return;
        for (size_t k = 0; k < count; ++k)
            for (size_t c = 0; c < 3; ++c)
                sums[3 * size_t(at[corners[k]]) + c] += n[static_cast<int>(c)] / length;
    });
    std::vector<float> normals(3 * vertices, 0.0f);
    for (size_t v = 0; v < vertices; ++v) {
        const double* sum = &sums[3 * size_t(at[v])];
        const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
        if (length > 1e-9)
            for (size_t c = 0; c < 3; ++c)
                normals[3 * v + c] = static_cast<float>(sum[c] / length);
    }
    return normals;
}

// The vertices that faces (or, for points, the finite ones) use, in
// order, with the indices renumbered; only where some are left out.
void keepUsed(ModelMesh& mesh, std::vector<char> used)
{
    if (std::all_of(used.begin(), used.end(), [](char u) { return u != 0; }))
        return;
    std::vector<unsigned> renumbered(used.size(), 0);
    unsigned kept = 0;
    auto squeeze = [&](std::vector<float>& values, size_t per) {
        if (values.empty())
            return;
        size_t to = 0;
        for (size_t v = 0; v < used.size(); ++v)
            if (used[v])
                for (size_t k = 0; k < per; ++k)
                    values[to++] = values[per * v + k];
        values.resize(to);
    };
    for (size_t v = 0; v < used.size(); ++v)
        if (used[v])
            renumbered[v] = kept++;
    squeeze(mesh.positions, 3);
    squeeze(mesh.normals, 3);
    squeeze(mesh.colours, 4);
    for (unsigned& index : mesh.indices)
        index = renumbered[index];
}

// What the importer makes of a PLY file's material, as readMaterials reads
// it (two-sided where the file has faces, whose order the format leaves
// open), and the fallback that every model ends with.
void plyMaterials(std::vector<ModelMaterial>& materials, bool faces)
{
    ModelMaterial white;
    white.diffuse = glm::vec4(1.0f);
    white.colourMultiplies = false;
    white.specular = 2.0f;
    white.roughness = 1.0f;
    white.twoSided = faces;
    materials.assign({white, ModelMaterial()});
}

// The mesh of what was read.
void build(Read& read, ModelData& model)
{
    ModelMesh mesh;
    const size_t vertices = read.positions.size() / 3;
    std::vector<char> finite(vertices, 1);
    float largest = 0.0f;
    size_t notFiniteVertices = 0;
    for (size_t v = 0; v < vertices; ++v) {
        for (size_t k = 0; k < 3; ++k)
            finite[v] = finite[v] && std::isfinite(read.positions[3 * v + k]);
        notFiniteVertices += !finite[v];
        for (size_t k = 0; k < 3 && finite[v]; ++k)
            largest = std::max(largest, std::fabs(read.positions[3 * v + k]));
    }
    size_t notFinite = 0;
    std::vector<char> used;
    if (read.faces > 0) {
        triangles(read, finite, mesh.indices, notFinite);
        used.assign(vertices, 0);
        for (unsigned index : mesh.indices)
            used[index] = 1;
    } else {
        mesh.primitive = Primitive::points;
        for (size_t v = 0; v < vertices; ++v)
            if (finite[v])
                mesh.indices.push_back(static_cast<unsigned>(v));
        notFinite = notFiniteVertices;
        used = finite;
    }
    const float scale = workingScale(largest);
    if (scale != 1.0f)
        for (float& value : read.positions)
            value *= scale;
    const bool givenNormals = !read.normals.empty() &&
                              std::all_of(read.normals.begin(), read.normals.end(), [](float n) { return std::isfinite(n); });
    if (givenNormals)
        mesh.normals = std::move(read.normals);
    else if (mesh.primitive == Primitive::triangles)
        mesh.normals = faceNormals(read, finite);
    std::vector<unsigned>().swap(read.corners);
    mesh.positions = std::move(read.positions);
    mesh.colours = std::move(read.colours);
    for (float& value : mesh.colours)
        value = std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
    keepUsed(mesh, std::move(used));
    if (notFinite > 0)
        model.notes.push_back("Left out " +
                              counted(notFinite, mesh.primitive == Primitive::points ? "point" : "face",
                                      mesh.primitive == Primitive::points ? "points" : "faces") +
                              " with coordinates that are not finite numbers");
    if (!read.normals.empty() && !givenNormals)
        model.notes.push_back("Made the normals from the faces: the file's are not all finite numbers");
    if (!mesh.indices.empty()) {
        model.meshes.push_back(std::move(mesh));
        model.placements.push_back({0, glm::mat4(1.0f)});
    }
    plyMaterials(model.materials, read.faces > 0);
}

} // namespace

bool isPlyPath(const std::string& path)
{
    return hasExtension(path, "ply");
}

namespace {

// The file's values into `read`; `build` makes the mesh of them.
ReadOutcome parse(const char* bytes, size_t size, Read& read, std::string& reason, const ReadProgress& progress)
{
    Header header;
    if (!readHeader(std::string_view(bytes, size), header, reason))
        return ReadOutcome::failed;
    bool vertices = false;
    for (const Element& element : header.elements) {
        header.leftToImporter = header.leftToImporter || element.name == "material" || element.name == "tristrips";
        for (const Property& property : element.properties) {
            const bool colour = vertexRole(property.name) >= Role::red && vertexRole(property.name) <= Role::alpha;
            header.leftToImporter =
                header.leftToImporter || (element.name == "face" && (colour || property.name == "texcoord"));
            vertices = vertices || (element.name == "vertex" && property.name == "x");
        }
    }
    if (header.leftToImporter || !vertices)
        return ReadOutcome::notHandled;
    Values values(bytes + header.bytes, bytes + size, header.format);
    Reader reader(header, values, progress);
    if (!reader.read(read, reason))
        return ReadOutcome::failed;
    return reader.leftToImporter ? ReadOutcome::notHandled : ReadOutcome::read;
}

} // namespace

ReadOutcome readPlyBytes(const char* bytes, size_t size, ModelData& model, std::string& reason,
                         const ReadProgress& progress)
{
    Read read;
    const ReadOutcome outcome = parse(bytes, size, read, reason, progress);
    model = ModelData();
    if (outcome == ReadOutcome::read) {
        progress.build();
        build(read, model);
    }
    return outcome;
}

ReadOutcome readPly(const std::string& path, ModelData& model, std::string& reason,
                    const std::function<void(unsigned long long)>& onRead, const ReadProgress& progress)
{
    RegularFile source(path);
    if (!opened(source, onRead, progress, reason))
        return ReadOutcome::failed;
    std::string bytes;
    if (!source.readAll(bytes, maxFileBytes, reason)) {
        reason = "PLY: " + reason;
        return ReadOutcome::failed;
    }
    Read read;
    const ReadOutcome outcome = parse(bytes.data(), bytes.size(), read, reason, progress);
    model = ModelData();
    if (outcome != ReadOutcome::read)
        return outcome;
    // The text goes before the mesh is made: a text file holds several times
    // the bytes of its values.
    std::string().swap(bytes);
    progress.build();
    build(read, model);
    return outcome;
}

} // namespace import
