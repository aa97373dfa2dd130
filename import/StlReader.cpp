// The STL reader: facets from binary records or text lines, each lit by its winding, into one mesh.
#include "import/StlReader.h"

#include "base/Printable.h"
#include "import/SceneRead.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <glm/glm.hpp>
#include <vector>

namespace import {

namespace {

constexpr size_t headerBytes = 84;
constexpr size_t facetBytes = 50;
// Indices are 32-bit, and in the worst case every facet has three vertices
// of its own.
constexpr unsigned long long mostFacets = 0xFFFFFFFFull / 3;

// Facets as they are read, into the one mesh, with what is left out counted.
// Corners at the same point (the same bits) share a vertex, and the mesh
// carries no normals: the viewer lights a triangle mesh without them by the
// plane of each facet, turned by its winding, as the format means. A
// 2-million-facet file thus sends a sixth of the vertices, without normals,
// where one vertex a corner with its facet's normal had sent four times the
// bytes, and the rasterizer shades each shared vertex once.
class Facets {
public:
    explicit Facets(ModelMesh& mesh) : mesh(mesh) {}

    void reserve(size_t facets)
    {
        // A closed surface has about half as many points as facets.
        mesh.positions.reserve(3 * (facets / 2 + 3));
        mesh.indices.reserve(3 * facets);
        grow(facets + 3);
    }

    // A facet's corners, x y z each.
    void add(const float* corner)
    {
        for (int k = 0; k < 9; ++k)
            if (!std::isfinite(corner[k])) {
                ++notFinite;
                return;
            }
        const glm::vec3 a(corner[0], corner[1], corner[2]);
        const glm::vec3 b(corner[3], corner[4], corner[5]);
        const glm::vec3 c(corner[6], corner[7], corner[8]);
        // The importer leaves out a face with corners that coincide (a line
        // or a point drawn as a face), and so does this reader; one of no
        // area with corners apart is drawn as it is.
        if (a == b || b == c || a == c)
            return;
        if (mesh.indices.size() / 3 >= mostFacets) {
            ++pastIndices;
            return;
        }
        for (int k = 0; k < 9; ++k)
            largest = std::max(largest, std::fabs(corner[k]));
        for (int k = 0; k < 3; ++k)
            mesh.indices.push_back(vertexAt(corner + 3 * k));
    }

    // The working scale applied, and notes for what was left out.
    void finish(std::vector<std::string>& notes)
    {
        slots = std::vector<unsigned>();
        const float scale = workingScale(largest);
        if (scale != 1.0f)
            for (float& value : mesh.positions)
                value *= scale;
        if (notFinite > 0)
            notes.push_back("Left out " + counted(notFinite, "facet", "facets") +
                            " with coordinates that are not finite numbers");
        if (pastIndices > 0)
            notes.push_back("Left out " + counted(pastIndices, "facet", "facets") + " past the first " +
                            std::to_string(mostFacets) + ", more than a mesh can index");
    }

private:
    // The vertex at `point` (x y z), made the first time the point is met.
    // An open-addressed table of vertex numbers plus one, kept at most half full.
    unsigned vertexAt(const float* point)
    {
        std::uint32_t bits[3];
        std::memcpy(bits, point, sizeof bits);
        if (slots.empty())
            grow(1);
        const size_t mask = slots.size() - 1;
        for (size_t slot = hashOf(bits) & mask;; slot = (slot + 1) & mask) {
            const unsigned held = slots[slot];
            if (held == 0)
                break;
            if (std::memcmp(&mesh.positions[3 * (held - 1)], point, sizeof bits) == 0)
                return held - 1;
        }
        const unsigned vertex = static_cast<unsigned>(mesh.positions.size() / 3);
        mesh.positions.insert(mesh.positions.end(), point, point + 3);
        if (2 * (static_cast<size_t>(vertex) + 1) > slots.size())
            grow(2 * slots.size());
        else
            place(bits, vertex);
        return vertex;
    }

    static size_t hashOf(const std::uint32_t* bits)
    {
        std::uint64_t h = bits[0] * 0x9E3779B97F4A7C15ull ^ bits[1] * 0xC2B2AE3D27D4EB4Full ^
                          bits[2] * 0x165667B19E3779F9ull;
        h ^= h >> 29;
        return static_cast<size_t>(h * 0xBF58476D1CE4E5B9ull >> 20);
    }

