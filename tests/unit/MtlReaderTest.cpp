// Material libraries an OBJ file names: one file however it is named is read and counted once, and one that
// cannot be read says why in one line.
#include "import/ImportedMaterials.h"
#include "import/ObjReader.h"
#include "import/TextureRecipe.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

class MtlReader : public testing::Test {
protected:
    MtlReader() : root(fs::temp_directory_path() / ("brassfern-mtl-" + std::to_string(::getpid())))
    {
        fs::create_directories(root / "sub");
    }
    ~MtlReader() override { fs::remove_all(root); }

    void write(const std::string& name, const std::string& text) const
    {
        std::ofstream(root / name, std::ios::binary) << text;
    }
    // The model `text` read; every size the reader counts to the budget.
    import::ObjModel read(const std::string& text, std::vector<unsigned long long>* counted = nullptr) const
    {
        write("model.obj", text);
        import::ObjModel model;
        std::string reason;
        EXPECT_TRUE(import::readObj((root / "model.obj").string(), model, reason, [&](unsigned long long bytes) {
            if (counted != nullptr)
                counted->push_back(bytes);
        })) << reason;
        return model;
    }

    const fs::path root;
};

TEST_F(MtlReader, OneLibraryNamedManyWaysIsReadAndCountedOnce)
{
    const std::string library = "newmtl red\nKd 1 0 0\n";
    write("big.mtl", library);
    fs::create_symlink(root / "big.mtl", root / "link.mtl");
    std::string text = "mtllib big.mtl\nmtllib ./big.mtl ././big.mtl\nmtllib sub/../big.mtl\nmtllib link.mtl\n";
    std::string spelling = "big.mtl";
    for (int i = 0; i < 200; ++i)
        text += "mtllib " + (spelling = "./" + spelling) + "\n";
    std::vector<unsigned long long> counted;
    const import::ObjModel model = read(text + "usemtl red\n" + triangle, &counted);
    const unsigned long long modelBytes = fs::file_size(root / "model.obj");
    EXPECT_EQ(counted, (std::vector<unsigned long long>{modelBytes, library.size()}));
    EXPECT_EQ(model.materials.at(model.meshes.at(0).material).diffuse, glm::vec4(1, 0, 0, 1));
    EXPECT_TRUE(model.notes.empty());
}

TEST_F(MtlReader, ALibraryThatCannotBeReadSaysWhyOnceAndItsFacesAreGrey)
{
    fs::create_directories(root / "folder.mtl");
    ASSERT_EQ(mkfifo((root / "pipe.mtl").c_str(), 0644), 0);
    // Sparse: it takes no room, but says it is longer than a library can be.
    std::ofstream(root / "huge.mtl").close();
    fs::resize_file(root / "huge.mtl", (64ULL << 20) + 1);
    const std::string grey = "; its materials show the default grey";
    const std::string names[] = {"none.mtl", "folder.mtl", "pipe.mtl", "huge.mtl", "\x1b[2Jname.mtl"};
    const std::string why[] = {"No such file or directory", "it is a directory", "not a regular file",
                               "it is longer than 64 MB", "No such file or directory"};
    std::string text;
    std::vector<std::string> expected;
    for (size_t i = 0; i < 5; ++i) {
        text += "mtllib " + names[i] + "\nmtllib ./" + names[i] + "\n";
        const std::string shown = i < 4 ? names[i] : "\\x1b[2Jname.mtl";
        expected.push_back("Could not read material library " + (root / shown).string() + ": " + why[i] + grey);
    }
    const import::ObjModel model = read(text + "usemtl red\n" + triangle);
    EXPECT_EQ(model.notes, expected);
    EXPECT_EQ(model.materials.at(model.meshes.at(0).material).diffuse, glm::vec4(0.6f, 0.6f, 0.6f, 1));

    // A file naming many that are not there: the first few, then a count.
    std::string many;
    for (int i = 0; i < 30; ++i)
        many += "mtllib missing" + std::to_string(i) + ".mtl\n";
    const import::ObjModel flood = read(many + triangle);
    ASSERT_EQ(flood.notes.size(), 9u);
    EXPECT_EQ(flood.notes.back(), "Could not read 22 more material libraries; their materials show the default grey");
}

} // namespace

