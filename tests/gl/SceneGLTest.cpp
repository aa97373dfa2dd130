// Imported scene objects: the shared texture cache, their program uniforms, draw state and mesh buffers.
#include "GlTest.h"

#include "app/Globals.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "render/Renderer.h"
#include "scene/Material.h"
#include "scene/SceneImport.h"
#include "scene/SceneObject.h"

namespace {

// A quad and a box with materials of their own that name one texture file.
class SceneGL : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (IsSkipped())
            return;
        writeImage("Textures/FinalScene/shared.png", 2, 2, std::vector<unsigned char>(12, 180));
        std::string obj = "o quad\nusemtl red\n";
        int base = 0;
        addQuad(obj, base, {-5, 0, 5}, {10, 0, 0}, {0, 0, -10});
        obj += "o box\nusemtl blue\n";
        addBox(obj, base, {-1, 0, -1}, {1, 2, 1});
        startViewer(obj, "newmtl red\nKd 1 0 0\nmap_Kd shared.png\nnewmtl blue\nKd 0 0 1\nmap_Kd shared.png\n");
        ASSERT_EQ(sceneObjects.size(), 2u);
    }
};

TEST_F(SceneGL, ObjectsShareOneCachedTextureButOwnTheirPrograms)
{
    EXPECT_EQ(textureCache.size(), 1u);
    const Material& quad = *sceneObjects[0]->material;
    const Material& box = *sceneObjects[1]->material;
    EXPECT_EQ(quad.texture, textureCache["shared.png"]);
    EXPECT_EQ(box.texture, quad.texture);
    EXPECT_NE(box.shaderProgram->program, quad.shaderProgram->program);
}

TEST_F(SceneGL, ProgramsHoldTheMaterialAndLightConstants)
{
    const std::pair<const char*, glm::vec3> cases[] = {
        {"ambientFactor", glm::vec3(0.2f)}, {"diffuseFactor", glm::vec3(0.8f)}, {"specularFactor", glm::vec3(0.5f)},
        {"shininess", {5, 0, 0}},           {"near_plane", {1, 0, 0}},          {"far_plane", {800, 0, 0}},
        {"lightDirection", {4, 7, -1}},     {"lightColor", glm::vec3(1.0f)},    {"lightIntensity", {1, 0, 0}},
    };
    for (scene::SceneObject* object : sceneObjects) {
        const GLuint program = object->material->shaderProgram->program;
        int found = 0;
        for (const auto& [name, expected] : cases) {
            const GLint location = glGetUniformLocation(program, name);
            if (location < 0)
                continue; // a name the shader does not use is dropped by design
            ++found;
            glm::vec3 value(0.0f); // a float uniform fills only x, as its expected value has
            glGetUniformfv(program, location, &value[0]);
            EXPECT_EQ(value, expected) << name;
        }
        EXPECT_GE(found, 7) << "the lighting constants must reach the shader";
    }
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
}

TEST_F(SceneGL, DrawLeavesUnitOneActiveAndEmptyWithTheColourTextureOnUnitZero)
{
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->framebuffer);
    sceneObjects[1]->draw();
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_BINDING), 0);
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), textureCache["shared.png"]->id);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

TEST_F(SceneGL, UploadFillsTightBuffersKeptByTheVertexArrayAndUnbindsThem)
{
    // The upload is the last step of start-up, so the bindings are its own.
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_BINDING), 0);
    EXPECT_EQ(integer(GL_ARRAY_BUFFER_BINDING), 0);
    EXPECT_EQ(integer(GL_ELEMENT_ARRAY_BUFFER_BINDING), 0);
    const glm::ivec2 trianglesAndVertices[2] = {{2, 4}, {12, 24}};
    for (int i = 0; i < 2; ++i) {
        const scene::SceneObject& object = *sceneObjects[i];
        const int n = trianglesAndVertices[i].x;
        const int v = trianglesAndVertices[i].y;
        EXPECT_EQ(object.indexCount, static_cast<GLuint>(3 * n));
        const std::pair<GLuint, GLint> sizes[] = {
            {object.indexBuffer, 12 * n}, {object.positionBuffer, 12 * v},
            {object.normalBuffer, 12 * v}, {object.texCoordBuffer, 8 * v}};
        for (const auto& [buffer, bytes] : sizes) {
            GLint size = 0;
            glBindBuffer(GL_ARRAY_BUFFER, buffer);
            glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
            EXPECT_EQ(size, bytes) << "object " << i << " buffer " << buffer;
        }
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindVertexArray(object.vao);
        EXPECT_EQ(static_cast<GLuint>(integer(GL_ELEMENT_ARRAY_BUFFER_BINDING)), object.indexBuffer);
        glBindVertexArray(0);
    }
}

} // namespace
