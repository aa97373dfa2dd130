// The two ways of reading a model file, and what the tests compare of them.
#include "ImporterAgreement.h"

#include "import/ImportProgress.h"
#include "import/ModelReader.h"
#include "import/SceneRead.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string OwnRead::notes() const
{
    std::string all;
    for (const std::string& note : model.notes)
        all += note + "\n";
    return all;
}

TempFile::TempFile(const std::string& bytes, const std::string& name)
    : path(fs::temp_directory_path() / ("brassfern-agree-" + std::to_string(::getpid()) + "-" + name))
{
    std::ofstream(path, std::ios::binary) << bytes;
}

TempFile::~TempFile()
{
    fs::remove(path);
}

import::TransferResult received(const fs::path& path, bool importer, import::ModelData& model)
{
    FILE* stream = std::tmpfile();
    import::ImportProgress progress;
    import::sendModel(path.string(), fileno(stream), &progress, [](unsigned long long) {},
                      importer ? new import::RegularFilesIOSystem : nullptr);
    lseek(fileno(stream), 0, SEEK_SET);
    const import::TransferResult result = import::readTransfer(fileno(stream), model);
    std::fclose(stream);
    return result;
}

std::vector<std::vector<float>> drawnFaces(const import::ModelData& model, bool normals)
{
    std::vector<std::vector<float>> all;
    for (const import::ModelPlacement& placement : model.placements) {
        const import::ModelMesh& mesh = model.meshes[placement.mesh];
        const size_t perFace = static_cast<size_t>(mesh.primitive);
        // A triangle mesh without normals is lit by its facets' planes.
        const bool facetNormals = normals && mesh.normals.empty() && perFace == 3;
        for (size_t i = 0; i + perFace <= mesh.indices.size(); i += perFace) {
            std::vector<std::vector<float>> corners;
            glm::vec3 facet(0.0f, 0.0f, 1.0f);
            if (facetNormals) {
                const auto corner = [&](size_t k) { return glm::dvec3(glm::make_vec3(&mesh.positions[3 * mesh.indices[i + k]])); };
                const glm::dvec3 across = glm::cross(corner(1) - corner(0), corner(2) - corner(0));
                if (glm::length(across) > 0.0)
                    facet = glm::vec3(glm::normalize(across));
            }
            for (size_t k = 0; k < perFace; ++k) {
                const size_t v = mesh.indices[i + k];
                const glm::vec4 at = placement.transform * glm::vec4(glm::make_vec3(&mesh.positions[3 * v]), 1.0f);
                std::vector<float> corner{at.x, at.y, at.z};
                if (normals && !mesh.normals.empty())
                    corner.insert(corner.end(), mesh.normals.begin() + 3 * v, mesh.normals.begin() + 3 * v + 3);
                if (facetNormals)
                    corner.insert(corner.end(), {facet.x, facet.y, facet.z});
                if (!mesh.colours.empty())
                    corner.insert(corner.end(), mesh.colours.begin() + 4 * v, mesh.colours.begin() + 4 * v + 4);
                corners.push_back(std::move(corner));
            }
            // Which corner a face starts at is the writer's choice, not its
            // winding.
            std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()), corners.end());
            std::vector<float> face{static_cast<float>(perFace)};
            for (const std::vector<float>& corner : corners)
                face.insert(face.end(), corner.begin(), corner.end());
            all.push_back(std::move(face));
        }
    }
    std::sort(all.begin(), all.end());
    return all;
}

import::ModelData expectSameModel(const std::string& bytes, const std::string& name, float tolerance, bool normals)
{
    SCOPED_TRACE(name);
    TempFile file(bytes, name);
    import::ModelData ours, theirs;
    EXPECT_EQ(received(file.path, false, ours).outcome, import::TransferResult::Outcome::complete);
    EXPECT_EQ(received(file.path, true, theirs).outcome, import::TransferResult::Outcome::complete);
    const auto mine = drawnFaces(ours, normals);
    const auto its = drawnFaces(theirs, normals);
    EXPECT_EQ(mine.size(), its.size());
    for (size_t f = 0; f < mine.size() && f < its.size(); ++f) {
        EXPECT_EQ(mine[f].size(), its[f].size()) << "face " << f;
        for (size_t k = 0; k < mine[f].size() && k < its[f].size(); ++k)
            EXPECT_NEAR(mine[f][k], its[f][k], tolerance) << "face " << f << ", value " << k;
    }
    EXPECT_EQ(ours.materials.size(), theirs.materials.size());
    for (size_t m = 0; m < ours.materials.size() && m < theirs.materials.size(); ++m) {
        const import::ModelMaterial& a = ours.materials[m];
        const import::ModelMaterial& b = theirs.materials[m];
        EXPECT_EQ(a.diffuse, b.diffuse) << m;
        EXPECT_EQ(a.colourMultiplies, b.colourMultiplies) << m;
        EXPECT_EQ(a.specular, b.specular) << m;
        EXPECT_EQ(a.roughness, b.roughness) << m;
        EXPECT_EQ(a.metallic, b.metallic) << m;
        EXPECT_EQ(a.texture, b.texture) << m;
        EXPECT_EQ(a.twoSided, b.twoSided) << m;
    }
    for (size_t m = 0; m < ours.meshes.size() && m < theirs.meshes.size(); ++m)
        EXPECT_EQ(ours.meshes[m].texCoords.empty(), theirs.meshes[m].texCoords.empty());
    return ours;
}