namespace {

// Each statement lands in the surface the viewer lights: the PBR ones as
// they are, the classic ones mapped onto them, each map once with the
// colour space its use needs.
TEST_F(MtlReader, StatementsBecomeTheLitSurface)
{
    write("model.mtl", "newmtl classic\nKd 0.5 0.25 0.125\nKs 0.04 0.04 0.04\nNs 400\nKe 0 0 0\n"
                       "map_Kd colour.png\nmap_Bump -bm 0.5 bumps.png\nmap_Ke glow.png\n"
                       "newmtl pbr\nKd 0.9 0.9 0.9\nPr 0.3\nPm 1\nmap_Pr rough.png\nmap_Pm metal.png\n"
                       "newmtl lamp\nKe 2 1 0.5\nnorm bumps.png\n");
    import::ObjModel model =
        read("mtllib model.mtl\nusemtl classic\n" + triangle + "usemtl pbr\n" + triangle + "usemtl lamp\n" + triangle);
    ASSERT_EQ(model.materials.size(), 4u);
    const import::ModelMaterial& classic = model.materials[0];
    const import::ModelMaterial& pbr = model.materials[1];
    const import::ModelMaterial& lamp = model.materials[2];
    const auto texture = [&](int index) { return model.textures.at(static_cast<size_t>(index)); };

    EXPECT_EQ(classic.diffuse, glm::vec4(0.5f, 0.25f, 0.125f, 1.0f));
    EXPECT_EQ(classic.metallic, 0.0f);
    EXPECT_NEAR(classic.roughness, import::roughnessOfShininess(400.0f), 1e-6f);
    EXPECT_LT(classic.roughness, 0.4f) << "a tight highlight is a smooth surface";
    EXPECT_EQ(texture(classic.texture).names, std::vector<std::string>{"colour.png"});
    EXPECT_EQ(texture(classic.texture).space(), import::ColourSpace::srgb);
    EXPECT_EQ(texture(classic.normalTexture).names, std::vector<std::string>{"bumps.png"});
    EXPECT_EQ(texture(classic.normalTexture).bumpScale, 0.5f);
    EXPECT_EQ(texture(classic.normalTexture).space(), import::ColourSpace::linear);
    // A glow map beside the black colour exporters write glows by the map alone.
    EXPECT_EQ(classic.emissive, glm::vec3(1.0f));
    EXPECT_EQ(texture(classic.emissiveTexture).space(), import::ColourSpace::srgb);

    EXPECT_EQ(pbr.metallic, 1.0f);
    EXPECT_FLOAT_EQ(pbr.roughness, 0.3f);
    EXPECT_EQ(texture(pbr.surfaceTexture).names, (std::vector<std::string>{"rough.png", "metal.png", ""}));

    EXPECT_EQ(lamp.emissive, glm::vec3(2.0f, 1.0f, 0.5f));
    EXPECT_EQ(lamp.emissiveTexture, -1);
    EXPECT_GE(lamp.normalTexture, 0);
}

// Opacity in every form exporters write it; only a surface less than
// opaque, or one with an opacity map, is drawn see-through.
TEST_F(MtlReader, OpacityMakesTheSurfaceSeeThrough)
{
    write("model.mtl", "newmtl dissolved\nd 0.25\nKd 1 0 0\n"
                       "newmtl transparent\nTr 0.75\n"
                       "newmtl both\nTr 0.9\nd -halo 0.5\n"
                       "newmtl cutout\nKd 0.2 0.8 0.2\nmap_Kd leaf.png\nmap_d -clamp on leaf_alpha.png\n"
                       "newmtl holes\nKd 0.2 0.8 0.2\nmap_d holes.png\n"
                       "newmtl invisible\nd 0\nnewmtl plain\nd 1\n");
    import::ObjModel model = read("mtllib model.mtl\n" + [&] {
        std::string faces;
        for (const char* name : {"dissolved", "transparent", "both", "cutout", "holes", "invisible", "plain"})
            faces += std::string("usemtl ") + name + "\n" + triangle;
        return faces;
    }());
    ASSERT_EQ(model.materials.size(), 8u);
    const auto& m = model.materials;
    using import::AlphaMode;
    // d after Kd and Kd after d both keep the colour and the opacity.
    EXPECT_EQ(m[0].diffuse, glm::vec4(1.0f, 0.0f, 0.0f, 0.25f));
    EXPECT_EQ(m[0].alphaMode, AlphaMode::blend);
    EXPECT_FLOAT_EQ(m[1].diffuse.a, 0.25f);
    EXPECT_FLOAT_EQ(m[2].diffuse.a, 0.5f) << "d wins over Tr, and -halo is no number";
    // The opacity map travels in the colour texture's alpha.
    const import::TextureRequest& cutout = model.textures.at(static_cast<size_t>(m[3].texture));
    EXPECT_EQ(cutout.use, import::TextureUse::colourOpacity);
    EXPECT_EQ(cutout.names, (std::vector<std::string>{"leaf.png", "leaf_alpha.png"}));
    EXPECT_EQ(m[3].alphaMode, AlphaMode::blend);
    EXPECT_FALSE(m[3].colourMultiplies) << "the picture stands in for Kd";
    // Without a picture the map's white is tinted by Kd.
    EXPECT_EQ(model.textures.at(static_cast<size_t>(m[4].texture)).names,
              (std::vector<std::string>{"", "holes.png"}));
    EXPECT_TRUE(m[4].colourMultiplies);
    // Nobody models a surface that cannot be seen: d 0 is an exporter's slip.
    EXPECT_EQ(m[5].diffuse.a, 1.0f);
    EXPECT_EQ(m[5].alphaMode, AlphaMode::opaque);
    EXPECT_EQ(m[6].alphaMode, AlphaMode::opaque);
}

// The opacity map's grey, or its alpha where it has one, beside the
// colour's RGB, each read at its nearest texel into the larger size.
TEST(TextureRecipe, OpacityJoinsTheColour)
{
    import::ModelImage colour{2, 1, {10, 20, 30, 255, 40, 50, 60, 255}};
    import::ModelImage grey{1, 1, {100, 100, 100, 255}};
    import::ModelImage withAlpha{1, 1, {255, 255, 255, 7}};
    import::ModelImage made = import::withOpacity(&colour, grey);
    EXPECT_EQ(made.pixels, (std::vector<unsigned char>{10, 20, 30, 100, 40, 50, 60, 100}));
    made = import::withOpacity(nullptr, withAlpha);
    EXPECT_EQ(made.pixels, (std::vector<unsigned char>{255, 255, 255, 7}));
}

// "-clamp on" keeps a map from repeating, along both axes, and that map
// alone; "-clamp off" is the default.
TEST_F(MtlReader, AClampedMapIsNotRepeated)
{
    write("model.mtl", "newmtl decal\nmap_Kd -clamp on -s 1 1 1 label.png\nmap_Ke -clamp off glow.png\n"
                       "map_Bump bumps.png\n");
    const import::ObjModel model = read("mtllib model.mtl\nusemtl decal\n" + triangle);
    const import::ModelMaterial& decal = model.materials.at(0);
    EXPECT_EQ(model.textures.at(static_cast<size_t>(decal.texture)).names, std::vector<std::string>{"label.png"});
    EXPECT_EQ(decal.mappings[0].wrapU, import::TextureWrap::clampToEdge);
    EXPECT_EQ(decal.mappings[0].wrapV, import::TextureWrap::clampToEdge);
    for (int slot = 1; slot < import::materialTextureSlots; ++slot)
        EXPECT_TRUE(decal.mappings[static_cast<size_t>(slot)] == import::TextureMapping()) << slot;
}

} // namespace
