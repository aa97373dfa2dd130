#version 330 core
// Final pass: shows the chain's result scaled into the window.
// colorTexture (unit 0): the finished image at render size, sampled
//   linearly, which is what scales it to the window size.
// fragColor: the image, alpha 1 so that blending over black leaves it as is.
//
// Built with BACKDROP, the same quad fills the geometry framebuffer behind a
// model given by path instead: a vertical gradient from backdropBottom to
// backdropTop (chosen as display values, interpolated as such) written as
// the linear radiance that the model's tone curve shows as that gradient,
// and in the normal and the position the zeros the effects take for empty
// background.
//
// Built with TONE_MAP, it takes a model's frame from linear to display
// values at render size, before the effects: colorTexture (unit 0) holds
// linear radiance (floating point); exposure scales it; the Khronos PBR
// Neutral curve brings it into 0..1 without clipping large areas, and the
// sRGB encoding makes it what the screen and the effects expect.
#if defined(BACKDROP)
uniform vec3 backdropTop;
uniform vec3 backdropBottom;

in vec2 texCoord;
layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 viewNormalOut;
layout(location = 2) out vec4 viewPositionOut;

// The inverse of TONE_MAP's curve for colours below its shoulder (which
// the backdrop stays far below): there the curve only takes an offset set
// by the darkest channel, 0.04 or in its toe less, which is put back.
vec3 stageRadiance(vec3 display)
{
    vec3 shown = mix(display / 12.92, pow((display + 0.055) / 1.055, vec3(2.4)), step(0.04045, display));
    float lowest = min(shown.r, min(shown.g, shown.b));
    float before = lowest < 0.04 ? 0.4 * sqrt(max(lowest, 0.0)) : lowest + 0.04;
    return shown + (before - lowest);
}

void main()
{
    fragColor = vec4(stageRadiance(mix(backdropBottom, backdropTop, texCoord.y)), 1.0);
    viewNormalOut = vec4(0.0, 0.0, 0.0, 1.0);
    viewPositionOut = vec4(0.0, 0.0, 0.0, 1.0);
}
#elif defined(TONE_MAP)
uniform sampler2D colorTexture;
uniform float exposure;

in vec2 texCoord;
out vec4 fragColor;

// Where the curve starts to compress, and how far the compressed part
// moves toward white: the reference curve's constants.
const float startCompression = 0.8 - 0.04;
const float desaturation = 0.15;

// Khronos PBR Neutral: below the shoulder a colour keeps its value and hue
// but for a small toe; above, its peak channel approaches 1 and the colour
// whitens, so that bright surfaces keep their shape instead of clipping.
// Written without branches: this rasterizer runs both sides of one.
vec3 neutral(vec3 color)
{
    float lowest = min(color.r, min(color.g, color.b));
    float offset = lowest < 0.08 ? lowest - 6.25 * lowest * lowest : 0.04;
    color -= offset;
    float peak = max(color.r, max(color.g, color.b));
    const float d = 1.0 - startCompression;
    float newPeak = 1.0 - d * d / (peak + d - startCompression);
    float g = 1.0 - 1.0 / (desaturation * (peak - newPeak) + 1.0);
    vec3 compressed = mix(color * (newPeak / max(peak, 1e-6)), vec3(newPeak), g);
    return mix(color, compressed, step(startCompression, peak));
}

void main()
{
    // The image has this pass's own size: each texel is read whole.
    vec3 linear = max(texelFetch(colorTexture, ivec2(gl_FragCoord.xy), 0).rgb * exposure, 0.0);
    vec3 shown = clamp(neutral(linear), 0.0, 1.0);
    vec3 encoded = mix(shown * 12.92, 1.055 * pow(shown, vec3(1.0 / 2.4)) - 0.055, step(0.0031308, shown));
    fragColor = vec4(encoded, 1.0);
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
