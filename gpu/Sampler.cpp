// One sampler object for each way of reading textures, made when first asked for.
#include "gpu/Sampler.h"

#include <map>
#include <tuple>

bool SamplerSettings::isDefault() const
{
    const SamplerSettings plain;
    return wrapS == plain.wrapS && wrapT == plain.wrapT && minFilter == plain.minFilter &&
           magFilter == plain.magFilter;
}

GLuint sharedSampler(const SamplerSettings& settings)
{
    if (settings.isDefault())
        return 0;
    static std::map<std::tuple<GLint, GLint, GLint, GLint>, GLuint> made;
    GLuint& sampler = made[{settings.wrapS, settings.wrapT, settings.minFilter, settings.magFilter}];
    if (sampler == 0) {
        glGenSamplers(1, &sampler);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, settings.wrapS);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, settings.wrapT);
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, settings.minFilter);
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, settings.magFilter);
    }
    return sampler;
}
