// Sampler objects: how a texture unit reads its texture where a material says otherwise than the texture itself.
#pragma once

#include <GL/glew.h>

// Wrapping along s and t and the two filters, in the GL's own values. The
// default is what every texture's own parameters are (repeat, trilinear).
struct SamplerSettings {
    GLint wrapS = GL_REPEAT;
    GLint wrapT = GL_REPEAT;
    GLint minFilter = GL_LINEAR_MIPMAP_LINEAR;
    GLint magFilter = GL_LINEAR;

    bool isDefault() const;
};

// The sampler object of `settings`, made the first time they are asked for
// and shared from then on by whatever reads so (a few dozen can exist at
// most): two materials that read one texture two ways bind it once and read
// it through two samplers. 0 for the default: the texture's own
// parameters then apply.
GLuint sharedSampler(const SamplerSettings& settings);
