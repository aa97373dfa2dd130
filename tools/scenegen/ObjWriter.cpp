// Wavefront OBJ/MTL output with shared position, UV and normal pools and fixed number formats.
#include "ObjWriter.h"

#include <cstdio>
#include <fstream>
#include <unordered_map>

namespace scenegen {

namespace {

// Interns formatted tuples; OBJ indices are 1-based and follow first use, so output order is stable.
class Pool {
public:
    uint32_t intern(const std::string& key, std::string& newLines, const char* prefix)
    {
        const auto found = indexOf_.find(key);
        if (found != indexOf_.end())
            return found->second;
        const uint32_t index = uint32_t(indexOf_.size() + 1);
        indexOf_.emplace(key, index);
        newLines += prefix;
        newLines += key;
        newLines += '\n';
        return index;
    }
    size_t size() const { return indexOf_.size(); }

private:
    std::unordered_map<std::string, uint32_t> indexOf_;
};

} // namespace

std::string formatNumber(float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4f", double(value));
    std::string text(buffer);
    const size_t dot = text.find('.');
    if (dot != std::string::npos) {
        size_t end = text.size();
        while (end > dot + 1 && text[end - 1] == '0')
            --end;
        if (end == dot + 1)
            --end;
        text.resize(end);
    }
    if (text == "-0")
        text = "0";
    return text;
}

bool writeObj(const std::string& path, const std::string& materialLibrary, const std::vector<ObjGroup>& groups,
              ObjStats& stats)
{
    std::string out;
    out += "# Brassfern showcase scene, written by brassfern-scenegen\n";
    out += "mtllib " + materialLibrary + "\n";
    Pool positions, texcoords, normals;
    for (const ObjGroup& group : groups) {
        std::string vertexLines;
        std::string faceLines;
        const Mesh& mesh = *group.mesh;
        std::vector<std::string> corner(mesh.vertices.size());
        for (size_t i = 0; i < mesh.vertices.size(); ++i) {
            const Vertex& v = mesh.vertices[i];
            const uint32_t p = positions.intern(formatNumber(v.position.x) + " " + formatNumber(v.position.y) + " " +
                                                    formatNumber(v.position.z),
                                                vertexLines, "v ");
            const uint32_t t = texcoords.intern(formatNumber(v.uv.x) + " " + formatNumber(v.uv.y), vertexLines, "vt ");
            const uint32_t n = normals.intern(formatNumber(v.normal.x) + " " + formatNumber(v.normal.y) + " " +
                                                  formatNumber(v.normal.z),
                                              vertexLines, "vn ");
            corner[i] = std::to_string(p) + "/" + std::to_string(t) + "/" + std::to_string(n);
        }
        for (size_t k = 0; k < mesh.indices.size(); k += 3) {
            faceLines += "f " + corner[mesh.indices[k]] + " " + corner[mesh.indices[k + 1]] + " " +
                         corner[mesh.indices[k + 2]] + "\n";
        }
        stats.triangles += mesh.triangleCount();
        // One object per material, so the importer yields exactly one mesh per group.
        out += "o " + group.name + "\n";
        out += vertexLines;
        out += "usemtl " + group.material + "\n";
        out += faceLines;
    }
    stats.positions = positions.size();
    stats.texcoords = texcoords.size();
    stats.normals = normals.size();
    stats.bytes = out.size();

    std::ofstream file(path, std::ios::binary);
    file.write(out.data(), std::streamsize(out.size()));
    return bool(file);
}

bool writeMtl(const std::string& path, const std::vector<ObjMaterial>& materials, size_t& bytes)
{
    std::string out = "# Materials of the Brassfern showcase scene\n";
    for (const ObjMaterial& m : materials) {
        out += "\nnewmtl " + m.name + "\n";
        out += "Ka 1 1 1\nKd 1 1 1\nKs 0.5 0.5 0.5\nNs 5\nd 1\nillum 2\n";
        out += "map_Kd " + m.diffuseTexture + "\n";
    }
    bytes = out.size();
    std::ofstream file(path, std::ios::binary);
    file.write(out.data(), std::streamsize(out.size()));
    return bool(file);
}

} // namespace scenegen