    void place(const std::uint32_t* bits, unsigned vertex)
    {
        const size_t mask = slots.size() - 1;
        size_t slot = hashOf(bits) & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = vertex + 1;
    }

    // A table of at least twice `vertices` slots, with every vertex made so far in it.
    void grow(size_t vertices)
    {
        size_t size = 1024;
        while (size < 2 * vertices)
            size *= 2;
        if (size <= slots.size())
            return;
        slots.assign(size, 0);
        for (size_t v = 0; v < mesh.positions.size() / 3; ++v) {
            std::uint32_t bits[3];
            std::memcpy(bits, &mesh.positions[3 * v], sizeof bits);
            place(bits, static_cast<unsigned>(v));
        }
    }

    ModelMesh& mesh;
    std::vector<unsigned> slots;
    float largest = 0.0f;
    size_t notFinite = 0;
    size_t pastIndices = 0;
};

float littleFloat(const unsigned char* bytes)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                               static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t littleU32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The binary records after the header, `facets` of them as the header
// says, which the caller has checked the file to hold; `already` holds the
// first bytes of them, read with the header.
bool readBinary(RegularFile& source, unsigned long long facets, std::string_view already, Facets& out,
                const ReadProgress& progress, std::string& reason)
{
    out.reserve(static_cast<size_t>(facets));
    constexpr size_t perPiece = filePieceBytes / facetBytes;
    std::vector<char> piece(perPiece * facetBytes);
    size_t held = std::min(already.size(), piece.size());
    std::copy(already.begin(), already.begin() + static_cast<std::ptrdiff_t>(held), piece.begin());
    unsigned long long done = 0;
    while (done < facets) {
        const size_t want = static_cast<size_t>(std::min<unsigned long long>(perPiece, facets - done));
        size_t got = 0;
        if (held < want * facetBytes && !source.read(piece.data() + held, want * facetBytes - held, got, reason))
            return false;
        held += got;
        // A file cut short while it is read is taken as far as it goes.
        const size_t whole = std::min(held / facetBytes, want);
        for (size_t f = 0; f < whole; ++f) {
            // The stored normal (the first twelve bytes) is not read: the
            // winding says which way a facet faces.
            const auto* record = reinterpret_cast<const unsigned char*>(piece.data()) + f * facetBytes + 12;
            float corner[9];
            for (int k = 0; k < 9; ++k)
                corner[k] = littleFloat(record + 4 * k);
            out.add(corner);
        }
        done += whole;
        progress.parsed(headerBytes + done * facetBytes);
        if (whole < want)
            break;
        held = 0;
    }
    return true;
}

// STL text: "solid", then facets of "facet normal", "outer loop", three
// "vertex x y z", "endloop", "endfacet", then "endsolid"; a file may hold
// several solids. Only the vertices and the facet ends matter: a facet is
// the three vertices before its "endfacet" (or the next "facet", or the
// end of the text, where a writer left that out).
class StlText {
public:
    StlText(Facets& out, ModelMesh& mesh) : out(out), mesh(mesh) {}

    size_t lines(const char* text, size_t size, bool last)
    {
        return splitter.split(text, size, last, [this](Cursor line) { this->line(line); });
    }
    void leaveOutLongLine() { splitter.leaveOutLongLine(); }

    void finish(std::vector<std::string>& notes)
    {
        endFacet();
        if (unreadable > 0)
            notes.push_back("Left out " + counted(unreadable, "facet", "facets") +
                            " without exactly three vertices that can be read");
        if (splitter.linesLeftOut() > 0)
            notes.push_back("Left out " + counted(splitter.linesLeftOut(), "line", "lines") + " longer than " +
                            megabytesText(maxLineBytes));
    }

private:
    void line(Cursor cursor)
    {
        const std::string_view keyword = cursor.word();
        if (keyword == "vertex") {
            vertex(cursor);
        } else if (keyword == "endfacet" || keyword == "facet") {
            endFacet();
        } else if (keyword == "solid" && !named) {
            mesh.name = printable(cursor.rest());
            named = true;
        }
    }

