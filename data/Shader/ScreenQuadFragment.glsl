#version 330 core
// Final pass: shows the chain's result scaled into the window.
// colorTexture (unit 0): the finished image at render size, sampled
//   linearly, which is what scales it to the window size.
// fragColor: the image, alpha 1 so that blending over black leaves it as is.
//
// Built with BACKDROP, the same quad fills the geometry framebuffer behind a
// model given by path instead: a vertical gradient from backdropBottom to
// backdropTop, display values interpolated as such; the normal, the
// position and the model's radiance are masked off and keep the zeros the
// effects take for empty background.
#if defined(BACKDROP)
uniform vec3 backdropTop;
uniform vec3 backdropBottom;

in vec2 texCoord;
layout(location = 0) out vec4 fragColor;

void main()
{
    fragColor = vec4(mix(backdropBottom, backdropTop, texCoord.y), 1.0);
}
#else
uniform sampler2D colorTexture;

in vec2 texCoord;
out vec4 fragColor;

void main()
{
    fragColor = vec4(texture(colorTexture, texCoord).rgb, 1.0);
}
#endif