    void vertex(Cursor& cursor)
    {
        if (corners >= 3) {
            broken = true;
            return;
        }
        for (int k = 0; k < 3; ++k) {
            const std::string_view word = cursor.word();
            const char* start = word.data() + (!word.empty() && word[0] == '+' ? 1 : 0);
            const auto result = std::from_chars(start, word.data() + word.size(), corner[3 * corners + k]);
            // A number too large for a float is not one the facet can use.
            if (result.ec == std::errc::result_out_of_range)
                corner[3 * corners + k] = INFINITY;
            else if (result.ec != std::errc() || result.ptr != word.data() + word.size())
                broken = true;
        }
        ++corners;
    }

    void endFacet()
    {
        if (corners == 3 && !broken)
            out.add(corner);
        else if (corners > 0 || broken)
            ++unreadable;
        corners = 0;
        broken = false;
    }

    Facets& out;
    ModelMesh& mesh;
    LineSplitter splitter;
    float corner[9] = {};
    int corners = 0;
    bool broken = false;
    bool named = false;
    size_t unreadable = 0;
};

// What the importer makes of an STL file's one material, as readMaterials
// reads it: white, lit as a classic material whose specular colour is its
// diffuse one, and the fallback that every model ends with.
void stlMaterials(std::vector<ModelMaterial>& materials)
{
    ModelMaterial white;
    white.diffuse = glm::vec4(1.0f);
    white.colourMultiplies = false;
    white.specular = 2.0f;
    white.roughness = 1.0f;
    materials.assign({white, ModelMaterial()});
}

} // namespace

bool isStlPath(const std::string& path)
{
    return hasExtension(path, "stl");
}

ReadOutcome readStl(const std::string& path, ModelData& model, std::string& reason,
                   const std::function<void(unsigned long long)>& onRead, const ReadProgress& progress)
{
    RegularFile source(path);
    if (!opened(source, onRead, progress, reason))
        return ReadOutcome::failed;
    const unsigned long long size = source.size();
    unsigned char head[512] = {};
    size_t got = 0;
    if (!source.read(reinterpret_cast<char*>(head), std::min<unsigned long long>(size, sizeof head), got, reason))
        return ReadOutcome::failed;
    const unsigned long long facets = got >= headerBytes ? littleU32(head + 80) : 0;
    const bool binarySize = got >= headerBytes && headerBytes + facetBytes * facets == size;
    const char* text = reinterpret_cast<const char*>(head);
    size_t start = 0;
    while (start < got && (isSpace(text[start]) || text[start] == '\n'))
        ++start;
    const bool textual = !binarySize && got - start >= 5 && std::memcmp(text + start, "solid", 5) == 0 &&
                         std::memchr(head, 0, got) == nullptr;
    if (!binarySize && !textual && got < headerBytes) {
        reason = "STL: the file is neither text starting with \"solid\" nor as long as a binary header (84 bytes)";
        return ReadOutcome::failed;
    }
    const std::string_view colourKey = "COLOR=";
    if (!textual && std::search(text, text + 80, colourKey.begin(), colourKey.end()) != text + 80)
        return ReadOutcome::notHandled;

    model = ModelData();
    model.meshes.emplace_back();
    ModelMesh& mesh = model.meshes.back();
    Facets out(mesh);
    if (textual) {
        StlText parser(out, mesh);
        if (!readLines(source, parser, progress, reason, std::string_view(text, got)))
            return ReadOutcome::failed;
        parser.finish(model.notes);
    } else {
        const unsigned long long needed = headerBytes + facetBytes * facets;
        if (needed > size) {
            reason = "STL: the header names " + counted(facets, "facet", "facets") + " (" + std::to_string(needed) +
                     " bytes), but the file holds " + std::to_string(size) + " bytes";
            return ReadOutcome::failed;
        }
        if (needed < size)
            model.notes.push_back("Left out the " + std::to_string(size - needed) + " bytes after the " +
                                  counted(facets, "facet", "facets") + " the header names");
        if (!readBinary(source, facets, std::string_view(text + headerBytes, got - headerBytes), out, progress,
                        reason))
            return ReadOutcome::failed;
    }
    progress.build();
    out.finish(model.notes);
    if (mesh.indices.empty())
        model.meshes.clear();
    stlMaterials(model.materials);
    for (size_t i = 0; i < model.meshes.size(); ++i)
        model.placements.push_back({static_cast<unsigned>(i), glm::mat4(1.0f)});
    return ReadOutcome::read;
}

} // namespace import
